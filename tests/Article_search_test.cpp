#include "storage/Article_search.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "Test_folder.h"
#include "storage/Article_markup.h"
#include "storage/Database.h"
#include "storage/Text_encoding.h"
#include "support/Code_page.h"
#include "support/Utils.h"

namespace {

// A record as the search gives it: dictionary, index, headword (UTF-8).
using Found = std::tuple<std::uint32_t, std::int32_t, std::string>;

std::string Attributes(const std::string &id, const std::string &encoding)
{
    return "FORMAT_VERSION=1.0\r\nENCODING=" + encoding + "\r\nDIC_ID=" + id
        + "\r\nDIC_VERSION=1.0\r\nSHORT_NAME=" + id + "\r\nLONG_NAME=" + id + "\r\n";
}

void WriteRaw(const TestFolder &folder, const std::string &name, const std::string &id,
    const std::string &index, const std::string &data, const std::string &encoding = "cp1251")
{
    const std::string base = "dics/" + name + "/" + name;
    folder.WriteFile(base + ".inf", Utf16le(Attributes(id, encoding)));
    folder.WriteFile(base + ".idx", index);
    folder.WriteFile(base + ".dat", data);
}

// Text (UTF-8) upper-cased and spelt as the dictionary holds it: Windows-1251 bytes or UTF-8.
std::string Held(const Dictionary &dictionary, const std::string &text, bool &complete)
{
    return WithText(
        dictionary.Encoding(), [&](auto encoding) { return encoding.UpperQuery(text, complete); });
}

// What the search must find, worked out the slow way: every article as GetArticle reads it,
// upper-cased whole and searched. phrase is UTF-8.
std::vector<Found> BruteForce(const Database &database, const std::string &phrase)
{
    std::vector<Found> found;
    for (std::int32_t d = 0; d < database.GetCount(); ++d) {
        Dictionary &dictionary = *database.GetDictionary(d);
        bool complete = false;
        const std::string own = Held(dictionary, phrase, complete);
        if (!complete || own.empty())
            continue;
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(dictionary.GetWordCount()); ++i)
            if (Held(dictionary, dictionary.GetArticle(i), complete).find(own) != std::string::npos)
                found.emplace_back(dictionary.GetId(), i, dictionary.GetWord(i));
    }
    return found;
}

struct Outcome
{
    std::vector<Found> found;
    std::vector<std::string> excerpts;
    std::vector<std::size_t> positions;
    // The set each match came in, and its place there.
    std::vector<std::pair<std::shared_ptr<const ArticleMatches>, std::size_t>> sources;
    std::size_t phraseLength = 0;
    bool completed = false;
    std::vector<std::uint32_t> changed; // dictionaries whose data file changed
};

// A search that has not ended after a minute is stopped, and found not completed.
Outcome Search(const Database &database, const std::string &phrase, unsigned threads)
{
    Outcome outcome;
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> lock(mutex);
        if (!ended.wait_for(lock, std::chrono::minutes(1), [&] { return done; }))
            cancel = true;
    });
    ArticleSearch search(database, phrase);
    outcome.completed = search.Run(
        [&](ArticleMatches &&found) {
            if (found.FileChanged())
                outcome.changed.push_back(found.DicId());
            const auto matches = std::make_shared<const ArticleMatches>(std::move(found));
            for (std::size_t i = 0; i < matches->Size(); ++i) {
                outcome.found.emplace_back(
                    matches->DicId(), matches->Index(i), std::string(matches->Headword(i)));
                outcome.excerpts.emplace_back(matches->Excerpt(i));
                outcome.positions.push_back(matches->Position(i));
                outcome.sources.emplace_back(matches, i);
                outcome.phraseLength = matches->PhraseLength();
            }
        },
        cancel, threads);
    {
        const std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    ended.notify_one();
    watchdog.join();
    return outcome;
}

