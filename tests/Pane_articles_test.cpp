#include "lookup/Pane_articles.h"

#include <gtest/gtest.h>
#include <tuple>

#include "Dictionary_fixture.h"
#include "Test_folder.h"

namespace {

// Five dictionaries in this search order; "дом" in four of them in three spellings, "дома" in
// the fifth.
class PaneArticlesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteDictionary(
            folder, {"a", "A1", "EXP", "A", {{Ansi("Дом"), Ansi("жилище")}, {"Кот", "x"}}});
        FixtureDictionary b{"b", "B2", "EXP", "B", {{"дом", "{house} \\dom\\"}}, "UTF-8"};
        b.markup = "dictd";
        WriteDictionary(folder, b);
        WriteDictionary(folder, {"c", "C3", "EXP", "C", {{Ansi("Дома"), "y"}}});
        WriteDictionary(folder, {"d", "D4", "EXP", "D", {{"ДОМ", "z"}}, "UTF-8"});
        WriteDictionary(folder, {"e", "E5", "EXP", "E", {{"Дом", "w"}}, "UTF-8"});
        database.SetOrder({"a", "b", "c", "d", "e"});
        database.Load();
    }

    WordPosition At(std::uint32_t id, const std::string &word) const
    {
        WordPosition position;
        database.Find(id, word, position);
        return position;
    }

    TestFolder folder;
    Database database{"", nullptr, folder.Path() + "dics"};
};

} // namespace

TEST_F(PaneArticlesTest, OtherDictionariesWithTheSameHeadwordInSearchOrder)
{
    ASSERT_EQ(database.GetCount(), 5);
    using Ids = std::vector<std::uint32_t>;
    const std::tuple<const char *, WordPosition, Ids> rows[] = {
        {"first dictionary chosen", At(0xA1, "дом"), {0xB2, 0xD4, 0xE5}},
        {"a later one chosen", At(0xD4, "дом"), {0xA1, 0xB2, 0xE5}},
        {"word of one dictionary", At(0xA1, "кот"), {}},
        {"longer word not taken", At(0xC3, "дома"), {}},
        {"no word", WordPosition{}, {}},
    };
    for (const auto &[name, chosen, ids] : rows) {
        Ids found;
        for (const WordPosition &position : OtherArticles(database, chosen))
            found.push_back(position.dicId);
        EXPECT_EQ(found, ids) << name;
    }
}

TEST_F(PaneArticlesTest, ArticleIsLaidOutByItsDictionarysMarkup)
{
    const std::tuple<const char *, WordPosition, std::string, std::string> rows[] = {
        {"dictd", At(0xB2, "дом"), "B long", "дом house dom"},
        {"no markup", At(0xA1, "дом"), "A long", "Дом жилище"},
    };
    for (const auto &[name, position, title, text] : rows) {
        const PaneArticle article = ReadPaneArticle(database, position);
        EXPECT_EQ(article.title, title) << name;
        EXPECT_EQ(article.ShownText(), text) << name;
    }
    EXPECT_EQ(ReadPaneArticle(database, At(0xB2, "дом")).document[0].spans[0].link, "house");
}
