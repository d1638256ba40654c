#ifndef SUPPORT_CODE_PAGE_H
#define SUPPORT_CODE_PAGE_H

#include <cstddef>
#include <string>

// Conversions between Windows-1251, UTF-16 and UTF-8: the program's one table of the code page,
// for its edges (attribute files, settings, dictionary sources) and for the dictionaries' text.

// The Unicode character of every Windows-1251 byte from 0x80; below it the byte is ASCII. 0x98,
// which the code page leaves undefined, reads as U+FFFD.
inline constexpr char16_t CP1251_HIGH_HALF[128] = {
    // 0x80
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F,
    // 0x90
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A,
    0x045A, 0x045C, 0x045B, 0x045F,
    // 0xA0
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407,
    // 0xB0
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457,
    // 0xC0-0xFF: the 64 letters from U+0410 on, in order
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B,
    0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433,
    0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B,
    0x044C, 0x044D, 0x044E, 0x044F};

constexpr char32_t Cp1251Character(unsigned char byte)
{
    return byte < 0x80 ? byte : CP1251_HIGH_HALF[byte - 0x80];
}

// The Windows-1251 byte of a character, or -1 when the code page has none. U+FFFD gives the
// undefined byte 0x98, which reads as U+FFFD.
int Cp1251Byte(char32_t c);

// Windows-1251 text as UTF-8 into out, which has room for three bytes a byte and four more;
// returns the end of what was written.
char *AnsiToUtf8(const char *text, std::size_t length, char *out);
std::string AnsiToUtf8(const char *text, std::size_t length);

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

// Whether every byte is below 0x80: the same text in Windows-1251 and in UTF-8.
bool IsAscii(const char *text, std::size_t length);

#endif // SUPPORT_CODE_PAGE_H
