#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTextEdit>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "storage/Database.h"
#include "support/Code_page.h"
#include "support/Ini_file.h"
#include "support/Log_file.h"
#include "ui/Form_main.h"

namespace {

std::string selfPath;
// Set only in a child started to die between writing the new settings and renaming them.
bool killAtRename = false;

} // namespace

// The one seam between the settings' write and their rename: a child run can die right there,
// as a crash or a power cut would end the program.
extern "C" int rename(const char *from, const char *to) noexcept
{
    using Rename = int (*)(const char *, const char *);
    static const auto realRename = reinterpret_cast<Rename>(dlsym(RTLD_NEXT, "rename"));
    if (killAtRename)
        raise(SIGKILL);
    return realRename(from, to);
}

namespace {

const std::string NOT_FOUND_MESSAGE = "Не найдено ни одного словаря";

// Cyrillic headwords and articles of the good dictionaries, Windows-1251.
const std::string KOT = "\xCA\xCE\xD2"; // КОТ
const std::string SLON = "\xD1\xCB\xCE\xCD"; // СЛОН

struct GoodDictionary
{
    std::string folder;
    std::string id;
    std::string word;
    std::string article;
};

// Folder names a user's disk can hold: blanks, UTF-8, bytes that are no UTF-8 at all, and
// Windows-1251 as an old archive would unpack it.
const std::vector<GoodDictionary> &GoodDictionaries()
{
    static const std::vector<GoodDictionary> good = {
        {"with space", "A1", "ALPHA", "first letter"},
        {"\xD1\x81\xD0\xBB\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x80\xD1\x8C", "A2", KOT, "animal"},
        {"bad\xFF\xFEutf8", "A3", SLON, "big animal"},
        {"\xD1\xEB\xEE\xE2\xE0\xF0\xFC", "A4", "ZETA", "last letter"},
    };
    return good;
}

void WriteGood(const TestFolder &folder)
{
    for (const GoodDictionary &good : GoodDictionaries())
        WriteDictionary(
            folder, {good.folder, good.id, "EXP", good.folder, {{good.word, good.article}}});
}

enum class Damage
{
    DataFolder,
    IndexFifo,
    DataFifo,
    InfoFifo,
    InfoDanglingLink,
    IndexLinkLoop,
    FolderLinkLoop,
    FolderDanglingLink,
    LastRecordBroken,
};

struct BadDictionary
{
    const char *folder;
    Damage damage;
    bool passesPreCheck; // the three names exist, so the failure comes at load time
};

const BadDictionary BAD_DICTIONARIES[] = {
    {"data folder", Damage::DataFolder, true},
    {"index fifo", Damage::IndexFifo, true},
    {"data fifo", Damage::DataFifo, true},
    {"info fifo", Damage::InfoFifo, true},
    {"info dangling", Damage::InfoDanglingLink, false},
    {"index loop", Damage::IndexLinkLoop, false},
    {"folder loop", Damage::FolderLinkLoop, false},
    {"folder dangling", Damage::FolderDanglingLink, false},
    {"broken last record", Damage::LastRecordBroken, true},
};

void Replace(const std::string &path, const std::function<int(const char *)> &make)
{
    std::remove(path.c_str());
    ASSERT_EQ(make(path.c_str()), 0) << path;
}

void WriteBad(const TestFolder &folder, const BadDictionary &bad)
{
    const std::string name = bad.folder;
    const std::string dics = folder.Path() + "dics/";
    if (bad.damage == Damage::FolderLinkLoop) {
        ASSERT_EQ(symlink((dics + name).c_str(), (dics + name).c_str()), 0);
        return;
    }
    if (bad.damage == Damage::FolderDanglingLink) {
        ASSERT_EQ(symlink((dics + "nowhere").c_str(), (dics + name).c_str()), 0);
        return;
    }
    WriteDictionary(folder, {name, "B1", "EXP", name, {{"WORD", "article"}}});
    const std::string base = dics + name + "/" + name + ".";
    switch (bad.damage) {
    case Damage::DataFolder:
        Replace(base + "dat", [](const char *path) { return mkdir(path, 0700); });
        break;
    case Damage::IndexFifo:
        Replace(base + "idx", [](const char *path) { return mkfifo(path, 0600); });
        break;
    case Damage::DataFifo:
        Replace(base + "dat", [](const char *path) { return mkfifo(path, 0600); });
        break;
    case Damage::InfoFifo:
        Replace(base + "inf", [](const char *path) { return mkfifo(path, 0600); });
        break;
    case Damage::InfoDanglingLink:
        Replace(
            base + "inf", [&](const char *path) { return symlink((base + "gone").c_str(), path); });
        break;
    case Damage::IndexLinkLoop:
        Replace(
            base + "idx", [&](const char *path) { return symlink((base + "idx2").c_str(), path); });
        Replace(
            base + "idx2", [&](const char *path) { return symlink((base + "idx").c_str(), path); });
        break;
    case Damage::LastRecordBroken:
        folder.WriteFile("dics/" + name + "/" + name + ".idx", "WORD\t0\nWORE\t1\r\n");
        break;
    default:
        break;
    }
}

std::vector<std::string> LogLines(const TestFolder &folder)
{
    std::vector<std::string> lines;
    std::ifstream stream(folder.Path() + "file.log", std::ios::binary);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

std::size_t CountContaining(const std::vector<std::string> &lines, const std::string &text)
{
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(),
        [&](const std::string &line) { return line.find(text) != std::string::npos; }));
}

