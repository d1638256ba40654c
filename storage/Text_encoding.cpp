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

// The same for 32 bytes, one test for all four words: articles are mostly ASCII, and a test a
// word was a third of reading one.
inline bool ThirtyTwoAscii(const char *text)
{
    std::uint64_t chunk[4];
    std::memcpy(chunk, text, sizeof chunk);
    return ((chunk[0] | chunk[1] | chunk[2] | chunk[3]) & HIGH_BITS) == 0;
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
        if (i + 32 <= length && ThirtyTwoAscii(text + i)) {
            i += 32;
            continue;
        }
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

std::string Cp1251Text::ProgramText(const char *text, std::size_t length)
{
    return AnsiToUtf8(text, length);
}

void Cp1251Text::MakeProgramText(std::vector<std::string_view> &words, std::string &room)
{
    char *out = RoomFor(words, room);
    // ASCII, the whole of most headwords of many dictionaries, is the same text in UTF-8.
    for (std::string_view &word : words) {
        if (IsAscii(word.data(), word.size()))
            continue;
        char *const end = AnsiToUtf8(word.data(), word.size(), out);
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
    for (const char *at = text; at < end; ++count) {
        // Every article is counted against the length limit, and most of its text is ASCII:
        // eight such bytes are taken at a time.
        std::uint64_t eight;
        while (end - at >= 8 && (std::memcpy(&eight, at, 8), (eight & 0x8080808080808080) == 0)) {
            at += 8;
            count += 8;
        }
        if (at == end)
            break;
        Read(at, end);
    }
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
