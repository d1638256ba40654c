#ifndef SUPPORT_WINDOW_GEOMETRY_H
#define SUPPORT_WINDOW_GEOMETRY_H

#include <optional>

#include "support/Screen_placement.h"

class IniFile;

// The main window's place, kept in the settings under keys that older versions ignore.
struct WindowGeometry
{
    ScreenRect frame; // the window's position and its size without the frame
    bool maximised = false;
    int listWidth = 0; // the splitter's left part, the word list; 0 for the default
};

// Nothing when the settings hold no place, or a damaged one (a size of nothing, a number far
// beyond any desktop).
std::optional<WindowGeometry> ReadWindowGeometry(const IniFile &settings);
// Into the settings only; the caller saves them.
void WriteWindowGeometry(IniFile &settings, const WindowGeometry &geometry);

#endif // SUPPORT_WINDOW_GEOMETRY_H