// Writes size bytes made of pattern repeated, in large blocks: the big cases must stay quick.
void WriteRepeated(const std::string &path, const std::string &head, const std::string &pattern,
    std::size_t size, const std::string &tail)
{
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream << head;
    std::string block;
    while (block.size() < (std::size_t(1) << 22))
        block += pattern;
    for (std::size_t left = size; left > 0;) {
        const std::size_t part = std::min(left, block.size());
        stream.write(block.data(), static_cast<std::streamsize>(part));
        left -= part;
    }
    stream << tail;
    ASSERT_TRUE(stream.good()) << path;
}

class HostileFoldersTest : public ::testing::Test
{
protected:
    void SetUp() override { logFile.Open(folder.Path() + "file.log"); }
    void TearDown() override { logFile.Open(std::string()); }

    void ExpectGoodOnesAnswer(const Database &database) const
    {
        for (const GoodDictionary &good : GoodDictionaries()) {
            WordPosition position;
            std::int32_t matched = 0;
            ASSERT_TRUE(database.Find(0, AnsiToUtf8(good.word), position, &matched)) << good.folder;
            EXPECT_EQ(matched, -1) << good.folder;
            EXPECT_EQ(database.GetArticle(position), good.article) << good.folder;
        }
    }

    AlarmGuard guard;
    TestFolder folder;
};

} // namespace

TEST_F(HostileFoldersTest, EachBadFolderIsSkippedAndNamedWhileTheGoodOnesLoad)
{
    WriteGood(folder);
    for (const BadDictionary &bad : BAD_DICTIONARIES)
        WriteBad(folder, bad);
    folder.WriteFile("dics/plain file", "not a folder");

    Database database(folder.Path(), nullptr);
    // Names that are not UTF-8 must still match the saved order byte for byte.
    database.SetOrder({GoodDictionaries()[2].folder, "info fifo"});
    database.Load();

    std::vector<std::string> loaded;
    for (std::int32_t i = 0; i < database.GetCount(); ++i)
        loaded.push_back(database.GetDictionary(i)->GetFolderName());
    ASSERT_EQ(loaded.size(), GoodDictionaries().size());
    EXPECT_EQ(loaded.front(), GoodDictionaries()[2].folder);
    for (const GoodDictionary &good : GoodDictionaries())
        EXPECT_NE(std::find(loaded.begin(), loaded.end(), good.folder), loaded.end());
    ExpectGoodOnesAnswer(database);

    const std::vector<std::string> lines = LogLines(folder);
    std::size_t failingLoads = 0;
    for (const BadDictionary &bad : BAD_DICTIONARIES) {
        const std::string path = folder.Path() + "dics/" + bad.folder;
        if (bad.passesPreCheck) {
            EXPECT_EQ(CountContaining(lines, "Found dictionary = " + path), 1u) << bad.folder;
            ++failingLoads;
        } else {
            EXPECT_EQ(CountContaining(lines, "=" + path + "/"), 1u) << bad.folder;
        }
    }
    // The plain file fails the check as well.
    EXPECT_EQ(CountContaining(lines, "(WARNING) [Dictionary::PreLoadCheck] "),
        std::size(BAD_DICTIONARIES) - failingLoads + 1);
    EXPECT_EQ(CountContaining(lines, "Failed to load dictionary"), failingLoads);
    EXPECT_EQ(CountContaining(lines, "Dictionary loaded"), GoodDictionaries().size());
}