// Every excerpt shows the phrase, in whatever case the article has it and with control bytes
// as blanks.
void ExpectExcerptsShow(const Outcome &outcome, const std::string &phrase, const char *name)
{
    bool complete = false;
    std::string own = Utf8Text::UpperQuery(phrase, complete);
    for (char &c : own)
        c = static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    for (const std::string &excerpt : outcome.excerpts)
        EXPECT_NE(Utf8Text::UpperQuery(excerpt, complete).find(own), std::string::npos)
            << name << ": " << excerpt;
}

// Each match names the first occurrence in its article, and the excerpt read again later is the
// one the search made.
void ExpectFirstOccurrences(const Database &database, const Outcome &outcome, const char *name)
{
    for (std::size_t i = 0; i < outcome.found.size(); ++i) {
        const auto &[id, index, headword] = outcome.found[i];
        Dictionary &dictionary = *database.FindById(id);
        bool complete = false;
        const std::string article = Held(dictionary, dictionary.GetArticle(index), complete);
        const std::string phrase = article.substr(outcome.positions[i], outcome.phraseLength);
        // Positions count the file's bytes: the bytes of a character an article begins inside
        // read as U+FFFD, three bytes each.
        if (article.compare(0, 3, "\xEF\xBF\xBD") != 0) {
            EXPECT_EQ(article.find(phrase), outcome.positions[i]) << name;
        }
        const auto &[set, place] = outcome.sources[i];
        EXPECT_EQ(ReadExcerpt(dictionary, *set, place), outcome.excerpts[i]) << name;
    }
}

// Bytes this process has read so far, from any file.
std::uint64_t BytesRead()
{
    std::ifstream io("/proc/self/io");
    std::uint64_t value = 0;
    for (std::string key; io >> key >> value;)
        if (key == "rchar:")
            return value;
    return 0;
}

std::unique_ptr<Database> Load(const TestFolder &folder)
{
    auto database = std::make_unique<Database>("", nullptr, folder.Path() + "dics");
    database->Load();
    return database;
}

} // namespace

