#include "storage/Dictionary_index.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <tuple>

#include "Test_folder.h"
#include "storage/Database.h"
#include "support/Code_page.h"
#include "support/Utils.h"

namespace {

const std::string FFFD = "\xEF\xBF\xBD";

// Writes dics/<name>/<name>.{inf,idx,dat} with the given ENCODING value and id.
void WriteFiles(const TestFolder &folder, const std::string &name, const std::string &encoding,
    const std::string &id, const std::string &index, const std::string &data)
{
    const std::string base = "dics/" + name + "/" + name;
    folder.WriteFile(base + ".inf", Utf16le("ENCODING=" + encoding + "\r\nDIC_ID=" + id + "\r\n"));
    folder.WriteFile(base + ".idx", index);
    folder.WriteFile(base + ".dat", data);
}

struct Encoded
{
    std::string index;
    std::string data;
};

// A Windows-1251 dictionary's files in UTF-8, through the system's converter: headwords and
// articles re-encoded, offsets moved by what the bytes before them grew.
Encoded Reencode(const std::string &index, const std::string &data)
{
    std::vector<long long> before(data.size() + 1, 0);
    for (std::size_t i = 0; i < data.size(); ++i)
        before[i + 1] = before[i] + static_cast<long long>(AnsiToUtf8(data.substr(i, 1)).size());
    Encoded encoded;
    encoded.data = AnsiToUtf8(data);
    for (std::size_t at = 0; at < index.size();) {
        std::size_t end = index.find('\n', at);
        end = end == std::string::npos ? index.size() : end;
        const std::string record = index.substr(at, end - at);
        const std::size_t tab = record.find('\t');
        const long long offset = std::stoll(record.substr(tab + 1));
        const long long moved = offset < 0 ? offset
            : offset <= static_cast<long long>(data.size())
            ? before[static_cast<std::size_t>(offset)]
            : offset + before.back() - static_cast<long long>(data.size());
        encoded.index += AnsiToUtf8(record.substr(0, tab)) + "\t" + std::to_string(moved) + "\n";
        at = end + 1;
    }
    return encoded;
}

// An index and a data file holding these headwords and articles, one article a line.
Encoded Build(const std::vector<std::pair<std::string, std::string>> &entries)
{
    Encoded files;
    for (const auto &[headword, article] : entries) {
        files.index += headword + "\t" + std::to_string(files.data.size()) + "\n";
        files.data += article + "\n";
    }
    return files;
}

std::string ReadWhole(const std::string &path)
{
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

// Letters whose capital differs between ToUpper and Unicode's rule (the small yo, the Ukrainian,
// Belarusian, Serbian and Macedonian letters, the micro sign), in either case: a query holding
// one may be answered differently once the dictionary is in UTF-8.
bool ReadsAlike(const std::string &ansiQuery)
{
    static const std::string letters = "\x80\x81\x83\x8A\x8C\x8D\x8E\x8F\x90\x9A\x9C\x9D\x9E\x9F"
                                       "\xA1\xA2\xA3\xA5\xA8\xAA\xAF\xB2\xB3\xB4\xB5\xB8\xBA\xBC"
                                       "\xBD\xBE\xBF";
    return ansiQuery.find_first_of(letters) == std::string::npos;
}

struct Answer
{
    bool found;
    WordPosition position;
    std::int32_t matched;
    std::string word;
    std::string article;
};

Answer Ask(const Database &database, const std::string &utf8Query)
{
    Answer answer{};
    answer.matched = 77;
    answer.found = database.Find(0, utf8Query, answer.position, &answer.matched);
    answer.word = database.GetWord(answer.position);
    answer.article = database.GetArticle(answer.position);
    return answer;
}

void ExpectAlike(const Database &ansi, const Database &utf8,
    const std::vector<std::string> &queries, const std::string &context)
{
    int compared = 0;
    for (const std::string &query : queries) {
        if (!ReadsAlike(query))
            continue;
        ++compared;
        const std::string utf8Query = AnsiToUtf8(query);
        const Answer a = Ask(ansi, utf8Query);
        const Answer b = Ask(utf8, utf8Query);
        ASSERT_EQ(std::tie(a.found, a.position.dicId, a.position.index, a.matched, a.word),
            std::tie(b.found, b.position.dicId, b.position.index, b.matched, b.word))
            << context << " query " << utf8Query;
        ASSERT_EQ(a.article, b.article) << context << " query " << utf8Query;
    }
    EXPECT_GT(compared, 0) << context;
}

// Queries a user would type near a headword: whole, cut short, in small letters, misspelt.
std::vector<std::string> QueriesNear(const std::string &headword, std::mt19937 &random)
{
    std::vector<std::string> queries = {headword, headword + "\xC0"};
    for (std::size_t length = 1; length < headword.size(); ++length)
        queries.push_back(headword.substr(0, length));
    std::string small = headword;
    for (char &c : small) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte < 0xE0))
            c = static_cast<char>(byte + 0x20);
    }
    queries.push_back(small);
    if (headword.size() > 1) {
        std::string misspelt = headword;
        misspelt[std::uniform_int_distribution<std::size_t>(1, headword.size() - 1)(random)] =
            '\xCE';
        queries.push_back(misspelt);
    }
    return queries;
}

} // namespace

