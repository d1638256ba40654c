#include "support/Screen_placement.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

std::int64_t Overlap(const ScreenRect &a, const ScreenRect &b)
{
    const std::int64_t width = std::min(a.Right(), b.Right()) - std::max(a.x, b.x);
    const std::int64_t height = std::min(a.Bottom(), b.Bottom()) - std::max(a.y, b.y);
    return width > 0 && height > 0 ? width * height : 0;
}

std::int64_t DistanceSquared(int x, int y, const ScreenRect &screen)
{
    const std::int64_t dx = x < screen.x ? screen.x - x
        : x >= screen.Right()            ? x - screen.Right() + 1
                                         : 0;
    const std::int64_t dy = y < screen.y ? screen.y - y
        : y >= screen.Bottom()           ? y - screen.Bottom() + 1
                                         : 0;
    return dx * dx + dy * dy;
}

// The rectangle no larger than the screen and moved the least way into it.
ScreenRect Inside(ScreenRect rect, const ScreenRect &screen)
{
    rect.width = std::min(rect.width, screen.width);
    rect.height = std::min(rect.height, screen.height);
    rect.x = std::clamp(rect.x, screen.x, screen.Right() - rect.width);
    rect.y = std::clamp(rect.y, screen.y, screen.Bottom() - rect.height);
    return rect;
}

} // namespace

ScreenRect PlaceRestoredWindow(const ScreenRect &saved, const std::vector<ScreenRect> &screens)
{
    if (screens.empty())
        return saved;
    const ScreenRect *best = &screens.front();
    std::int64_t bestOverlap = 0;
    for (const ScreenRect &screen : screens) {
        const std::int64_t overlap = Overlap(saved, screen);
        if (overlap > bestOverlap) {
            best = &screen;
            bestOverlap = overlap;
        }
    }
    return Inside(saved, *best);
}

ScreenRect PlacePopup(
    int pointerX, int pointerY, int width, int height, const std::vector<ScreenRect> &screens)
{
    ScreenRect popup{pointerX + POPUP_POINTER_GAP, pointerY + POPUP_POINTER_GAP, width, height};
    if (screens.empty())
        return popup;
    const ScreenRect *screen = &screens.front();
    std::int64_t nearest = INT64_MAX;
    for (const ScreenRect &candidate : screens) {
        const std::int64_t distance = DistanceSquared(pointerX, pointerY, candidate);
        if (distance < nearest) {
            screen = &candidate;
            nearest = distance;
        }
    }
    if (popup.Right() > screen->Right())
        popup.x = pointerX - POPUP_POINTER_GAP - width;
    if (popup.Bottom() > screen->Bottom())
        popup.y = pointerY - POPUP_POINTER_GAP - height;
    return Inside(popup, *screen);
}