// Each row is one dictionary written byte for byte, searched for one phrase by one and by two
// threads; the brute-force scan says what must be found and the expected count guards the
// brute force itself.
TEST(ArticleSearchTest, AgreesWithAPlainScan)
{
    const std::string dom = "\xC4\xEE\xEC"; // Дом
    const std::string long1 = std::string(99995, 'x') + "needle";
    struct Row
    {
        const char *name;
        std::string index;
        std::string data;
        std::string phrase; // UTF-8
        std::size_t expected;
        const char *encoding = "cp1251";
    };
    const Row rows[] = {
        {"latin, either case", "a\t0\nb\t12\nc\t24\n", "Hello World\nhello WORLD\nwor ld\n",
            "WoRlD", 2},
        {"blanks belong to the phrase", "a\t0\nb\t12\n", "Hello World\nHelloWorld\n", "o w", 1},
        {"cyrillic, either case", "a\t0\nb\t7\nc\t12\n",
            dom + "\xE8\xEA \n\xC4\xCE\xCC\xC0\n\xE4\xEE\n", "\xD0\xB4\xD0\x9E\xD0\xBC", 2},
        {"small yo is not capital yo", "a\t0\nb\t4\n", "\xB8\xEB\xEA\n\xA8\xCB\xCA\n", "\xD1\x91",
            1},
        {"phrase at start and at end", "a\t0\nb\t11\n", "needle abc\nabc needle\n", "needle", 2},
        {"last article without a line feed", "a\t0\nb\t4\n", "abc\nxyzneedle", "needle", 1},
        {"crlf line ends", "a\t0\nb\t9\n", "abc end\r\nend abc\r\n", "end", 2},
        {"carriage return GetArticle drops", "a\t0\nb\t5\n", "abc\r\nabc\rd\n", "c\r", 1},
        {"offset past the end", "a\t0\nb\t500\nc\t4\n", "abc\nabc\n", "abc", 2},
        {"offset at the very end", "a\t0\nb\t4\n", "abc\n", "abc", 1},
        {"one letter", "a\t0\nb\t4\nc\t8\n", "xyz\nqAq\nzzz\n", "a", 1},
        {"phrase longer than any article", "a\t0\nb\t4\n", "abc\nabc\n", "abcabcabc", 0},
        {"records sharing one article", "a\t0\nb\t0\nc\t7\nd\t0\n", "shared\nother\n", "share", 3},
        {"offset inside a line", "a\t0\nb\t3\nc\t6\n", "abcdefgh\n", "cde", 1},
        {"articles out of index order", "a\t19\nb\t0\nc\t9\n", "one find\nnone here\nfind two\n",
            "find", 2},
        {"zero byte ends the article", "a\t0\nb\t6\n", std::string("ab\0cd\ncdcd\n", 11), "cd", 1},
        {"cut at the longest line GetArticle reads", "a\t0\nb\t99990\n", long1 + "\n", "needle", 1},
        {"phrase spanning two lines", "a\t0\nb\t4\n", "abc\ndef\n", "c\nd", 0},
        {"character the code page lacks", "a\t0\n", "abc?\n", "abc\xE4\xB8\xAD", 0},
        {"empty phrase", "a\t0\n", "abc\n", "", 0},
        {"utf-8 cyrillic, either case", "a\t0\nb\t8\nc\t17\n",
            "\xD0\x94\xD0\xBE\xD0\xBC \n\xD0\x94\xD0\x9E\xD0\x9C\xD0\x90\n\xD0\xB4\xD0\xBE\n",
            "\xD0\xB4\xD0\x9E\xD0\xBC", 2, "UTF-8"},
        {"utf-8 small yo is capital yo", "a\t0\nb\t5\n", "\xD1\x91\xD0\xB6\n\xD0\x81\xD0\x96\n",
            "\xD1\x91", 2, "UTF-8"},
        {"utf-8 long s is s", "a\t0\nb\t5\nc\t9\n", "\xC5\xBFun\nSUN\nson\n", "sun", 2, "UTF-8"},
        {"utf-8 final sigma", "a\t0\nb\t5\n", "\xCE\xB1\xCF\x82\n\xCE\x91\xCE\xA3\n", "\xCF\x83", 2,
            "UTF-8"},
        {"utf-8 broken byte reads as U+FFFD", "a\t0\nb\t6\n",
            "ab\xFF"
            "cd\nabcd\n",
            "b\xEF\xBF\xBD"
            "c",
            1, "UTF-8"},
        {"utf-8 character the code page lacks", "a\t0\n", "abc\xE4\xB8\xAD\n", "C\xE4\xB8\xAD", 1,
            "UTF-8"},
        {"no blank after the phrase within the excerpt's reach", "a\t0\n",
            "so " + std::string(50, 'x') + "needle" + std::string(100, 'y') + "\n", "needle", 1},
        {"utf-8 dotless i is longer than its capital", "a\t0\n",
            "abc \xC4\xB1" + std::string(100, 'y') + "\n", "I", 1, "UTF-8"},
        {"utf-8 small a with stroke is longer than its capital", "a\t0\n",
            "abc \xE2\xB1\xA5" + std::string(100, 'y') + "\n", "\xC8\xBA", 1, "UTF-8"},
        {"utf-8 long phrase of one letter", "a\t0\nb\t5001\n",
            std::string(5000, 'a') + "\n" + std::string(4000, 'a') + "b\n",
            std::string(3000, 'a') + "b", 1, "UTF-8"},
        // Read a megabyte at a time: the occurrence lies past the first stretch, its article
        // begins before it.
        {"article begun before a read boundary", "a\t0\nb\t1048526\n",
            std::string(1048525, 'x') + "\n" + std::string(150, 'y') + "needle\n", "needle", 1},
        // 99,999 letters of two bytes and x: from the first letter or inside it, 100,000
        // characters; from the second letter or inside it, as many as GetArticle reads.
        {"utf-8 occurrence at the length limit", "a\t0\nb\t1\nc\t2\nd\t3\n",
            []() {
                std::string text;
                for (int i = 0; i < 99999; ++i)
                    text += "\xD0\xB4";
                return text + "x\n";
            }(),
            "x", 2, "UTF-8"},
        // The occurrence lies across the end of the first stretch read, a character of it too.
        {"phrase across a read boundary", "a\t0\nb\t1048501\n",
            std::string(1048500, 'x') + "\n" + std::string(72, 'y') + "needle\n", "needle", 1},
        {"utf-8 phrase across a read boundary", "a\t0\nb\t1048501\n",
            std::string(1048500, 'x') + "\n" + std::string(70, 'y') + "\xD0\xB4\xD0\xBE\xD0\xBC\n",
            "\xD0\x94\xD0\xBE\xD0\xBC", 1, "UTF-8"},
        {"long phrase of one letter", "a\t0\nb\t5001\n",
            std::string(5000, 'a') + "\n" + std::string(4000, 'A') + "b\n",
            std::string(3000, 'a') + "b", 1},
    };
    for (const Row &row : rows) {
        TestFolder folder;
        WriteRaw(folder, "one", "11", row.index, row.data, row.encoding);
        const auto database = Load(folder);
        ASSERT_EQ(database->GetCount(), 1) << row.name;
        const std::vector<Found> expected = BruteForce(*database, row.phrase);
        EXPECT_EQ(expected.size(), row.expected) << row.name;
        for (unsigned threads : {1U, 2U}) {
            const Outcome outcome = Search(*database, row.phrase, threads);
            EXPECT_TRUE(outcome.completed) << row.name;
            EXPECT_EQ(outcome.found, expected) << row.name << ", threads " << threads;
            ExpectExcerptsShow(outcome, row.phrase, row.name);
            ExpectFirstOccurrences(*database, outcome, row.name);
        }
    }
}

