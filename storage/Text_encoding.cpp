#include "Text_encoding.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint64_t HIGH_BITS = 0x8080808080808080ULL;

// Whether the eight bytes at text are all ASCII, the same in either encoding and in UTF-8.
inline bool EightAscii(const char *text)
{
    std::uint64_t chunk;
    std::memcpy(&chunk, text, sizeof chunk);
    return (chunk & HIGH_BITS) == 0;
}

bool IsAscii(const char *text, std::size_t length)
{
    std::size_t i = 0;
    for (; i + 8 <= length; i += 8)
        if (!EightAscii(text + i))
            return false;
    for (; i < length; ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            return false;
    return true;
}

// Whether ValidUtf8 would give text back unchanged.
bool IsWellFormedUtf8(const char *text, std::size_t length)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    for (std::size_t i = 0; i < length;) {
        if (i + 8 <= length && EightAscii(text + i)) {
            i += 8;
            continue;
        }
        std::size_t size = 1;
        // A U+FFFD of the text itself is three bytes long.
        if (bytes[i] >= 0x80 && DecodeUtf8(bytes + i, length - i, size) == 0xFFFD && size == 1)
            return false;
        i += size;
    }
    return true;
}

// The room words take converted, were each of them converted: three bytes a byte and four more.
char *RoomFor(const std::vector<std::string_view> &words, std::string &room)
{
    std::size_t need = 4;
    for (const std::string_view word : words)
        need += 3 * word.size();
    // Only ever grown, so that a list refilled again and again allocates once.
    if (room.size() < need)
        room.resize(need);
    return room.data();
}

// The Unicode character of every Windows-1251 byte from 0x80; below it the byte is ASCII. 0x98,
// which the code page leaves undefined, reads as U+FFFD.
constexpr char16_t HIGH_HALF[128] = {
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

constexpr char32_t CharacterOf(unsigned char byte)
{
    return byte < 0x80 ? byte : HIGH_HALF[byte - 0x80];
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
        const char32_t c = CharacterOf(static_cast<unsigned char>(byte));
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

// The Windows-1251 byte of a character, or -1 when the code page has none.
int Cp1251Byte(char32_t c)
{
    if (c < 0x80)
        return static_cast<int>(c);
    if (c >= 0x0410 && c <= 0x044F)
        return static_cast<int>(c - 0x0410 + 0xC0);
    for (int i = 0; i < 0x40; ++i)
        if (HIGH_HALF[i] == c)
            return 0x80 + i;
    return -1;
}

bool EqualsIgnoringCase(const std::string &text, const char *ascii)
{
    std::size_t i = 0;
    for (; i < text.size() && ascii[i]; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c >= 'a' && c <= 'z' ? c - 0x20 : c) != static_cast<unsigned char>(ascii[i]))
            return false;
    }
    return i == text.size() && !ascii[i];
}

} // namespace

DictionaryEncoding EncodingNamed(const std::string &value)
{
    return EqualsIgnoringCase(value, "UTF-8") || EqualsIgnoringCase(value, "UTF8")
        ? DictionaryEncoding::Utf8
        : DictionaryEncoding::Cp1251;
}

std::string ValidUtf8(const char *text, std::size_t length)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    // Well-formed text, by far the usual case, is copied whole.
    std::size_t i = 0;
    while (i < length) {
        if (i + 8 <= length && EightAscii(text + i)) {
            i += 8;
            continue;
        }
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        std::size_t size;
        // A U+FFFD of the text itself is three bytes long.
        if (DecodeUtf8(bytes + i, length - i, size) == 0xFFFD && size == 1)
            break;
        i += size;
    }
    std::string out(text, i);
    while (i < length) {
        std::size_t size;
        AppendUtf8(out, DecodeUtf8(bytes + i, length - i, size));
        i += size;
    }
    return out;
}

