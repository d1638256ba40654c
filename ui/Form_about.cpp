#include "ui/Form_about.h"

#include <QLabel>
#include <QMouseEvent>

#include "platform/Platform.h"
#include "ui/Colours.h"
#include "ui/Dialog_window.h"

TAboutForm *AboutForm = nullptr;

TAboutForm::Opener TAboutForm::openWithShell = [](const QString &target) {
    // Without a browser or mail program the click just has no effect.
    OpenWithShell(target);
};

namespace {

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, const QRect &place,
    const QFont &font, const QColor &colour)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(text);
    label->setGeometry(place);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

QFont LinkFont()
{
    QFont font = PixelFont(QStringLiteral("Century Gothic"), 12);
    font.setUnderline(true);
    return font;
}

} // namespace

TAboutForm::TAboutForm(QWidget *parent)
    : TDialogWindow(parent, Keys::EscapeOnly)
    , Label1(MakeLabel(this, "Label1", QStringLiteral("Kalvora 1.51"), QRect(0, 0, 177, 18),
          PixelFont(QStringLiteral("Century Gothic"), 12),
          LightPalette().color(QPalette::WindowText)))
    , Label3(MakeLabel(this, "Label3", QStringLiteral("© 2026 авторы Kalvora"),
          QRect(16, 24, 113, 33), PixelFont(QStringLiteral("MS Sans Serif"), 11), Qt::white))
    , WebLabel(MakeLabel(this, "WebLabel", QStringLiteral("www.kalvora.test"),
          QRect(8, 56, 146, 17), LinkFont(), QColor(0x00, 0xFF, 0x00)))
    , MailLabel(MakeLabel(this, "MailLabel", QStringLiteral("info@kalvora.test"),
          QRect(8, 80, 111, 17), LinkFont(), QColor(0x00, 0xFF, 0xFF)))
{
    setObjectName(QStringLiteral("AboutForm"));
    SetUpDialogWindow(this, QStringLiteral("О программе"), 173, 103,
        PixelFont(QStringLiteral("MS Sans Serif"), 11));
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(0x00, 0x00, 0x84));
    setPalette(background);

    Label1->setAutoFillBackground(true);
    QPalette opaque = Label1->palette();
    opaque.setColor(QPalette::Window, QColor(0xA5, 0xCB, 0xF7));
    Label1->setPalette(opaque);
    Label1->setAccessibleName(QStringLiteral("Название и версия"));
    Label3->setWordWrap(true);
    Label3->setAccessibleName(QStringLiteral("Права"));
    WebLabel->setAccessibleName(QStringLiteral("Веб-сайт"));
    MailLabel->setAccessibleName(QStringLiteral("Электронная почта"));
    for (QLabel *link : {WebLabel, MailLabel}) {
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }
}

void TAboutForm::WebLabelClick()
{
    openWithShell(WebLabel->text());
}

void TAboutForm::MailLabelClick()
{
    openWithShell(QStringLiteral("mailto:") + MailLabel->text());
}

// A click is a left press and release on the same label, as a push button counts it.
bool TAboutForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && (watched == WebLabel || watched == MailLabel)) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        auto *label = static_cast<QLabel *>(watched);
        if (mouse->button() == Qt::LeftButton
            && label->rect().contains(mouse->position().toPoint())) {
            if (label == WebLabel)
                WebLabelClick();
            else
                MailLabelClick();
            return true;
        }
    }
    return TDialogWindow::eventFilter(watched, event);
}