TEST_F(HostileFoldersTest, OddButReadableFilesLoadAndAnswerSafely)
{
    WriteGood(folder);
    const std::string dics = folder.Path() + "dics/";

    // A data file cut to nothing: every article is empty, the words are all there.
    WriteDictionary(folder, {"empty data", "C1", "EXP", "e", {{"EA", "x"}, {"EB", "y"}}});
    folder.WriteFile("dics/empty data/empty data.dat", "");

    // Offsets past the end of the data, and the largest ones an index can hold.
    WriteDictionary(folder, {"far", "C2", "EXP", "f", {}});
    folder.WriteFile("dics/far/far.idx", "FA\t0\nFB\t1000000000\nFC\t2147483647\nFD\t-5\nFE\t4\n");
    folder.WriteFile("dics/far/far.dat", "one\ntwo\n");

    // A 10 MB article between two short ones, without a line end at the very end.
    WriteDictionary(folder, {"long", "C3", "EXP", "l", {}});
    const std::size_t longSize = std::size_t(10) << 20;
    folder.WriteFile(
        "dics/long/long.idx", "LA\t0\nLB\t3\nLC\t" + std::to_string(3 + longSize + 1) + "\n");
    WriteRepeated(dics + "long/long.dat", "aa\n", "article ", longSize, "\ntail");

    // 100 MB of attributes on one line: the id comes from its first read, the rest is ignored.
    WriteDictionary(folder, {"wide", "0", "EXP", "w", {{"WA", "wide article"}}});
    WriteRepeated(dics + "wide/wide.inf", Utf16le("DIC_ID=C4" + std::string(90, ' ')),
        Utf16le("abc "), std::size_t(100) << 20, Utf16le("\r\n"));

    Database database(folder.Path(), nullptr);
    database.Load();
    ASSERT_EQ(database.GetCount(), static_cast<std::int32_t>(GoodDictionaries().size() + 4));
    ExpectGoodOnesAnswer(database);

    struct Read
    {
        const char *name;
        std::uint32_t id;
        std::int32_t index;
        std::size_t size;
        std::string startsWith;
    };
    // In this order on purpose: a failed or cut read must leave the next one correct.
    const Read reads[] = {
        {"empty data", 0xC1, 1, 0, ""},
        {"empty data again", 0xC1, 0, 0, ""},
        {"past the end", 0xC2, 1, 0, ""},
        {"read after a failed seek", 0xC2, 4, 3, "two"},
        {"largest offset", 0xC2, 2, 0, ""},
        {"negative offset", 0xC2, 3, 0, ""},
        {"first line", 0xC2, 0, 3, "one"},
        {"10 MB line is cut", 0xC3, 1, 99999, "article article"},
        {"line after the cut one", 0xC3, 2, 4, "tail"},
        {"line before it", 0xC3, 0, 2, "aa"},
        {"cut line again", 0xC3, 1, 99999, "article "},
        {"wide attributes", 0xC4, 0, 12, "wide article"},
    };
    for (const Read &read : reads) {
        const std::string article = database.GetArticle({read.id, read.index});
        EXPECT_EQ(article.size(), read.size) << read.name;
        EXPECT_EQ(article.compare(0, read.startsWith.size(), read.startsWith), 0) << read.name;
    }
    EXPECT_EQ(database.FindById(0xC4)->GetAttributes().source, "");
}

