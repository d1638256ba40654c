#include "ui/Application_setup.h"

#include <functional>
#include <memory>

#include <QFontDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "ui/Font_chooser.h"
#include "ui/Form_about.h"
#include "ui/Form_dics.h"
#include "ui/Form_settings.h"

// Xlib defines macros (Bool, Status, None) that break Qt's headers: it comes after them.
// clang-format off
#include <X11/Xatom.h>
#include <X11/Xlib.h>
// clang-format on

namespace {

using WindowMaker = std::function<QWidget *()>;

// The caption as the window manager reads it.
QString CaptionOnTheDesktop(QWidget *window)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display *display = x11->display();
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XSync(display, False);
    if (XGetWindowProperty(display, static_cast<Window>(window->winId()), name, 0, 1024, False,
            utf8, &type, &format, &count, &after, &data)
            != Success
        || !data)
        return QString();
    const QString caption =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(count));
    XFree(data);
    return caption;
}

} // namespace

Q_DECLARE_METATYPE(WindowMaker)

class ApplicationSetupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void captionsReadAsGiven_data();
    void captionsReadAsGiven();
    void toolkitTextsAreRussian();
};

void ApplicationSetupTest::initTestCase()
{
    SetUpApplication();
    if (!qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        QSKIP("the captions are read from an X display");
}

void ApplicationSetupTest::captionsReadAsGiven_data()
{
    QTest::addColumn<WindowMaker>("make");
    QTest::addColumn<QString>("caption");
    QTest::newRow("dictionaries") << WindowMaker([] { return new TDicsForm(nullptr, nullptr); })
                                  << QString("Словари");
    QTest::newRow("settings") << WindowMaker([] { return new TFormSettings(nullptr); })
                              << QString("Настройки");
    QTest::newRow("about") << WindowMaker([] { return new TAboutForm; }) << QString("О программе");
    QTest::newRow("font") << WindowMaker([] { return new TFontChooser; }) << QString("Шрифт");
}

void ApplicationSetupTest::captionsReadAsGiven()
{
    QFETCH(WindowMaker, make);
    QFETCH(QString, caption);

    const std::unique_ptr<QWidget> window(make());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_COMPARE(CaptionOnTheDesktop(window.get()), caption);
}

void ApplicationSetupTest::toolkitTextsAreRussian()
{
    TFontChooser chooser;
    QStringList labels;
    for (const QLabel *label : chooser.FontWidget()->findChildren<QLabel *>())
        labels << label->text();
    for (const char *text : {"&Шрифт", "&Начертание", "&Размер"})
        QVERIFY2(labels.contains(QString::fromUtf8(text)), qPrintable(labels.join(" | ")));

    QMessageBox box(QMessageBox::Question, QStringLiteral("Kalvora"), QStringLiteral("?"),
        QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));
}

QTEST_MAIN(ApplicationSetupTest)
#include "Application_setup_test.moc"
