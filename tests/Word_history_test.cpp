#include "support/Word_history.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

#include "Test_folder.h"
#include "support/Ini_file.h"

using Words = std::vector<std::string>;

TEST(WordHistoryTest, KeptWordsComeBackAsTheyWere)
{
    const std::tuple<const char *, Words> rows[] = {
        {"none", {}},
        {"cyrillic, newest first", {"\xD0\xBC\xD0\xB8\xD1\x80", "word"}},
        {"spaces and phrases", {" two words ", "a"}},
        {"tab, backslash and line ends", {"a\tb", "c\\d", "e\r\nf", "\\t", "g\\"}},
        {"equals sign", {"x=y"}},
    };
    for (const auto &[name, words] : rows) {
        TestFolder folder;
        IniFile settings;
        settings.Load(folder.Path() + "Kalvora.ini");
        SaveWordHistory(settings, words);
        const std::string file = folder.ReadFile("Kalvora.ini");
        // One line in the CR LF file, whatever the words hold.
        EXPECT_EQ(file.find_first_of("\r\n"), file.size() - 2) << name;
        IniFile restarted;
        restarted.Load(folder.Path() + "Kalvora.ini");
        EXPECT_EQ(ReadWordHistory(restarted), words) << name;
    }
}

TEST(WordHistoryTest, ReadingLeavesOutWhatIsNoWord)
{
    const std::tuple<const char *, std::string, Words> rows[] = {
        {"empty words", "\ta\t\tb\t", {"a", "b"}},
        {"repeats", "a\tb\ta", {"a", "b"}},
        {"not UTF-8", "\xE0\xF2\tok", {"ok"}},
        {"stray backslash at the end", "a\\", {"a\\"}},
        {"unknown escape kept as its letter", "a\\qb", {"aqb"}},
    };
    for (const auto &[name, value, words] : rows)
        EXPECT_EQ(SplitWordHistory(value), words) << name;
}

TEST(WordHistoryTest, KeepsThirtyWords)
{
    Words many;
    for (int i = 0; i < 40; ++i)
        many.push_back("w" + std::to_string(i));
    const Words kept = SplitWordHistory(JoinWordHistory(many));
    ASSERT_EQ(kept.size(), HISTORY_SIZE);
    EXPECT_EQ(kept.back(), "w29");
}

// A program killed right after a lookup: the word is on disk, and the other settings too.
TEST(WordHistoryTest, SavedAtOnceSoAKilledProgramLosesNothing)
{
    TestFolder folder;
    folder.WriteFile("Kalvora.ini", "DIC_ORDER=3,1\r\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        IniFile settings;
        settings.Load(folder.Path() + "Kalvora.ini");
        SaveWordHistory(settings, {"last", "first"});
        kill(getpid(), SIGKILL);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    IniFile settings;
    settings.Load(folder.Path() + "Kalvora.ini");
    EXPECT_EQ(ReadWordHistory(settings), (Words{"last", "first"}));
    std::string order;
    EXPECT_TRUE(settings.GetString("DIC_ORDER", order));
    EXPECT_EQ(order, "3,1");
}
