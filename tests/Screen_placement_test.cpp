#include "support/Screen_placement.h"

#include <gtest/gtest.h>
#include <tuple>

#include "Test_folder.h"
#include "support/Ini_file.h"
#include "support/Window_geometry.h"

using Screens = std::vector<ScreenRect>;

namespace {

const ScreenRect LARGE{0, 0, 1920, 1080};
const ScreenRect SMALL{0, 0, 1024, 768};
// A second screen to the right of the first, lower and smaller.
const ScreenRect RIGHT{1920, 200, 1280, 800};
constexpr int GAP = POPUP_POINTER_GAP;

} // namespace

TEST(ScreenPlacementTest, RestoredWindowStaysInView)
{
    const std::tuple<const char *, ScreenRect, Screens, ScreenRect> rows[] = {
        {"inside: as saved", {100, 100, 600, 400}, {LARGE}, {100, 100, 600, 400}},
        {"saved on a larger screen", {1200, 600, 640, 480}, {SMALL}, {384, 288, 640, 480}},
        {"larger than the screen", {0, 0, 1600, 1000}, {SMALL}, {0, 0, 1024, 768}},
        {"above and left of the screen", {-300, -50, 600, 400}, {SMALL}, {0, 0, 600, 400}},
        {"the second screen gone", {2100, 300, 600, 400}, {LARGE}, {1320, 300, 600, 400}},
        {"on the second screen", {2100, 300, 600, 400}, {LARGE, RIGHT}, {2100, 300, 600, 400}},
        {"mostly on the second screen", {1800, 100, 600, 400}, {LARGE, RIGHT},
            {1920, 200, 600, 400}},
        {"off every screen: the primary one", {5000, 5000, 600, 400}, {RIGHT, LARGE},
            {2600, 600, 600, 400}},
        {"no screens", {-10, -10, 5, 5}, {}, {-10, -10, 5, 5}},
    };
    for (const auto &[name, saved, screens, placed] : rows)
        EXPECT_EQ(PlaceRestoredWindow(saved, screens), placed) << name;
}

TEST(ScreenPlacementTest, PopupNearThePointerInsideItsScreen)
{
    const int w = 300;
    const int h = 200;
    const std::tuple<const char *, int, int, Screens, ScreenRect> rows[] = {
        {"middle: below right", 500, 500, {LARGE}, {500 + GAP, 500 + GAP, w, h}},
        {"right edge: to the left", 1900, 500, {LARGE}, {1900 - GAP - w, 500 + GAP, w, h}},
        {"bottom edge: above", 500, 1070, {LARGE}, {500 + GAP, 1070 - GAP - h, w, h}},
        {"bottom right corner", 1919, 1079, {LARGE}, {1919 - GAP - w, 1079 - GAP - h, w, h}},
        {"top left corner", 0, 0, {LARGE}, {GAP, GAP, w, h}},
        {"left edge", 0, 600, {LARGE}, {GAP, 600 + GAP, w, h}},
        {"top edge", 900, 0, {LARGE}, {900 + GAP, GAP, w, h}},
        {"first screen's right edge stays on it", 1910, 300, {LARGE, RIGHT},
            {1910 - GAP - w, 300 + GAP, w, h}},
        {"second screen's left edge stays on it", 1925, 300, {LARGE, RIGHT},
            {1925 + GAP, 300 + GAP, w, h}},
        {"second screen's bottom", 2500, 990, {LARGE, RIGHT}, {2500 + GAP, 990 - GAP - h, w, h}},
        {"pointer below the second screen: nearest screen", 2500, 1050, {LARGE, RIGHT},
            {2500 + GAP, 800, w, h}},
        {"larger than the screen", 10, 10, {{0, 0, 200, 100}}, {0, 0, 200, 100}},
    };
    for (const auto &[name, x, y, screens, placed] : rows)
        EXPECT_EQ(PlacePopup(x, y, w, h, screens), placed) << name;
}

TEST(WindowGeometryTest, KeptPlaceComesBackAndDamagedOnesAreNone)
{
    TestFolder folder;
    IniFile settings;
    settings.Load(folder.Path() + "Kalvora.ini");
    EXPECT_FALSE(ReadWindowGeometry(settings));
    WriteWindowGeometry(settings, {{-20, 30, 700, 500}, true, 210});
    const auto read = ReadWindowGeometry(settings);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->frame, (ScreenRect{-20, 30, 700, 500}));
    EXPECT_TRUE(read->maximised);
    EXPECT_EQ(read->listWidth, 210);

    const std::tuple<const char *, const char *, const char *> damaged[] = {
        {"no width", "WINDOW_WIDTH", ""},
        {"zero height", "WINDOW_HEIGHT", "0"},
        {"negative width", "WINDOW_WIDTH", "-5"},
        {"far beyond any desktop", "WINDOW_LEFT", "2147483647"},
    };
    for (const auto &[name, key, value] : damaged) {
        IniFile changed = settings;
        changed.SetString(key, value);
        EXPECT_FALSE(ReadWindowGeometry(changed)) << name;
    }
}
