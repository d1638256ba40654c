#include "platform/Keyboard_layout.h"

#include <QWidget>
#include <QtTest>

// Xlib defines macros (Bool, Status, None) that break Qt's headers: it comes after them.
// clang-format off
#include <X11/XKBlib.h>
// clang-format on

namespace {

// A keyboard whose layouts the test sets; it records every switch the program makes.
class FakeKeyboard : public KeyboardGroups
{
public:
    int RussianGroup() override { return russian; }
    int CurrentGroup() override { return current; }
    void SelectGroup(int group) override
    {
        current = group;
        switches << group;
    }

    int russian = 1;
    int current = 0;
    QList<int> switches;
};

int LockedGroup(Display *display)
{
    XkbStateRec state;
    return XkbGetState(display, XkbUseCoreKbd, &state) == Success ? state.locked_group : -1;
}

} // namespace

class KeyboardLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void switchesOnlyWhileActive_data();
    void switchesOnlyWhileActive();
    void followsTheWindowsOnX11();
};

void KeyboardLayoutTest::switchesOnlyWhileActive_data()
{
    QTest::addColumn<int>("russian");
    QTest::addColumn<int>("userGroup");
    // A activates the program, D deactivates it, a digit is a layout the user picks.
    QTest::addColumn<QString>("events");
    QTest::addColumn<QList<int>>("switches");
    QTest::addColumn<int>("finalGroup");

    QTest::newRow("never active") << 1 << 0 << QString("") << QList<int>{} << 0;
    QTest::newRow("user changes layouts in the background")
        << 1 << 0 << QString("2 0") << QList<int>{} << 0;
    QTest::newRow("active, then left") << 1 << 0 << QString("A D") << QList<int>{1, 0} << 0;
    QTest::newRow("Russian is the second of three")
        << 2 << 1 << QString("A D") << QList<int>{2, 1} << 1;
    QTest::newRow("already Russian") << 1 << 1 << QString("A D") << QList<int>{} << 1;
    QTest::newRow("no Russian layout") << -1 << 0 << QString("A D A D") << QList<int>{} << 0;
    QTest::newRow("repeated activation counts once")
        << 1 << 0 << QString("A A D D") << QList<int>{1, 0} << 0;
    QTest::newRow("left without being active") << 1 << 0 << QString("D") << QList<int>{} << 0;
    // The layout chosen in the program stays the program's; the one outside stays outside.
    QTest::newRow("user picks English in the program")
        << 1 << 0 << QString("A 0 D A D") << QList<int>{1} << 0;
    QTest::newRow("user picks a third layout in the program")
        << 1 << 0 << QString("A 2 D A D") << QList<int>{1, 0, 2, 0} << 0;
    QTest::newRow("user changes the outside layout between visits")
        << 1 << 0 << QString("A D 2 A D") << QList<int>{1, 0, 1, 2} << 2;
}

void KeyboardLayoutTest::switchesOnlyWhileActive()
{
    QFETCH(int, russian);
    QFETCH(int, userGroup);
    QFETCH(QString, events);
    QFETCH(QList<int>, switches);
    QFETCH(int, finalGroup);

    FakeKeyboard keyboard;
    keyboard.russian = russian;
    keyboard.current = userGroup;
    ProgramLayout layout(keyboard);
    for (const QString &event : events.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (event == QLatin1String("A"))
            layout.Activated();
        else if (event == QLatin1String("D"))
            layout.Deactivated();
        else
            keyboard.current = event.toInt();
    }
    QCOMPARE(keyboard.switches, switches);
    QCOMPARE(keyboard.current, finalGroup);
}

// Needs an X server whose keymap holds an English and a Russian layout, in that order.
void KeyboardLayoutTest::followsTheWindowsOnX11()
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        QSKIP("not on X11");
    Display *display = x11->display();
    XkbLockGroup(display, XkbUseCoreKbd, 0);
    XSync(display, False);
    QCOMPARE(LockedGroup(display), 0);

    // The focus moves as a window manager moves it, from a connection of its own; between the
    // program's window and one of another program.
    Display *other = XOpenDisplay(nullptr);
    QVERIFY(other);
    const Window foreign =
        XCreateSimpleWindow(other, DefaultRootWindow(other), 600, 0, 100, 100, 0, 0, 0xFFFFFF);
    XMapWindow(other, foreign);
    XSync(other, False);
    const auto focus = [other](Window window) {
        XWindowAttributes attributes;
        XGetWindowAttributes(other, window, &attributes);
        if (attributes.map_state != IsViewable)
            return false;
        XSetInputFocus(other, window, RevertToParent, CurrentTime);
        XSync(other, False);
        return true;
    };
    QTRY_VERIFY(focus(foreign));

    KeepRussianLayoutInProgramWindows();
    KeepRussianLayoutInProgramWindows();
    QWidget window;
    window.setGeometry(0, 0, 200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(focus(foreign));
    QTest::qWait(200);
    QVERIFY(QGuiApplication::applicationState() != Qt::ApplicationActive);
    QCOMPARE(LockedGroup(display), 0);

    for (int visit = 0; visit < 2; ++visit) {
        QTRY_VERIFY(focus(static_cast<Window>(window.winId())));
        QTRY_COMPARE(QGuiApplication::applicationState(), Qt::ApplicationActive);
        QTRY_COMPARE(LockedGroup(display), 1);

        QVERIFY(focus(foreign));
        QTRY_VERIFY(QGuiApplication::applicationState() != Qt::ApplicationActive);
        QTRY_COMPARE(LockedGroup(display), 0);
    }
    XDestroyWindow(other, foreign);
    XCloseDisplay(other);
}

QTEST_MAIN(KeyboardLayoutTest)
#include "Keyboard_layout_test.moc"
