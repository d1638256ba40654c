#include "ui/Main_fonts.h"

#include <cmath>
#include <cstdint>

#include <QApplication>
#include <QFont>

#include "support/Ini_file.h"
#include "ui/Ansi_text.h"

namespace {

const char *const LIST_FONT_KEY = "LIST_FONT";
const char *const ARTICLE_FONT_KEY = "PARTICLE_FONT";
const char *const SHOW_ALL_DICTIONARIES_KEY = "SHOW_ALL_DICTIONARIES";

} // namespace

FontDescription DefaultFont()
{
    const QFont font = QApplication::font();
    FontDescription description;
    description.name = ToAnsi(font.family());
    const int pixels = font.pixelSize() > 0
        ? font.pixelSize()
        : static_cast<int>(std::lround(font.pointSizeF() * 96.0 / 72.0));
    description.height = -pixels;
    description.colour = WINDOW_TEXT_COLOUR;
    return description;
}

void ReadMainFonts(const IniFile &settings, FontDescription &list, FontDescription &article)
{
    ReadFontKeys(settings, LIST_FONT_KEY, list, false);
    ReadFontKeys(settings, ARTICLE_FONT_KEY, article, true);
}

void WriteMainFonts(IniFile &settings, const FontDescription &list, const FontDescription &article)
{
    WriteFontKeys(settings, LIST_FONT_KEY, list);
    WriteFontKeys(settings, ARTICLE_FONT_KEY, article);
}

bool ReadShowAllDictionaries(const IniFile &settings)
{
    std::int32_t all = 1;
    settings.GetInt(SHOW_ALL_DICTIONARIES_KEY, all);
    return all != 0;
}

void WriteShowAllDictionaries(IniFile &settings, bool all)
{
    settings.SetInt(SHOW_ALL_DICTIONARIES_KEY, all ? 1 : 0);
}
