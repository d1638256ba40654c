#include "lookup/Word_lookup.h"

#include <gtest/gtest.h>
#include <memory>

#include "Dictionary_fixture.h"
#include "Test_folder.h"

namespace {

constexpr std::uint32_t A = 0xA1; // Windows-1251
constexpr std::uint32_t B = 0xB2; // UTF-8
constexpr std::uint32_t C = 0xC3; // Windows-1251, after both
constexpr std::uint32_t D = 0xD4; // 250 numbered words

std::vector<FixtureEntry> NumberedWords()
{
    std::vector<FixtureEntry> entries;
    for (int i = 0; i < 250; ++i) {
        const std::string number = std::to_string(1000 + i).substr(1);
        entries.emplace_back("W" + number, "article " + number);
    }
    return entries;
}

// A program folder with the dictionaries, the UTF-8 one left out on request.
class Dictionaries
{
public:
    explicit Dictionaries(bool withUtf8)
    {
        WriteDictionary(folder,
            {"a", "A1", "EXP", "A",
                {{"CAFE", "Windows-1251 cafe."}, {Ansi("ДОМ"), Ansi("Здание, где живёт КОТ.")},
                    {Ansi("ДОМИК"), Ansi("Домик.")}, {Ansi("ДОМОВОЙ"), Ansi("Дух.")},
                    {Ansi("ДОРОГА"), Ansi("Путь.")}, {Ansi("КОТ"), Ansi("Зверь.")}}});
        if (withUtf8)
            WriteDictionary(folder,
                {"b", "B2", "EXP", "B",
                    {{"CAF\xC3\x89", "caf\xC3\xA9 \xE2\x98\x95"},
                        {"\xC3\x89T\xC3\x89", "\xC3\xA9t\xC3\xA9"},
                        {"\xD0\x81\xD0\x96",
                            "\xF0\x9D\x94\xB8 \xD1\x91\xD0\xB6 \xD0\xB8 "
                            "\xD0\x81\xD0\xB6."},
                        {"\xF0\x90\x90\x80"
                         "AB",
                            "deseret"}},
                    "UTF-8"});
        WriteDictionary(folder,
            {"c", "C3", "ENC", "C",
                {{Ansi("ДОМ"), Ansi("Дом в C. Дом и дом.")}, {Ansi("ЗАМОК"), Ansi("Жилище.")}}});
        WriteDictionary(folder, {"d", "D4", "TERM", "D", NumberedWords()});
        database = std::make_unique<Database>(folder.Path(), nullptr);
        database->SetOrder({"a", "b", "c", "d"});
        database->Load();
    }

    const Database &Get() const { return *database; }

private:
    TestFolder folder;
    std::unique_ptr<Database> database;
};

const Database &Both()
{
    static const Dictionaries dictionaries(true);
    return dictionaries.Get();
}

const Database &Cp1251Only()
{
    static const Dictionaries dictionaries(false);
    return dictionaries.Get();
}

} // namespace

TEST(WordLookupTest, TypedKeyCompletesWhenADictionaryContinuesTheQuery)
{
    struct Row
    {
        const char *name;
        bool withUtf8;
        std::string typed;
        char32_t key;
        bool taken;
        std::string query;
        std::string headword;
        std::uint32_t dicId;
    };
    const char32_t BACKSPACE = WordLookup::KEY_BACKSPACE;
    const Row rows[] = {
        {"first letter", true, "", U'д', true, "д", "ДОМ", A},
        {"longer headword", true, "дом", U'и', true, "доми", "ДОМИК", A},
        {"letter no headword continues", true, "дом", U'ж', false, "домж", "", 0},
        {"latin with no latin headword", true, "", U'q', false, "q", "", 0},
        {"a letter only UTF-8 holds", true, "", U'é', true, "é", "ÉTÉ", B},
        {"refused with Windows-1251 alone", false, "", U'é', false, "é", "", 0},
        {"tie keeps the earlier dictionary", true, "ca", U'f', true, "caf", "CAFE", A},
        {"the accent moves to the UTF-8 dictionary", true, "caf", U'é', true, "café", "CAFÉ", B},
        {"the accent refused without it", false, "caf", U'é', false, "café", "", 0},
        {"beyond U+FFFF, small to capital", true, "", U'\U00010428', true, "\U00010428",
            "\U00010400AB", B},
        {"backspace completes again", true, "дом", BACKSPACE, true, "до", "ДОМ", A},
        {"backspace takes a four-byte character whole", true, "\U00010428", BACKSPACE, false, "",
            "", 0},
        {"backspace on nothing", true, "", BACKSPACE, false, "", "", 0},
    };
    for (const Row &row : rows) {
        WordLookup lookup(row.withUtf8 ? Both() : Cp1251Only());
        const Completion completion = lookup.Type(row.typed, row.key);
        EXPECT_EQ(completion.taken, row.taken) << row.name;
        EXPECT_EQ(completion.query, row.query) << row.name;
        EXPECT_EQ(completion.match.headword, row.headword) << row.name;
        EXPECT_EQ(lookup.Current().dicId, row.dicId) << row.name;
        EXPECT_EQ(lookup.CurrentHeadword(), row.headword) << row.name;
    }
}