// A stored line break reads as a blank, in the search and in its excerpts.
TEST(ArticleSearchTest, FindsAPhraseAcrossALineBreak)
{
    TestFolder folder;
    WriteRaw(
        folder, "one", "11", "a\t0\nb\t18\n", "a big\xE2\x80\xA8house cat\nbighouse\n", "UTF-8");
    const auto database = Load(folder);
    const std::tuple<const char *, std::vector<std::string>> rows[] = {
        {"big house", {"a big house cat"}},
        {"BIG HOUSE CAT", {"a big house cat"}},
        {"bighouse", {"bighouse"}},
        {" house", {"a big house cat"}},
        {"big  house", {}},
    };
    for (const auto &[phrase, excerpts] : rows)
        EXPECT_EQ(Search(*database, phrase, 1).excerpts, excerpts) << phrase;
}

TEST(ArticleSearchTest, FindsAPhraseInTheTextTagsShowAndNeverInTheTags)
{
    const std::string LS = "\xE2\x80\xA8";
    // markup, the articles (one a line), phrase, the excerpts found
    const std::tuple<const char *, std::string, const char *, std::vector<std::string>> rows[] = {
        {"html", "brightred\n<b>bright</b> red\n", "bright red", {"bright red"}},
        {"html", "<a href=\"bword://red\">x</a>\n<span class=\"red\">y</span>\n", "red", {}},
        {"html", "a &amp; b<br>c &#x41;\n", "& b c a", {"a & b c A"}},
        {"pango", "<span weight=\"bold\">on</span>" + LS + "<i>weight</i>\n", "on weight",
            {"on weight"}},
        {"pango", "<span weight=\"bold\">on</span>\n", "weight", {}},
        {"xdxf", "<k>cat</k>" + LS + "<kref k=\"dog\">hound</kref>\n", "dog", {}},
        {"xdxf", "<k>cat</k>" + LS + "<kref k=\"dog\">hound</kref>\n", "cat hound", {"cat hound"}},
        {"plain", "<b>bright</b> red\n", "b>bright", {"<b>bright</b> red"}},
    };
    for (const auto &[markup, data, phrase, excerpts] : rows) {
        TestFolder folder;
        std::string index;
        for (std::size_t at = 0, i = 0; at < data.size(); at = data.find('\n', at) + 1, ++i)
            index += std::string(1, static_cast<char>('a' + i)) + "\t" + std::to_string(at) + "\n";
        const std::string base = "dics/t/t";
        folder.WriteFile(base + ".inf",
            Utf16le(Attributes("11", "UTF-8") + "MARKUP=" + std::string(markup) + "\r\n"));
        folder.WriteFile(base + ".idx", index);
        folder.WriteFile(base + ".dat", data);
        const auto database = Load(folder);
        const Outcome outcome = Search(*database, phrase, 1);
        EXPECT_EQ(outcome.excerpts, excerpts) << markup << ": " << phrase;
        // Read again from the file, the excerpt is the same.
        for (std::size_t i = 0; i < outcome.sources.size(); ++i)
            EXPECT_EQ(ReadExcerpt(*database->GetDictionary(0), *outcome.sources[i].first,
                          outcome.sources[i].second),
                outcome.excerpts[i])
                << markup << ": " << phrase;
    }
}

