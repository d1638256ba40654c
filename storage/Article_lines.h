#ifndef STORAGE_ARTICLE_LINES_H
#define STORAGE_ARTICLE_LINES_H

#include <string>
#include <string_view>

// An article is one line of its data file. Where its author broke a line, a UTF-8 dictionary
// holds U+2028 LINE SEPARATOR; a Windows-1251 dictionary, which has no such character, holds
// none.
constexpr std::string_view LINE_BREAK = "\xE2\x80\xA8";
constexpr char32_t LINE_BREAK_CHARACTER = 0x2028;

// The text with every stored line break replaced.
std::string ReplaceLineBreaks(std::string text, std::string_view replacement);

#endif // STORAGE_ARTICLE_LINES_H
