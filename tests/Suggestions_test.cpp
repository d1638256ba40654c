#include "lookup/Suggestions.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <tuple>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "lookup/Folding.h"
#include "lookup/Form_rules.h"
#include "lookup/Suggestion_note.h"
#include "lookup/Word_forms.h"
#include "support/Log_file.h"

namespace {

// The longest headword an index holds.
const std::string LONG_WORD(199, 'x');

// Small Hunspell dictionaries of both scripts and WordNet's irregular forms, written by the test:
// what the lookup takes from them, without depending on what is installed.
void WriteMorphology(const TestFolder &folder)
{
    // Like the real English dictionary, it reads hoping as hop + ing.
    folder.WriteFile(
        "hunspell/en_US.aff", "SET UTF-8\nSFX S Y 1\nSFX S 0 s .\nSFX G Y 1\nSFX G 0 ing .\n");
    folder.WriteFile(
        "hunspell/en_US.dic", "7\njump/S\nreceive/S\nrelieve\ngo\nhope\nhop/G\nacquire\n");
    folder.WriteFile("hunspell/ru_RU.aff",
        "SET UTF-8\nSFX A Y 2\nSFX A 0 ами .\nSFX A 0 а .\nSFX B Y 1\nSFX B ий ая ий\n");
    folder.WriteFile("hunspell/ru_RU.dic", "4\nдом/A\nёлка\nделающий/B\nделать\n");
    folder.WriteFile("wordnet/verb.exc", "went go\n");
    folder.WriteFile("wordnet/noun.exc", "children child\n");
    folder.WriteFile("wordnet/cntlist.rev", "acquire%2:40:00:: 1 5\n");
}

void WriteDictionaries(const TestFolder &folder)
{
    WriteDictionary(folder,
        {"eng", "E0E0E001", "EXP", "English",
            {{"jump", "a"}, {"hop", "a"}, {"hope", "a"}, {"recipe", "a"}, {"squire", "a"},
                {"acquire", "a"}, {"receive", "a"}, {"relieve", "a"}, {"go", "a"}, {"child", "a"},
                {"caf\xC3\xA9", "a"}, {"cafe", "a"}, {"cafeteria", "a"}, {"Who?", "a"},
                {"whom", "a"}, {"C*", "a"}, {"qwerty", "a"}, {LONG_WORD, "a"},
                {"\xD0\xB4\xD0\xBE\xD0\xBC", "a"}},
            "UTF-8"});
    WriteDictionary(folder,
        {"rus", "F0F0F002", "EXP", "Russian",
            {{Ansi("ДЕЛАТЬ"), "a"}, {Ansi("ДОМ"), "a"}, {Ansi("ДОМА"), "a"}, {Ansi("ДОМИК"), "a"},
                {Ansi("ЁЛКА"), "a"}, {Ansi("ВСЕ"), "a"}, {Ansi("ЙОД"), "a"}}});
}

class SuggestionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteMorphology(folder);
        WriteDictionaries(folder);
        database.Load();
    }

    // The suggestions as "headword/kind" texts.
    std::vector<std::string> Suggest(const std::string &word, std::size_t limit = 10)
    {
        std::vector<std::string> texts;
        for (const Suggestion &suggestion : suggester.Suggest(word, limit))
            texts.push_back(suggestion.headword + "/" + SuggestionKindName(suggestion.kind));
        return texts;
    }

    TestFolder folder;
    Database database{folder.Path(), nullptr};
    WordForms forms{folder.Path() + "hunspell", folder.Path() + "wordnet"};
    Suggester suggester{database, &forms};
};

TEST(FoldingTest, DropsCaseAccentsStressAndYoOnly)
{
    const std::tuple<const char *, std::string, std::string> rows[] = {
        {"capital yo to e", "Ёлка", "елка"},
        {"small yo to e", "ёж", "еж"},
        {"e stays e", "елка", "елка"},
        {"short i is not i", "ЙОД", "йод"},
        {"i is not short i", "иод", "иод"},
        {"i with a combining breve is short i", "И\xCC\x86од", "йод"},
        {"stress mark", "до\xCC\x81мик", "домик"},
        {"latin accent", "Café", "cafe"},
        {"combining accent", "CAFE\xCC\x81", "cafe"},
        {"german sharp s kept", "Straße", "straße"},
        {"not utf-8", "a\xFF", "a\xEF\xBF\xBD"},
        {"empty", "", ""},
    };
    for (const auto &[name, in, out] : rows) {
        EXPECT_EQ(FoldText(in), out) << name;
        EXPECT_EQ(FoldText(FoldText(in)), out) << name << " twice";
    }
    EXPECT_EQ(DropMarks("до\xCC\x81ма"), "дома");
    EXPECT_EQ(DropMarks("и\xCC\x86"), "и\xCC\x86");
}