// Dictionaries of random bytes from a small alphabet (both cases of Latin and Cyrillic letters,
// blanks, CR, LF, zero) with random offsets, some shared, some inside lines, some past the end;
// phrases cut from the data itself.
TEST(ArticleSearchTest, AgreesWithAPlainScanOnRandomDictionaries)
{
    const std::string alphabet = std::string("aAbB \xE0\xC0\xB8\xA8\r\n") + '\0';
    std::mt19937 random(20261207);
    for (int round = 0; round < 40; ++round) {
        TestFolder folder;
        const std::size_t dictionaries = 1 + random() % 3;
        for (std::size_t d = 0; d < dictionaries; ++d) {
            std::string data(1 + random() % 400, ' ');
            for (char &c : data)
                c = alphabet[random() % (random() % 4 == 0 ? alphabet.size() : 9)];
            std::string index;
            const std::size_t records = random() % 30;
            for (std::size_t r = 0; r < records; ++r)
                index += "w" + std::to_string(r) + "\t"
                    + std::to_string(random() % (data.size() + 10)) + "\n";
            const std::string name = "d" + std::to_string(d);
            WriteRaw(folder, name, std::to_string(d + 1), index, data);
        }
        const auto database = Load(folder);
        for (int query = 0; query < 10; ++query) {
            const std::string data = folder.ReadFile("dics/d0/d0.dat");
            const std::size_t start = random() % data.size();
            const std::string phrase = data.substr(start, 1 + random() % 4);
            const std::string utf8 = AnsiToUtf8(phrase);
            const std::vector<Found> expected = BruteForce(*database, utf8);
            const Outcome outcome = Search(*database, utf8, 1 + round % 2);
            EXPECT_EQ(outcome.found, expected) << "round " << round << " phrase " << utf8;
            ExpectFirstOccurrences(*database, outcome, "random");
        }
    }
}

// A data file of 17 MB is scanned in parts by several threads: records near the parts' borders
// find occurrences past them, and articles are shared across them; a part's end may hold no
// occurrence at all.
TEST(ArticleSearchTest, AgreesWithAPlainScanOverAFileScannedInParts)
{
    std::mt19937 random(7);
    std::string data(17 << 20, ' ');
    const std::string alphabet = "aAbBcC\xE0\xC0";
    for (char &c : data)
        c = random() % 40 == 0 ? '\n' : alphabet[random() % alphabet.size()];
    data.replace(1000, 8, "\nneedle\n");
    std::string index;
    for (int r = 0; r < 30000; ++r)
        index += "w\t" + std::to_string(r == 5 ? 1001 : random() % data.size()) + "\n";
    TestFolder folder;
    WriteRaw(folder, "large", "1", index, data);
    const auto database = Load(folder);
    const std::pair<std::string, bool> rows[] = {{"aBcA", true},
        {"\xD0\xB0\xD0\x90"
         "a",
            true},
        {"cccccc", true}, {"b", true}, {"needle", true}, {"zymurgy", false}};
    for (const auto &[phrase, some] : rows) {
        const std::vector<Found> expected = BruteForce(*database, phrase);
        const Outcome outcome = Search(*database, phrase, 3);
        EXPECT_TRUE(outcome.completed) << phrase;
        EXPECT_EQ(outcome.found, expected) << phrase;
        EXPECT_EQ(expected.empty(), !some) << phrase;
    }
}

