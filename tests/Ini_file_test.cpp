#include "support/Ini_file.h"

#include <csignal>
#include <cstdint>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

#include "Test_folder.h"
#include "support/Log_file.h"

namespace {

// Whatever Load understood, as Save writes it back.
std::string Reloaded(const std::string &bytes)
{
    TestFolder folder;
    folder.WriteFile("Kalvora.ini", bytes);
    IniFile ini;
    ini.Load(folder.Path() + "Kalvora.ini");
    ini.Save();
    return folder.ReadFile("Kalvora.ini");
}

} // namespace

TEST(IniFileTest, LoadReadsTheLinesAsWritten)
{
    const std::tuple<const char *, std::string, std::string> rows[] = {
        {"value holding =", "KEY=a=b\r\n", "KEY=a=b\r\n"},
        {"empty key", "=x\r\n", "=x\r\n"},
        {"empty value", "KEY=\r\n", "KEY=\r\n"},
        {"spaces kept", "KEY = 5\r\n", "KEY = 5\r\n"},
        {"word and empty lines skipped", "word\r\n\r\nA=1\r\n\r\n", "A=1\r\n"},
        {"last line without line end", "A=1\r\nB=2", "A=1\r\nB=2\r\n"},
        {"later line replaces", "A=1\r\nA=2\r\n", "A=2\r\n"},
        {"bare LF is one line", "A=1\nB=2\n", "A=1\nB=2\n\r\n"},
        {"bare LF up to the first CR", "A=1\nB=2\r\nC=3\r\n", "A=1\nB=2\r\nC=3\r\n"},
        {"byte after a lone CR skipped", "A=1\rBC=2\r\n", "A=1\r\nC=2\r\n"},
        {"unsigned byte order, case kept", "\xC0=1\r\nb=2\r\nBB=4\r\nB=3\r\n",
            "B=3\r\nBB=4\r\nb=2\r\n\xC0=1\r\n"},
        {"cyrillic and zero bytes kept", std::string("\xCA\xEB\xFE\xF7=\xC7\0\xED\r\n", 10),
            std::string("\xCA\xEB\xFE\xF7=\xC7\0\xED\r\n", 10)},
        {"empty file", "", ""},
    };
    for (const auto &[name, bytes, saved] : rows)
        EXPECT_EQ(Reloaded(bytes), saved) << name;
}

TEST(IniFileTest, SpacesBelongToKeyAndValue)
{
    TestFolder folder;
    folder.WriteFile("Kalvora.ini", "KEY = 5\r\n");
    IniFile ini;
    ini.Load(folder.Path() + "Kalvora.ini");
    std::string text = "untouched";
    std::int32_t number = 42;
    EXPECT_FALSE(ini.GetString("KEY", text));
    EXPECT_EQ(text, "untouched");
    EXPECT_TRUE(ini.GetString("KEY ", text));
    EXPECT_EQ(text, " 5");
    EXPECT_TRUE(ini.GetInt("KEY ", number));
    EXPECT_EQ(number, 5);
}

TEST(IniFileTest, GetIntFollowsStrtolAndClampsTo32Bits)
{
    const std::tuple<const char *, std::string, bool, std::int32_t> rows[] = {
        {"plain", "12", true, 12},
        {"trailing letters", "12abc", true, 12},
        {"no digits", "abc", true, 0},
        {"sign only", "-", true, 0},
        {"empty", "", false, 42},
        {"leading blanks", " \t\n\v\f\r7", true, 7},
        {"blank inside", "1 2", true, 1},
        {"signs", "+3", true, 3},
        {"negative", "-5", true, -5},
        {"hex is not read", "0x1A", true, 0},
        {"leading zeros", "0010", true, 10},
        {"largest", "2147483647", true, INT32_MAX},
        {"smallest", "-2147483648", true, INT32_MIN},
        {"above", "2147483648", true, INT32_MAX},
        {"below", "-2147483649", true, INT32_MIN},
        {"far above", "99999999999999999999999", true, INT32_MAX},
        {"far below", "-99999999999999999999999", true, INT32_MIN},
    };
    for (const auto &[name, text, found, expected] : rows) {
        IniFile ini;
        ini.SetString("KEY", text);
        std::int32_t value = 42;
        EXPECT_EQ(ini.GetInt("KEY", value), found) << name;
        EXPECT_EQ(value, expected) << name;
    }
    IniFile ini;
    std::int32_t value = 42;
    EXPECT_FALSE(ini.GetInt("ABSENT", value));
    EXPECT_EQ(value, 42);
}

