#include "storage/Phrase_finder.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "storage/Database.h"

// Ranges of characters, by each dictionary's rule, in the text the article pane shows.
TEST(FindPhraseTest, FindsEveryOccurrenceInEitherCase)
{
    TestFolder folder;
    WriteDictionary(folder, {"ansi", "A1", "", "A1", {{"a", "a"}}});
    WriteDictionary(folder, {"utf8", "B2", "", "B2", {{"a", "a"}}, "UTF-8"});
    Database database("", nullptr, folder.Path() + "dics");
    database.Load();
    const Dictionary &ansi = *database.FindById(0xA1);
    const Dictionary &utf8 = *database.FindById(0xB2);
    const std::tuple<const char *, const Dictionary *, std::string, std::string,
        std::vector<std::pair<std::size_t, std::size_t>>>
        rows[] = {
            {"latin", &ansi, "Abc abc ABC", "abc", {{0, 3}, {4, 3}, {8, 3}}},
            {"cyrillic", &ansi, "дом ДОМ", "Дом", {{0, 3}, {4, 3}}},
            {"no overlap", &ansi, "aaaa", "aa", {{0, 2}, {2, 2}}},
            {"none", &ansi, "abc", "abd", {}},
            {"empty phrase", &ansi, "abc", "", {}},
            {"yo kept apart in Windows-1251", &ansi, "ёж ЁЖ", "ё", {{0, 1}}},
            {"yo together in UTF-8", &utf8, "ёж ЁЖ", "ё", {{0, 1}, {3, 1}}},
            {"characters, not bytes", &utf8, "ДОМ дом 𝔸 дом", "дом", {{0, 3}, {4, 3}, {10, 3}}},
            {"across a line break", &utf8, "a big\xE2\x80\xA8house", "big house", {{2, 9}}},
            {"long phrase across a line break", &utf8,
                std::string(40, 'x') + "\xE2\x80\xA8" + std::string(40, 'y'),
                std::string(20, 'x') + " " + std::string(20, 'y'), {{20, 41}}},
            {"from a line break", &utf8, "a\xE2\x80\xA8house", " house", {{1, 6}}},
            {"a blank is no line break", &utf8, "a big house", "big\xE2\x80\xA8house", {{2, 9}}},
        };
    for (const auto &[name, dictionary, text, phrase, expected] : rows)
        EXPECT_EQ(FindPhrase(*dictionary, text, phrase), expected) << name;
}