// A dictionary of tags large enough to be scanned in parts, its records reading the text shown.
TEST(ArticleSearchTest, FindsTheTextTagsShowOverAFileScannedInParts)
{
    std::mt19937 random(11);
    const char *const pieces[] = {"<b>", "</b>", "<i a='ab'>", "</i>", "a", "b", " ", "&amp;"};
    std::string data;
    std::string index;
    while (data.size() < (17 << 20)) {
        index += "w\t" + std::to_string(data.size()) + "\n";
        for (int k = 0; k < 40; ++k)
            data += pieces[random() % 8];
        data += '\n';
    }
    TestFolder folder;
    WriteRaw(folder, "large", "1", index, data, "UTF-8");
    folder.WriteFile("dics/large/large.inf", Utf16le(Attributes("1", "UTF-8") + "MARKUP=html\r\n"));
    const auto database = Load(folder);
    Dictionary &dictionary = *database->GetDictionary(0);
    // phrase, whether some record shows it
    for (const auto &[phrase, some] :
        {std::pair<std::string, bool>{"ab & ba", true}, {"i a", false}}) {
        bool complete = false;
        const std::string own = Utf8Text::UpperQuery(phrase, complete);
        std::vector<Found> expected;
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(dictionary.GetWordCount()); ++i)
            if (Utf8Text::UpperQuery(
                    PlainText(dictionary.GetArticle(i), ArticleMarkup::Html), complete)
                    .find(own)
                != std::string::npos)
                expected.emplace_back(1, i, "w");
        const Outcome outcome = Search(*database, phrase, 3);
        EXPECT_TRUE(outcome.completed) << phrase;
        EXPECT_EQ(outcome.found, expected) << phrase;
        EXPECT_EQ(expected.empty(), !some) << phrase;
        ExpectExcerptsShow(outcome, phrase, phrase.c_str());
    }
}

// UTF-8 dictionaries of random characters of one to four bytes, capitals and small letters whose
// forms differ in length among them, and bytes that are not well-formed; offsets mostly at
// character starts, some inside characters (whose first bytes GetArticle reads as U+FFFD), some
// shared, some past the end; phrases cut from the data at character starts, some after U+FFFD.
TEST(ArticleSearchTest, AgreesWithAPlainScanOnRandomUtf8Dictionaries)
{
    const std::vector<std::string> pieces = {"a", "A", "s", "S", "\xC5\xBF", "\xD0\xB4", "\xD0\x94",
        "\xD1\x91", "\xD0\x81", "\xCF\x82", "\xCE\xA3", "\xF0\x9D\x94\xB8", " ", "\xFF", "\x80",
        "\r", "\n"};
    std::mt19937 random(1251);
    for (int round = 0; round < 40; ++round) {
        TestFolder folder;
        std::vector<std::size_t> starts;
        std::string data;
        for (std::size_t n = 1 + random() % 150; n > 0; --n) {
            starts.push_back(data.size());
            data += pieces[random() % pieces.size()];
        }
        std::string index;
        for (std::size_t r = random() % 30; r > 0; --r) {
            const unsigned kind = random() % 8;
            const std::size_t offset = kind == 0 ? data.size() + 5
                : kind == 1                      ? random() % data.size()
                                                 : starts[random() % starts.size()];
            index += "w\t" + std::to_string(offset) + "\n";
        }
        WriteRaw(folder, "u", "1", index, data, "UTF-8");
        const auto database = Load(folder);
        for (int query = 0; query < 10; ++query) {
            const std::size_t first = random() % starts.size();
            const std::size_t last = std::min(starts.size(), first + 1 + random() % 3);
            const std::string phrase = (query % 3 == 0 ? "\xEF\xBF\xBD" : "")
                + data.substr(starts[first],
                    (last < starts.size() ? starts[last] : data.size()) - starts[first]);
            const Outcome outcome = Search(*database, phrase, 1 + round % 2);
            EXPECT_EQ(outcome.found, BruteForce(*database, phrase))
                << "round " << round << " phrase " << phrase;
        }
    }
}

