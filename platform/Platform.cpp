#include "platform/Platform.h"

#include <cstring>
#include <string>

#include <QDesktopServices>
#include <QGuiApplication>
#include <QString>
#include <QThread>
#include <QUrl>

// Xlib defines macros (Bool, Status, None) that break Qt's headers: it comes after them.
// clang-format off
#include <X11/XKBlib.h>
// clang-format on

namespace {

// Group names are the layouts' descriptions ("Russian", "Russian (phonetic)").
bool IsRussianGroupName(const char *name)
{
    return name && (std::strncmp(name, "Russian", 7) == 0 || std::strstr(name, "(ru)"));
}

int FindRussianGroup(Display *display)
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

} // namespace

void ActivateRussianKeyboardLayout()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    if (!display)
        return;
    const int group = FindRussianGroup(display);
    if (group < 0)
        return;
    XkbLockGroup(display, XkbUseCoreKbd, static_cast<unsigned>(group));
    XFlush(display);
}

void SleepMilliseconds(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

bool OpenWithShell(const QString &target)
{
    return QDesktopServices::openUrl(QUrl(target, QUrl::TolerantMode));
}