TEST(Utf8DictionaryTest, ReencodedSampleDictionariesAnswerAlike)
{
    TestFolder ansiFolder, utf8Folder;
    std::vector<std::string> queries;
    std::mt19937 random(5);
    std::uint32_t id = 1;
    for (const char *name : {"enc", "misc", "tolk"}) {
        const std::string base = std::string(SAMPLE_DICS) + "/" + name + "/" + name;
        const std::string index = ReadWhole(base + ".idx");
        const std::string data = ReadWhole(base + ".dat");
        ASSERT_FALSE(index.empty()) << base;
        const std::string hexId = std::to_string(id++);
        WriteFiles(ansiFolder, name, "cp1251", hexId, index, data);
        const Encoded encoded = Reencode(index, data);
        WriteFiles(utf8Folder, name, "UTF-8", hexId, encoded.index, encoded.data);
        for (std::size_t at = 0; at < index.size(); at = index.find('\n', at) + 1) {
            const std::string headword = index.substr(at, index.find('\t', at) - at);
            for (std::string &query : QueriesNear(headword, random))
                queries.push_back(std::move(query));
        }
    }
    for (const bool reversed : {false, true}) {
        Database ansi(ansiFolder.Path(), nullptr);
        Database utf8(utf8Folder.Path(), nullptr);
        if (reversed) {
            ansi.SetOrder({"tolk", "misc", "enc"});
            utf8.SetOrder({"tolk", "misc", "enc"});
        }
        ansi.Load();
        utf8.Load();
        ASSERT_EQ(ansi.GetCount(), 3);
        ASSERT_EQ(utf8.GetCount(), 3);
        ExpectAlike(ansi, utf8, queries, reversed ? "reversed" : "scan order");
    }
}

TEST(Utf8DictionaryTest, ReencodedRandomDictionariesAnswerAlike)
{
    // Capital and small letters, Latin, a blank, a control byte and a sign: shared beginnings,
    // scans running on past their block, trimming. Headwords begin with what upper-casing
    // keeps, as a searchable index does; the small letters then come later in the word.
    const char firsts[] = {'\xC0', '\xC1', '\xC2', 'A', ' ', '\x01', '1', '-'};
    const char letters[] = {'\xC0', '\xC1', '\xC2', '\xE0', '\xE1', 'A', 'a', ' ', '\x98'};
    std::mt19937 random(2026);
    const auto pick = [&](int count) {
        return std::uniform_int_distribution<int>(0, count - 1)(random);
    };
    for (int round = 0; round < 120; ++round) {
        std::vector<std::string> words;
        for (int i = pick(14) + 1; i > 0; --i) {
            std::string word(1, firsts[pick(sizeof(firsts))]);
            for (int k = pick(5); k > 0; --k)
                word += letters[pick(sizeof(letters))];
            words.push_back(word);
        }
        if (round % 2 == 0)
            std::sort(words.begin(), words.end(),
                [](const std::string &a, const std::string &b) { return ToUpper(a) < ToUpper(b); });
        std::string index, data;
        for (const std::string &word : words) {
            index += word + "\t" + std::to_string(data.size()) + "\n";
            data += "\xF1\xEB\xEE\xE2\xEE " + word + (pick(2) ? "\r\n" : "\n");
        }
        TestFolder ansiFolder, utf8Folder;
        WriteFiles(ansiFolder, "D", "", "1", index, data);
        const Encoded encoded = Reencode(index, data);
        WriteFiles(utf8Folder, "D", "utf8", "1", encoded.index, encoded.data);
        Database ansi(ansiFolder.Path(), nullptr);
        Database utf8(utf8Folder.Path(), nullptr);
        ansi.Load();
        utf8.Load();
        std::vector<std::string> queries;
        for (const std::string &word : words)
            for (std::string &query : QueriesNear(word, random))
                queries.push_back(std::move(query));
        for (int q = 0; q < 20; ++q) {
            std::string query;
            for (int k = pick(5) + 1; k > 0; --k)
                query += letters[pick(sizeof(letters))];
            queries.push_back(query);
        }
        ExpectAlike(ansi, utf8, queries, "round " + std::to_string(round));
    }
}

