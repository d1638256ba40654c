#ifndef UI_WINDOW_PLACE_H
#define UI_WINDOW_PLACE_H

#include <vector>

#include "support/Screen_placement.h"

class IniFile;
class QMainWindow;
class QSize;
class QSplitter;

// The screens' available areas, the primary screen first: it takes a window that no screen holds.
std::vector<ScreenRect> AvailableScreens();

// The window with a client area of clientSize below its menu bar, centred on the primary screen,
// unless the settings keep a place of its own (RestoreWindowPlace).
void PlaceWindow(
    QMainWindow &window, QSplitter &splitter, const IniFile &settings, const QSize &clientSize);

// The main window's size, position and splitter, kept in the settings. A place saved on a larger
// screen, or on a screen that is gone, is brought back into view.
void RestoreWindowPlace(QMainWindow &window, QSplitter &splitter, const IniFile &settings);
// Into the settings only; the caller saves them.
void KeepWindowPlace(const QMainWindow &window, const QSplitter &splitter, IniFile &settings);

#endif // UI_WINDOW_PLACE_H
