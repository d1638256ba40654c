#include "tools/Lookup_options.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

#include "tools/Lookup_output.h"

namespace {

using Words = std::vector<std::string>;

// The parts of the options a row checks, in one comparable text.
std::string Summary(const LookupOptions &o)
{
    std::string text = "dics=" + o.dics + " words=";
    for (const std::string &word : o.words)
        text += word + ",";
    text += " folders=";
    for (const std::string &folder : o.folders)
        text += folder + ",";
    text += " dic=" + HexId(o.dicId) + " order=" + o.order;
    for (const std::string &source : o.sources)
        text += " source=" + source;
    text += o.system ? " system" : "";
    text += std::string(o.article ? " article" : "") + (o.all ? " all" : "")
        + (o.json ? " json" : "") + (o.list ? " list" : "") + (o.lines ? " lines" : "");
    return text;
}

} // namespace

TEST(LookupOptionsTest, ReadsFoldersWordsAndOptionsInAnyOrder)
{
    const std::tuple<const char *, Words, std::string> rows[] = {
        {"today's form", {"--article", "dics"}, "dics=dics words= folders= dic=0 order= article"},
        {"words after the folder", {"dics", "дом", "кот"},
            "dics=dics words=дом,кот, folders= dic=0 order="},
        {"options between words", {"dics", "дом", "--json", "кот", "--all", "--lines"},
            "dics=dics words=дом,кот, folders= dic=0 order= all json lines"},
        {"folders repeat", {"--folder", "a", "dics", "--folder", "b"},
            "dics=dics words= folders=a,b, dic=0 order="},
        {"dictionary id either case", {"--dic", "7A1C0001", "--order", "x;y;", "dics"},
            "dics=dics words= folders= dic=7a1c0001 order=x;y;"},
        {"dictionary id with 0x", {"--dic", "0X1a", "dics"},
            "dics=dics words= folders= dic=1a order="},
        {"a word starting with a dash after --", {"dics", "--", "-ism", "--all"},
            "dics=dics words=-ism,--all, folders= dic=0 order="},
        {"a lone dash is a word", {"dics", "-"}, "dics=dics words=-, folders= dic=0 order="},
        {"sources without DICS", {"--source", "a.index", "дом", "--source", "b"},
            "dics= words=дом, folders= dic=0 order= source=a.index source=b"},
        {"system without DICS", {"--system", "дом", "кот"},
            "dics= words=дом,кот, folders= dic=0 order= system"},
        {"sources and a folder as DICS", {"--system", "/", "дом"},
            "dics=/ words=дом, folders= dic=0 order= system"},
    };
    for (const auto &[name, arguments, summary] : rows) {
        LookupOptions options;
        EXPECT_EQ(ParseLookupOptions(arguments, options), "") << name;
        EXPECT_EQ(Summary(options), summary) << name;
        EXPECT_EQ(options.action, LookupOptions::Action::Lookup) << name;
    }
}

TEST(LookupOptionsTest, RefusesIncompleteCommandLines)
{
    const std::tuple<const char *, Words, std::string> rows[] = {
        {"nothing", {}, "no dictionary folder given"},
        {"options only", {"--list", "--all"}, "no dictionary folder given"},
        {"unknown option", {"dics", "--bogus"}, "unknown option --bogus"},
        {"single-dash option", {"-x", "dics"}, "unknown option -x"},
        {"value missing", {"dics", "--folder"}, "--folder needs a value"},
        {"bad id", {"--dic", "0x", "dics"}, "--dic needs a non-zero hexadecimal id, not \"0x\""},
        {"id over 32 bits", {"--dic", "0x123456789", "dics"},
            "--dic needs a non-zero hexadecimal id, not \"0x123456789\""},
        {"id zero", {"--dic", "0", "dics"}, "--dic needs a non-zero hexadecimal id, not \"0\""},
        {"empty phrase", {"--text", "", "dics"}, "--text needs a phrase, not an empty text"},
        {"count without a phrase", {"--count", "dics"}, "--count goes with --text"},
    };
    for (const auto &[name, arguments, error] : rows) {
        LookupOptions options;
        EXPECT_EQ(ParseLookupOptions(arguments, options), error) << name;
    }
}

TEST(LookupOptionsTest, HelpAndVersionWinOverEverythingElse)
{
    const std::tuple<const char *, Words, LookupOptions::Action> rows[] = {
        {"help alone", {"--help"}, LookupOptions::Action::Help},
        {"help after a bad option", {"--bogus", "--help"}, LookupOptions::Action::Help},
        {"version without a folder", {"--version"}, LookupOptions::Action::Version},
        {"help after -- is a word", {"dics", "--", "--help"}, LookupOptions::Action::Lookup},
    };
    for (const auto &[name, arguments, action] : rows) {
        LookupOptions options;
        EXPECT_EQ(ParseLookupOptions(arguments, options), "") << name;
        EXPECT_EQ(options.action, action) << name;
    }
}

TEST(LookupOutputTest, TsvFieldsShowControlCharactersOnlyToATerminal)
{
    const std::string c1 = "\xC2\x9B"; // U+009B, a terminal's one-character ESC [
    // name, text, field for a file or pipe, field for a terminal
    const std::tuple<const char *, std::string, std::string, std::string> rows[] = {
        {"plain", "дом", "дом", "дом"},
        {"tab and line ends", "a\tb\nc\rd", "a b c d", "a b c d"},
        {"escape sequence", "\x1B[2Jx", "\x1B[2Jx", "\\e[2Jx"},
        {"other control bytes", std::string("\x01\x07\x7F\0", 4), std::string("\x01\x07\x7F\0", 4),
            "\\x01\\x07\\x7f\\x00"},
        {"C1 control", "a" + c1 + "b", "a" + c1 + "b", "a\\x9bb"},
        {"backslash", "a\\e", "a\\e", "a\\\\e"},
        {"letters beside C1", "\xC2\xA0\xC3\x89\xC2", "\xC2\xA0\xC3\x89\xC2",
            "\xC2\xA0\xC3\x89\xC2"},
    };
    for (const bool terminal : {false, true}) {
        SetTsvForTerminal(terminal);
        for (const auto &[name, text, piped, shown] : rows)
            EXPECT_EQ(TsvField(text), terminal ? shown : piped) << name << terminal;
    }
    SetTsvForTerminal(false);
}

TEST(LookupOutputTest, JsonStringsEscapeEveryCharacterThatNeedsIt)
{
    const std::tuple<const char *, std::string, std::string> rows[] = {
        {"plain", "дом", "\"дом\""},
        {"quote and backslash", "a\"b\\c", R"("a\"b\\c")"},
        {"line ends and tab", "a\nb\rc\td", R"("a\nb\rc\td")"},
        {"other control bytes", std::string("\x01\x1F\x7F", 3), R"("\u0001\u001f\u007f")"},
        {"zero byte", std::string("a\0b", 3), R"("a\u0000b")"},
        {"line separator", "a\xE2\x80\xA8z", R"("a\u2028z")"},
        {"four-byte character", "\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},
        {"stray Windows-1251 byte", "\xE4\xEE\xEC", R"("\ufffd\ufffd\ufffd")"},
        {"cut-off sequence", "\xD0", R"("\ufffd")"},
        {"overlong slash", "\xC0\xAF", R"("\ufffd\ufffd")"},
        {"surrogate", "\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},
    };
    for (const auto &[name, text, json] : rows)
        EXPECT_EQ(JsonString(text), json) << name;
}