TEST(Utf8DictionaryTest, LettersBeyondWindows1251AreFoundAndKept)
{
    TestFolder folder;
    // ÉTÉ, ÉTUDE, ÑANDÚ, ωμέγα (small first letter: its block is capital omega's), ЁЖ, ҐАНОК
    const Encoded files = Build({
        {"\xC3\x89T\xC3\x89", "summer \xE2\x98\x80"},
        {"\xC3\x89TUDE", "study \xC3\xA9"},
        {"\xC3\x91"
         "AND\xC3\x9A",
            "rhea \xC3\xB1"},
        {"\xCF\x89\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1", "omega \xCF\x89"},
        {"\xD0\x81\xD0\x96", "\xD1\x91\xD0\xB6\xD0\xB8\xD0\xBA"},
        {"\xD2\x90\xD0\x90\xD0\x9D\xD0\x9E\xD0\x9A", "\xD2\x91\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xBA"},
        {"\xE3\x82\xA2\xE3\x82\xA4\xE3\x82\xB9", "ice"},
        {"\xE3\x82\xA4\xE3\x83\x8C", "dog"},
    });
    const std::string &index = files.index;
    const std::string &data = files.data;
    WriteFiles(folder, "U", "UTF-8", "7", index, data);
    Database database(folder.Path(), nullptr);
    database.Load();
    ASSERT_EQ(database.GetCount(), 1);
    // name, query, found, index, matched length, article
    const std::tuple<const char *, std::string, bool, std::int32_t, std::int32_t, std::string>
        rows[] = {
            {"small e acute", "\xC3\xA9t\xC3\xA9", true, 0, -1, "summer \xE2\x98\x80"},
            {"prefix of two", "\xC3\xA9t", true, 0, 2, "summer \xE2\x98\x80"},
            {"longer than a headword", "\xC3\xA9tudes", true, 1, 5, "study \xC3\xA9"},
            {"n tilde, u acute",
                "\xC3\xB1"
                "and\xC3\xBA",
                true, 2, -1, "rhea \xC3\xB1"},
            {"greek capitals find small letters", "\xCE\xA9\xCE\x9C\xCE\x88\xCE\x93\xCE\x91", true,
                3, -1, "omega \xCF\x89"},
            {"small yo finds the capital", "\xD1\x91\xD0\xB6", true, 4, -1,
                "\xD1\x91\xD0\xB6\xD0\xB8\xD0\xBA"},
            {"ghe with upturn", "\xD2\x91\xD0\xB0\xD0\xBD", true, 5, 3,
                "\xD2\x91\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xBA"},
            {"plain e has no block", "ete", false, 0, 77, ""},
            // Both begin E3 82: a block taken from the first two bytes would hide the second.
            {"katakana a", "\xE3\x82\xA2\xE3\x82\xA4\xE3\x82\xB9", true, 6, -1, "ice"},
            {"katakana i after a", "\xE3\x82\xA4\xE3\x83\x8C", true, 7, -1, "dog"},
            {"bad byte in the query reads as U+FFFD", "\xC3\xA9\xFF", true, 0, 1,
                "summer \xE2\x98\x80"},
        };
    for (const auto &[name, query, found, index, matched, article] : rows) {
        WordPosition position;
        std::int32_t length = 77;
        EXPECT_EQ(database.Find(0, query, position, &length), found) << name;
        EXPECT_EQ(position.index, found ? index : 0) << name;
        EXPECT_EQ(length, matched) << name;
        EXPECT_EQ(database.GetArticle(position), article) << name;
    }
    EXPECT_EQ(database.GetWord({7, 3}), "\xCF\x89\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1");
}

