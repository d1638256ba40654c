#include "platform/Keyboard_layout.h"

#include <cstring>

#include <QGuiApplication>

// Xlib defines macros (Bool, Status, None) that break Qt's headers: it comes after them.
// clang-format off
#include <X11/XKBlib.h>
// clang-format on

namespace {

const char *const FOLLOWER_NAME = "ProgramLayoutFollower";

// Group names are the layouts' descriptions ("Russian", "Russian (phonetic)").
bool IsRussianGroupName(const char *name)
{
    return name && (std::strncmp(name, "Russian", 7) == 0 || std::strstr(name, "(ru)"));
}

class XkbGroups : public KeyboardGroups
{
public:
    explicit XkbGroups(Display *display)
        : display(display)
    {
    }

    // Asked each time: the user may change their layouts while the program runs.
    int RussianGroup() override
    {
        XkbDescPtr keyboard = XkbAllocKeyboard();
        if (!keyboard)
            return -1;
        int found = -1;
        if (XkbGetNames(display, XkbGroupNamesMask, keyboard) == Success && keyboard->names) {
            for (int group = 0; group < XkbNumKbdGroups && found < 0; ++group) {
                const Atom atom = keyboard->names->groups[group];
                if (atom == None)
                    continue;
                char *name = XGetAtomName(display, atom);
                if (IsRussianGroupName(name))
                    found = group;
                XFree(name);
            }
        }
        XkbFreeKeyboard(keyboard, 0, True);
        return found;
    }

    // The locked group is the layout as the desktop's switcher sets it.
    int CurrentGroup() override
    {
        XkbStateRec state;
        if (XkbGetState(display, XkbUseCoreKbd, &state) != Success)
            return -1;
        return state.locked_group;
    }

    void SelectGroup(int group) override
    {
        if (group < 0)
            return;
        XkbLockGroup(display, XkbUseCoreKbd, static_cast<unsigned>(group));
        XFlush(display);
    }

private:
    Display *display;
};

class LayoutFollower : public QObject
{
public:
    LayoutFollower(Display *display, QObject *parent)
        : QObject(parent)
        , groups(display)
        , layout(groups)
    {
        setObjectName(QString::fromLatin1(FOLLOWER_NAME));
        connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive)
                    layout.Activated();
                else
                    layout.Deactivated();
            });
        // The last window may close while active; the desktop keeps the user's own layout.
        connect(qGuiApp, &QCoreApplication::aboutToQuit, this, [this] { layout.Deactivated(); });
        if (QGuiApplication::applicationState() == Qt::ApplicationActive)
            layout.Activated();
    }

private:
    XkbGroups groups;
    ProgramLayout layout;
};

} // namespace

void ProgramLayout::Activated()
{
    if (active)
        return;
    active = true;
    const int russian = keyboard.RussianGroup();
    if (russian < 0)
        return;
    const int current = keyboard.CurrentGroup();
    if (current < 0)
        return;
    userGroup = current;
    const int wanted = ownGroup >= 0 ? ownGroup : russian;
    if (wanted != current)
        keyboard.SelectGroup(wanted);
}

void ProgramLayout::Deactivated()
{
    if (!active)
        return;
    active = false;
    if (userGroup < 0)
        return;
    const int current = keyboard.CurrentGroup();
    if (current >= 0) {
        ownGroup = current;
        if (current != userGroup)
            keyboard.SelectGroup(userGroup);
    }
    userGroup = -1;
}

void KeepRussianLayoutInProgramWindows()
{
    if (!qGuiApp
        || qGuiApp->findChild<QObject *>(
            QString::fromLatin1(FOLLOWER_NAME), Qt::FindDirectChildrenOnly))
        return;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return;
    new LayoutFollower(display, qGuiApp);
}