TEST(WordLookupTest, TypedCharactersCountCharactersNotBytes)
{
    WordLookup lookup(Both());
    EXPECT_EQ(lookup.Type("ca", U'f').typedCharacters, 3);
    EXPECT_EQ(lookup.Type("", U'\U00010428').typedCharacters, 1);
    EXPECT_EQ(lookup.Type("caf", U'é').typedCharacters, 4);
}

TEST(WordLookupTest, FindInEveryDictionaryOrInOne)
{
    struct Row
    {
        const char *name;
        std::string query;
        std::uint32_t dicId;
        std::uint32_t foundIn;
        std::int32_t index;
        std::string headword;
        std::int32_t shared;
        bool exact;
    };
    const Row rows[] = {
        {"exact match", "дом", 0, A, 1, "ДОМ", 3, true},
        {"longest match", "домовик", 0, A, 3, "ДОМОВОЙ", 5, false},
        {"headword shorter than the query", "домж", 0, A, 1, "ДОМ", 3, false},
        {"earlier dictionary wins a tie", "дос", 0, A, 1, "ДОМ", 2, false},
        {"a later dictionary's exact match", "замок", 0, C, 1, "ЗАМОК", 5, true},
        {"UTF-8, letter case aside", "été", 0, B, 1, "ÉTÉ", 3, true},
        {"one dictionary", "дом", C, C, 0, "ДОМ", 3, true},
        {"one dictionary without the letter", "кот", C, 0, -1, "", 0, false},
        {"nothing", "ъ", 0, 0, -1, "", 0, false},
        {"an id no dictionary has", "дом", 0x99, 0, -1, "", 0, false},
        {"empty query", "", 0, 0, -1, "", 0, false},
    };
    for (const Row &row : rows) {
        WordLookup lookup(Both());
        lookup.Find("дом");
        const Match match = lookup.Find(row.query, row.dicId);
        EXPECT_EQ(match.Found(), row.foundIn != 0) << row.name;
        EXPECT_EQ(match.position.dicId, row.foundIn) << row.name;
        if (match.Found()) {
            EXPECT_EQ(match.position.index, row.index) << row.name;
        }
        EXPECT_EQ(match.headword, row.headword) << row.name;
        EXPECT_EQ(match.sharedCharacters, row.shared) << row.name;
        EXPECT_EQ(match.exact, row.exact) << row.name;
        EXPECT_EQ(lookup.Current().dicId, row.foundIn) << row.name;
    }
}

TEST(WordLookupTest, NeighbourWindowAroundTheCurrentWord)
{
    struct Row
    {
        const char *name;
        std::int32_t index;
        std::size_t size;
        std::int32_t first;
        std::int32_t currentRow;
    };
    const Row rows[] = {
        {"start", 0, 100, 0, 0},
        {"near the start", 30, 130, 0, 30},
        {"middle", 150, 200, 50, 100},
        {"end", 249, 101, 149, 100},
    };
    for (const Row &row : rows) {
        WordLookup lookup(Both());
        ASSERT_TRUE(lookup.Select({D, row.index})) << row.name;
        const NeighbourWindow window = lookup.Neighbours();
        ASSERT_EQ(window.words.size(), row.size) << row.name;
        EXPECT_EQ(window.first, row.first) << row.name;
        EXPECT_EQ(window.currentRow, row.currentRow) << row.name;
        EXPECT_EQ(window.words[0], "W" + std::to_string(1000 + row.first).substr(1)) << row.name;
        EXPECT_EQ(window.words[row.size - 1],
            "W" + std::to_string(1000 + row.first + static_cast<int>(row.size) - 1).substr(1))
            << row.name;
        EXPECT_EQ(window.words[static_cast<std::size_t>(row.currentRow)],
            "W" + std::to_string(1000 + row.index).substr(1))
            << row.name;
    }
}

