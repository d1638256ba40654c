#ifndef PLATFORM_PLATFORM_H
#define PLATFORM_PLATFORM_H

class QString;
class QWidget;

// Stand-ins for the few desktop calls the program makes by hand. Each does the nearest thing
// this desktop offers, or nothing where it offers none.

// Blocks the calling (user-interface) thread.
void SleepMilliseconds(int milliseconds);

// Hands a web address or "mailto:" address to the desktop's default application; false when
// nothing took it.
bool OpenWithShell(const QString &target);

#endif // PLATFORM_PLATFORM_H