TEST(IniFileTest, SaveAndLoadRoundTrip)
{
    TestFolder folder;
    const std::string path = folder.Path() + "Kalvora.ini";
    IniFile ini;
    ini.Load(path);
    ini.SetInt("LIST_FONT_HEIGHT", -5);
    ini.SetInt("MAX", INT32_MAX);
    ini.SetInt("MIN", INT32_MIN);
    ini.SetInt("ZERO", 0);
    ini.SetString("DIC_ORDER", "3,1,2");
    ini.SetString("dic_order", "lower");
    ini.SetString("ARTICLE_FONT_NAME", "\xD8\xF0\xE8\xF4\xF2 = x");
    ini.SetString("ZERO", "replaced");
    ini.Save();
    EXPECT_EQ(folder.ReadFile("Kalvora.ini"),
        "ARTICLE_FONT_NAME=\xD8\xF0\xE8\xF4\xF2 = x\r\n"
        "DIC_ORDER=3,1,2\r\n"
        "LIST_FONT_HEIGHT=-5\r\n"
        "MAX=2147483647\r\n"
        "MIN=-2147483648\r\n"
        "ZERO=replaced\r\n"
        "dic_order=lower\r\n");

    IniFile again;
    again.Load(path);
    EXPECT_EQ(again.GetFileName(), path);
    std::string text;
    std::int32_t number = 0;
    EXPECT_TRUE(again.GetString("ARTICLE_FONT_NAME", text));
    EXPECT_EQ(text, "\xD8\xF0\xE8\xF4\xF2 = x");
    EXPECT_TRUE(again.GetInt("LIST_FONT_HEIGHT", number));
    EXPECT_EQ(number, -5);
    EXPECT_TRUE(again.GetInt("MIN", number));
    EXPECT_EQ(number, INT32_MIN);
    EXPECT_TRUE(again.GetString("dic_order", text));
    EXPECT_EQ(text, "lower");
}

TEST(IniFileTest, LoadWritesItsLogRecord)
{
    TestFolder folder;
    logFile.Open(folder.Path() + "file.log");
    IniFile ini;
    ini.Load(folder.Path() + "missing.ini");
    logFile.Open(folder.Path() + "other.log");
    const std::string log = folder.ReadFile("file.log");
    EXPECT_NE(log.find(" (I) [IniFile::Load] file name = " + folder.Path() + "missing.ini\n"),
        std::string::npos)
        << log;
}

TEST(IniFileTest, LoadSkipsWhatIsNotAPlainFile)
{
    const AlarmGuard guard;
    TestFolder folder;
    folder.MakeFolder("dir.ini");
    ASSERT_EQ(mkfifo((folder.Path() + "fifo.ini").c_str(), 0600), 0);
    for (const char *name : {"dir.ini", "fifo.ini", "missing.ini"}) {
        IniFile ini;
        ini.Load(folder.Path() + name);
        std::string value = "untouched";
        EXPECT_FALSE(ini.GetString("", value)) << name;
        EXPECT_EQ(value, "untouched") << name;
    }
}

TEST(IniFileTest, SaveIntoMissingFolderCreatesNothing)
{
    TestFolder folder;
    IniFile ini;
    ini.Load(folder.Path() + "missing/Kalvora.ini");
    ini.SetString("A", "1");
    ini.Save();
    EXPECT_TRUE(folder.List().empty());
}

TEST(IniFileTest, FailedSaveKeepsTheOldFile)
{
    TestFolder folder;
    const std::string old = "A=old\r\n";
    folder.WriteFile("Kalvora.ini", old);

    // A file size limit makes write fail part way, as a full disk would.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        setrlimit(RLIMIT_FSIZE, &limit);
        IniFile ini;
        ini.Load(folder.Path() + "Kalvora.ini");
        ini.SetString("A", std::string(4096, 'x'));
        ini.Save();
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(folder.ReadFile("Kalvora.ini"), old);
    EXPECT_EQ(folder.List(), std::vector<std::string>{"Kalvora.ini"});
}

TEST(IniFileTest, SaveKeepsPermissionsAndWritesThroughALink)
{
    TestFolder folder;
    folder.WriteFile("real.ini", "A=1\r\n");
    const std::string real = folder.Path() + "real.ini";
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(symlink(real.c_str(), (folder.Path() + "Kalvora.ini").c_str()), 0);

    IniFile ini;
    ini.Load(folder.Path() + "Kalvora.ini");
    ini.SetString("B", "2");
    ini.Save();

    struct stat info;
    ASSERT_EQ(lstat((folder.Path() + "Kalvora.ini").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(folder.ReadFile("real.ini"), "A=1\r\nB=2\r\n");
    EXPECT_EQ(folder.List(), (std::vector<std::string>{"Kalvora.ini", "real.ini"}));
}

TEST(IniFileTest, SettingsFileTheUserMayNotWriteIsLeftAsItIs)
{
    // Read-only by its permissions, also for the system's administrator, whom the permissions do
    // not stop; a file another user owns is the same case for an ordinary user.
    const std::tuple<const char *, mode_t, bool> rows[] = {
        {"read-only for all", 0444, false},
        {"read-only for its owner", 0400, false},
        {"read and execute only", 0555, false},
        {"writable by its owner", 0644, true},
    };
    for (const auto &[name, mode, rewritten] : rows) {
        TestFolder folder;
        const std::string old = "A=old\r\n";
        folder.WriteFile("Kalvora.ini", old);
        const std::string path = folder.Path() + "Kalvora.ini";
        ASSERT_EQ(chmod(path.c_str(), mode), 0) << name;
        struct stat before;
        ASSERT_EQ(stat(path.c_str(), &before), 0) << name;

        IniFile ini;
        ini.Load(path);
        ini.SetString("A", "new");
        ini.Save();

        struct stat after;
        ASSERT_EQ(stat(path.c_str(), &after), 0) << name;
        EXPECT_EQ(folder.ReadFile("Kalvora.ini"), rewritten ? "A=new\r\n" : old) << name;
        EXPECT_EQ(after.st_mode & 07777, mode) << name;
        if (!rewritten) {
            EXPECT_EQ(after.st_ino, before.st_ino) << name;
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec) << name;
        }
        EXPECT_EQ(folder.List(), std::vector<std::string>{"Kalvora.ini"}) << name;
    }
}
