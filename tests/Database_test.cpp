#include "storage/Database.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <tuple>
#include <unistd.h>

#include "Test_folder.h"
#include "support/Code_page.h"
#include "support/Log_file.h"
#include "support/Utils.h"

namespace {

// A read of the file with this inode, set up by a test: the first read gets half of what it
// asks for and the file is then changed; a later one fails when fail is set.
struct ReadFault
{
    ino_t inode = 0;
    int reads = 0;
    std::function<void()> change;
    bool fail = false;
} readFault;

} // namespace

// The one seam between a file's size being taken and its bytes being read: another program can
// change the file right there, and a disk can fail.
extern "C" ssize_t pread(int descriptor, void *buffer, size_t count, off_t offset)
{
    struct stat status
    {
    };
    if (readFault.inode != 0 && fstat(descriptor, &status) == 0 && status.st_ino == readFault.inode
        && readFault.reads++ > 0 && readFault.fail) {
        errno = EIO;
        return -1;
    }
    if (readFault.inode == 0 || readFault.reads != 1)
        return syscall(SYS_pread64, descriptor, buffer, count, offset);
    const auto got = syscall(SYS_pread64, descriptor, buffer, count / 2, offset);
    if (readFault.change)
        readFault.change();
    return got;
}

namespace {

// Windows-1251 words used throughout.
const std::string DOM = "\xC4\xCE\xCC"; // ДОМ
const std::string DOMIK = "\xC4\xCE\xCC\xC8\xCA"; // ДОМИК
const std::string DOMOVOY = "\xC4\xCE\xCC\xCE\xC2\xCE\xC9"; // ДОМОВОЙ

std::string Record(const std::string &headword, const std::string &offset)
{
    return headword + "\t" + offset + "\n";
}

// The house index of three records, offsets 0, 20 and 45.
std::string HouseIndex()
{
    return Record(DOM, "0") + Record(DOMIK, "20") + Record(DOMOVOY, "45");
}

// dics/<name>/<name>.{inf,idx,dat} under the folder; the attribute lines are given as ASCII or
// Windows-1251 text and stored as UTF-16LE.
void WriteDictionary(const TestFolder &folder, const std::string &name, const std::string &info,
    const std::string &index, const std::string &data = "article\n")
{
    const std::string base = "dics/" + name + "/" + name;
    folder.WriteFile(base + ".inf", Utf16le(info));
    folder.WriteFile(base + ".idx", index);
    folder.WriteFile(base + ".dat", data);
}

std::string DictionaryPath(const TestFolder &folder, const std::string &name)
{
    return folder.Path() + "dics/" + name;
}

// "(LEVEL) [tag] message" of every record, the time in front dropped.
std::vector<std::string> LogRecords(const TestFolder &folder)
{
    std::vector<std::string> records;
    const std::string text = folder.ReadFile("file.log");
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const std::size_t tag = line.find(" [");
        const std::size_t level = tag == std::string::npos ? 0 : line.rfind(" (", tag);
        records.push_back(level == std::string::npos ? line : line.substr(level + 1));
        start = end + 1;
    }
    return records;
}

std::vector<std::string> Tagged(const std::vector<std::string> &records, const std::string &tag)
{
    std::vector<std::string> messages;
    const std::string marker = "[" + tag + "] ";
    for (const std::string &record : records) {
        const std::size_t at = record.find(marker);
        if (at != std::string::npos)
            messages.push_back(record.substr(at + marker.size()));
    }
    return messages;
}

// A test folder with the log opened inside it.
class LoggedFolder : public TestFolder
{
public:
    LoggedFolder() { logFile.Open(Path() + "file.log"); }
    std::vector<std::string> Records() const { return LogRecords(*this); }
};

std::unique_ptr<Dictionary> LoadDictionary(const TestFolder &folder, const std::string &index,
    const std::string &data = "article\n", const std::string &info = "DIC_ID=1\r\n")
{
    WriteDictionary(folder, "D", info, index, data);
    auto dictionary = std::make_unique<Dictionary>(DictionaryPath(folder, "D"));
    EXPECT_TRUE(dictionary->Load());
    return dictionary;
}

// The headwords, turned back into the Windows-1251 of the files.
std::vector<std::string> Words(const Dictionary &dictionary)
{
    std::vector<std::string> words;
    for (std::uint32_t i = 0; i < dictionary.GetWordCount(); ++i)
        words.push_back(Utf8ToAnsi(dictionary.GetWord(static_cast<std::int32_t>(i))));
    return words;
}

} // namespace

TEST(DictionaryTest, FolderNameIsTheLastPathComponent)
{
    const std::tuple<std::string, std::string> rows[] = {
        {"x/dics/D1", "D1"},
        {"x\\dics\\D2", "D2"},
        {"D3", "D3"},
        {"x/a\\D4", "D4"},
    };
    for (const auto &[path, name] : rows)
        EXPECT_EQ(Dictionary(path).GetFolderName(), name) << path;
}

TEST(DictionaryTest, PreLoadCheckReportsTheFirstMissingFile)
{
    const std::tuple<const char *, std::vector<const char *>, std::string, std::string> rows[] = {
        {"complete", {"dat", "idx", "inf"}, "", ""},
        {"no info file", {"dat", "idx"}, "dic info file=", "inf"},
        {"no index file", {"dat", "inf"}, "dic index file=", "idx"},
        {"nothing", {}, "dic data file=", "dat"},
        {"info only", {"inf"}, "dic data file=", "dat"},
    };
    for (const auto &[name, present, warning, missing] : rows) {
        LoggedFolder folder;
        for (const char *extension : present)
            folder.WriteFile(std::string("dics/X/X.") + extension, "");
        const std::string path = DictionaryPath(folder, "X");
        EXPECT_EQ(Dictionary::PreLoadCheck(path), warning.empty()) << name;
        std::vector<std::string> expected;
        if (!warning.empty())
            expected.push_back("(WARNING) [Dictionary::PreLoadCheck] " + warning + path + "/X."
                + missing + " not found");
        EXPECT_EQ(folder.Records(), expected) << name;
    }
}

