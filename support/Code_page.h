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

// The character at text, where left > 0 bytes remain, and how many bytes it takes. A sequence
// that is not well-formed UTF-8 (cut short, overlong, a surrogate, beyond U+10FFFF, a stray
// continuation byte) reads as U+FFFD one byte long, so a lead byte never swallows what follows.
inline char32_t DecodeUtf8(const unsigned char *text, std::size_t left, std::size_t &length)
{
    const unsigned char lead = text[0];
    length = 1;
    if (lead < 0x80)
        return lead;
    std::size_t size = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        code = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        size = 4;
        code = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    if (size == 0 || left < size || text[1] < low || text[1] > high)
        return 0xFFFD;
    code = (code << 6) | (text[1] & 0x3F);
    for (std::size_t i = 2; i < size; ++i) {
        if (text[i] < 0x80 || text[i] > 0xBF)
            return 0xFFFD;
        code = (code << 6) | (text[i] & 0x3F);
    }
    length = size;
    return code;
}

// Whether every byte of text belongs to a well-formed UTF-8 character.
bool IsWellFormedUtf8(const std::string &text);

#endif // SUPPORT_CODE_PAGE_H
