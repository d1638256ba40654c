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
    const std::size_t start = line.size();
    line.append(text);
    for (std::size_t i = start; i < line.size(); ++i)
        if (line[i] == '\t' || line[i] == '\n' || line[i] == '\r')
            line[i] = ' ';
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
    // Hundreds of thousands of lines may follow: one write per megabyte, not per line.
    static char buffer[1 << 20];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    std::string lines;
    search.Run(
        [&](ArticleMatches &&matches) {
            char id[16];
            const int idLength =
                std::snprintf(id, sizeof id, "%x\t", static_cast<unsigned>(matches.DicId()));
            lines.clear();
            for (std::size_t i = 0; i < matches.Size(); ++i) {
                lines.append(id, static_cast<std::size_t>(idLength));
                lines += std::to_string(matches.Index(i));
                lines += '\t';
                AppendField(lines, matches.Headword(i));
                lines += '\t';
                AppendField(lines, matches.Excerpt(i));
                lines += '\n';
            }
            std::fwrite(lines.data(), 1, lines.size(), stdout);
            found += matches.Size();
        },
        cancel);
    std::fflush(stdout);
    return found != 0 ? 0 : 1;
}