TEST(DictionaryTest, AttributeLinesAreReadAndLogged)
{
    const std::string line99 = "LONG_NAME=" + std::string(89, 'n');
    const std::string line100 = "LONG_NAME=" + std::string(90, 'n');
    const std::tuple<const char *, std::string, std::vector<std::string>> rows[] = {
        {"byte-order mark hides the first key", "\xFF\xFE" + Utf16le("DIC_ID=5\r\nCATEGORY=EXP"),
            {"CATEGORY=EXP"}},
        {"comment first", Utf16le("; comment\r\nDIC_ID=5\r\n"), {"DIC_ID=0x5"}},
        {"0x prefix reads as 0", Utf16le("DIC_ID=0x1A"), {"DIC_ID=0x0"}},
        {"small hex digits", Utf16le("DIC_ID=1a"), {"DIC_ID=0x1a"}},
        {"capital hex digits", Utf16le("DIC_ID=1A"), {"DIC_ID=0x1a"}},
        {"high bit set", Utf16le("DIC_ID=F01D0C05"), {"DIC_ID=0xf01d0c05"}},
        {"too big clamps", Utf16le("DIC_ID=123456789"), {"DIC_ID=0xffffffff"}},
        {"blank before id", Utf16le("DIC_ID= 5"), {"DIC_ID=0x0"}},
        {"digits then garbage", Utf16le("DIC_ID=12zz"), {"DIC_ID=0x12"}},
        {"lower-case key ignored", Utf16le("dic_id=5"), {}},
        {"longer key taken", Utf16le("DIC_IDENT=5"), {"DIC_ID=0x5"}},
        {"empty source", Utf16le("SOURCE="), {"SOURCE="}},
        {"blank after equals kept", Utf16le("SOURCE= x"), {"SOURCE= x"}},
        {"blanks around the line trimmed", Utf16le(" \tCATEGORY=ENC \t\r\n"), {"CATEGORY=ENC"}},
        {"cyrillic value logged as UTF-8", Utf16le("SHORT_NAME=\xCF\xD1\r\n"),
            {"SHORT_NAME=\xD0\x9F\xD0\xA1"}},
        {"second equals is value", Utf16le("ENCODING=a=b"), {"ENCODING=a=b"}},
        {"key twice", Utf16le("SHORT_NAME=A\r\nSHORT_NAME=B\r\n"),
            {"SHORT_NAME=A", "SHORT_NAME=B"}},
        {"exactly 99 units", Utf16le(line99 + "\r\n"), {line99}},
        {"100 units split", Utf16le(line100 + "\r\n"), {line99}},
        {"split rest is a line", Utf16le(std::string(99, ';') + "DIC_ID=7\r\n"), {"DIC_ID=0x7"}},
        {"version 1.9", Utf16le("FORMAT_VERSION=1.9"), {"FORMAT_VERSION=1.9"}},
        {"version 3", Utf16le("FORMAT_VERSION=3"), {"FORMAT_VERSION=3.0"}},
        {"version 1.25", Utf16le("DIC_VERSION=1.25"), {"DIC_VERSION=1.2"}},
        {"version comma", Utf16le("DIC_VERSION=2,5"), {"DIC_VERSION=2.0"}},
        {"version blank and point", Utf16le("DIC_VERSION= .7"), {"DIC_VERSION=0.7"}},
        {"version exponent", Utf16le("DIC_VERSION=15e-1"), {"DIC_VERSION=1.5"}},
        {"version words", Utf16le("DIC_VERSION=abc"), {"DIC_VERSION=0.0"}},
        {"odd byte count", Utf16le("DIC_ID=5") + "7", {"DIC_ID=0x5"}},
        {"zero unit ends the line", Utf16le("DIC_ID=5") + std::string("\0\0", 2) + Utf16le("7\n"),
            {"DIC_ID=0x5"}},
        {"empty file", "", {}},
        {"markup", Utf16le("MARKUP=dictd\r\n"), {"MARKUP=dictd"}},
        {"markup without value passed over as older versions do", Utf16le("MARKUP\r\nDIC_ID=5\r\n"),
            {"DIC_ID=0x5"}},
    };
    // A decimal comma locale, where one is installed, must not change how versions read.
    const std::string previousLocale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    for (const auto &[name, info, messages] : rows) {
        LoggedFolder folder;
        WriteDictionary(folder, "D", "", "W\t0\n");
        folder.WriteFile("dics/D/D.inf", info);
        Dictionary dictionary(DictionaryPath(folder, "D"));
        EXPECT_TRUE(dictionary.Load()) << name;
        EXPECT_EQ(Tagged(folder.Records(), "Dictionary::LoadAttributes"), messages) << name;
    }
    std::setlocale(LC_ALL, previousLocale.c_str());
}

TEST(DictionaryTest, AttributesReachTheirFields)
{
    TestFolder folder;
    const auto dictionary = LoadDictionary(folder, "", "",
        "FORMAT_VERSION=1.0\r\nENCODING=cp1251\r\nDIC_ID=1A2B\r\nDIC_VERSION=2.1\r\nCATEGORY="
        "EXP\r\n"
        "SHORT_NAME=S\r\nLONG_NAME=L\r\nSOURCE=src\r\nMARKUP=html\r\n");
    const DictionaryAttributes &a = dictionary->GetAttributes();
    EXPECT_EQ(
        std::tie(a.formatVersionMajor, a.formatVersionMinor, a.dicVersionMajor, a.dicVersionMinor),
        std::make_tuple(1, 0, 2, 1));
    EXPECT_EQ(dictionary->GetId(), 0x1A2Bu);
    EXPECT_EQ(std::tie(a.encoding, a.category, a.shortName, a.longName, a.source, a.markup),
        std::make_tuple("cp1251", "EXP", "S", "L", "src", "html"));
}

