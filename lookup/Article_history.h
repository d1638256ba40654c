#ifndef LOOKUP_ARTICLE_HISTORY_H
#define LOOKUP_ARTICLE_HISTORY_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "storage/Database.h"

// What the window showed for one article, enough to show it again as it was.
struct ArticleVisit
{
    std::string fieldText; // the search field, UTF-8
    WordPosition word; // the article and its dictionary
    std::int32_t listFirst = 0; // index of the word list's first line in word's dictionary
    std::int32_t listRow = 0; // the list's selected line
    std::uint32_t barItem = 0; // the section bar's selected dictionary; 0 for none
    std::string phrase; // marked in the article (a search result); empty for none
    bool alone = false; // the article without the other dictionaries' (a dictionary's button)

    bool operator==(const ArticleVisit &other) const;
    bool operator!=(const ArticleVisit &other) const { return !(*this == other); }
};

// The articles shown in this run, for going back and forward. Showing an article after going back
// drops the ones ahead, as a web browser does. Restoring an entry shows it again, and the window
// may record what it then shows: an entry equal to the current one is not recorded twice, and
// does not drop the ones ahead.
class ArticleHistory
{
public:
    static constexpr std::size_t MAX_ENTRIES = 200;

    // An article the user has just been shown; a position naming no word is not an article and is
    // ignored. The oldest entry goes beyond MAX_ENTRIES.
    void Record(const ArticleVisit &article);

    bool CanGoBack() const { return current > 0; }
    bool CanGoForward() const { return current + 1 < entries.size(); }
    // The entry to show, or nullptr at an end (nothing moves then). Valid until the next call.
    const ArticleVisit *Back();
    const ArticleVisit *Forward();

    std::size_t Size() const { return entries.size(); }

private:
    std::vector<ArticleVisit> entries;
    std::size_t current = 0; // meaningful when entries is not empty
};

#endif // LOOKUP_ARTICLE_HISTORY_H