TEST(Utf8DictionaryTest, MixedCollectionsPreferExactThenLongestThenEarlier)
{
    // The same words in both encodings, and one word only UTF-8 can hold.
    const std::string ansiIndex = "\xC4\xCE\xCC\t0\n\xC4\xCE\xCC\xC8\xCA\t5\n";
    const std::string ansiData = "home\nhut\n";
    const std::string utf8Index = "CAF\xC3\x89\t0\n\xD0\x94\xD0\x9E\xD0\x9C\t7\n"
                                  "\xD0\x94\xD0\x9E\xD0\x9C\xD0\x98\xD0\x9A\t12\n";
    const std::string utf8Data = "coffee\nhome\nhut\n";
    // name, cp1251 first, query, dictionary, index, matched length
    const std::tuple<const char *, bool, std::string, std::uint32_t, std::int32_t, std::int32_t>
        rows[] = {
            {"exact in the first, cp1251 first", true, "\xD0\xB4\xD0\xBE\xD0\xBC", 1, 0, -1},
            {"exact in the first, UTF-8 first", false, "\xD0\xB4\xD0\xBE\xD0\xBC", 2, 1, -1},
            {"tie goes to the first, cp1251 first", true, "\xD0\x94\xD0\x9E\xD0\x9C\xD0\x90", 1, 0,
                3},
            {"tie goes to the first, UTF-8 first", false, "\xD0\x94\xD0\x9E\xD0\x9C\xD0\x90", 2, 1,
                3},
            {"only UTF-8 holds it, cp1251 first", true, "caf\xC3\xA9", 2, 0, -1},
            {"only UTF-8 holds it, UTF-8 first", false, "caf\xC3\xA9", 2, 0, -1},
            {"cp1251 stops before the letter it lacks", true, "\xD0\x94\xD0\x9E\xD0\x9C\xC3\xA9", 1,
                0, 3},
        };
    for (const auto &[name, ansiFirst, query, dicId, index, matched] : rows) {
        TestFolder folder;
        WriteFiles(folder, "a", "cp1251", "1", ansiIndex, ansiData);
        WriteFiles(folder, "b", "UTF-8", "2", utf8Index, utf8Data);
        Database database(folder.Path(), nullptr);
        database.SetOrder(
            ansiFirst ? std::vector<std::string>{"a", "b"} : std::vector<std::string>{"b", "a"});
        database.Load();
        WordPosition position;
        std::int32_t length = 77;
        EXPECT_TRUE(database.Find(0, query, position, &length)) << name;
        EXPECT_EQ(std::tie(position.dicId, position.index, length), std::tie(dicId, index, matched))
            << name;
    }
}

TEST(Utf8DictionaryTest, InvalidBytesReadAsReplacementCharacters)
{
    TestFolder folder;
    const std::string index = std::string("A\xFF"
                                          "B\t0\nA\xD0\t4\nA\xE2\x82\t7\nB\x80\x80\t7\n")
        + std::string("C\0\xC3\t7\n", 6);
    const std::string data = "x\xC0y\nok\n\xF0\x9F\x98\n";
    WriteFiles(folder, "U", "UTF-8", "1", index, data);
    Database database(folder.Path(), nullptr);
    database.Load();
    ASSERT_EQ(database.GetCount(), 1);
    const Dictionary &dictionary = *database.GetDictionary(0);
    const std::vector<std::string> words = {
        "A" + FFFD + "B", "A" + FFFD, "A" + FFFD + FFFD, "B" + FFFD + FFFD, "C"};
    ASSERT_EQ(dictionary.GetWordCount(), words.size());
    for (std::size_t i = 0; i < words.size(); ++i)
        EXPECT_EQ(dictionary.GetWord(static_cast<std::int32_t>(i)), words[i]) << i;
    EXPECT_EQ(database.GetArticle({1, 0}), "x" + FFFD + "y");
    EXPECT_EQ(database.GetArticle({1, 2}), FFFD + FFFD + FFFD);
    // The replacement character given out finds the headword again.
    WordPosition position;
    std::int32_t matched = 77;
    EXPECT_TRUE(database.Find(0, "a" + FFFD + "b", position, &matched));
    EXPECT_EQ(std::tie(position.index, matched), std::make_tuple(0, -1));
    EXPECT_TRUE(database.Find(0, "A" + FFFD + FFFD, position, &matched));
    EXPECT_EQ(std::tie(position.index, matched), std::make_tuple(2, -1));
}

