#ifndef LOOKUP_PANE_ARTICLES_H
#define LOOKUP_PANE_ARTICLES_H

#include <string>
#include <vector>

#include "storage/Article_markup.h"
#include "storage/Database.h"

// One dictionary's article as the pane shows it. Texts are UTF-8.
struct PaneArticle
{
    WordPosition position;
    std::string title; // the dictionary's long name, or its short name when it has none
    std::string shortName;
    std::string headword;
    ArticleDocument document; // the article laid out by its dictionary's markup

    // What the pane shows of it, counted in characters: headword, a space, the article.
    std::string ShownText() const;
};

// The articles that follow the chosen one in the pane: every other dictionary's word whose
// headword equals the chosen headword, letter case aside by that dictionary's rule, in search
// order. Nothing when chosen names no word. Costs one index search per dictionary and reads no
// article.
std::vector<WordPosition> OtherArticles(const Database &database, WordPosition chosen);

// The article at position, read and laid out; position must name a word.
PaneArticle ReadPaneArticle(const Database &database, WordPosition position);

#endif // LOOKUP_PANE_ARTICLES_H