TEST(DictionaryTest, IndexRecordsAreParsedLikeStreamLines)
{
    const std::string long199(199, 'W');
    const std::tuple<const char *, std::string, std::vector<std::string>> rows[] = {
        {"empty index", "", {}},
        {"last record without LF", "A\t1\nB\t2", {"A", "B"}},
        {"headword without TAB dropped", "A\t1\nB", {"A"}},
        {"199-byte headword", long199 + "\t1\n", {long199}},
        {"199-byte headword at the end", "A\t1\n" + long199, {"A"}},
        {"199-digit offset", "A\t" + std::string(198, '0') + "5\n", {"A"}},
        {"199-digit offset at the end", "A\t" + std::string(198, '0') + "5", {"A"}},
        {"zero byte cuts the headword", std::string("AB\0C\t1\n", 7), {"AB"}},
        {"empty headword", "\t1\nA\t2\n", {"", "A"}},
        {"signed offsets", "A\t+5\nB\t-5\n", {"A", "B"}},
        {"blanks kept in the file, trimmed when read", " \xEA\xEE\xF2 \t0\n", {"\xEA\xEE\xF2"}},
    };
    for (const auto &[name, index, words] : rows) {
        TestFolder folder;
        const auto dictionary = LoadDictionary(folder, index);
        EXPECT_EQ(Words(*dictionary), words) << name;
    }
}

TEST(DictionaryTest, BrokenFilesAreRejectedWithTheirReason)
{
    enum Change
    {
        NONE,
        INFO_DIR,
        INFO_FIFO,
        INDEX_MISSING,
        INDEX_DIR,
        INDEX_FIFO,
        DATA_FIFO,
        INDEX_CUT_WHILE_READ,
        INDEX_WRITTEN_OVER_WHILE_READ,
        INDEX_READ_FAILS
    };
    std::string records;
    for (int i = 0; i < 100; ++i)
        records += "w" + std::to_string(i) + "\t0\n";
    const std::tuple<const char *, std::string, std::string, Change, const char *> rows[] = {
        {"key without equals", "DIC_ID=1\r\nENCODING\r\n", "A\t1\n", NONE,
            "Data corrupt, Dictionary::LoadAttributes, 397"},
        {"info is a folder", "", "", INFO_DIR, "Not found, Dictionary::LoadAttributes, 383"},
        {"info is a fifo", "", "", INFO_FIFO, "Not found, Dictionary::LoadAttributes, 383"},
        {"index missing", "", "", INDEX_MISSING, "Not found, Dictionary::LoadIndexFile, 461"},
        {"index is a folder", "", "", INDEX_DIR, "Not found, Dictionary::LoadIndexFile, 461"},
        {"index is a fifo", "", "", INDEX_FIFO, "Not found, Dictionary::LoadIndexFile, 461"},
        {"data is a fifo", "", "", DATA_FIFO, nullptr},
        {"200-byte headword", "", std::string(200, 'W') + "\t1\n", NONE,
            "Data corrupt, Dictionary::LoadIndexFile, 468"},
        {"200 bytes without TAB", "", std::string(200, 'W'), NONE,
            "Data corrupt, Dictionary::LoadIndexFile, 468"},
        {"record ends after TAB", "", "A\t1\nB\t", NONE,
            "Data corrupt, Dictionary::LoadIndexFile, 475"},
        {"200-byte offset", "", "A\t" + std::string(200, '1') + "\n", NONE,
            "Data corrupt, Dictionary::LoadIndexFile, 475"},
        {"CR before LF", "", "A\t1\r\n", NONE, "Data corrupt, Dictionary::LoadIndexFile, 481"},
        {"empty offset", "", "A\t\n", NONE, "Data corrupt, Dictionary::LoadIndexFile, 481"},
        {"letters in offset", "", "A\t12a\n", NONE, "Data corrupt, Dictionary::LoadIndexFile, 481"},
        {"blank before offset", "", "A\t 1\n", NONE,
            "Data corrupt, Dictionary::LoadIndexFile, 481"},
        {"sign alone", "", "A\t-\n", NONE, "Data corrupt, Dictionary::LoadIndexFile, 481"},
        {"beyond 32 bits", "", "A\t2147483648\n", NONE,
            "Data corrupt, Dictionary::LoadIndexFile, 481"},
        // Half read when the file is cut where a record ends, written over or fails to read.
        {"index cut while read", "", records, INDEX_CUT_WHILE_READ,
            "Data corrupt, Dictionary::LoadIndexFile, 461"},
        {"index written over by as much while read", "", records, INDEX_WRITTEN_OVER_WHILE_READ,
            "Data corrupt, Dictionary::LoadIndexFile, 461"},
        {"index read fails midway", "", records, INDEX_READ_FAILS,
            "Data corrupt, Dictionary::LoadIndexFile, 461"},
    };
    for (const auto &[name, info, index, change, error] : rows) {
        LoggedFolder folder;
        WriteDictionary(folder, "D", info, index);
        const std::string base = folder.Path() + "dics/D/D.";
        const std::map<Change, std::string> replaced = {{INFO_DIR, "inf"}, {INFO_FIFO, "inf"},
            {INDEX_MISSING, "idx"}, {INDEX_DIR, "idx"}, {INDEX_FIFO, "idx"}, {DATA_FIFO, "dat"}};
        const std::string indexPath = base + "idx";
        struct stat status
        {
        };
        ASSERT_EQ(stat(indexPath.c_str(), &status), 0);
        readFault = {};
        if (change == INDEX_CUT_WHILE_READ || change == INDEX_WRITTEN_OVER_WHILE_READ
            || change == INDEX_READ_FAILS) {
            readFault.inode = status.st_ino;
            readFault.fail = change == INDEX_READ_FAILS;
        }
        if (change == INDEX_CUT_WHILE_READ)
            readFault.change = [&] { truncate(indexPath.c_str(), 50 + 30 * 6); };
        if (change == INDEX_WRITTEN_OVER_WHILE_READ)
            readFault.change = [&] {
                std::string over = records;
                std::replace(over.begin(), over.end(), 'w', 'v');
                folder.WriteFile("dics/D/D.idx", over);
                const timespec times[2] = {status.st_atim, {status.st_mtim.tv_sec - 3600, 0}};
                utimensat(AT_FDCWD, indexPath.c_str(), times, 0);
            };
        if (replaced.count(change) != 0) {
            const std::string path = base + replaced.at(change);
            std::remove(path.c_str());
            if (change == INFO_DIR || change == INDEX_DIR)
                mkdir(path.c_str(), 0700);
            else if (change != INDEX_MISSING)
                mkfifo(path.c_str(), 0600);
        }
        Dictionary dictionary(DictionaryPath(folder, "D"));
        EXPECT_FALSE(dictionary.Load()) << name;
        readFault = {};
        const std::vector<std::string> expected =
            error ? std::vector<std::string>{error} : std::vector<std::string>{};
        EXPECT_EQ(Tagged(folder.Records(), "Dictionary::Load"), expected) << name;
    }
}

