#include "lookup/Article_history.h"

bool ArticleVisit::operator==(const ArticleVisit &other) const
{
    return fieldText == other.fieldText && word.dicId == other.word.dicId
        && word.index == other.word.index && listFirst == other.listFirst
        && listRow == other.listRow && barItem == other.barItem && phrase == other.phrase
        && alone == other.alone;
}

void ArticleHistory::Record(const ArticleVisit &article)
{
    if (article.word.IsNone())
        return;
    if (!entries.empty()) {
        if (entries[current] == article)
            return;
        entries.resize(current + 1);
    }
    entries.push_back(article);
    if (entries.size() > MAX_ENTRIES)
        entries.erase(entries.begin());
    current = entries.size() - 1;
}

const ArticleVisit *ArticleHistory::Back()
{
    if (!CanGoBack())
        return nullptr;
    return &entries[--current];
}

const ArticleVisit *ArticleHistory::Forward()
{
    if (!CanGoForward())
        return nullptr;
    return &entries[++current];
}
