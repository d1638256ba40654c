#ifndef UI_ARTICLE_VISITS_H
#define UI_ARTICLE_VISITS_H

#include <string>

class SectionBar;
class TWordInput;
class TWordList;
class WordLookup;
struct ArticleVisit;

// The main window's views that going back and forward keeps as they were.
struct VisitViews
{
    TWordInput &field;
    TWordList &list;
    SectionBar &bar;
};

// What the views show of the lookup's current word, phrase being the one marked in its article.
ArticleVisit CaptureVisit(
    const VisitViews &views, const WordLookup &lookup, const std::string &phrase);
// The visit's word current again and the views as they were, the list filled around the word its
// first row was filled for; false, changing nothing, when the word's dictionary no longer has that
// list. The article is the caller's to show.
bool RestoreVisit(const VisitViews &views, WordLookup &lookup, const ArticleVisit &visit);

#endif // UI_ARTICLE_VISITS_H
