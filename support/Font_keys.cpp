#include "support/Font_keys.h"

#include <cstdlib>

#include "support/Ini_file.h"

namespace {

constexpr std::int32_t MAX_FONT_HEIGHT = 1000;

} // namespace

bool ReadFontKeys(const IniFile &settings, const std::string &prefix, FontDescription &font,
    bool zeroColourIgnored)
{
    std::string name;
    if (!settings.GetString(prefix, name))
        return false;
    font.name = name;

    std::int32_t value = 0;
    if (settings.GetInt(prefix + "_HEIGHT", value) && value != 0
        && std::abs(static_cast<std::int64_t>(value)) <= MAX_FONT_HEIGHT)
        font.height = value;
    if (settings.GetInt(prefix + "_STYLE", value))
        font.style = static_cast<std::uint8_t>(value & 0xFF);
    if (settings.GetInt(prefix + "_BOLD", value) && value != 0)
        font.style |= fsBold;
    if (settings.GetInt(prefix + "_ITALIC", value) && value != 0)
        font.style |= fsItalic;
    if (settings.GetInt(prefix + "_COLOR", value) && !(zeroColourIgnored && value == 0))
        font.colour = value;
    return true;
}

void WriteFontKeys(IniFile &settings, const std::string &prefix, const FontDescription &font)
{
    settings.SetString(prefix, font.name);
    settings.SetInt(prefix + "_HEIGHT", font.height);
    settings.SetInt(prefix + "_BOLD", (font.style & fsBold) ? 1 : 0);
    settings.SetInt(prefix + "_ITALIC", (font.style & fsItalic) ? 1 : 0);
    settings.SetInt(prefix + "_COLOR", font.colour);
}
