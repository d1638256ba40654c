#include "tools/Lookup_text.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "storage/Article_search.h"
#include "storage/Database.h"
#include "tools/Lookup_output.h"

namespace {

// Hundreds of thousands of lines may follow: they go out a megabyte at a time.
constexpr std::size_t BLOCK = 1 << 20;

void WriteOut(std::string &lines, std::size_t atLeast)
{
    if (lines.size() < atLeast)
        return;
    std::fwrite(lines.data(), 1, lines.size(), stdout);
    lines.clear();
}

// Offsets in ascending order, two passes of 16 bits: a quarter of the records of a large
// dictionary may share articles, and a comparison sort of them was the larger part of a count.
void SortOffsets(std::vector<std::int32_t> &offsets)
{
    if (offsets.size() < 2)
        return;
    std::vector<std::int32_t> sorted(offsets.size());
    for (const int shift : {0, 16}) {
        std::vector<std::size_t> starts((1 << 16) + 1, 0);
        for (const std::int32_t offset : offsets)
            ++starts[(static_cast<std::uint32_t>(offset) >> shift & 0xFFFF) + 1];
        for (std::size_t d = 1; d < starts.size(); ++d)
            starts[d] += starts[d - 1];
        for (const std::int32_t offset : offsets)
            sorted[starts[static_cast<std::uint32_t>(offset) >> shift & 0xFFFF]++] = offset;
        offsets.swap(sorted);
    }
}

// How many different articles the records hold: records that share one are one result.
// Articles are usually stored in the order of their first records, so an offset above every one
// before it starts a new article; only the others are looked up among those.
std::size_t CountArticles(const Dictionary &dictionary, const std::vector<ArticleMatches> &sets)
{
    std::size_t total = 0;
    for (const ArticleMatches &matches : sets)
        total += matches.Size();
    std::vector<std::int32_t> rising;
    rising.reserve(total);
    std::vector<std::int32_t> others;
    for (const ArticleMatches &matches : sets)
        for (std::size_t i = 0; i < matches.Size(); ++i) {
            const std::int32_t offset = dictionary.GetArticleOffset(matches.Index(i));
            if (rising.empty() || offset > rising.back())
                rising.push_back(offset);
            else
                others.push_back(offset);
        }
    // Offsets are never negative: the search passes over records whose offset is.
    SortOffsets(others);
    std::size_t count = rising.size();
    auto seen = rising.begin();
    for (std::size_t k = 0; k < others.size(); ++k) {
        if (k > 0 && others[k] == others[k - 1])
            continue;
        while (seen != rising.end() && *seen < others[k])
            ++seen;
        count += seen != rising.end() && *seen == others[k] ? 0 : 1;
    }
    return count;
}

// One line per article, at the place of its first record in index order; the headwords of every
// record that shares it are listed there, joined by ", ". Returns the number of lines.
std::size_t AppendMatches(const Dictionary &dictionary, const std::vector<ArticleMatches> &sets,
    bool json, std::string &lines)
{
    struct Result
    {
        const ArticleMatches *matches;
        std::size_t i;
        std::string headwords;
    };
    std::vector<Result> results;
    std::unordered_map<std::int32_t, std::size_t> resultOf;
    for (const ArticleMatches &matches : sets)
        for (std::size_t i = 0; i < matches.Size(); ++i) {
            const std::int32_t offset = dictionary.GetArticleOffset(matches.Index(i));
            const auto [at, added] = resultOf.emplace(offset, results.size());
            if (added) {
                results.push_back({&matches, i, std::string(matches.Headword(i))});
            } else {
                results[at->second].headwords += ", ";
                results[at->second].headwords += matches.Headword(i);
            }
        }
    const std::string id = HexId(dictionary.GetId());
    for (const Result &result : results) {
        const std::int32_t index = result.matches->Index(result.i);
        const std::string_view excerpt = result.matches->Excerpt(result.i);
        if (json) {
            lines += "{\"id\":" + JsonString(id) + ",\"index\":" + std::to_string(index)
                + ",\"headword\":" + JsonString(result.headwords)
                + ",\"excerpt\":" + JsonString(std::string(excerpt)) + "}\n";
        } else {
            lines += id;
            lines += '\t';
            lines += std::to_string(index);
            lines += '\t';
            AppendTsvField(lines, result.headwords);
            lines += '\t';
            AppendTsvField(lines, excerpt);
            lines += '\n';
        }
        WriteOut(lines, BLOCK);
    }
    return results.size();
}

} // namespace

int PrintArticleMatches(
    const Database &database, std::uint32_t dicId, const std::string &phrase, bool json, bool count)
{
    std::vector<const Dictionary *> dictionaries;
    for (std::int32_t i = 0; i < database.GetCount(); ++i)
        if (dicId == 0 || database.GetDictionary(i)->GetId() == dicId)
            dictionaries.push_back(database.GetDictionary(i));
    ArticleSearch search(dictionaries, phrase, !count);
    const std::atomic<bool> cancel{false};
    std::cout.flush();

    // A dictionary's matches may come in several sets: they are printed once all are in, when
    // the next dictionary's come or the search ends.
    std::size_t found = 0;
    std::string lines;
    std::size_t next = 0;
    std::vector<ArticleMatches> sets;
    std::uint32_t reported = 0;
    const auto finishUpTo = [&](std::size_t end) {
        for (; next < end; ++next) {
            const Dictionary &dictionary = *dictionaries[next];
            std::vector<ArticleMatches> own;
            for (ArticleMatches &set : sets)
                if (set.DicId() == dictionary.GetId())
                    own.push_back(std::move(set));
            sets.clear();
            // Left out, as said on standard error: a count of 0 would be a wrong answer.
            const bool changed = std::any_of(own.begin(), own.end(),
                [](const ArticleMatches &matches) { return matches.FileChanged(); });
            if (changed)
                continue;
            if (!count) {
                found += AppendMatches(dictionary, own, json, lines);
                continue;
            }
            const std::size_t articles = CountArticles(dictionary, own);
            found += articles;
            const std::string id = HexId(dictionary.GetId());
            lines += json
                ? "{\"id\":" + JsonString(id) + ",\"count\":" + std::to_string(articles) + "}\n"
                : id + '\t' + std::to_string(articles) + '\n';
        }
    };
    const auto indexOf = [&](std::uint32_t id) {
        std::size_t d = next;
        while (d < dictionaries.size() && dictionaries[d]->GetId() != id)
            ++d;
        return d;
    };
    search.Run(
        [&](ArticleMatches &&matches) {
            if (matches.FileChanged() && matches.DicId() != reported) {
                reported = matches.DicId();
                const Dictionary *dictionary = database.FindById(matches.DicId());
                std::cerr << "kalvora-lookup: the data file of dictionary " << HexId(reported)
                          << " (" << (dictionary ? dictionary->GetFolderName() : std::string())
                          << ") changed during the search; it was left out\n";
            }
            finishUpTo(indexOf(matches.DicId()));
            sets.push_back(std::move(matches));
        },
        cancel);
    finishUpTo(dictionaries.size());
    WriteOut(lines, 0);
    std::fflush(stdout);
    return found != 0 ? 0 : 1;
}
