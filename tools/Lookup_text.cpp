#include "tools/Lookup_text.h"

#include <atomic>
#include <cstdio>
#include <string_view>
#include <vector>

#include "storage/Article_search.h"
#include "storage/Database.h"

namespace {

// Tabs and line ends separate fields and answers, so a field never carries them.
void AppendField(std::string &line, std::string_view text)
{
    for (const char c : text)
        line += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
}

} // namespace

int PrintArticleMatches(const Database &database, std::uint32_t dicId, const std::string &phrase)
{
    std::vector<const Dictionary *> dictionaries;
    for (std::int32_t i = 0; i < database.GetCount(); ++i)
        if (dicId == 0 || database.GetDictionary(i)->GetId() == dicId)
            dictionaries.push_back(database.GetDictionary(i));
    ArticleSearch search(std::move(dictionaries), phrase);
    const std::atomic<bool> cancel{false};
    std::size_t found = 0;
    std::string line;
    search.Run(
        [&](ArticleMatches &&matches) {
            char number[32];
            for (std::size_t i = 0; i < matches.Size(); ++i) {
                std::snprintf(number, sizeof number, "%x\t%d\t",
                    static_cast<unsigned>(matches.DicId()), static_cast<int>(matches.Index(i)));
                line = number;
                AppendField(line, matches.Headword(i));
                line += '\t';
                AppendField(line, matches.Excerpt(i));
                line += '\n';
                std::fwrite(line.data(), 1, line.size(), stdout);
            }
            found += matches.Size();
        },
        cancel);
    std::fflush(stdout);
    return found != 0 ? 0 : 1;
}
