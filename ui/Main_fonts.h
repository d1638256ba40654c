#ifndef UI_MAIN_FONTS_H
#define UI_MAIN_FONTS_H

#include "support/Font_keys.h"

class IniFile;

// What a newly created font holds: the desktop's default face and size in the window-text
// colour.
FontDescription DefaultFont();

// The main window's two fonts in the settings: the word list's under LIST_FONT, the article
// pane's under PARTICLE_FONT. Reading keeps what the keys do not give.
void ReadMainFonts(const IniFile &settings, FontDescription &list, FontDescription &article);
void WriteMainFonts(IniFile &settings, const FontDescription &list, const FontDescription &article);

// Whether the article pane shows the word's article from every dictionary, under
// SHOW_ALL_DICTIONARIES; true when the key is missing.
bool ReadShowAllDictionaries(const IniFile &settings);
void WriteShowAllDictionaries(IniFile &settings, bool all);

#endif // UI_MAIN_FONTS_H
