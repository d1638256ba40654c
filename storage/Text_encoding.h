#ifndef STORAGE_TEXT_ENCODING_H
#define STORAGE_TEXT_ENCODING_H

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "storage/Unicode_upper.h"
#include "support/Code_page.h"
#include "support/Utils.h"

// How a dictionary's index and data file hold their text. The program's own text is UTF-8: what
// a dictionary gives out is turned into UTF-8 as it is read, and what is looked up in it arrives
// as UTF-8. Nothing outside this unit asks which encoding a dictionary has.
enum class DictionaryEncoding
{
    Cp1251,
    Utf8
};

// The encoding an attribute file's ENCODING value names: "UTF-8" or "utf8" in any letter case
// is UTF-8; any other value, or none, is Windows-1251.
DictionaryEncoding EncodingNamed(const std::string &value);

// UTF-8 with every sequence that is not well-formed replaced by U+FFFD, as DecodeUtf8 reads it.
std::string ValidUtf8(const char *text, std::size_t length);

// What differs between the two encodings, for the readers of a dictionary's files. A character
// is handled as a char32_t: a Windows-1251 character as its byte, a UTF-8 one as its code, so
// that comparing two of them orders them as their bytes order in either encoding. Text given to
// these functions never has a character cut at its end: fields end at ASCII bytes.
struct Cp1251Text
{
    static constexpr std::size_t MAX_CHARACTER_BYTES = 1;

    static char32_t Read(const char *&at, const char *)
    {
        return static_cast<unsigned char>(*at++);
    }
    // ToUpper as it always was: the small yo and every letter beyond a-z and a-ya unchanged.
    static char32_t Upper(char32_t c) { return ToUpperByte(static_cast<unsigned char>(c)); }
    // The block of a headword is that of its first byte as stored.
    static char32_t Key(char32_t first) { return first; }
    static std::size_t Count(const char *, std::size_t length) { return length; }
    // Bytes taken by the first count characters of text.
    static std::size_t BytesOf(const char *, std::size_t length, std::size_t count)
    {
        return std::min(length, count);
    }

    // The query in this encoding, upper-cased: up to its first character that Windows-1251
    // cannot hold, complete telling whether it got that far. U+FFFD gives the undefined byte
    // 0x98, which reads as U+FFFD, so that every headword can be looked up as it was given out.
    static std::string UpperQuery(const std::string &utf8, bool &complete);
    // Text from the dictionary's files as the program's UTF-8, through the code page's table.
    static std::string ProgramText(const char *text, std::size_t length);
    // Views of text from the dictionary's files made views of the program's text: those that
    // are so already stay, the others are converted into room, which keeps its size from call
    // to call.
    static void MakeProgramText(std::vector<std::string_view> &words, std::string &room);
    // Whether text is the program's text as it stands: ASCII.
    static bool IsProgramText(const char *text, std::size_t length);
};

struct Utf8Text
{
    static constexpr std::size_t MAX_CHARACTER_BYTES = 4;

    static char32_t Read(const char *&at, const char *end)
    {
        const auto *bytes = reinterpret_cast<const unsigned char *>(at);
        // ASCII and two-byte characters (Latin, Greek, Cyrillic...) first: they are most of
        // every index, and the general decoding's branches cost more than the rest of a load.
        if (bytes[0] < 0x80) {
            ++at;
            return bytes[0];
        }
        if (bytes[0] >= 0xC2 && bytes[0] <= 0xDF && end - at >= 2 && (bytes[1] & 0xC0) == 0x80) {
            at += 2;
            return (static_cast<char32_t>(bytes[0] & 0x1F) << 6) | (bytes[1] & 0x3F);
        }
        std::size_t length;
        const char32_t c = DecodeUtf8(bytes, static_cast<std::size_t>(end - at), length);
        at += length;
        return c;
    }
    static char32_t Upper(char32_t c) { return UnicodeUpper(c); }
    // The block of a headword is that of its first character upper-cased.
    static char32_t Key(char32_t first) { return Upper(first); }
    static std::size_t Count(const char *text, std::size_t length);
    static std::size_t BytesOf(const char *text, std::size_t length, std::size_t count);

    // Always complete: every character has a UTF-8 form.
    static std::string UpperQuery(const std::string &utf8, bool &complete);
    static std::string ProgramText(const char *text, std::size_t length)
    {
        return ValidUtf8(text, length);
    }
    static void MakeProgramText(std::vector<std::string_view> &words, std::string &room);
    // Whether text is well-formed, so that ProgramText would give it back unchanged.
    static bool IsProgramText(const char *text, std::size_t length);
};

// Calls act with the description of encoding: the one place that tells the two apart.
template <class Act> decltype(auto) WithText(DictionaryEncoding encoding, Act &&act)
{
    if (encoding == DictionaryEncoding::Utf8)
        return act(Utf8Text());
    return act(Cp1251Text());
}

#endif // STORAGE_TEXT_ENCODING_H
