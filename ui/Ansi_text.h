#ifndef UI_ANSI_TEXT_H
#define UI_ANSI_TEXT_H

#include <cstddef>
#include <string>

#include <QString>

// The core's text is UTF-8: headwords, articles, attribute values, folder names.
QString ToQString(const std::string &utf8);
std::string ToCoreText(const QString &text);

// Characters of text up to its first count characters, in UTF-16 units: the core counts
// characters, the edit field units.
int UnitsOfCharacters(const QString &text, int count);

// The settings file keeps font names in Windows-1251, as it always has. Characters without a
// Windows-1251 counterpart become '?'; unmapped receives their number.
QString AnsiToQString(const std::string &ansi);
std::string ToAnsi(const QString &text, std::size_t *unmapped = nullptr);

#endif // UI_ANSI_TEXT_H