TEST(DictionaryTest, GarbageFilesNeverCrash)
{
    // Mostly well-formed records with odd bytes in them, so that many indexes load and their
    // lookups run too; some are cut or spliced with junk.
    std::mt19937 random(7);
    auto pick = [&](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };
    const char bytes[] = {'\t', '\n', '\r', '\0', '5', '-', 'A', '\xC0', '\xE0', ' ', '\xFF'};
    const char *const offsets[] = {"0", "5", "-1", "300", "2147483647", "-2147483648"};
    int loaded = 0;
    for (int round = 0; round < 300; ++round) {
        std::string info, index, data;
        for (int i = pick(200); i > 0; --i) {
            info += bytes[pick(sizeof(bytes))];
            data += bytes[pick(sizeof(bytes))];
        }
        for (int record = pick(20); record > 0; --record) {
            for (int i = pick(6); i > 0; --i)
                index += bytes[2 + pick(sizeof(bytes) - 2)];
            index += std::string("\t") + offsets[pick(6)] + "\n";
        }
        if (pick(3) == 0)
            index.insert(pick(static_cast<int>(index.size()) + 1), 1, bytes[pick(sizeof(bytes))]);
        if (pick(3) == 0)
            index.resize(pick(static_cast<int>(index.size()) + 1));
        TestFolder folder;
        folder.WriteFile("dics/D/D.inf", info);
        folder.WriteFile("dics/D/D.idx", index);
        folder.WriteFile("dics/D/D.dat", data);
        Dictionary dictionary(DictionaryPath(folder, "D"));
        if (!dictionary.Load())
            continue;
        ++loaded;
        for (std::uint32_t i = 0; i < dictionary.GetWordCount(); ++i) {
            const std::string word = dictionary.GetWord(static_cast<std::int32_t>(i));
            // A Windows-1251 byte takes up to three bytes in UTF-8.
            EXPECT_LE(dictionary.GetArticle(static_cast<std::int32_t>(i)).size(), 3 * data.size());
            std::uint32_t position = 0;
            std::int32_t matched = 0;
            if (dictionary.FindWord(word, position, matched)) {
                EXPECT_LT(position, dictionary.GetWordCount());
            }
        }
    }
    EXPECT_GT(loaded, 100);
}

TEST(DictionaryTest, ArticlesAreReadLineByLine)
{
    const std::string longArticle(100005, 'x');
    // Each row reads the articles of its index in the order given.
    const std::tuple<const char *, std::string, std::string, std::vector<std::int32_t>,
        std::vector<std::string>>
        rows[] = {
            {"CR LF removed", "A\t0\n", "one\r\ntwo", {0}, {"one"}},
            {"empty line", "A\t0\nB\t1\n", "\nnext\n", {0, 1}, {"", "next"}},
            {"last without LF, then another", "A\t0\nB\t4\n", "one\ntwo", {1, 0, 1},
                {"two", "one", "two"}},
            {"offset beyond the file", "A\t0\nB\t100\n", "one\n", {1, 0}, {"", "one"}},
            {"negative offset", "A\t-3\nB\t0\n", "one\n", {0, 1}, {"", "one"}},
            {"long article cut", "A\t0\nB\t100006\n", longArticle + "\nshort\n", {0, 1},
                {longArticle.substr(0, 99999), "short"}},
            {"index outside", "A\t0\n", "one\n", {1, -1, 0}, {"", "", "one"}},
            {"bytes kept as they are", "A\t0\n", "\xC4\xCE\xCC \x01\xFF\r\r\n", {0},
                {"\xC4\xCE\xCC \x01\xFF\r"}},
            // Each read is bounded by the next record's offset and must read on past it.
            {"articles in another order than the index", "A\t4\nB\t0\n", "one\ntwo\n", {0, 1},
                {"two", "one"}},
            {"next offset inside the line", "A\t0\nB\t2\n", "one\n", {0, 1}, {"one", "e"}},
            {"records sharing an article", "A\t4\nB\t0\nC\t4\nD\t0\n", "one\ntwo\n", {2, 3, 0},
                {"two", "one", "two"}},
            {"zero byte ends the article", "A\t0\nB\t5\n", std::string("on\0e\nx\n", 7), {0, 1},
                {"on", "x"}},
            {"zero byte past the first read", "A\t0\n",
                std::string(2000, 'z') + '\0' + std::string(5000, 'w') + "\nx\n", {0},
                {std::string(2000, 'z')}},
            {"line running past the next offset", "A\t0\nB\t5000\n", std::string(8000, 'x') + "\n",
                {0, 1}, {std::string(8000, 'x'), std::string(3000, 'x')}},
            {"last article longer than a read", "A\t0\n", std::string(10000, 'y') + "\nz\n", {0},
                {std::string(10000, 'y')}},
            // A successor far off or before the article says nothing of where it ends.
            {"successor far off", "A\t0\nB\t70000\n",
                std::string(2000, 'p') + "\n" + std::string(67998, 'q') + "\nr\n", {0, 1},
                {std::string(2000, 'p'), "r"}},
            {"successor before the article", "A\t2\nB\t0\n", "b\n" + std::string(5000, 'a') + "\n",
                {0, 1}, {std::string(5000, 'a'), "b"}},
        };
    for (const auto &[name, index, data, reads, articles] : rows) {
        TestFolder folder;
        const auto dictionary = LoadDictionary(folder, index, data);
        std::vector<std::string> read;
        for (const std::int32_t i : reads)
            read.push_back(Utf8ToAnsi(dictionary->GetArticle(i)));
        EXPECT_EQ(read, articles) << name;
    }
}

