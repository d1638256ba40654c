#include "tools/Lookup_text.h"

#include <atomic>
#include <cstdio>
#include <iostream>
#include <string_view>
#include <vector>

#include "storage/Article_search.h"
#include "storage/Database.h"
#include "tools/Lookup_output.h"

int PrintArticleMatches(
    const Database &database, std::uint32_t dicId, const std::string &phrase, bool json)
{
    std::vector<const Dictionary *> dictionaries;
    for (std::int32_t i = 0; i < database.GetCount(); ++i)
        if (dicId == 0 || database.GetDictionary(i)->GetId() == dicId)
            dictionaries.push_back(database.GetDictionary(i));
    ArticleSearch search(std::move(dictionaries), phrase);
    const std::atomic<bool> cancel{false};
    std::size_t found = 0;
    std::cout.flush();
    // Hundreds of thousands of lines may follow: they go out a megabyte at a time.
    constexpr std::size_t BLOCK = 1 << 20;
    std::string lines;
    search.Run(
        [&](ArticleMatches &&matches) {
            const std::string id = HexId(matches.DicId());
            if (matches.FileChanged()) {
                const Dictionary *dictionary = database.FindById(matches.DicId());
                std::cerr << "kalvora-lookup: the data file of dictionary " << id << " ("
                          << (dictionary ? dictionary->GetFolderName() : std::string())
                          << ") changed during the search; it was left out\n";
            }
            for (std::size_t i = 0; i < matches.Size(); ++i) {
                if (json) {
                    lines += "{\"id\":" + JsonString(id)
                        + ",\"index\":" + std::to_string(matches.Index(i))
                        + ",\"headword\":" + JsonString(std::string(matches.Headword(i)))
                        + ",\"excerpt\":" + JsonString(std::string(matches.Excerpt(i))) + "}\n";
                } else {
                    lines += id;
                    lines += '\t';
                    lines += std::to_string(matches.Index(i));
                    lines += '\t';
                    AppendTsvField(lines, matches.Headword(i));
                    lines += '\t';
                    AppendTsvField(lines, matches.Excerpt(i));
                    lines += '\n';
                }
                if (lines.size() >= BLOCK) {
                    std::fwrite(lines.data(), 1, lines.size(), stdout);
                    lines.clear();
                }
            }
            found += matches.Size();
        },
        cancel);
    std::fwrite(lines.data(), 1, lines.size(), stdout);
    std::fflush(stdout);
    return found != 0 ? 0 : 1;
}
