#ifndef STORAGE_SOURCE_CACHE_H
#define STORAGE_SOURCE_CACHE_H

#include <cstdint>
#include <string>
#include <vector>

#include "storage/Dictionary_index.h"
#include "storage/Source_entries.h"
#include "storage/Source_reader.h"
#include "support/Packed_numbers.h"

// Which source articles make each record's article: record i's are Part(First(i)) up to but not
// including Part(First(i + 1)), in their order. Kept for every record of an open dictionary, so
// held packed: a record of one part, as most are, takes a few bits beside its part.
class RecordParts
{
public:
    RecordParts() = default;
    RecordParts(const std::vector<std::uint32_t> &partStart, const std::vector<ArticlePart> &parts);

    std::uint32_t Records() const
    {
        return extraParts.empty() ? 0 : static_cast<std::uint32_t>(extraParts.size() - 1);
    }
    std::uint32_t PartCount() const { return static_cast<std::uint32_t>(articles.size()); }
    std::uint32_t First(std::uint32_t record) const
    {
        return static_cast<std::uint32_t>(extraParts[record]) + record;
    }
    ArticlePart Part(std::uint32_t part) const
    {
        const std::uint64_t stored = articles[part] + 2 * std::uint64_t{part} - ABOVE_PARTS;
        return {static_cast<std::uint32_t>(stored >> 1), static_cast<std::uint32_t>(stored & 1)};
    }
    // The parts of one record, as Compose takes them.
    std::vector<ArticlePart> Parts(std::uint32_t record) const;

    void AddPart(ArticlePart part)
    {
        articles.push_back((std::uint64_t{part.article} << 1 | part.dropFirstLine) + ABOVE_PARTS
            - 2 * articles.size());
    }
    // Adds where the next record's parts start, or where the last one's end. False, and nothing
    // added, when it does not follow: the first must be 0, each other above the one before.
    bool AddStart(std::uint32_t start);
    void shrink_to_fit();
    // What the parts are held as, to be kept in a file and taken back (Restore).
    const PackedNumbers &HeldStarts() const { return extraParts; }
    const PackedNumbers &HeldArticles() const { return articles; }
    // Takes back what those gave, for a source of places articles. False, and nothing taken,
    // unless they hold together as AddStart and AddPart would have made them, every part naming
    // one of those articles.
    bool Restore(PackedNumbers &starts, PackedNumbers &parts, std::uint64_t places);
    std::size_t HeapBytes() const { return extraParts.HeapBytes() + articles.HeapBytes(); }

private:
    // For each record, and once more for the end, its first part less its number: records of
    // one part leave it the same.
    PackedNumbers extraParts;
    // Each part's article * 2 + dropFirstLine, less twice the part's number: a source whose
    // records each take the next article keeps one number throughout. ABOVE_PARTS keeps it
    // positive.
    static constexpr std::uint64_t ABOVE_PARTS = std::uint64_t{1} << 33;
    PackedNumbers articles;
    std::uint32_t lastStart = 0;
};

// What reading an installed dictionary makes, kept between runs so that the next start need not
// read and sort the source again, nor take its index apart.
struct SourceSortResult
{
    SourceData data; // without the articles' text
    RecordParts parts;
    // A dictd source read from its index alone: its articles' first lines are still to be
    // looked at (SourceDictionary).
    bool linesUndecided = false;
    // The records' index, entry i's offset being i.
    DictionaryIndex index;
    // A dictd source's headwords as its articles' first lines spell them, once every record's
    // is settled (SourceDictionary::Headword): empty, or for each record 1 for the index's
    // spelling, else 2 + where its own starts in spellings, each ending in a zero byte.
    PackedNumbers spellingAt;
    std::string spellings;
};

// The files a source is made of, with their sizes and modification times: a cache holds this
// text and is used only while the files still give it.
std::string SourceStamp(const std::string &sourcePath);

// The cache file of a source in folder.
std::string SourceCachePath(const std::string &folder, const std::string &sourcePath);

// Reads the cache; false when it is missing, for other files or another stamp, damaged (its
// hash or its structure is wrong) or of another version. Nothing of it is trusted before.
bool ReadSourceCache(
    const std::string &cachePath, const std::string &stamp, SourceSortResult &sorted);

// Writes the cache whole or not at all (a temporary file renamed over it), making the folder.
// The index must hold one entry per record, entry i's offset being i.
bool WriteSourceCache(const std::string &cachePath, const std::string &stamp,
    const SourceData &data, const RecordParts &parts, bool linesUndecided,
    const DictionaryIndex &index, const PackedNumbers &spellingAt = PackedNumbers(),
    const std::string &spellings = "");

#endif // STORAGE_SOURCE_CACHE_H
