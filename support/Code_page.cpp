#include "Code_page.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace {

const char *const ANSI = "WINDOWS-1251";
const char *const UTF16 = "UTF-16LE";
const char *const UTF8 = "UTF-8";

// Bytes of the character iconv stopped at, which is either malformed or has no counterpart in
// the target; it is replaced as one whole character.
using CharacterLength = std::size_t (*)(const unsigned char *bytes, std::size_t left);

std::size_t AnsiLength(const unsigned char *, std::size_t)
{
    return 1;
}

std::size_t Utf16Length(const unsigned char *bytes, std::size_t left)
{
    const auto unitAt = [bytes](
                            std::size_t offset) { return bytes[offset] | bytes[offset + 1] << 8; };
    if (left >= 4 && unitAt(0) >= 0xD800 && unitAt(0) <= 0xDBFF && unitAt(2) >= 0xDC00
        && unitAt(2) <= 0xDFFF)
        return 4;
    return 2;
}

// A well-formed sequence counts as one character; anything else is replaced byte by byte.
std::size_t Utf8Length(const unsigned char *bytes, std::size_t left)
{
    std::size_t length;
    DecodeUtf8(bytes, left, length);
    return length;
}

class Converter
{
public:
    Converter(const char *to, const char *from)
        : descriptor(iconv_open(to, from))
    {
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;
    ~Converter()
    {
        if (IsOpen())
            iconv_close(descriptor);
    }

    bool IsOpen() const { return descriptor != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return descriptor; }

private:
    iconv_t descriptor;
};

// A character that cannot be converted never stops the conversion: it becomes replacement,
// and the rest of the text follows. Without iconv support for the pair the result is empty.
std::string Convert(const char *from, const char *to, const std::string &input,
    const std::string &replacement, CharacterLength characterLength, std::size_t *replaced)
{
    std::size_t count = 0;
    std::string output;
    const Converter converter(to, from);
    if (converter.IsOpen()) {
        char *in = const_cast<char *>(input.data());
        std::size_t inLeft = input.size();
        char chunk[4096];
        while (inLeft > 0) {
            char *out = chunk;
            std::size_t outLeft = sizeof(chunk);
            const std::size_t result = iconv(converter.Get(), &in, &inLeft, &out, &outLeft);
            const int error = errno;
            output.append(chunk, static_cast<std::size_t>(out - chunk));
            if (result != static_cast<std::size_t>(-1) || error == E2BIG)
                continue;
            // EILSEQ (malformed or no counterpart) or EINVAL (cut off at the end).
            const auto *bytes = reinterpret_cast<const unsigned char *>(in);
            const std::size_t skip =
                std::min(std::max<std::size_t>(characterLength(bytes, inLeft), 1), inLeft);
            in += skip;
            inLeft -= skip;
            output += replacement;
            ++count;
        }
    }
    if (replaced)
        *replaced = count;
    return output;
}

std::u16string Utf16Units(const std::string &bytes)
{
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units += static_cast<char16_t>(
            static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    return units;
}

} // namespace

std::string Utf16ToAnsi(const std::u16string &text, std::size_t *unmapped)
{
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return Convert(UTF16, ANSI, bytes, "?", Utf16Length, unmapped);
}

std::u16string AnsiToUtf16(const std::string &text)
{
    // 0x98 is the one byte Windows-1251 leaves undefined.
    return Utf16Units(Convert(ANSI, UTF16, text, "\xFD\xFF", AnsiLength, nullptr));
}

std::string Utf8ToAnsi(const std::string &text, std::size_t *unmapped)
{
    return Convert(UTF8, ANSI, text, "?", Utf8Length, unmapped);
}

std::string AnsiToUtf8(const std::string &text)
{
    return Convert(ANSI, UTF8, text, "\xEF\xBF\xBD", AnsiLength, nullptr);
}

std::string Utf16ToUtf8(const std::u16string &text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00
            && text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::u16string Utf8ToUtf16(const std::string &text)
{
    return Utf16Units(Convert(UTF8, UTF16, text, "\xFD\xFF", Utf8Length, nullptr));
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
