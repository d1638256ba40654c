#include "storage/Text_encoding.h"

#include <gtest/gtest.h>
#include <tuple>

#include "support/Code_page.h"

TEST(TextEncodingTest, OnlyUtf8NamesChooseUtf8)
{
    const std::tuple<std::string, DictionaryEncoding> rows[] = {
        {"UTF-8", DictionaryEncoding::Utf8},
        {"utf8", DictionaryEncoding::Utf8},
        {"Utf-8", DictionaryEncoding::Utf8},
        {"uTF8", DictionaryEncoding::Utf8},
        {"cp1251", DictionaryEncoding::Cp1251},
        {"", DictionaryEncoding::Cp1251},
        {"UTF-16", DictionaryEncoding::Cp1251},
        {"UTF-8 ", DictionaryEncoding::Cp1251},
        {"utf 8", DictionaryEncoding::Cp1251},
        {"UTF-", DictionaryEncoding::Cp1251},
    };
    for (const auto &[value, encoding] : rows)
        EXPECT_EQ(EncodingNamed(value), encoding) << '"' << value << '"';
}

// Every byte can be looked up again as the text it was given out as.
TEST(TextEncodingTest, EveryByteIsFoundAgainAsItWasGivenOut)
{
    for (int byte = 0; byte < 256; ++byte) {
        const std::string ansi(1, static_cast<char>(byte));
        bool complete = false;
        EXPECT_EQ(Cp1251Text::UpperQuery(AnsiToUtf8(ansi), complete), ToUpper(ansi)) << byte;
        EXPECT_TRUE(complete) << byte;
    }
}

TEST(TextEncodingTest, QueriesStopWhereWindows1251EndsAndUpperCaseByItsRule)
{
    // name, UTF-8 query, Windows-1251 query, complete
    const std::tuple<const char *, std::string, std::string, bool> rows[] = {
        {"cyrillic", "дом", "\xC4\xCE\xCC", true},
        {"small yo kept", "ёж", "\xB8\xC6", true},
        {"e acute stops", "caf\xC3\xA9s", "CAF", false},
        {"first letter outside", "\xCE\xA9mega", "", false},
        {"emoji stops",
            "a\xF0\x9F\x98\x80"
            "b",
            "A", false},
        {"invalid byte is U+FFFD, the undefined byte",
            "a\xFF"
            "b",
            "A\x98"
            "B",
            true},
        {"empty", "", "", true},
    };
    for (const auto &[name, utf8, ansi, whole] : rows) {
        bool complete = !whole;
        EXPECT_EQ(Cp1251Text::UpperQuery(utf8, complete), ansi) << name;
        EXPECT_EQ(complete, whole) << name;
    }
}

TEST(TextEncodingTest, Utf8UpperCasesOneCharacterToOne)
{
    const std::tuple<const char *, std::string, std::string> rows[] = {
        {"latin", "word", "WORD"},
        {"small yo", "\xD1\x91", "\xD0\x81"},
        {"e acute", "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"},
        {"ghe with upturn", "\xD2\x91", "\xD2\x90"},
        {"greek final sigma", "\xCF\x82", "\xCE\xA3"},
        {"sharp s has no one-letter capital", "\xC3\x9F", "\xC3\x9F"},
        // Their simple mappings name one capital each (U+1FBC, U+1F88), the full ones two.
        {"greek with ypogegrammeni keeps its case", "\xE1\xBE\xB3\xE1\xBE\x80",
            "\xE1\xBE\xB3\xE1\xBE\x80"},
        {"dotless i", "\xC4\xB1", "I"},
        {"title-case dz", "\xC7\x85", "\xC7\x84"},
        {"deseret, beyond U+FFFF", "\xF0\x90\x90\xA8", "\xF0\x90\x90\x80"},
        {"capitals, digits, signs kept", "\xD0\x81 1-2", "\xD0\x81 1-2"},
        {"cjk kept", "\xE4\xB8\xAD", "\xE4\xB8\xAD"},
    };
    for (const auto &[name, in, out] : rows) {
        bool complete = false;
        EXPECT_EQ(Utf8Text::UpperQuery(in, complete), out) << name;
        EXPECT_TRUE(complete) << name;
    }
}

