#include "lookup/Article_history.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace {

ArticleVisit Article(char name)
{
    ArticleVisit article;
    article.fieldText = std::string(1, name);
    article.word = {7, name - 'a'};
    article.listFirst = 0;
    article.listRow = name - 'a';
    article.barItem = 7;
    return article;
}

// Letters record articles, '0' records a lookup that found nothing; '<' and '>' go back and
// forward and write what they show, '.' for nothing.
std::string Walk(ArticleHistory &history, const std::string &steps)
{
    std::string shown;
    for (const char step : steps) {
        if (step == '<' || step == '>') {
            const ArticleVisit *article = step == '<' ? history.Back() : history.Forward();
            shown += article ? article->fieldText : ".";
        } else if (step == '0') {
            ArticleVisit none = Article('z');
            none.word.index = -1;
            history.Record(none);
        } else {
            history.Record(Article(step));
        }
    }
    return shown;
}

} // namespace

TEST(ArticleHistoryTest, GoesBackAndForwardThroughTheArticleVisits)
{
    // steps, what going back and forward showed, whether back and forward are then enabled
    const std::tuple<const char *, std::string, std::string, bool, bool> rows[] = {
        {"nothing shown yet", "<>", "..", false, false},
        {"one article: both ends", "a<>", "..", false, false},
        {"back to the first, then the end", "ab<<", "a.", false, true},
        {"back and forward again", "abc<<>>>", "babc.", true, false},
        {"a new article drops the ones ahead", "abc<<d>", "ba.", true, false},
        {"after dropping, back skips them", "abc<<d<<", "baa.", false, true},
        {"the restored article shown again is no new entry", "abc<b>", "bc", true, false},
        {"the same article twice is one entry", "aab<<", "a.", false, true},
        {"a lookup finding nothing is no article", "a0b0<<", "a.", false, true},
        {"the article left is shown again later", "aba<<<", "ba.", false, true},
    };
    for (const auto &[name, steps, shown, back, forward] : rows) {
        ArticleHistory history;
        EXPECT_EQ(Walk(history, steps), shown) << name;
        EXPECT_EQ(history.CanGoBack(), back) << name;
        EXPECT_EQ(history.CanGoForward(), forward) << name;
    }
}

TEST(ArticleHistoryTest, EveryPartOfTheWindowMakesADifferentEntry)
{
    ArticleVisit base = Article('a');
    const auto changes = {
        +[](ArticleVisit &article) { article.fieldText = "a typed"; },
        +[](ArticleVisit &article) { article.word.dicId = 8; },
        +[](ArticleVisit &article) { article.listFirst = 5; },
        +[](ArticleVisit &article) { article.listRow = 9; },
        +[](ArticleVisit &article) { article.barItem = 0; },
        +[](ArticleVisit &article) { article.phrase = "x"; },
    };
    int row = 0;
    for (const auto change : changes) {
        ArticleHistory history;
        history.Record(base);
        ArticleVisit changed = base;
        change(changed);
        history.Record(changed);
        EXPECT_EQ(history.Size(), 2u) << "change " << row;
        const ArticleVisit *back = history.Back();
        ASSERT_NE(back, nullptr) << "change " << row;
        EXPECT_TRUE(*back == base) << "change " << row++;
    }
}

TEST(ArticleHistoryTest, KeepsTheNewestEntriesOnly)
{
    ArticleHistory history;
    const int recorded = static_cast<int>(ArticleHistory::MAX_ENTRIES) + 50;
    for (int i = 0; i < recorded; ++i) {
        ArticleVisit article;
        article.word = {1, i};
        history.Record(article);
    }
    EXPECT_EQ(history.Size(), ArticleHistory::MAX_ENTRIES);
    const ArticleVisit *oldest = nullptr;
    while (const ArticleVisit *back = history.Back())
        oldest = back;
    ASSERT_NE(oldest, nullptr);
    EXPECT_EQ(oldest->word.index, 50);
}