// The first data file changes after the load and before the search; the second stays.
TEST(ArticleSearchTest, ADataFileChangedSinceTheLoadIsReportedAndTheOthersGoOn)
{
    enum class Change
    {
        None,
        Cut,
        Grown,
        WrittenOverByAsMuch,
        ReplacedWhole
    };
    // name, change, whether the search sees a change
    const std::tuple<const char *, Change, bool> rows[] = {
        {"untouched", Change::None, false},
        {"cut", Change::Cut, true},
        {"grown", Change::Grown, true},
        // The same size: only the time of the last write tells.
        {"written over by as much", Change::WrittenOverByAsMuch, true},
        // A new file under the old name: the open one is still read, whole and unchanged.
        {"replaced whole, as a dictionary tool does", Change::ReplacedWhole, false},
    };
    const std::string data = "the word\nno\n";
    for (const auto &[name, change, changed] : rows) {
        TestFolder folder;
        WriteRaw(folder, "a", "a1", "one\t0\ntwo\t9\n", data);
        WriteRaw(folder, "b", "b1", "one\t0\n", data);
        const auto database = Load(folder);
        const std::string path = folder.Path() + "dics/a/a.dat";
        struct stat before
        {
        };
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        if (change == Change::Cut) {
            ASSERT_EQ(truncate(path.c_str(), 4), 0);
        }
        if (change == Change::Grown)
            folder.WriteFile("dics/a/a.dat", data + "word\n");
        if (change == Change::WrittenOverByAsMuch) {
            folder.WriteFile("dics/a/a.dat", std::string(data.size(), 'b'));
            const timespec times[2] = {before.st_atim, {before.st_mtim.tv_sec - 3600, 0}};
            ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        }
        if (change == Change::ReplacedWhole) {
            folder.WriteFile("dics/a/new.dat", std::string(data.size(), 'b'));
            ASSERT_EQ(std::rename((folder.Path() + "dics/a/new.dat").c_str(), path.c_str()), 0);
        }
        const Outcome outcome = Search(*database, "word", 2);
        EXPECT_TRUE(outcome.completed) << name;
        EXPECT_EQ(outcome.changed,
            changed ? std::vector<std::uint32_t>{0xA1} : std::vector<std::uint32_t>{})
            << name;
        std::vector<Found> expected = {{0xB1, 0, "one"}};
        if (!changed)
            expected.insert(expected.begin(), {0xA1, 0, "one"});
        EXPECT_EQ(outcome.found, expected) << name;
    }
}

TEST(ArticleSearchTest, GivesDictionariesInTheDatabaseOrder)
{
    TestFolder folder;
    for (const char *name : {"a", "b", "c"})
        WriteRaw(folder, name, std::string(name) + "1", "one\t0\ntwo\t9\n", "the word\nno\n");
    const auto database = Load(folder);
    database->Reorder({0xC1, 0xA1});
    const Outcome outcome = Search(*database, "word", 2);
    const std::vector<Found> expected = {{0xC1, 0, "one"}, {0xA1, 0, "one"}, {0xB1, 0, "one"}};
    EXPECT_EQ(outcome.found, expected);
}