TEST(DictionaryTest, GetWordOutsideTheDictionaryIsEmpty)
{
    TestFolder folder;
    const auto dictionary = LoadDictionary(folder, "A\t0\n");
    EXPECT_EQ(dictionary->GetWord(-1), "");
    EXPECT_EQ(dictionary->GetWord(1), "");
}

TEST(DictionaryTest, FindWordScansForTheLongestSharedBeginning)
{
    const std::string yo = "\xB8", capitalYo = "\xA8";
    const std::string kot = "\xEA\xEE\xF2";
    const std::string runs = Record("\xC0", "0") + Record("\xC0\xC1", "0") + Record("\xC0\xC3", "0")
        + Record("\xC2", "0") + Record("\xE0\xE1\xE2", "0");
    // A headword stored in small letters is reached only by a scan that runs on into it.
    const std::string shortRun =
        Record("\xC0\xC1", "0") + Record("\xC2", "0") + Record("\xE0\xE1\xE2", "0");
    const std::string lastRun =
        Record("\xC0X", "0") + Record("\xC1", "0") + Record("\xC0\xC1", "0");
    const std::string otherIndex = Record(capitalYo + "\xC6", "0") + Record(yo + "\xE6", "0")
        + Record(" " + kot + " ", "0") + Record("\xE4\xEE\xEC", "0") + Record("\xC0", "0");
    // name, index, query, found, position, matched length (77 = left unwritten)
    const std::tuple<const char *, std::string, std::string, bool, std::uint32_t, std::int32_t>
        rows[] = {
            {"exact, lower-case query", HouseIndex(), "\xE4\xEE\xEC\xEE\xE2\xEE\xE9", true, 2, -1},
            {"longer query", HouseIndex(), DOM + "\xC0", true, 0, 3},
            {"proper prefix", HouseIndex(), "\xC4\xCE", true, 0, 2},
            {"exact first", HouseIndex(), DOM, true, 0, -1},
            {"no block", HouseIndex(), "\xC6\xD3\xCA", false, 0xFFFFFFFF, 77},
            {"block, nothing shared beyond", HouseIndex(), "\xC4\xC0", true, 0, 1},
            {"small yo finds its own block", otherIndex, yo + "\xE6", true, 1, -1},
            {"yo query, second letter differs", otherIndex, yo + "X", true, 1, 1},
            {"capital yo", otherIndex, capitalYo + "\xC6", true, 0, -1},
            {"lower-case stored block unreachable", otherIndex, "\xE4\xEE\xEC", false, 0xFFFFFFFF,
                77},
            {"trimmed headword outside its blank block", otherIndex, " " + kot, false, 0xFFFFFFFF,
                0},
            {"no block for the trimmed headword", otherIndex, kot, false, 0xFFFFFFFF, 77},
            {"scan runs past a short run", shortRun, "\xC0\xC1\xC2", true, 2, -1},
            {"scan stops after three of the letter", runs, "\xC0\xC1\xC2", true, 1, 2},
            {"block is the last run", lastRun, "\xC0X", true, 2, 1},
            {"capital A block", otherIndex, "\xE0", true, 4, -1},
        };
    for (const auto &[name, index, query, found, position, matched] : rows) {
        TestFolder folder;
        const auto dictionary = LoadDictionary(folder, index);
        std::uint32_t gotPosition = 5;
        std::int32_t gotMatched = 77;
        EXPECT_EQ(dictionary->FindWord(AnsiToUtf8(query), gotPosition, gotMatched), found) << name;
        EXPECT_EQ(gotPosition, position) << name;
        EXPECT_EQ(gotMatched, matched) << name;
    }
}

TEST(DictionaryTest, FindWordWithEmptyQueryMatchesNothing)
{
    TestFolder folder;
    const auto dictionary = LoadDictionary(folder, HouseIndex());
    std::uint32_t position = 5;
    std::int32_t matched = 77;
    EXPECT_FALSE(dictionary->FindWord("", position, matched));
    EXPECT_EQ(matched, 0);
    EXPECT_EQ(position, 5u);
}

namespace {

// The lookup as first written: a fresh upper-cased copy of every headword, compared by substrings.
bool NaiveFindWord(const std::vector<std::string> &stored, std::string query,
    std::uint32_t &position, std::int32_t &matchedLength)
{
    if (query.empty()) {
        matchedLength = 0;
        return false;
    }
    position = 0xFFFFFFFF;
    query = ToUpper(query);
    std::map<unsigned char, std::size_t> letters;
    unsigned char previous = 0;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const auto first = static_cast<unsigned char>(stored[i].c_str()[0]);
        if (first != previous)
            letters[first] = i;
        previous = first;
    }
    const auto block = letters.find(static_cast<unsigned char>(query[0]));
    if (block == letters.end())
        return false;
    std::size_t k = 1;
    int same = 0;
    bool exact = false;
    for (std::size_t j = block->second; j < stored.size(); ++j) {
        std::string w = stored[j];
        w.erase(0, w.find_first_not_of(std::string("\x01\x02 ", 3)));
        while (!w.empty() && static_cast<unsigned char>(w.back()) <= 0x20)
            w.pop_back();
        w = ToUpper(w);
        while (k <= query.size() && w.substr(0, k) == query.substr(0, k)) {
            position = static_cast<std::uint32_t>(j);
            ++k;
        }
        if (k > query.size()) {
            exact = w.size() == query.size();
            break;
        }
        if (w[0] == query[0])
            ++same;
        else if (same > 2)
            break;
    }
    matchedLength = exact ? -1 : static_cast<std::int32_t>(k - 1);
    return position != 0xFFFFFFFF;
}

// Loads the headwords as an index and looks every query up both ways.
void ExpectTheWrittenScan(const std::vector<std::string> &stored,
    const std::vector<std::string> &queries, const std::string &context)
{
    std::string index;
    for (const std::string &word : stored)
        index += Record(word, "0");
    TestFolder folder;
    const auto dictionary = LoadDictionary(folder, index);
    for (const std::string &query : queries) {
        std::uint32_t position = 9, naivePosition = 9;
        std::int32_t matched = 77, naiveMatched = 77;
        const bool found = dictionary->FindWord(AnsiToUtf8(query), position, matched);
        const bool naiveFound = NaiveFindWord(stored, query, naivePosition, naiveMatched);
        ASSERT_EQ(
            std::tie(found, position, matched), std::tie(naiveFound, naivePosition, naiveMatched))
            << context << " query " << query;
    }
}

} // namespace