TEST_F(SuggestionsTest, FindsWhatAWordMayStandFor)
{
    const std::tuple<const char *, std::string, std::string, std::size_t> rows[] = {
        {"exact first", "jump", "jump/exact", 0},
        {"exact, other case", "JUMP", "jump/exact", 0},
        {"english form", "jumps", "jump/form", 0},
        {"irregular verb", "went", "go/form", 0},
        {"ending rule: e put back", "hoping", "hope/form", 0},
        {"participle under its verb", "делающая", "ДЕЛАТЬ/form", 0},
        {"irregular plural", "children", "child/form", 0},
        {"russian form, windows-1251 dictionary", "домами", "дом/form", 0},
        {"e typed for yo", "елка", "ЁЛКА/folded", 0},
        {"yo typed for e", "всё", "ВСЕ/folded", 0},
        {"stress mark", "доми\xCC\x81к", "ДОМИК/folded", 0},
        {"without accents, after the plain headword", "cafe", "café/folded", 1},
        {"i for short i is a misspelling", "иод", "ЙОД/spelling", 0},
        {"one letter wrong", "jumq", "jump/spelling", 0},
        {"one letter missing", "recive", "receive/spelling", 0},
        {"swapped letters beat a wrong letter", "recieve", "receive/spelling", 0},
        {"swapped letters, the rival", "recieve", "relieve/spelling", 1},
        {"two edits", "reseeve", "receive/spelling", 0},
        {"three edits in a long word", "cafteraaa", "cafeteria/spelling", 0},
        {"of two spellings, the one without the accent not typed", "cafx", "cafe/spelling", 0},
        {"an everyday word before a nearer slip", "aquire", "acquire/spelling", 0},
        {"200 characters, one too many", LONG_WORD + "y", LONG_WORD + "/spelling", 0},
    };
    for (const auto &[name, word, expected, rank] : rows) {
        const std::vector<std::string> found = Suggest(word);
        ASSERT_GT(found.size(), rank) << name;
        EXPECT_EQ(found[rank], expected) << name;
    }
}

TEST(FormRulesTest, GuessesTheLemmasEndingsComeFrom)
{
    const std::tuple<const char *, std::vector<std::string> (*)(const std::string &), std::string,
        std::string>
        rows[] = {
            {"english plural in -ies", EnglishLemmaGuesses, "studies", "study"},
            {"english -ing, e put back", EnglishLemmaGuesses, "hoping", "hope"},
            {"english doubled consonant", EnglishLemmaGuesses, "hopping", "hop"},
            {"english comparative", EnglishLemmaGuesses, "longer", "long"},
            {"present participle", RussianLemmaGuesses, "образующий", "образовать"},
            {"reflexive participle", RussianLemmaGuesses, "совершающийся", "совершаться"},
            {"past participle", RussianLemmaGuesses, "совершивший", "совершить"},
            {"passive participle, alternating consonant", RussianLemmaGuesses, "охлаждённый",
                "охладить"},
            {"fleeting vowel after soft sign", RussianLemmaGuesses, "пальцев", "палец"},
            {"fleeting vowel", RussianLemmaGuesses, "рта", "рот"},
            {"neuter with yo in the form", RussianLemmaGuesses, "вёслами", "весло"},
            {"noun in -мя", RussianLemmaGuesses, "времени", "время"},
            {"pronoun", RussianLemmaGuesses, "чего", "что"},
            {"pronoun declined like an adjective", RussianLemmaGuesses, "одной", "один"},
        };
    for (const auto &[name, guess, word, lemma] : rows) {
        const std::vector<std::string> guesses = guess(word);
        EXPECT_NE(std::find(guesses.begin(), guesses.end(), lemma), guesses.end()) << name;
    }
    EXPECT_TRUE(EnglishLemmaGuesses("is").empty());
}

