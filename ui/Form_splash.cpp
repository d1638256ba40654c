#include "ui/Form_splash.h"

#include <algorithm>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>

#include "ui/Colours.h"

namespace {

QFont TahomaFont(int pixelHeight)
{
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(pixelHeight);
    font.setBold(true);
    return font;
}

} // namespace

TSplashForm::TSplashForm(QWidget *owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint)
    , Label1(new QLabel(QStringLiteral("Загрузка..."), this))
    , ProgressBar1(new QProgressBar(this))
    , DicLabel(new QLabel(QStringLiteral("DicLabel"), this))
{
    setObjectName(QStringLiteral("SplashForm"));
    setWindowTitle(QStringLiteral("Kalvora"));
    setFixedSize(283, 189);
    setAutoFillBackground(true);
    QPalette sky = palette();
    sky.setColor(QPalette::Window, QColor(0xA6, 0xCA, 0xF0));
    sky.setColor(QPalette::WindowText, LightPalette().color(QPalette::WindowText));
    setPalette(sky);

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(TahomaFont(27));
    Label1->move(72, 64);
    Label1->adjustSize();

    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(72, 103, 150, 17);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAccessibleName(QStringLiteral("Ход загрузки"));

    DicLabel->setObjectName(QStringLiteral("DicLabel"));
    DicLabel->setGeometry(72, 126, 150, 13);
    DicLabel->setFont(TahomaFont(11));
    DicLabel->setAutoFillBackground(true);
    QPalette navy = DicLabel->palette();
    navy.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0x80));
    DicLabel->setPalette(navy);
    DicLabel->setAccessibleName(QStringLiteral("Загружаемый словарь"));

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TSplashForm::ShowAtOnce()
{
    show();
    // The window must reach the screen before the load blocks the event loop.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

void TSplashForm::SetDictionaryText(const QString &text)
{
    DicLabel->setText(text);
    DicLabel->repaint();
}

void TSplashForm::SetProgress(int max, int position)
{
    // A range of 0..0 is the toolkit's busy animation; nothing to load is an empty bar.
    ProgressBar1->setMaximum(std::max(max, 1));
    ProgressBar1->setValue(position);
    ProgressBar1->repaint();
}