TEST(DictionaryTest, FindWordAgreesWithTheWrittenScan)
{
    // Capital and small A and B, capital and small yo, blanks: shared prefixes, blocks a query
    // cannot reach, and trimming all come up often.
    const char letters[] = {'\xC0', '\xC1', '\xE0', '\xE1', '\xA8', '\xB8', ' ', '\x01'};
    std::mt19937 random(12345);
    auto randomText = [&](int maxLength) {
        std::string text;
        const int length = std::uniform_int_distribution<int>(1, maxLength)(random);
        for (int i = 0; i < length; ++i)
            text += letters[std::uniform_int_distribution<int>(0, sizeof(letters) - 1)(random)];
        return text;
    };
    for (int round = 0; round < 150; ++round) {
        std::vector<std::string> stored;
        const int count = std::uniform_int_distribution<int>(1, 12)(random);
        for (int i = 0; i < count; ++i)
            stored.push_back(randomText(4));
        // Half the indexes sorted, as real ones are; the rest keep their blocks scattered.
        if (round % 2 == 0)
            std::sort(stored.begin(), stored.end());
        std::vector<std::string> queries;
        for (int q = 0; q < 30; ++q)
            queries.push_back(q == 0 ? std::string() : randomText(5));
        ExpectTheWrittenScan(stored, queries, "round " + std::to_string(round));
    }
}

namespace {

class Recorder : public IDictionaryLoadObserver
{
public:
    void OnDictionaryLoading(std::string name) override { calls.push_back("loading " + name); }
    void OnLoadProgress(std::int32_t total, std::int32_t done) override
    {
        calls.push_back("progress " + std::to_string(total) + " " + std::to_string(done));
    }
    std::vector<std::string> calls;
};

std::vector<std::string> FolderNames(const Database &database)
{
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < database.GetCount(); ++i)
        names.push_back(database.GetDictionary(i)->GetFolderName());
    return names;
}

// Dictionaries A, B and C with the ids 0xA, 0xB and 0xC.
void WriteAbc(const TestFolder &folder)
{
    for (const char *name : {"A", "B", "C"})
        WriteDictionary(folder, name, std::string("DIC_ID=") + name + "\r\n", Record(name, "0"));
}

} // namespace

TEST(DatabaseTest, LoadsThePreferredOrderFirstAndReportsProgress)
{
    const std::tuple<const char *, std::vector<std::string>, std::vector<std::string>> rows[] = {
        {"preferred C, A", {"C", "A"}, {"C", "A", "B"}},
        {"no order", {}, {"A", "B", "C"}},
        {"letter case differs", {"c"}, {"A", "B", "C"}},
        {"name twice, unknown name", {"B", "X", "B"}, {"B", "A", "C"}},
    };
    for (const auto &[name, order, loaded] : rows) {
        TestFolder folder;
        WriteAbc(folder);
        Recorder recorder;
        Database database(folder.Path(), &recorder);
        database.SetOrder(order);
        database.Load();
        EXPECT_EQ(FolderNames(database), loaded) << name;
        const std::vector<std::string> calls = {"progress 3 0", "loading " + loaded[0],
            "progress 3 1", "loading " + loaded[1], "progress 3 2", "loading " + loaded[2],
            "progress 3 3"};
        EXPECT_EQ(recorder.calls, calls) << name;
    }
}

TEST(DatabaseTest, LogsEveryFolderAndRejectsBadIds)
{
    LoggedFolder folder;
    WriteDictionary(folder, "A", "DIC_ID=F01D0C05\r\n", "A\t0\n");
    WriteDictionary(folder, "B", "DIC_ID=f01d0c05\r\n", "B\t0\n");
    WriteDictionary(folder, "C", "SOURCE=x\r\n", "C\t0\n");
    WriteDictionary(folder, "D", "", "D\t0\n");
    std::remove((folder.Path() + "dics/D/D.inf").c_str());
    folder.MakeFolder("dics/D/D.inf");
    folder.WriteFile("dics/E/E.dat", "");
    folder.WriteFile("dics/.hidden/.hidden.dat", "");
    folder.WriteFile("dics/file.txt", "");
    Database database(folder.Path(), nullptr);
    database.Load();

    const std::string dics = folder.Path() + "dics/";
    const std::vector<std::string> expected = {
        "(I) [Database::Load] Found dictionary = " + dics + "A",
        "(I) [Database::Load] Found dictionary = " + dics + "B",
        "(I) [Database::Load] Found dictionary = " + dics + "C",
        "(I) [Database::Load] Found dictionary = " + dics + "D",
        "(WARNING) [Dictionary::PreLoadCheck] dic index file=" + dics + "E/E.idx not found",
        "(WARNING) [Dictionary::PreLoadCheck] dic data file=" + dics + "file.txt/file.txt.dat"
            + " not found",
        "(I) [Database::Load] Loading dictionary = " + dics + "A",
        "(I) [Dictionary::LoadAttributes] DIC_ID=0xf01d0c05",
        "(I) [Database::Load] Dictionary loaded, ID=0xf01d0c05",
        "(I) [Database::Load] Loading dictionary = " + dics + "B",
        "(I) [Dictionary::LoadAttributes] DIC_ID=0xf01d0c05",
        "(WARNING) [Database::Load] Dictionary ID=0xf01d0c05 is already loaded",
        "(WARNING) [Database::Load] Failed to load dictionary",
        "(I) [Database::Load] Loading dictionary = " + dics + "C",
        "(I) [Dictionary::LoadAttributes] SOURCE=x",
        "(WARNING) [Database::Load] Dictionary ID=0x0 is missing or zero",
        "(WARNING) [Database::Load] Failed to load dictionary",
        "(I) [Database::Load] Loading dictionary = " + dics + "D",
        "(ERROR!) [Dictionary::Load] Not found, Dictionary::LoadAttributes, 383",
        "(WARNING) [Database::Load] Failed to load dictionary",
    };
    EXPECT_EQ(folder.Records(), expected);
    EXPECT_EQ(FolderNames(database), std::vector<std::string>{"A"});
    EXPECT_EQ(database.IndexOfId(0xF01D0C05), 0);
    EXPECT_EQ(database.FindById(0xF01D0C05), database.GetDictionary(0));
}