// Each dictionary holds a hole in its data file (nothing, a record every 64 KB) and then four
// megabytes that are slow to search one way or another. Stopped once it has read so much, a
// thread in the hole and one in the rest or while the excerpts are read, the search ends soon,
// says it was stopped, and reads little more than a stretch a thread.
TEST(ArticleSearchTest, StopsSoonAfterCancelWhateverTheDictionary)
{
    constexpr std::size_t GIGABYTE = 1 << 30;
    constexpr std::size_t MEGABYTE = 1 << 20;
    constexpr std::size_t REST = 4 * MEGABYTE;
    const auto Repeat = [](const std::string &piece) {
        std::string text;
        while (text.size() + piece.size() <= REST)
            text += piece;
        return text;
    };
    std::string letters; // д, two bytes
    for (int i = 0; i < 150000; ++i)
        letters += "\xD0\xB4";
    const std::string oneLetter = Repeat(std::string(49999, 'a') + "\n");
    const std::string longPhrase = std::string(4000, 'a') + "b";
    struct Row
    {
        const char *name;
        const char *encoding;
        std::size_t hole;
        std::string rest;
        std::size_t step; // between records in the rest
        std::string phrase;
        std::size_t stopAt; // bytes read
    };
    const Row rows[] = {
        {"a long phrase of one letter over that letter", "cp1251", GIGABYTE / 4, oneLetter, 64,
            longPhrase, 3 * MEGABYTE},
        {"the same in utf-8", "UTF-8", GIGABYTE / 4, oneLetter, 64, longPhrase, 3 * MEGABYTE},
        {"no line feed, articles run to the length limit", "UTF-8", GIGABYTE / 4,
            Repeat(letters + "x"), 64, "x", 3 * MEGABYTE},
        {"records begun inside characters", "UTF-8", GIGABYTE / 4, Repeat("\xE4\xB8\xAD"), 193,
            "\xEF\xBF\xBD", 3 * MEGABYTE},
        {"every record holds the phrase", "cp1251", GIGABYTE / 4,
            Repeat("the word " + std::string(54, 'x') + "\n"), 64, "word", 3 * MEGABYTE},
        // Stopped after the scan, while each record's excerpt is read.
        {"every record's excerpt", "cp1251", 0, Repeat("the word xxxxxx\n"), 16, "word",
            6 * MEGABYTE},
    };
    for (const Row &row : rows) {
        TestFolder folder;
        std::string index;
        for (std::size_t offset = 0; offset < row.hole + row.rest.size();
             offset += offset < row.hole ? 65536 : row.step)
            index += "w\t" + std::to_string(offset) + "\n";
        WriteRaw(folder, "h", "1", index, "", row.encoding);
        std::ofstream(folder.Path() + "dics/h/h.dat", std::ios::binary)
            .seekp(static_cast<std::streamoff>(row.hole))
            .write(row.rest.data(), static_cast<std::streamsize>(row.rest.size()));
        const auto database = Load(folder);
        std::atomic<bool> cancel{false};
        ArticleSearch search(*database, row.phrase);
        const std::uint64_t before = BytesRead();
        auto run = std::async(
            std::launch::async, [&] { return search.Run([](ArticleMatches &&) {}, cancel, 2); });
        while (BytesRead() - before < row.stopAt
            && run.wait_for(std::chrono::milliseconds(1)) == std::future_status::timeout) { }
        const std::uint64_t stopped = BytesRead();
        cancel = true;
        EXPECT_EQ(run.wait_for(std::chrono::seconds(10)), std::future_status::ready) << row.name;
        EXPECT_FALSE(run.get()) << row.name;
        EXPECT_LT(BytesRead() - stopped, 4 * MEGABYTE) << row.name;
    }
}

TEST(ArticleSearchTest, StopsWhenCancelled)
{
    TestFolder folder;
    WriteRaw(folder, "a", "a1", "one\t0\n", "word\n");
    WriteRaw(folder, "b", "b1", "one\t0\n", "word\n");
    const auto database = Load(folder);
    std::atomic<bool> cancel{false};
    ArticleSearch search(*database, "word");
    int batches = 0;
    // Raised by the first delivery: nothing more may follow.
    EXPECT_FALSE(search.Run(
        [&](ArticleMatches &&) {
            ++batches;
            cancel = true;
        },
        cancel, 1));
    EXPECT_EQ(batches, 1);
}
