#include "support/Window_geometry.h"

#include <cstdint>

#include "support/Ini_file.h"

namespace {

const char *const LEFT_KEY = "WINDOW_LEFT";
const char *const TOP_KEY = "WINDOW_TOP";
const char *const WIDTH_KEY = "WINDOW_WIDTH";
const char *const HEIGHT_KEY = "WINDOW_HEIGHT";
const char *const MAXIMISED_KEY = "WINDOW_MAXIMISED";
const char *const LIST_WIDTH_KEY = "LIST_WIDTH";

// Far beyond any desktop; a larger number is a damaged value, not a place.
constexpr std::int32_t MAX_COORDINATE = 100000;

} // namespace

std::optional<WindowGeometry> ReadWindowGeometry(const IniFile &settings)
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    if (!settings.GetInt(LEFT_KEY, left) || !settings.GetInt(TOP_KEY, top)
        || !settings.GetInt(WIDTH_KEY, width) || !settings.GetInt(HEIGHT_KEY, height))
        return std::nullopt;
    const auto sane = [](std::int32_t value) {
        return value > -MAX_COORDINATE && value < MAX_COORDINATE;
    };
    if (!sane(left) || !sane(top) || !sane(width) || !sane(height) || width <= 0 || height <= 0)
        return std::nullopt;
    WindowGeometry geometry;
    geometry.frame = {left, top, width, height};
    std::int32_t value = 0;
    geometry.maximised = settings.GetInt(MAXIMISED_KEY, value) && value != 0;
    if (settings.GetInt(LIST_WIDTH_KEY, value) && value > 0 && value < MAX_COORDINATE)
        geometry.listWidth = value;
    return geometry;
}

void WriteWindowGeometry(IniFile &settings, const WindowGeometry &geometry)
{
    settings.SetInt(LEFT_KEY, geometry.frame.x);
    settings.SetInt(TOP_KEY, geometry.frame.y);
    settings.SetInt(WIDTH_KEY, geometry.frame.width);
    settings.SetInt(HEIGHT_KEY, geometry.frame.height);
    settings.SetInt(MAXIMISED_KEY, geometry.maximised ? 1 : 0);
    settings.SetInt(LIST_WIDTH_KEY, geometry.listWidth);
}