TEST(DatabaseTest, FindPrefersExactThenLongestThenEarlier)
{
    // name, first dictionary's words, second's, query, found, dictionary, index, matched length
    const std::tuple<const char *, std::string, std::string, std::string, bool, std::uint32_t,
        std::int32_t, std::int32_t>
        rows[] = {
            {"exact in the second", Record(DOMIK, "0"), Record(DOM, "0"), DOM, true, 2, 0, -1},
            {"tie goes to the first", Record(DOM, "0"), Record(DOMIK, "0"), DOM + "\xC0", true, 1,
                0, 3},
            {"longer in the second", Record(DOM, "0"), Record("X", "0") + Record(DOMIK, "0"), DOMIK,
                true, 2, 1, -1},
            {"no block anywhere", Record(DOM, "0"), Record(DOMIK, "0"), "\xC6", false, 0, 0, 77},
            {"empty query", Record(DOM, "0"), Record(DOMIK, "0"), "", false, 0, 0, 77},
        };
    for (const auto &[name, first, second, query, found, dicId, index, matched] : rows) {
        TestFolder folder;
        WriteDictionary(folder, "D1", "DIC_ID=1", first);
        WriteDictionary(folder, "D2", "DIC_ID=2", second);
        Database database(folder.Path(), nullptr);
        database.Load();
        WordPosition position{9, 9};
        std::int32_t length = 77;
        EXPECT_EQ(database.Find(0, AnsiToUtf8(query), position, &length), found) << name;
        EXPECT_EQ(std::tie(position.dicId, position.index, length), std::tie(dicId, index, matched))
            << name;
    }
}

TEST(DatabaseTest, OneDictionaryOrAnUnknownId)
{
    TestFolder folder;
    WriteDictionary(folder, "D1", "DIC_ID=1", Record(DOM, "0"), "home\n");
    WriteDictionary(folder, "D2", "DIC_ID=2", Record("X", "0") + Record(DOMIK, "2"), "x\nhut\n");
    Database database(folder.Path(), nullptr);
    database.Load();

    const std::tuple<const char *, std::uint32_t, bool, WordPosition, std::string> rows[] = {
        {"the second only", 2, true, {2, 1}, DOMIK},
        {"the first only", 1, true, {1, 0}, DOM},
        {"unknown id", 7, false, {0, 0}, ""},
    };
    for (const auto &[name, id, found, expected, word] : rows) {
        WordPosition position{9, 9};
        EXPECT_EQ(database.Find(id, AnsiToUtf8(DOM), position), found) << name;
        EXPECT_EQ(
            std::tie(position.dicId, position.index), std::tie(expected.dicId, expected.index))
            << name;
        EXPECT_EQ(database.GetWord(position), AnsiToUtf8(word)) << name;
    }
    EXPECT_EQ(database.GetArticle({2, 1}), "hut");
    EXPECT_EQ(database.GetArticle({7, 0}), "");
    EXPECT_EQ(database.GetWord({7, 0}), "");
    EXPECT_EQ(database.GetWord({1, 5}), "");
    EXPECT_EQ(database.FindById(7), nullptr);
    EXPECT_EQ(database.IndexOfId(7), -1);
}

TEST(DatabaseTest, ReorderPutsTheNamedIdsFirst)
{
    const std::tuple<const char *, std::vector<std::uint32_t>, std::vector<std::string>> rows[] = {
        {"only the last", {0xC}, {"C", "A", "B"}},
        {"full order", {0xB, 0xC, 0xA}, {"B", "C", "A"}},
        {"unknown skipped", {0x77, 0xB}, {"B", "A", "C"}},
        {"empty", {}, {"A", "B", "C"}},
    };
    for (const auto &[name, ids, order] : rows) {
        TestFolder folder;
        WriteAbc(folder);
        Database database(folder.Path(), nullptr);
        database.Load();
        database.Reorder(ids);
        EXPECT_EQ(FolderNames(database), order) << name;
    }
}

TEST(DatabaseTest, TemporaryFolderIsRemovedAtBothEnds)
{
    TestFolder folder;
    folder.WriteFile("data/temp/a.txt", "a");
    {
        const std::string withoutSlash = folder.Path().substr(0, folder.Path().size() - 1);
        Database database(withoutSlash, nullptr);
        EXPECT_FALSE(folder.Exists("data/temp"));
        folder.WriteFile("data/temp/b.txt", "b");
    }
    EXPECT_FALSE(folder.Exists("data/temp"));
    EXPECT_TRUE(folder.Exists("data"));
}

