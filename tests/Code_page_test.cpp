#include "support/Code_page.h"

#include <gtest/gtest.h>
#include <tuple>

TEST(CodePageTest, EveryDefinedByteSurvivesTheRoundTrips)
{
    std::string all;
    for (int c = 1; c <= 0xFF; ++c) {
        if (c != 0x98)
            all += static_cast<char>(c);
    }
    // Repeated well past any internal buffer.
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += all;

    std::size_t unmapped = 99;
    const std::u16string utf16 = AnsiToUtf16(text);
    EXPECT_EQ(utf16.size(), text.size());
    EXPECT_EQ(Utf16ToAnsi(utf16, &unmapped), text);
    EXPECT_EQ(unmapped, 0u);

    unmapped = 99;
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(text), &unmapped), text);
    EXPECT_EQ(unmapped, 0u);
}

TEST(CodePageTest, KnownCharactersMapBothWays)
{
    const std::tuple<const char *, std::string, std::u16string, std::string> rows[] = {
        {"ascii", "Az09 =", u"Az09 =", "Az09 ="},
        {"capital a", "\xC0", u"\u0410", "\xD0\x90"},
        {"small ya", "\xFF", u"\u044F", "\xD1\x8F"},
        {"capital yo", "\xA8", u"\u0401", "\xD0\x81"},
        {"small yo", "\xB8", u"\u0451", "\xD1\x91"},
        {"numero", "\xB9", u"\u2116", "\xE2\x84\x96"},
        {"euro", "\x88", u"\u20AC", "\xE2\x82\xAC"},
        {"no-break space", "\xA0", u"\u00A0", "\xC2\xA0"},
        {"zero byte kept", std::string("a\0b", 3), std::u16string(u"a\0b", 3),
            std::string("a\0b", 3)},
        {"empty", "", u"", ""},
    };
    for (const auto &[name, ansi, utf16, utf8] : rows) {
        EXPECT_EQ(AnsiToUtf16(ansi), utf16) << name;
        EXPECT_EQ(AnsiToUtf8(ansi), utf8) << name;
        EXPECT_EQ(Utf16ToAnsi(utf16), ansi) << name;
        EXPECT_EQ(Utf8ToAnsi(utf8), ansi) << name;
    }
}

TEST(CodePageTest, UndefinedByteDoesNotStopTheText)
{
    EXPECT_EQ(AnsiToUtf16("a\x98\xC0"), u"a\uFFFD\u0410");
    EXPECT_EQ(AnsiToUtf8("a\x98\xC0"), "a\xEF\xBF\xBD\xD0\x90");
}

TEST(CodePageTest, Utf16OutsideTheCodePageBecomesQuestionMarks)
{
    const std::tuple<const char *, std::u16string, std::string, std::size_t> rows[] = {
        {"cjk", u"a\u4E2Db", "a?b", 1},
        {"latin accents", u"\u00E9t\u00E9", "?t?", 2},
        {"surrogate pair is one character", u"x\U0001F600y", "x?y", 1},
        {"unpaired high surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", "a?b", 1},
        {"unpaired low surrogate", std::u16string(1, char16_t(0xDC00)) + u"b", "?b", 1},
        {"high surrogate at the end", std::u16string(u"ab") + char16_t(0xDBFF), "ab?", 1},
        {"two high surrogates", std::u16string(2, char16_t(0xD800)) + u"\u0410", "??\xC0", 2},
        {"replacement character", u"\uFFFD", "?", 1},
    };
    for (const auto &[name, utf16, ansi, count] : rows) {
        std::size_t unmapped = 99;
        EXPECT_EQ(Utf16ToAnsi(utf16, &unmapped), ansi) << name;
        EXPECT_EQ(unmapped, count) << name;
        EXPECT_EQ(Utf16ToAnsi(utf16), ansi) << name;
    }
}

TEST(CodePageTest, Utf8OutsideTheCodePageOrMalformedBecomesQuestionMarks)
{
    const std::tuple<const char *, std::string, std::string, std::size_t> rows[] = {
        {"cjk",
            "a\xE4\xB8\xAD"
            "b",
            "a?b", 1},
        {"four-byte character", "\xF0\x9F\x98\x80!", "?!", 1},
        {"stray continuation",
            "a\x80"
            "b",
            "a?b", 1},
        {"invalid byte", "\xFF\xFE", "??", 2},
        {"cut at the end", "ok\xD0", "ok?", 1},
        {"cut before ascii", "\xE2\x82x", "??x", 2},
        {"overlong", "\xC0\x80\xE0\x80\x80", "?????", 5},
        {"encoded surrogate", "\xED\xA0\x80", "???", 3},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????", 4},
        {"cyrillic after junk", "\xFF\xD0\x90", "?\xC0", 1},
    };
    for (const auto &[name, utf8, ansi, count] : rows) {
        std::size_t unmapped = 99;
        EXPECT_EQ(Utf8ToAnsi(utf8, &unmapped), ansi) << name;
        EXPECT_EQ(unmapped, count) << name;
    }
}

TEST(CodePageTest, Utf8AndUtf16CarryEveryCharacterAndMarkWhatIsNone)
{
    const std::tuple<const char *, std::string, std::u16string, std::string> rows[] = {
        {"ascii", "key=value", u"key=value", "key=value"},
        {"latin and cyrillic", "Français ёлка", u"Français ёлка", "Français ёлка"},
        {"beyond U+FFFF", "\xF0\x9F\x98\x80", u"\xD83D\xDE00", "\xF0\x9F\x98\x80"},
        {"stray continuation byte", "a\x80z", u"a\xFFFDz", "a\xEF\xBF\xBDz"},
        {"cut sequence at the end", "a\xD0", u"a\xFFFD", "a\xEF\xBF\xBD"},
        {"overlong slash", "\xC0\xAF", u"\xFFFD\xFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"empty", "", u"", ""},
    };
    for (const auto &[name, utf8, utf16, back] : rows) {
        EXPECT_EQ(Utf8ToUtf16(utf8), utf16) << name;
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(utf8)), back) << name;
    }
}
