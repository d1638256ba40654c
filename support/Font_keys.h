#ifndef SUPPORT_FONT_KEYS_H
#define SUPPORT_FONT_KEYS_H

#include <cstdint>
#include <string>

class IniFile;

enum FontStyle : std::uint8_t
{
    fsBold = 1,
    fsItalic = 2,
    fsUnderline = 4,
    fsStrikeOut = 8,
};

// A font as the program stores it, free of any toolkit: height in pixels (negative: character
// height, positive: cell height), a set of FontStyle bits and a colour 0x00BBGGRR, where the
// high bit marks a system colour (0x80000008 is the window-text colour).
struct FontDescription
{
    std::string name;
    std::int32_t height = 0;
    std::uint8_t style = 0;
    std::int32_t colour = 0;

    bool operator==(const FontDescription &other) const
    {
        return name == other.name && height == other.height && style == other.style
            && colour == other.colour;
    }
};

constexpr std::int32_t WINDOW_TEXT_COLOUR = static_cast<std::int32_t>(0x80000008u);

// Reads the keys prefix, prefix_HEIGHT, _STYLE, _BOLD, _ITALIC and _COLOR into font. Without the
// prefix key nothing is read and false is returned. A height of 0 or beyond +-1000 would make an
// unusable font and leaves the height as it was; so does a stored colour of 0 when
// zeroColourIgnored is set.
bool ReadFontKeys(const IniFile &settings, const std::string &prefix, FontDescription &font,
    bool zeroColourIgnored);
// Writes name, height, bold, italic and colour; underline and strike-out are not stored.
void WriteFontKeys(IniFile &settings, const std::string &prefix, const FontDescription &font);

#endif // SUPPORT_FONT_KEYS_H
