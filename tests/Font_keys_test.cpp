#include "support/Font_keys.h"

#include <gtest/gtest.h>
#include <tuple>

#include "Test_folder.h"
#include "support/Ini_file.h"

namespace {

IniFile SettingsFrom(const std::string &bytes, const TestFolder &folder)
{
    folder.WriteFile("Kalvora.ini", bytes);
    IniFile settings;
    settings.Load(folder.Path() + "Kalvora.ini");
    return settings;
}

FontDescription Start()
{
    FontDescription font;
    font.name = "Start";
    font.height = -13;
    font.style = fsUnderline;
    font.colour = 0x123456;
    return font;
}

} // namespace

TEST(FontKeysTest, ReadsStoredKeysOverWhatTheFontHeld)
{
    struct Row
    {
        const char *name;
        std::string file;
        bool zeroColourIgnored;
        bool read;
        FontDescription expected;
    };
    const FontDescription start = Start();
    const Row rows[] = {
        {"no name key: nothing read", "F_HEIGHT=-20\r\nF_BOLD=1\r\n", false, false, start},
        {"name only", "F=Arial\r\n", false, true, {"Arial", -13, fsUnderline, 0x123456}},
        {"all keys", "F=Arial\r\nF_HEIGHT=-20\r\nF_BOLD=1\r\nF_ITALIC=1\r\nF_COLOR=255\r\n", false,
            true, {"Arial", -20, fsUnderline | fsBold | fsItalic, 255}},
        {"zero bold and italic keep the style", "F=A\r\nF_BOLD=0\r\nF_ITALIC=0\r\n", false, true,
            {"A", -13, fsUnderline, 0x123456}},
        {"style replaced before bold", "F=A\r\nF_STYLE=5\r\nF_ITALIC=1\r\n", false, true,
            {"A", -13, fsBold | fsUnderline | fsItalic, 0x123456}},
        {"style keeps the low byte", "F=A\r\nF_STYLE=258\r\n", false, true,
            {"A", -13, fsItalic, 0x123456}},
        {"list colour 0 is black", "F=A\r\nF_COLOR=0\r\n", false, true, {"A", -13, fsUnderline, 0}},
        {"article colour 0 ignored", "F=A\r\nF_COLOR=0\r\n", true, true,
            {"A", -13, fsUnderline, 0x123456}},
        {"system colour", "F=A\r\nF_COLOR=-2147483640\r\n", true, true,
            {"A", -13, fsUnderline, WINDOW_TEXT_COLOUR}},
        {"height 0 unchanged", "F=A\r\nF_HEIGHT=0\r\n", false, true,
            {"A", -13, fsUnderline, 0x123456}},
        {"absurd height unchanged", "F=A\r\nF_HEIGHT=-99999\r\n", false, true,
            {"A", -13, fsUnderline, 0x123456}},
        {"largest height taken", "F=A\r\nF_HEIGHT=1000\r\n", false, true,
            {"A", 1000, fsUnderline, 0x123456}},
        {"empty height absent", "F=A\r\nF_HEIGHT=\r\n", false, true,
            {"A", -13, fsUnderline, 0x123456}},
    };
    for (const Row &row : rows) {
        TestFolder folder;
        const IniFile settings = SettingsFrom(row.file, folder);
        FontDescription font = start;
        EXPECT_EQ(ReadFontKeys(settings, "F", font, row.zeroColourIgnored), row.read) << row.name;
        EXPECT_EQ(font.name, row.expected.name) << row.name;
        EXPECT_EQ(font.height, row.expected.height) << row.name;
        EXPECT_EQ(int(font.style), int(row.expected.style)) << row.name;
        EXPECT_EQ(font.colour, row.expected.colour) << row.name;
    }
}

TEST(FontKeysTest, WrittenKeysReadBackWithoutUnderlineAndStrikeOut)
{
    TestFolder folder;
    IniFile settings;
    settings.Load(folder.Path() + "Kalvora.ini");
    const FontDescription written{
        "Times", -16, fsBold | fsItalic | fsUnderline | fsStrikeOut, WINDOW_TEXT_COLOUR};
    WriteFontKeys(settings, "LIST_FONT", written);
    settings.Save();

    EXPECT_EQ(folder.ReadFile("Kalvora.ini"),
        "LIST_FONT=Times\r\nLIST_FONT_BOLD=1\r\nLIST_FONT_COLOR=-2147483640\r\n"
        "LIST_FONT_HEIGHT=-16\r\nLIST_FONT_ITALIC=1\r\n");

    IniFile reloaded;
    reloaded.Load(folder.Path() + "Kalvora.ini");
    FontDescription font;
    ASSERT_TRUE(ReadFontKeys(reloaded, "LIST_FONT", font, false));
    EXPECT_EQ(font, (FontDescription{"Times", -16, fsBold | fsItalic, WINDOW_TEXT_COLOUR}));
}
