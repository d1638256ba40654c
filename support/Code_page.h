#ifndef SUPPORT_CODE_PAGE_H
#define SUPPORT_CODE_PAGE_H

#include <cstddef>
#include <string>

// Conversions between Windows-1251, UTF-16 and UTF-8 for the program's edges: attribute files,
// settings, dictionary sources.

// A character without a Windows-1251 counterpart becomes '?'; unmapped, when given, receives
// how many there were. Unpaired surrogates count as such characters.
std::string Utf16ToAnsi(const std::u16string &text, std::size_t *unmapped = nullptr);
// Every byte gives one UTF-16 unit; 0x98, which Windows-1251 leaves undefined, gives U+FFFD.
std::u16string AnsiToUtf16(const std::string &text);

// Every unit gives its character; an unpaired surrogate gives U+FFFD.
std::string Utf16ToUtf8(const std::u16string &text);
// Every well-formed character gives its units; each byte of anything else gives U+FFFD.
std::u16string Utf8ToUtf16(const std::string &text);

// Appends code, a Unicode scalar value, as UTF-8.
void AppendUtf8(std::string &out, char32_t code);

// The same for UTF-8 text at the program's edges (terminals, pipes, other dictionary formats).
// Invalid UTF-8 bytes count as characters without a counterpart.
std::string Utf8ToAnsi(const std::string &text, std::size_t *unmapped = nullptr);
std::string AnsiToUtf8(const std::string &text);

#endif // SUPPORT_CODE_PAGE_H