TEST_F(HostileFoldersTest, FiveMillionHeadwordsWithABadLastRecordAreRejectedQuickly)
{
    WriteGood(folder);
    WriteDictionary(folder, {"huge", "D1", "EXP", "h", {}});
    const std::string records = [] {
        std::string text;
        for (int i = 0; i < 100; ++i)
            text += "W" + std::to_string(1000 + i) + "\t0\n";
        return text;
    }();
    const std::size_t headwords = 5000000;
    const std::string index = folder.Path() + "dics/huge/huge.idx";
    WriteRepeated(index, "", records, headwords / 100 * records.size(), "W9999\t12x\n");

    const auto start = std::chrono::steady_clock::now();
    Database database(folder.Path(), nullptr);
    database.Load();
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);

    EXPECT_EQ(database.GetCount(), static_cast<std::int32_t>(GoodDictionaries().size()));
    EXPECT_EQ(database.FindById(0xD1), nullptr);
    ExpectGoodOnesAnswer(database);
    EXPECT_EQ(CountContaining(LogLines(folder), "Data corrupt, Dictionary::LoadIndexFile"), 1u);
    EXPECT_LT(seconds.count(), 20.0);
}

namespace {

// Paths inside folder, all beside the program unless the test says otherwise.
ProgramPaths PathsIn(const TestFolder &folder)
{
    return ProgramPaths{folder.Path(), folder.Path(), folder.Path(), std::string()};
}

class StartUpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TForm1::showErrorMessage = [this](QWidget *, const QString &text) {
            messages.push_back(text.toStdString());
        };
    }
    void TearDown() override { logFile.Open(std::string()); }

    // Starts, looks a word up, closes; the window must have answered.
    void StartSearchClose(const ProgramPaths &paths)
    {
        TForm1 form(paths);
        ASSERT_FALSE(form.Terminated());
        EXPECT_TRUE(messages.empty());
        EXPECT_EQ(
            form.GetDatabase()->GetCount(), static_cast<std::int32_t>(GoodDictionaries().size()));
        form.show();
        form.findChild<QComboBox *>("WordInput")->lineEdit()->setText("alpha");
        form.FindButtonClick();
        EXPECT_EQ(form.findChild<QTextEdit *>("RichEdit1")->toPlainText(),
            QStringLiteral("ALPHA first letter"));
        heights = {form.ListFont().height, form.ArticleFont().height};
        form.close();
    }

    std::pair<std::int32_t, std::int32_t> DefaultHeights()
    {
        TestFolder plain;
        WriteGood(plain);
        StartSearchClose(PathsIn(plain));
        return heights;
    }

    AlarmGuard guard;
    TestFolder folder;
    std::vector<std::string> messages;
    std::pair<std::int32_t, std::int32_t> heights;
};

