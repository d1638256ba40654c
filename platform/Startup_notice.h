#ifndef PLATFORM_STARTUP_NOTICE_H
#define PLATFORM_STARTUP_NOTICE_H

#include <string>

// A launcher that starts the program with startup notification (a menu entry, a shortcut) shows a
// busy pointer until a window of that start appears. A start that hands its work to the running
// window shows none, so it ends the notice itself.

// The launcher's id of this start, from the environment; empty when there is none. Read it before
// the application object exists: the toolkit takes it out of the environment.
std::string StartupId();

// Tells the desktop that the start with this id is over. Needs the application object on X11;
// does nothing elsewhere or for an empty id.
void EndStartupNotice(const std::string &startupId);

// The text of that message, terminated by a NUL byte, as it goes in 20-byte pieces to the root
// window.
std::string StartupRemoveMessage(const std::string &startupId);

#endif // PLATFORM_STARTUP_NOTICE_H
