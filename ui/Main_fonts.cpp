#include "ui/Main_fonts.h"

#include <cmath>

#include <QApplication>
#include <QFont>

#include "ui/Ansi_text.h"

namespace {

const char *const LIST_FONT_KEY = "LIST_FONT";
const char *const ARTICLE_FONT_KEY = "PARTICLE_FONT";

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
