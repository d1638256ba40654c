#ifndef SUPPORT_SCREEN_PLACEMENT_H
#define SUPPORT_SCREEN_PLACEMENT_H

#include <vector>

// A rectangle on the desktop, in the toolkit's device-independent pixels; right and bottom are
// one past the last pixel.
struct ScreenRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    bool operator==(const ScreenRect &other) const
    {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
};

// Where a window restored to saved goes on screens (their available areas; the first is the
// primary one). A window lying inside the screen it overlaps most stays as saved; one that crosses
// an edge, or that a smaller or missing screen has left out of view, is made no larger than that
// screen (the primary one when it overlaps none) and moved the least way into it. No screens:
// saved as it is.
ScreenRect PlaceRestoredWindow(const ScreenRect &saved, const std::vector<ScreenRect> &screens);

// Where a popup of the given size goes for a pointer at (pointerX, pointerY): just below and to the
// right of the pointer, on the screen holding the pointer (else the nearest one), and wholly
// inside it. Where it would cross the screen's right or bottom edge it opens to the pointer's
// left or above it instead; a popup larger than the screen is cut to the screen's size.
ScreenRect PlacePopup(
    int pointerX, int pointerY, int width, int height, const std::vector<ScreenRect> &screens);

// How far the popup's corner is from the pointer, so that the pointer does not cover its text.
constexpr int POPUP_POINTER_GAP = 12;

#endif // SUPPORT_SCREEN_PLACEMENT_H