TEST(TextEncodingTest, BadUtf8ReadsAsReplacementCharactersAByteEach)
{
    const std::string fffd = "\xEF\xBF\xBD";
    // name, bytes, valid text, characters counted
    const std::tuple<const char *, std::string, std::string, std::size_t> rows[] = {
        {"well-formed kept", "a\xD0\x90\xE2\x82\xAC\xF0\x9F\x98\x80",
            "a\xD0\x90\xE2\x82\xAC\xF0\x9F\x98\x80", 4},
        {"a replacement character kept", fffd, fffd, 1},
        {"invalid byte",
            "a\xFF"
            "b",
            "a" + fffd + "b", 3},
        {"cut at the end", "ab\xD0", "ab" + fffd, 3},
        {"cut before ascii", "\xE2\x82x", fffd + fffd + "x", 3},
        {"stray continuation", "\x80\x80", fffd + fffd, 2},
        {"overlong", "\xC0\x80", fffd + fffd, 2},
        {"surrogate", "\xED\xA0\x80", fffd + fffd + fffd, 3},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", fffd + fffd + fffd + fffd, 4},
        {"U+10FFFD beside an overlong four-byte form", "\xF4\x8F\xBF\xBD\xF0\x8F\xBF\xBD",
            "\xF4\x8F\xBF\xBD" + fffd + fffd + fffd + fffd, 5},
        {"lead swallows nothing after it", "\xD0\xD0\x90", fffd + "\xD0\x90", 2},
    };
    for (const auto &[name, bytes, valid, count] : rows) {
        EXPECT_EQ(ValidUtf8(bytes.data(), bytes.size()), valid) << name;
        EXPECT_EQ(Utf8Text::Count(bytes.data(), bytes.size()), count) << name;
        EXPECT_EQ(Utf8Text::BytesOf(bytes.data(), bytes.size(), count), bytes.size()) << name;
    }
}

// ASCII is taken 32 and eight bytes at a time: wherever a run of it ends or breaks off, the text
// comes out as a character at a time would give it.
TEST(TextEncodingTest, AsciiRunsOfEveryLengthAroundOtherCharacters)
{
    for (std::size_t before = 0; before <= 70; ++before) {
        for (std::size_t after = 0; after <= 9; after += 3) {
            const std::string head(before, 'a');
            const std::string tail(after, 'z');
            const std::string ansi = head + "\xC4\xE0" + tail + "\x98" + tail + head;
            std::string byByte;
            for (const char c : ansi)
                byByte += Cp1251Text::ProgramText(&c, 1);
            EXPECT_EQ(Cp1251Text::ProgramText(ansi.data(), ansi.size()), byByte)
                << before << " " << after;

            const std::string utf8 = head + "\xD0\x94\xFF" + tail + "\xE2\x82" + tail;
            const std::string valid =
                head + "\xD0\x94\xEF\xBF\xBD" + tail + "\xEF\xBF\xBD\xEF\xBF\xBD" + tail;
            EXPECT_EQ(Utf8Text::ProgramText(utf8.data(), utf8.size()), valid)
                << before << " " << after;
            EXPECT_EQ(Utf8Text::Count(utf8.data(), utf8.size()), before + 4 + 2 * after)
                << before << " " << after;
            const std::string whole = head + "\xD0\x94" + tail + head;
            EXPECT_EQ(Utf8Text::ProgramText(whole.data(), whole.size()), whole)
                << before << " " << after;
            EXPECT_EQ(Utf8Text::Count(whole.data(), whole.size()), 2 * before + 1 + after)
                << before << " " << after;
        }
    }
}