std::string Cp1251Text::UpperQuery(const std::string &utf8, bool &complete)
{
    // No room reserved: the query is usually short enough to stay inside the string itself.
    std::string query;
    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8.data());
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t size;
        const int byte = Cp1251Byte(DecodeUtf8(bytes + i, utf8.size() - i, size));
        if (byte < 0) {
            complete = false;
            return query;
        }
        query += static_cast<char>(ToUpperByte(static_cast<unsigned char>(byte)));
        i += size;
    }
    complete = true;
    return query;
}

namespace {

// Converts into out, which has room for three bytes a byte and four more; returns the end.
char *ConvertCp1251(const char *text, std::size_t length, char *out)
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

// Headwords, given out 200 at a time for the word list, are converted on the stack and copied
// once at their size.
constexpr std::size_t SHORT_TEXT = 256;

} // namespace

std::string Cp1251Text::ProgramText(const char *text, std::size_t length)
{
    // ASCII, the whole of many articles, is the same text in UTF-8: copied once, as it is.
    if (IsAscii(text, length))
        return std::string(text, length);
    if (length <= SHORT_TEXT) {
        char buffer[SHORT_TEXT * 3 + 4];
        return std::string(buffer, ConvertCp1251(text, length, buffer));
    }
    std::string out(length * 3 + 4, '\0');
    out.resize(static_cast<std::size_t>(ConvertCp1251(text, length, out.data()) - out.data()));
    return out;
}

void Cp1251Text::AssignProgramText(const char *text, std::size_t length, std::string &out)
{
    if (length <= SHORT_TEXT) {
        char buffer[SHORT_TEXT * 3 + 4];
        out.assign(buffer, ConvertCp1251(text, length, buffer));
    } else {
        out = ProgramText(text, length);
    }
}

void Cp1251Text::MakeProgramText(std::vector<std::string_view> &words, std::string &room)
{
    char *out = RoomFor(words, room);
    // ASCII, the whole of most headwords of many dictionaries, is the same text in UTF-8.
    for (std::string_view &word : words) {
        if (IsAscii(word.data(), word.size()))
            continue;
        char *const end = ConvertCp1251(word.data(), word.size(), out);
        word = std::string_view(out, static_cast<std::size_t>(end - out));
        out = end;
    }
}

bool Cp1251Text::IsProgramText(const char *text, std::size_t length)
{
    return IsAscii(text, length);
}

bool Utf8Text::IsProgramText(const char *text, std::size_t length)
{
    return IsWellFormedUtf8(text, length);
}

void Utf8Text::AssignProgramText(const char *text, std::size_t length, std::string &out)
{
    if (IsWellFormedUtf8(text, length))
        out.assign(text, length);
    else
        out = ValidUtf8(text, length);
}

void Utf8Text::MakeProgramText(std::vector<std::string_view> &words, std::string &room)
{
    char *out = RoomFor(words, room);
    for (std::string_view &word : words) {
        if (IsWellFormedUtf8(word.data(), word.size()))
            continue;
        // Each byte that is not well-formed becomes three: within the room.
        const std::string valid = ValidUtf8(word.data(), word.size());
        std::memcpy(out, valid.data(), valid.size());
        word = std::string_view(out, valid.size());
        out += valid.size();
    }
}

std::size_t Utf8Text::Count(const char *text, std::size_t length)
{
    const char *const end = text + length;
    std::size_t count = 0;
    for (const char *at = text; at < end; ++count)
        Read(at, end);
    return count;
}

std::size_t Utf8Text::BytesOf(const char *text, std::size_t length, std::size_t count)
{
    const char *const end = text + length;
    const char *at = text;
    for (; at < end && count > 0; --count)
        Read(at, end);
    return static_cast<std::size_t>(at - text);
}

std::string Utf8Text::UpperQuery(const std::string &utf8, bool &complete)
{
    std::string query;
    query.reserve(utf8.size());
    const char *const end = utf8.data() + utf8.size();
    for (const char *at = utf8.data(); at < end;)
        AppendUtf8(query, Upper(Read(at, end)));
    complete = true;
    return query;
}
