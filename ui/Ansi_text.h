#ifndef UI_ANSI_TEXT_H
#define UI_ANSI_TEXT_H

#include <cstddef>
#include <string>

#include <QString>

// The program's Windows-1251 text as the toolkit's text and back.
QString ToQString(const std::string &ansi);
// Characters without a Windows-1251 counterpart become '?'; unmapped receives their number.
std::string ToAnsi(const QString &text, std::size_t *unmapped = nullptr);

#endif // UI_ANSI_TEXT_H
