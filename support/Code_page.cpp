#include "Code_page.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint64_t HIGH_BITS = 0x8080808080808080ULL;

// Whether the eight bytes at text are all ASCII, the same in Windows-1251 and in UTF-8.
inline bool EightAscii(const char *text)
{
    std::uint64_t chunk;
    std::memcpy(&chunk, text, sizeof chunk);
    return (chunk & HIGH_BITS) == 0;
}

// Every byte's UTF-8 form, up to three bytes, and its length: converting is then one lookup and
// one four-byte store per byte.
struct Utf8Form
{
    char bytes[4];
    std::uint8_t length;
};

constexpr std::array<Utf8Form, 256> MakeUtf8Forms()
{
    std::array<Utf8Form, 256> forms{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        const char32_t c = Cp1251Character(static_cast<unsigned char>(byte));
        Utf8Form &form = forms[byte];
        if (c < 0x80) {
            form.bytes[0] = static_cast<char>(c);
            form.length = 1;
        } else if (c < 0x800) {
            form.bytes[0] = static_cast<char>(0xC0 | (c >> 6));
            form.bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
            form.length = 2;
        } else {
            form.bytes[0] = static_cast<char>(0xE0 | (c >> 12));
            form.bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            form.bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
            form.length = 3;
        }
    }
    return forms;
}

constexpr std::array<Utf8Form, 256> UTF8_FORMS = MakeUtf8Forms();

// Short texts (headwords, given out 200 at a time for the word list) are converted on the stack
// and copied once at their size.
constexpr std::size_t SHORT_TEXT = 256;

// The byte of c, or '?' counted in unmapped when the code page has none. U+FFFD is no
// character of the text: it stands for one that was lost.
void AppendAnsi(std::string &out, char32_t c, std::size_t &unmapped)
{
    const int byte = c == 0xFFFD ? -1 : Cp1251Byte(c);
    if (byte < 0)
        ++unmapped;
    out += byte < 0 ? '?' : static_cast<char>(byte);
}

void AppendUtf16(std::u16string &out, char32_t code)
{
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
    } else {
        out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
}

// The character at text[i] and past it: a surrogate pair is one, an unpaired surrogate U+FFFD.
char32_t ReadUtf16(const std::u16string &text, std::size_t &i)
{
    char32_t code = text[i++];
    if (code >= 0xD800 && code <= 0xDBFF && i < text.size() && text[i] >= 0xDC00
        && text[i] <= 0xDFFF)
        return 0x10000 + ((code - 0xD800) << 10) + (text[i++] - 0xDC00);
    return code >= 0xD800 && code <= 0xDFFF ? 0xFFFD : code;
}

} // namespace

bool IsAscii(const char *text, std::size_t length)
{
    std::size_t i = 0;
    // Four words at once, one test for all: an article is checked whole before it is copied,
    // and a test a word was a third of reading one.
    for (; i + 32 <= length; i += 32) {
        std::uint64_t chunk[4];
        std::memcpy(chunk, text + i, sizeof chunk);
        if (((chunk[0] | chunk[1] | chunk[2] | chunk[3]) & HIGH_BITS) != 0)
            return false;
    }
    for (; i + 8 <= length; i += 8)
        if (!EightAscii(text + i))
            return false;
    for (; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    return true;
}

int Cp1251Byte(char32_t c)
{
    if (c < 0x80)
        return static_cast<int>(c);
    if (c >= 0x0410 && c <= 0x044F)
        return static_cast<int>(c - 0x0410 + 0xC0);
    for (int i = 0; i < 0x40; ++i)
        if (CP1251_HIGH_HALF[i] == c)
            return 0x80 + i;
    return -1;
}

char *AnsiToUtf8(const char *text, std::size_t length, char *out)
{
    // Every form is stored as four bytes, the slack overwritten by the next one. ASCII, the whole
    // of many headwords and articles, goes eight bytes at a time.
    for (std::size_t i = 0; i < length;) {
        if (i + 8 <= length && EightAscii(text + i)) {
            std::memcpy(out, text + i, 8);
            out += 8;
            i += 8;
            continue;
        }
        const Utf8Form &form = UTF8_FORMS[static_cast<unsigned char>(text[i++])];
        std::memcpy(out, form.bytes, 4);
        out += form.length;
    }
    return out;
}

std::string AnsiToUtf8(const char *text, std::size_t length)
{
    // ASCII, the whole of many articles, is the same text in UTF-8: copied once, as it is.
    if (IsAscii(text, length))
        return std::string(text, length);
    if (length <= SHORT_TEXT) {
        char buffer[SHORT_TEXT * 3 + 4];
        return std::string(buffer, AnsiToUtf8(text, length, buffer));
    }
    std::string out(length * 3 + 4, '\0');
    out.resize(static_cast<std::size_t>(AnsiToUtf8(text, length, out.data()) - out.data()));
    return out;
}

std::string AnsiToUtf8(const std::string &text)
{
    return AnsiToUtf8(text.data(), text.size());
}

std::u16string AnsiToUtf16(const std::string &text)
{
    std::u16string units;
    units.reserve(text.size());
    for (const char c : text)
        units += static_cast<char16_t>(Cp1251Character(static_cast<unsigned char>(c)));
    return units;
}

std::string Utf16ToAnsi(const std::u16string &text, std::size_t *unmapped)
{
    std::size_t count = 0;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();)
        AppendAnsi(out, ReadUtf16(text, i), count);
    if (unmapped)
        *unmapped = count;
    return out;
}

std::string Utf8ToAnsi(const std::string &text, std::size_t *unmapped)
{
    std::size_t count = 0;
    std::string out;
    out.reserve(text.size());
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    for (std::size_t i = 0, length = 0; i < text.size(); i += length)
        AppendAnsi(out, DecodeUtf8(bytes + i, text.size() - i, length), count);
    if (unmapped)
        *unmapped = count;
    return out;
}

std::string Utf16ToUtf8(const std::u16string &text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size();)
        AppendUtf8(out, ReadUtf16(text, i));
    return out;
}

std::u16string Utf8ToUtf16(const std::string &text)
{
    std::u16string units;
    units.reserve(text.size());
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    for (std::size_t i = 0, length = 0; i < text.size(); i += length)
        AppendUtf16(units, DecodeUtf8(bytes + i, text.size() - i, length));
    return units;
}

void AppendUtf8(std::string &out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsWellFormedUtf8(const std::string &text)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    std::size_t length = 0;
    for (std::size_t at = 0; at < text.size(); at += length) {
        // A U+FFFD written out takes three bytes; one byte read as U+FFFD was not UTF-8.
        if (DecodeUtf8(bytes + at, text.size() - at, length) == 0xFFFD && length == 1)
            return false;
    }
    return true;
}
