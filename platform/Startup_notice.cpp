#include "platform/Startup_notice.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <QGuiApplication>

// Xlib defines macros (Bool, Status, None) that break Qt's headers: it comes after them.
// clang-format off
#include <X11/Xlib.h>
// clang-format on

namespace {

constexpr std::size_t PIECE_BYTES = 20;

} // namespace

std::string StartupId()
{
    const char *id = std::getenv("DESKTOP_STARTUP_ID");
    return id ? id : "";
}

std::string StartupRemoveMessage(const std::string &startupId)
{
    std::string message = "remove: ID=\"";
    for (const char c : startupId) {
        if (c == '"' || c == '\\')
            message += '\\';
        message += c;
    }
    message += '"';
    message += '\0';
    return message;
}

void EndStartupNotice(const std::string &startupId)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display *display = x11 ? x11->display() : nullptr;
    if (!display || startupId.empty())
        return;
    const std::string message = StartupRemoveMessage(startupId);
    const Window root = DefaultRootWindow(display);
    // The messages name a window of the sender; one that is never shown serves.
    const Window sender = XCreateSimpleWindow(display, root, -100, -100, 1, 1, 0, 0, 0);
    const Atom begin = XInternAtom(display, "_NET_STARTUP_INFO_BEGIN", False);
    const Atom more = XInternAtom(display, "_NET_STARTUP_INFO", False);
    for (std::size_t offset = 0; offset < message.size(); offset += PIECE_BYTES) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = sender;
        event.xclient.message_type = offset == 0 ? begin : more;
        event.xclient.format = 8;
        std::memcpy(event.xclient.data.b, message.data() + offset,
            std::min(PIECE_BYTES, message.size() - offset));
        XSendEvent(display, root, False, PropertyChangeMask, &event);
    }
    XDestroyWindow(display, sender);
    XFlush(display);
}
