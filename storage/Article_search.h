#ifndef STORAGE_ARTICLE_SEARCH_H
#define STORAGE_ARTICLE_SEARCH_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class Database;
class Dictionary;

// Records whose article holds a phrase, in the order found, their text in UTF-8. Every text of
// the set sits in one buffer: a search matching hundreds of thousands of records costs little
// more than the bytes shown.
class ArticleMatches
{
public:
    std::size_t Size() const { return entries.size(); }
    bool Empty() const { return entries.empty(); }
    std::uint32_t DicId(std::size_t i) const { return entries[i].dicId; }
    std::int32_t Index(std::size_t i) const { return entries[i].index; }
    std::string_view Headword(std::size_t i) const;
    // A few words either side of the first occurrence, control bytes shown as blanks.
    std::string_view Excerpt(std::size_t i) const;

    void Add(std::uint32_t dicId, std::int32_t index, std::string_view headword,
        std::string_view excerpt);
    // Empties the set and gives its memory back.
    void Clear();

private:
    struct Entry
    {
        std::size_t text; // where the headword starts; the excerpt follows it
        std::uint32_t dicId;
        std::int32_t index;
        std::uint16_t headwordLength;
        std::uint16_t excerptLength;
    };
    std::vector<Entry> entries;
    std::string text;
};

// The phrase as a dictionary's own text spells it, or nothing when that text cannot hold one of
// its characters (then no article of the dictionary can hold it either). phrase is UTF-8.
std::optional<std::string> PhraseInDictionaryText(
    const Dictionary &dictionary, const std::string &phrase);

// Where phrase occurs in text, letter case ignored by the dictionary's rule; both in the
// dictionary's own text. Byte ranges (start, length), ascending and not overlapping.
std::vector<std::pair<std::size_t, std::size_t>> FindPhrase(
    std::string_view text, std::string_view phrase);

// Search inside the articles of every loaded dictionary with no index of any kind: each data
// file is mapped for the time of its scan only, and nothing is written.
//
// A record matches when its article, as Dictionary::GetArticle reads it, holds the phrase with
// letter case ignored by the dictionary's rule; the phrase is taken as typed, blanks included.
// Results come one per record, in the database's order of dictionaries and then index order.
class ArticleSearch
{
public:
    // Called on the thread that runs the search, in order: the matches of the next dictionary
    // (possibly none), then how many bytes of data out of how many have been scanned.
    using Sink = std::function<void(ArticleMatches &&matches)>;
    using Progress = std::function<void(std::uint64_t done, std::uint64_t total)>;

    // The dictionaries are taken in the database's order now; they must outlive the search,
    // which reads them from other threads (reading only). phrase is UTF-8.
    ArticleSearch(const Database &database, const std::string &phrase);
    // These dictionaries, in this order.
    ArticleSearch(std::vector<const Dictionary *> dictionaries, const std::string &phrase);

    // Scans on up to threads threads, the caller's among them (0: as many as the machine has,
    // at most four). Returns false when cancel was raised before the end; the sink may have
    // been given the matches of the dictionaries finished before that.
    bool Run(const Sink &sink, const std::atomic<bool> &cancel, unsigned threads = 0,
        const Progress &progress = Progress());

private:
    std::vector<const Dictionary *> dictionaries;
    std::string phrase;
};

#endif // STORAGE_ARTICLE_SEARCH_H
