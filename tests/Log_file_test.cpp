#include "support/Log_file.h"

#include <gtest/gtest.h>
#include <regex>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

#include "Test_folder.h"

namespace {

// gtest never calls setlocale, so the long time format is the C locale's HH:MM:SS.
const std::string HEAD = R"([0-9]{2}:[0-9]{2}:[0-9]{2}:(0|[1-9][0-9]{0,2}) )";

} // namespace

TEST(LogFileTest, RecordHasTimeMillisecondsLevelTagAndMessage)
{
    const std::tuple<LogLevel, std::string> rows[] = {
        {LOG_INFO, R"(\(I\))"},
        {LOG_WARNING, R"(\(WARNING\))"},
        {LOG_ERROR, R"(\(ERROR!\))"},
        {LOG_DEBUG, R"(\(DEBUG\))"},
    };
    for (const auto &[level, word] : rows) {
        TestFolder folder;
        {
            LogFile log;
            log.Open(folder.Path() + "file.log");
            log.WriteHeader(level, "IniFile::Load");
            log.Printf("file name = %s, %d%%", "/a b/Kalvora.ini", -3);
        }
        const std::regex line(
            HEAD + word + R"( \[IniFile::Load\] file name = /a b/Kalvora\.ini, -3%\n)");
        const std::string text = folder.ReadFile("file.log");
        EXPECT_TRUE(std::regex_match(text, line)) << text;
    }
}

TEST(LogFileTest, EmptyFormatWritesNothingSoTheNextHeadContinuesTheLine)
{
    TestFolder folder;
    LogFile log;
    log.Open(folder.Path() + "file.log");
    const char *empty = "";
    log.WriteHeader(LOG_INFO, "A");
    log.Printf(empty);
    log.WriteHeader(LOG_INFO, "B");
    log.Printf(nullptr);
    log.WriteHeader(LOG_ERROR, "C");
    log.Printf("done");
    const std::regex line(
        HEAD + R"(\(I\) \[A\] )" + HEAD + R"(\(I\) \[B\] )" + HEAD + R"(\(ERROR!\) \[C\] done\n)");
    const std::string text = folder.ReadFile("file.log");
    EXPECT_TRUE(std::regex_match(text, line)) << text;
}

TEST(LogFileTest, LongMessagesAreCutAt999Characters)
{
    const std::tuple<std::size_t, std::size_t> rows[] = {
        {1, 1},
        {998, 998},
        {999, 999},
        {1000, 999},
        {5000, 999},
    };
    for (const auto &[length, kept] : rows) {
        TestFolder folder;
        LogFile log;
        log.Open(folder.Path() + "file.log");
        std::string message;
        for (std::size_t i = 0; i < length; ++i)
            message += static_cast<char>('a' + i % 26);
        log.Printf("%s", message.c_str());
        EXPECT_EQ(folder.ReadFile("file.log"), message.substr(0, kept) + "\n") << length;
    }
}

TEST(LogFileTest, ACutNeverSplitsAUtf8Character)
{
    const std::string ya = "\xD0\xAF"; // two bytes
    const std::string euro = "\xE2\x82\xAC"; // three bytes
    // name, message, what is kept
    const std::tuple<const char *, std::string, std::string> rows[] = {
        {"two-byte character cut in half", std::string(998, 'a') + ya + "b", std::string(998, 'a')},
        {"two-byte character whole", std::string(997, 'a') + ya + "b", std::string(997, 'a') + ya},
        {"three-byte character cut after one byte", std::string(998, 'a') + euro,
            std::string(998, 'a')},
        {"three-byte character cut after two", std::string(997, 'a') + euro, std::string(997, 'a')},
        {"short text kept whole", "\xD0\xAF" + euro, "\xD0\xAF" + euro},
    };
    for (const auto &[name, message, kept] : rows) {
        TestFolder folder;
        LogFile log;
        log.Open(folder.Path() + "file.log");
        log.Printf("%s", message.c_str());
        EXPECT_EQ(folder.ReadFile("file.log"), kept + "\n") << name;
    }
}

TEST(LogFileTest, OpenEmptiesAnExistingFile)
{
    TestFolder folder;
    folder.WriteFile("file.log", "old run\nmore\n");
    LogFile log;
    log.Open(folder.Path() + "file.log");
    EXPECT_EQ(folder.ReadFile("file.log"), "");
    log.Printf("new");
    EXPECT_EQ(folder.ReadFile("file.log"), "new\n");
}

TEST(LogFileTest, UnusablePathsLeaveTheLogSilent)
{
    const AlarmGuard guard;
    TestFolder folder;
    folder.MakeFolder("dir.log");
    ASSERT_EQ(mkfifo((folder.Path() + "fifo.log").c_str(), 0600), 0);
    const char *const paths[] = {"dir.log", "missing/file.log", "fifo.log", ""};
    for (const char *path : paths) {
        LogFile log;
        log.Open(path[0] ? folder.Path() + path : std::string());
        log.WriteHeader(LOG_ERROR, "Test");
        log.Printf("dropped %d", 1);
    }
    EXPECT_EQ(folder.List(), (std::vector<std::string>{"dir.log", "fifo.log"}));
    EXPECT_TRUE(folder.List("dir.log").empty());
}

TEST(LogFileTest, RecordsBeforeOpenAreDropped)
{
    TestFolder folder;
    LogFile log;
    log.WriteHeader(LOG_INFO, "Early");
    log.Printf("lost");
    log.Open(folder.Path() + "file.log");
    log.Printf("kept");
    EXPECT_EQ(folder.ReadFile("file.log"), "kept\n");
}

TEST(LogFileTest, OtherThreadsRecordsWaitBehindThisThreadsUntilReleasedOrDropped)
{
    const std::tuple<bool, std::string> rows[] = {
        {true,
            HEAD + R"(\(I\) \[Main\] created\n)" + HEAD + R"(\(I\) \[Load\] early\n)" + HEAD
                + R"(\(I\) \[Empty\] )" + HEAD + R"(\(WARNING\) \[Load\] late\nafter\n)"},
        {false, HEAD + R"(\(I\) \[Main\] created\nafter\n)"},
    };
    for (const auto &[release, expected] : rows) {
        TestFolder folder;
        LogFile log;
        log.HoldOtherThreads();
        std::thread([&log] {
            log.WriteHeader(LOG_INFO, "Load");
            log.Printf("early");
            const char *empty = "";
            log.WriteHeader(LOG_INFO, "Empty");
            log.Printf(empty);
        }).join();
        log.Open(folder.Path() + "file.log");
        log.WriteHeader(LOG_INFO, "Main");
        log.Printf("created");
        std::thread([&log] {
            log.WriteHeader(LOG_WARNING, "Load");
            log.Printf("late");
        }).join();
        if (release)
            log.Release();
        else
            log.Discard();
        log.Printf("after");
        const std::string text = folder.ReadFile("file.log");
        EXPECT_TRUE(std::regex_match(text, std::regex(expected))) << text;
    }
}