TEST(DatabaseTest, ScansAFolderOfTheCallersChoosing)
{
    TestFolder folder;
    WriteAbc(folder);
    folder.WriteFile("data/temp/a.txt", "a");
    Database database("", nullptr, folder.Path() + "dics/");
    database.Load();
    EXPECT_EQ(FolderNames(database), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_TRUE(folder.Exists("data/temp/a.txt"));
}

TEST(DatabaseTest, ExtraFolderComesAfterTheProgramsOwn)
{
    TestFolder folder;
    WriteAbc(folder);
    TestFolder user;
    WriteDictionary(user, "0user", "DIC_ID=E\r\n", Record("E", "0"));
    WriteDictionary(user, "B", "DIC_ID=B2\r\n", Record("B", "0"));
    const std::tuple<const char *, std::vector<std::string>, std::vector<std::string>> rows[] = {
        // The user's B has its own id and loads after the program's B.
        {"no order", {}, {"A", "B", "C", "0user", "B"}},
        {"order names a user folder", {"0user", "C"}, {"0user", "C", "A", "B", "B"}},
    };
    for (const auto &[name, order, loaded] : rows) {
        Database database(folder.Path(), nullptr);
        database.AddDictionaryFolder(user.Path() + "dics");
        database.SetOrder(order);
        database.Load();
        EXPECT_EQ(FolderNames(database), loaded) << name;
    }
}

namespace {

std::string Trimmed(const std::string &word)
{
    std::size_t begin = 0, end = word.size();
    while (begin < end && static_cast<unsigned char>(word[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(word[end - 1]) <= 0x20)
        --end;
    return word.substr(begin, end - begin);
}

// Headwords in the order a sorted index keeps (by the trimmed, upper-cased headword), then
// disturbed the way odd files are (shapes 1-4): neighbours swapped, small first letters, blanks
// in front, or sorted by the stored bytes instead.
std::vector<std::string> ShapedIndex(std::mt19937 &random, int shape)
{
    // Capital and small A, B and V, both yo, a Latin letter, a hyphen: long shared beginnings
    // with several blocks, each large enough to be searched by halves.
    const char letters[] = {
        '\xC0', '\xC0', '\xC1', '\xC1', '\xC2', '\xE0', '\xE1', '\xA8', '\xB8', 'A', '-'};
    const char firsts[] = {'\xC0', '\xC0', '\xC0', '\xC1', '\xC1', '\xC2', '\xA8', '\xB8', 'A'};
    auto pick = [&](const char *from, std::size_t count) {
        return from[std::uniform_int_distribution<std::size_t>(0, count - 1)(random)];
    };
    // Small indexes have blocks of one or two, which the scan runs past.
    const int count = std::uniform_int_distribution<int>(1, random() % 2 ? 12 : 250)(random);
    std::vector<std::pair<std::string, std::string>> keyed;
    for (int i = 0; i < count; ++i) {
        std::string word(1, pick(firsts, sizeof(firsts)));
        const int length = std::uniform_int_distribution<int>(0, 11)(random);
        for (int c = 0; c < length; ++c)
            word += pick(letters, sizeof(letters));
        if (std::uniform_int_distribution<int>(0, 9)(random) == 0)
            word += " ";
        keyed.emplace_back(ToUpper(Trimmed(word)), word);
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> stored;
    for (auto &entry : keyed)
        stored.push_back(std::move(entry.second));
    std::uniform_int_distribution<std::size_t> anywhere(0, stored.size() - 1);
    const int disturbances = shape == 0 ? 0 : std::uniform_int_distribution<int>(1, 4)(random);
    for (int d = 0; d < disturbances; ++d) {
        std::string &word = stored[anywhere(random)];
        switch (shape) {
        case 1:
            std::swap(word, stored[anywhere(random)]);
            break;
        case 3:
            word = (d % 2 ? " " : "\x01 ") + word;
            break;
        default:
            word[0] = static_cast<char>(static_cast<unsigned char>(word[0]) | 0x20);
            break;
        }
    }
    // Sorted by the stored bytes: the small first letters make runs after all the capitals.
    if (shape == 4)
        std::sort(stored.begin(), stored.end());
    return stored;
}

// What a user types: a headword or its beginning, small or capital, sometimes one letter off.
std::string QueryNear(const std::string &headword, std::mt19937 &random)
{
    std::string query = Trimmed(headword);
    if (query.empty())
        return "\xC0";
    query.resize(std::uniform_int_distribution<std::size_t>(1, query.size())(random));
    const int change = std::uniform_int_distribution<int>(0, 5)(random);
    if (change == 0)
        query += '\xC1';
    else if (change == 1)
        query.back() = '\xC2';
    else if (change == 2)
        for (char &c : query)
            if (static_cast<unsigned char>(c) >= 0xC0 && static_cast<unsigned char>(c) < 0xE0)
                c = static_cast<char>(static_cast<unsigned char>(c) + 0x20);
    return query;
}

} // namespace

TEST(DictionaryTest, FindWordBySortedRunsAgreesWithTheWrittenScan)
{
    std::mt19937 random(4242);
    for (int round = 0; round < 250; ++round) {
        // Sorted, neighbours swapped, small first letters in place, blanks in front, small first
        // letters sorted by their bytes.
        const int shape = round % 5;
        const std::vector<std::string> stored = ShapedIndex(random, shape);
        std::uniform_int_distribution<std::size_t> anywhere(0, stored.size() - 1);
        std::vector<std::string> queries = {"\xDF"};
        for (int q = 1; q < 60; ++q)
            queries.push_back(QueryNear(stored[anywhere(random)], random));
        ExpectTheWrittenScan(
            stored, queries, "round " + std::to_string(round) + " shape " + std::to_string(shape));
    }
}

TEST(DictionaryTest, OffsetsOfEveryLengthReachTheirArticles)
{
    // One to ten digits, far into a sparse data file; as written, padded, signed, and each one
    // also the last record of its file, without its LF.
    const long long offsets[] = {
        0, 7, 42, 123, 4096, 65536, 999999, 1234567, 87654321, 123456789, 2147483600};
    const char *const forms[] = {"%lld", "%010lld", "%011lld", "%012lld", "+%lld"};
    for (const char *form : forms) {
        for (const bool reversed : {false, true}) {
            LoggedFolder folder;
            std::string index;
            for (std::size_t n = 0; n < std::size(offsets); ++n) {
                const std::size_t i = reversed ? std::size(offsets) - 1 - n : n;
                char offset[32];
                std::snprintf(offset, sizeof offset, form, offsets[i]);
                index += (n ? "\n" : "") + std::string("W") + std::to_string(i) + "\t" + offset;
            }
            WriteDictionary(folder, "D", "DIC_ID=1\r\n", index, "");
            {
                std::ofstream data(folder.Path() + "dics/D/D.dat", std::ios::binary);
                for (std::size_t i = 0; i < std::size(offsets); ++i) {
                    data.seekp(offsets[i]);
                    data << "art" << i << "\n";
                }
            }
            Dictionary dictionary(DictionaryPath(folder, "D"));
            ASSERT_TRUE(dictionary.Load()) << form;
            ASSERT_EQ(dictionary.GetWordCount(), std::size(offsets));
            for (std::uint32_t n = 0; n < dictionary.GetWordCount(); ++n) {
                const std::string word = dictionary.GetWord(static_cast<std::int32_t>(n));
                EXPECT_EQ(
                    dictionary.GetArticle(static_cast<std::int32_t>(n)), "art" + word.substr(1))
                    << form << " " << word;
            }
        }
    }
}
