#include "lookup/Pane_articles.h"

std::string PaneArticle::ShownText() const
{
    return headword + " " + DocumentText(document);
}

std::vector<WordPosition> OtherArticles(const Database &database, WordPosition chosen)
{
    std::vector<WordPosition> others;
    const std::string headword = database.GetWord(chosen);
    if (chosen.IsNone() || headword.empty())
        return others;
    for (std::int32_t i = 0; i < database.GetCount(); ++i) {
        const std::uint32_t id = database.GetDictionary(i)->GetId();
        if (id == chosen.dicId)
            continue;
        WordPosition position;
        std::int32_t matchedLength = 0;
        if (database.Find(id, headword, position, &matchedLength) && matchedLength == -1)
            others.push_back(position);
    }
    return others;
}

PaneArticle ReadPaneArticle(const Database &database, WordPosition position)
{
    PaneArticle article;
    article.position = position;
    const Dictionary *dictionary = database.FindById(position.dicId);
    if (!dictionary)
        return article;
    const DictionaryAttributes &attributes = dictionary->GetAttributes();
    article.shortName = attributes.shortName;
    article.title = attributes.longName.empty() ? attributes.shortName : attributes.longName;
    article.headword = database.GetWord(position);
    article.document = ParseArticle(database.GetArticle(position), dictionary->Markup());
    return article;
}