TEST(Utf8DictionaryTest, LimitsCountCharacters)
{
    const std::string ya = "\xD0\xAF"; // Я, two bytes in UTF-8
    const auto Times = [](const std::string &text, int count) {
        std::string out;
        for (int i = 0; i < count; ++i)
            out += text;
        return out;
    };
    // name, index, data, loads, words, first article's characters
    const std::tuple<const char *, std::string, std::string, bool, std::uint32_t, std::size_t>
        rows[] = {
            {"199-character headword", Times(ya, 199) + "\t0\n", "a\n", true, 1, 1},
            {"200-character headword", Times(ya, 200) + "\t0\n", "a\n", false, 0, 0},
            {"199 characters at the end, no TAB", "A\t0\n" + Times(ya, 199), "a\n", true, 1, 1},
            {"200 characters at the end, no TAB", "A\t0\n" + Times(ya, 200), "a\n", false, 0, 0},
            {"199 bad bytes", Times("\xFF", 199) + "\t0\n", "a\n", true, 1, 1},
            {"article cut after 99999 characters", "A\t0\n", Times(ya, 100005) + "\n", true, 1,
                99999},
            {"article of 99999 four-byte characters", "A\t0\n",
                Times("\xF0\x9F\x98\x80", 99999) + "\n", true, 1, 99999},
        };
    for (const auto &[name, index, data, loads, words, characters] : rows) {
        TestFolder folder;
        WriteFiles(folder, "U", "UTF-8", "1", index, data);
        Dictionary dictionary(folder.Path() + "dics/U");
        ASSERT_EQ(dictionary.Load(), loads) << name;
        if (!loads)
            continue;
        EXPECT_EQ(dictionary.GetWordCount(), words) << name;
        const std::string article = dictionary.GetArticle(0);
        EXPECT_EQ(Utf8Text::Count(article.data(), article.size()), characters) << name;
    }
    // Matched lengths are characters too.
    TestFolder folder;
    WriteFiles(folder, "U", "UTF-8", "1", Times(ya, 3) + "\t0\n", "a\n");
    Dictionary dictionary(folder.Path() + "dics/U");
    ASSERT_TRUE(dictionary.Load());
    std::uint32_t position = 9;
    std::int32_t matched = 77;
    EXPECT_TRUE(dictionary.FindWord(Times(ya, 5), position, matched));
    EXPECT_EQ(matched, 3);
}

// The word list takes its headwords a stretch at a time, most of them left where the index keeps
// them: every stretch, clipped at either end of the dictionary, must give what GetWord gives.
TEST(WordRangeTest, StretchesGiveWhatGetWordGives)
{
    // Twelve ASCII headwords, then letters Windows-1251 holds above ASCII, blanks and control
    // bytes to trim, and last more ASCII.
    std::vector<std::string> cp1251;
    for (int i = 0; i < 12; ++i)
        cp1251.push_back("word" + std::to_string(i));
    for (const char *word : {"\xC0\xC1\xC2", "  \xE0 b ", "x\x01", "\xA8\xB8\x98", " \x85"})
        cp1251.emplace_back(word);
    for (const char *word : {"tail1", "tail2", "tail3"})
        cp1251.emplace_back(word);
    std::vector<std::string> utf8;
    for (const std::string &word : cp1251)
        utf8.push_back(AnsiToUtf8(word));
    // Bytes that are not well-formed UTF-8 among the others.
    utf8.insert(utf8.begin() + 14,
        {"A\xFF"
         "B",
            " \xD0", "\xE2\x82 x", "\xEF\xBF\xBD"});

    for (const auto &[encoding, words] : {std::make_pair("cp1251", cp1251), {"UTF-8", utf8}}) {
        SCOPED_TRACE(encoding);
        TestFolder folder;
        std::string index;
        for (const std::string &word : words)
            index += word + "\t0\n";
        WriteFiles(folder, "D", encoding, "1", index, "a\n");
        Database database(folder.Path(), nullptr);
        database.Load();
        ASSERT_EQ(database.GetCount(), 1);
        const Dictionary &dictionary = *database.GetDictionary(0);
        const auto count = static_cast<std::int32_t>(words.size());
        ASSERT_EQ(dictionary.GetWordCount(), words.size());
        WordRange range;
        const std::pair<std::int32_t, std::int32_t> stretches[] = {{-200, 200}, {-3, 4}, {0, count},
            {2, 9}, {9, 15}, {12, 13}, {count - 4, count + 100}, {count, count + 3}, {-5, 0},
            {7, 7}, {9, 5}, {0, 1}, {count - 1, count}};
        for (const auto &[first, last] : stretches) {
            dictionary.GetWords(first, last, range);
            std::vector<std::string> expected;
            for (std::int32_t i = std::max(first, 0); i < std::min(last, count); ++i)
                expected.push_back(dictionary.GetWord(i));
            std::vector<std::string> given;
            for (std::size_t i = 0; i < range.size(); ++i)
                given.emplace_back(range[i]);
            EXPECT_EQ(given, expected) << first << ".." << last;
        }
    }
}
