#include "ui/Command_line.h"

#include <gtest/gtest.h>
#include <tuple>
#include <vector>

namespace {

CommandLine Parse(std::vector<const char *> arguments)
{
    arguments.insert(arguments.begin(), "kalvora");
    return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

} // namespace

TEST(CommandLineTest, WordsAndOptions)
{
    using Action = CommandLine::Action;
    const std::tuple<const char *, std::vector<const char *>, Action, std::string, bool> rows[] = {
        {"nothing", {}, Action::Window, "", false},
        {"one word", {"дом"}, Action::Window, "дом", false},
        {"words become one phrase", {"New", "York"}, Action::Window, "New York", false},
        {"empty argument", {""}, Action::Window, "", false},
        {"lone dash is a word", {"-"}, Action::Window, "-", false},
        {"after -- a dash starts a word", {"--", "-ище"}, Action::Window, "-ище", false},
        {"-- twice", {"--", "--"}, Action::Window, "--", false},
        {"selection", {"--selection"}, Action::Window, "", true},
        {"help", {"--help"}, Action::Help, "", false},
        {"short help", {"-h"}, Action::Help, "", false},
        {"help wins over a word", {"дом", "--help"}, Action::Help, "", false},
        {"help wins over a later error", {"--help", "--bogus"}, Action::Help, "", false},
        {"version", {"--version"}, Action::Version, "", false},
        {"unknown long option", {"--bogus"}, Action::Error, "", false},
        {"unknown short option", {"-x", "дом"}, Action::Error, "", false},
        {"Qt's own options are not taken", {"-platform", "offscreen"}, Action::Error, "", false},
        {"selection with a word", {"--selection", "дом"}, Action::Error, "", false},
    };
    for (const auto &[name, arguments, action, word, selection] : rows) {
        const CommandLine line = Parse(arguments);
        EXPECT_EQ(line.action, action) << name;
        if (action == Action::Error) {
            EXPECT_FALSE(line.error.empty()) << name;
        }
        if (action != Action::Window)
            continue;
        EXPECT_EQ(line.word, word) << name;
        EXPECT_EQ(line.selection, selection) << name;
    }
}

TEST(CommandLineTest, PopupLooksAtTheSelection)
{
    const std::tuple<const char *, std::vector<const char *>, bool> rows[] = {
        {"popup alone", {"--popup"}, true},
        {"with --selection too", {"--selection", "--popup"}, true},
        {"with a word", {"--popup", "дом"}, false},
    };
    for (const auto &[name, arguments, accepted] : rows) {
        const CommandLine line = Parse(arguments);
        EXPECT_EQ(line.action == CommandLine::Action::Window, accepted) << name;
        if (accepted) {
            EXPECT_TRUE(line.popup && line.selection) << name;
        }
    }
    EXPECT_FALSE(Parse({"--selection"}).popup);
}

TEST(CommandLineTest, ErrorNamesTheOption)
{
    EXPECT_NE(Parse({"--frobnicate"}).error.find("--frobnicate"), std::string::npos);
}