TEST(WordLookupTest, NeighboursFromTheFirstRowAListShowed)
{
    struct Row
    {
        const char *name;
        std::int32_t index;
        std::int32_t first;
        std::size_t size; // 0: no such list
    };
    const Row rows[] = {
        {"filled at the start", 30, 0, 100},
        {"a row chosen after a refill", 53, 50, 200},
        {"filled at the end", 249, 149, 101},
        {"beyond the end", 10, 200, 0},
    };
    for (const Row &row : rows) {
        WordLookup lookup(Both());
        ASSERT_TRUE(lookup.Select({D, 7}));
        const std::optional<NeighbourWindow> window =
            lookup.NeighboursFrom({D, row.index}, row.first);
        ASSERT_EQ(window.has_value(), row.size != 0) << row.name;
        EXPECT_EQ(lookup.Current().index, row.size ? row.index : 7) << row.name;
        if (!window)
            continue;
        EXPECT_EQ(window->first, row.first) << row.name;
        EXPECT_EQ(window->words.size(), row.size) << row.name;
    }
}

TEST(WordLookupTest, RowsAndPositionsSelectOnlyWords)
{
    WordLookup lookup(Both());
    EXPECT_FALSE(lookup.SelectRow(0)) << "no current word";
    EXPECT_EQ(lookup.Neighbours().words.size(), 0u);
    ASSERT_TRUE(lookup.Select({D, 150}));
    lookup.Neighbours();
    EXPECT_TRUE(lookup.SelectRow(3));
    EXPECT_EQ(lookup.Current().index, 53);
    EXPECT_FALSE(lookup.SelectRow(200));
    EXPECT_EQ(lookup.Current().index, 53);

    const WordPosition outside[] = {{D, 250}, {D, -1}, {0x99, 0}, {0, 0}};
    for (const WordPosition position : outside) {
        EXPECT_FALSE(lookup.Select(position)) << position.dicId << " " << position.index;
        EXPECT_EQ(lookup.Current().index, 53);
    }
}

TEST(WordLookupTest, ArticleAsShownAndThePhraseMarkedInIt)
{
    struct Row
    {
        const char *name;
        WordPosition word;
        std::string phrase;
        std::string text;
        std::size_t headwordCharacters;
        std::vector<Mark> marks;
    };
    const Row rows[] = {
        {"Windows-1251, every case", {C, 0}, "дом", "ДОМ Дом в C. Дом и дом.", 3,
            {{0, 3}, {4, 3}, {13, 3}, {19, 3}}},
        {"UTF-8 counts characters, not bytes", {B, 2}, "ёж", "ЁЖ 𝔸 ёж и Ёж.", 2,
            {{0, 2}, {5, 2}, {10, 2}}},
        {"a letter the dictionary cannot hold", {C, 0}, "д中м", "ДОМ Дом в C. Дом и дом.", 3, {}},
        {"empty phrase", {A, 1}, "", "ДОМ Здание, где живёт КОТ.", 3, {}},
    };
    for (const Row &row : rows) {
        WordLookup lookup(Both());
        ASSERT_TRUE(lookup.Select(row.word)) << row.name;
        const ShownArticle &article = lookup.Article();
        EXPECT_TRUE(article.found) << row.name;
        EXPECT_EQ(article.text, row.text) << row.name;
        EXPECT_EQ(article.headwordCharacters, row.headwordCharacters) << row.name;
        EXPECT_EQ(lookup.Marks(row.phrase), row.marks) << row.name;
    }

    WordLookup nothing(Both());
    nothing.Find("ъ");
    EXPECT_FALSE(nothing.Article().found);
    EXPECT_TRUE(nothing.Marks("дом").empty());
}