TEST_F(SuggestionsTest, Patterns)
{
    const std::tuple<const char *, std::string, std::vector<std::string>> rows[] = {
        {"star at the end", "caf*", {"café/pattern", "cafe/pattern", "cafeteria/pattern"}},
        {"leading star", "*ump", {"jump/pattern"}},
        {"question mark at the end", "jum?", {"jump/pattern"}},
        {"lone star, index order", "*", {"jump/pattern", "hop/pattern", "hope/pattern"}},
        {"escaped literal", "who\\?", {"Who?/pattern"}},
        {"headword with ?, typed", "who?", {"Who?/exact", "whom/pattern"}},
        {"headword with *, typed", "c*", {"C*/exact", "child/pattern", "café/pattern"}},
        {"escaped star", "c\\*", {"C*/pattern"}},
        {"nothing matches", "z*", {}},
    };
    for (const auto &[name, word, expected] : rows)
        EXPECT_EQ(Suggest(word, expected.empty() ? 10 : expected.size()), expected) << name;
}

TEST_F(SuggestionsTest, NothingTwiceAndNothingForNothing)
{
    const std::tuple<const char *, std::string> rows[] = {
        {"empty", ""},
        {"too far from anything", "qwzx"},
        {"200 characters", std::string(200, 'q')},
        {"a pasted page, one word", std::string(100000, 'x')},
        {"200 cyrillic characters",
            [] {
                std::string word;
                for (int i = 0; i < 200; ++i)
                    word += "ж";
                return word;
            }()},
    };
    for (const auto &[name, word] : rows)
        EXPECT_TRUE(Suggest(word).empty()) << name;
    // ДОМ is in both dictionaries; the first one consulted gives it, once.
    const std::vector<std::string> found = Suggest("домами");
    EXPECT_EQ(std::count(found.begin(), found.end(), "дом/form")
            + std::count(found.begin(), found.end(), "ДОМ/form"),
        1);
}

TEST_F(SuggestionsTest, LemmaInPlaceOfTheLongestBeginning)
{
    const std::tuple<const char *, std::string, bool, std::string> rows[] = {
        {"form", "домами", true, "дом"},
        {"folded", "елка", true, "ЁЛКА"},
        {"a headword itself", "дома", false, ""},
        {"misspelling is not a form", "recieve", false, ""},
    };
    for (const auto &[name, word, found, headword] : rows) {
        Suggestion suggestion;
        EXPECT_EQ(suggester.FindLemma(word, suggestion), found) << name;
        if (found) {
            EXPECT_EQ(suggestion.headword, headword) << name;
        }
    }
}

TEST_F(SuggestionsTest, WithoutHunspellTheRestWorksAndTheLogSaysSo)
{
    logFile.Open(folder.Path() + "file.log");
    WordForms none(folder.Path() + "no-hunspell", folder.Path() + "no-wordnet");
    Suggester bare(database, &none);
    std::vector<std::string> found;
    for (const std::string word : {"jumps", "recieve", "елка"})
        for (const Suggestion &suggestion : bare.Suggest(word, 1))
            found.push_back(suggestion.headword + "/" + SuggestionKindName(suggestion.kind));
    EXPECT_EQ(
        found, (std::vector<std::string>{"jump/spelling", "receive/spelling", "ЁЛКА/folded"}));
    logFile.Open("");
    EXPECT_NE(folder.ReadFile("file.log").find("word forms are not available"), std::string::npos);
    EXPECT_EQ(none.LoadedCount(), 0u);
}

} // namespace

TEST(SuggestionNoteTest, SaysWhatTheWordMayBe)
{
    const auto make = [](const char *headword, SuggestionKind kind) {
        return Suggestion{headword, WordPosition{1, 0}, kind};
    };
    const std::vector<Suggestion> spellings(7, make("receive", SuggestionKind::Spelling));
    const std::tuple<const char *, std::string, std::vector<Suggestion>, std::string, std::size_t,
        bool>
        rows[] = {
            {"exact: nothing to say", "дом", {make("ДОМ", SuggestionKind::Exact)}, "", 0, false},
            {"form, then only the other lemmas", "домами",
                {make("дом", SuggestionKind::Form), make("ДОМА", SuggestionKind::Spelling)},
                "«домами» → ", 1, false},
            {"folded", "елка", {make("ЁЛКА", SuggestionKind::Folded)}, "«елка» → ", 1, false},
            {"misspelt, five links and more", "recieve", spellings,
                "«recieve» нет в словарях. Возможно: ", 5, true},
            {"nothing near", "qwzx", {}, "«qwzx» нет в словарях.", 0, false},
            {"empty word", "", {}, "", 0, false},
        };
    for (const auto &[name, word, suggestions, lead, links, more] : rows) {
        const SuggestionNote note = NoteFor(word, suggestions);
        EXPECT_EQ(note.lead, lead) << name;
        EXPECT_EQ(note.links.size(), links) << name;
        EXPECT_EQ(note.more, more) << name;
    }
}