// Runs this test program again as a child that starts the window, changes a setting and
// closes it; mode decides how the child is hampered.
int RunChildProgram(const std::string &mode, const TestFolder &folder)
{
    const pid_t child = fork();
    if (child == 0) {
        execl(selfPath.c_str(), selfPath.c_str(), "--child", mode.c_str(), folder.Path().c_str(),
            static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

constexpr rlim_t CHILD_FILE_LIMIT = 1024;

int RunChild(const std::string &mode, const std::string &folder)
{
    if (mode == "full-disk") {
        // The limit fills the log part way through the start and then refuses the settings.
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{CHILD_FILE_LIMIT, CHILD_FILE_LIMIT};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    killAtRename = mode == "kill-at-rename";
    TForm1::showErrorMessage = [](QWidget *, const QString &) {};
    TForm1 form(folder);
    if (form.Terminated())
        return 3;
    form.GetSettings()->SetString("LIST_FONT", std::string(8192, 'F'));
    form.close();
    return 0;
}

} // namespace

TEST_F(StartUpTest, HostileDictionariesDoNotStopTheWindow)
{
    WriteGood(folder);
    for (const BadDictionary &bad : BAD_DICTIONARIES)
        WriteBad(folder, bad);
    StartSearchClose(PathsIn(folder));
}

TEST_F(StartUpTest, UnreadableSettingsStartWithDefaults)
{
    std::string binary;
    for (int round = 0; round < 4; ++round)
        for (int byte = 0; byte < 256; ++byte)
            binary += static_cast<char>(byte);
    enum Kind
    {
        FILE_BYTES,
        FOLDER,
        FIFO,
        DANGLING_LINK
    };
    const std::tuple<const char *, Kind, std::string> rows[] = {
        {"binary", FILE_BYTES, binary},
        {"values out of range", FILE_BYTES,
            "LIST_FONT=Sans\r\nLIST_FONT_HEIGHT=-2147483648\r\nPARTICLE_FONT=\xFF\r\n"
            "PARTICLE_FONT_HEIGHT=99999999999\r\nDIC_ORDER=;;;\xFF;;\r\nLIST_FONT_STYLE=zz\r\n"},
        {"a folder", FOLDER, ""},
        {"a fifo", FIFO, ""},
        {"a dangling link", DANGLING_LINK, ""},
    };
    const auto defaults = DefaultHeights();
    for (const auto &[name, kind, bytes] : rows) {
        TestFolder program;
        WriteGood(program);
        const std::string ini = program.Path() + "Kalvora.ini";
        if (kind == FILE_BYTES)
            program.WriteFile("Kalvora.ini", bytes);
        else if (kind == FOLDER)
            program.MakeFolder("Kalvora.ini");
        else if (kind == FIFO)
            ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0);
        else
            ASSERT_EQ(symlink((program.Path() + "gone.ini").c_str(), ini.c_str()), 0);

        StartSearchClose(PathsIn(program));
        EXPECT_EQ(heights, defaults) << name;
        struct stat info;
        ASSERT_EQ(lstat(ini.c_str(), &info), 0) << name;
        // What is not a plain file is no settings file of ours to replace.
        if (kind == FOLDER) {
            EXPECT_TRUE(S_ISDIR(info.st_mode)) << name;
        } else if (kind == FIFO) {
            EXPECT_TRUE(S_ISFIFO(info.st_mode)) << name;
        }
        if (kind == FILE_BYTES || kind == DANGLING_LINK) {
            // Saved as a plain file again, keeping whatever could be read, unreadable or not.
            EXPECT_TRUE(S_ISREG(info.st_mode)) << name;
            IniFile before;
            IniFile after;
            program.WriteFile("before.ini", bytes);
            before.Load(program.Path() + "before.ini");
            after.Load(ini);
            for (const char *key :
                {"LIST_FONT", "LIST_FONT_HEIGHT", "PARTICLE_FONT", "DIC_ORDER"}) {
                std::string old = "absent";
                std::string saved = "absent";
                before.GetString(key, old);
                after.GetString(key, saved);
                EXPECT_EQ(saved, old) << name << " " << key;
            }
        }
    }
}

TEST_F(StartUpTest, LinksInTheProgramFolderReachNothingOutsideIt)
{
    // Out of the order a save writes, so that a save shows.
    const std::string settings = "LIST_FONT_HEIGHT=-20\r\nLIST_FONT=Mine\r\n";
    const std::string notes = "# notes\nnot settings\n";
    // link in the program folder, what it points to in outside/, the bytes there; whether the
    // settings saved at the end may go there.
    const std::tuple<const char *, const char *, const char *, std::string, bool> rows[] = {
        {"data", "data", "elsewhere", "", false},
        {"data/temp", "data/temp", "elsewhere", "", false},
        {"file.log", "file.log", "victim.txt", "keep me\n", false},
        {"settings of a dotfiles folder", "Kalvora.ini", "dotfiles/Kalvora.ini", settings, true},
        {"settings to a file of notes", "Kalvora.ini", "notes.txt", notes, false},
        {"settings of another user", "Kalvora.ini", "other/Kalvora.ini", settings, false},
    };
    for (const auto &[name, link, target, bytes, followed] : rows) {
        TestFolder program;
        TestFolder outside;
        WriteGood(program);
        const bool folder = bytes.empty();
        // A folder target holds what a temporary folder would: plain files the start removes.
        outside.WriteFile(folder ? std::string(target) + "/temp/precious" : target, "keep me\n");
        if (folder)
            outside.WriteFile(std::string(target) + "/precious", "keep me\n");
        else
            outside.WriteFile(target, bytes);
        if (std::string(name) == "settings of another user"
            && chown((outside.Path() + target).c_str(), 65534, 65534) != 0) {
            ADD_FAILURE() << name << ": cannot give the file to another user (run as root)";
            continue;
        }
        if (std::string(link) != "data")
            program.MakeFolder("data");
        ASSERT_EQ(symlink((outside.Path() + target).c_str(), (program.Path() + link).c_str()), 0)
            << name;

        StartSearchClose(PathsIn(program));

        struct stat info;
        ASSERT_EQ(lstat((program.Path() + link).c_str(), &info), 0) << name;
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << name;
        if (folder) {
            EXPECT_EQ(outside.ReadFile(std::string(target) + "/temp/precious"), "keep me\n")
                << name;
            EXPECT_EQ(outside.ReadFile(std::string(target) + "/precious"), "keep me\n") << name;
        } else if (followed) {
            IniFile saved;
            saved.Load(outside.Path() + target);
            std::string font;
            EXPECT_TRUE(saved.GetString("LIST_FONT", font) && font == "Mine") << name;
            EXPECT_NE(outside.ReadFile(target), bytes) << name << ": not saved";
        } else {
            EXPECT_EQ(outside.ReadFile(target), bytes) << name;
        }
    }
}

TEST_F(StartUpTest, FoldersThatCannotBeListedEndTheProgramWithItsMessage)
{
    const std::tuple<const char *, std::function<void(const std::string &)>> rows[] = {
        {"missing", [](const std::string &) {}},
        {"a plain file", [](const std::string &dics) { std::ofstream(dics) << "x"; }},
        {"a fifo", [](const std::string &dics) { mkfifo(dics.c_str(), 0600); }},
        {"a link loop", [](const std::string &dics) { symlink(dics.c_str(), dics.c_str()); }},
    };
    for (const auto &[name, make] : rows) {
        TestFolder program;
        make(program.Path() + "dics");
        messages.clear();
        TForm1 form(PathsIn(program));
        EXPECT_TRUE(form.Terminated()) << name;
        ASSERT_EQ(messages.size(), 1u) << name;
        EXPECT_EQ(messages[0].rfind(NOT_FOUND_MESSAGE, 0), 0u) << name;
    }
}

TEST_F(StartUpTest, ALogThatCannotBeWrittenNeverStopsTheProgram)
{
    WriteGood(folder);
    folder.WriteFile("plain", "x");
    folder.MakeFolder("folder log/file.log");
    const std::tuple<const char *, std::string> rows[] = {
        {"log folder under a plain file", folder.Path() + "plain/"},
        {"file.log is a folder", folder.Path() + "folder log/"},
    };
    for (const auto &[name, logFolder] : rows) {
        ProgramPaths paths = PathsIn(folder);
        paths.logFolder = logFolder;
        StartSearchClose(paths);
        EXPECT_TRUE(folder.Exists("Kalvora.ini")) << name;
    }
    EXPECT_TRUE(folder.List("folder log/file.log").empty());
    EXPECT_EQ(folder.ReadFile("plain"), "x");
}

TEST_F(StartUpTest, AnInterruptedSaveKeepsTheSettings)
{
    const std::string old = "LIST_FONT=Old\r\nLIST_FONT_HEIGHT=-20\r\n";
    // mode, killed (else it must end normally)
    const std::tuple<const char *, bool> rows[] = {
        {"full-disk", false},
        {"kill-at-rename", true},
    };
    for (const auto &[mode, killed] : rows) {
        TestFolder program;
        WriteGood(program);
        program.WriteFile("Kalvora.ini", old);

        const int status = RunChildProgram(mode, program);
        if (killed) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << mode << status;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << mode << status;
            // The log ran into the limit on the way: it stops there and nothing else broke.
            EXPECT_EQ(program.ReadFile("file.log").size(), CHILD_FILE_LIMIT);
            EXPECT_EQ(
                program.List(), (std::vector<std::string>{"Kalvora.ini", "dics", "file.log"}));
        }
        EXPECT_EQ(program.ReadFile("Kalvora.ini"), old) << mode;

        // The next run reads the old settings and saves its own over them as usual.
        {
            TForm1 form(PathsIn(program));
            EXPECT_EQ(form.ListFont().name, "Old") << mode;
            EXPECT_EQ(form.ListFont().height, -20) << mode;
            form.GetSettings()->SetString("LIST_FONT", "New");
            form.close();
        }
        IniFile saved;
        saved.Load(program.Path() + "Kalvora.ini");
        std::string name;
        EXPECT_TRUE(saved.GetString("LIST_FONT", name) && name == "New") << mode;
    }
}

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char self[4096] = "";
    const ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
    selfPath.assign(self, length > 0 ? static_cast<std::size_t>(length) : 0);
    QApplication application(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
        return RunChild(argv[2], argv[3]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
