#ifndef STORAGE_DICTIONARY_INDEX_H
#define STORAGE_DICTIONARY_INDEX_H

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Bytes that are filled without being cleared first and given back without being copied: a
// dictionary's index is read into one and its headwords gathered at the front.
class ByteArena
{
public:
    // The contents are whatever the memory held.
    void Allocate(std::size_t size);
    // Keeps the first size bytes and returns the rest to the allocator, in place.
    void Shrink(std::size_t size);

    char *data() { return bytes.get(); }
    const char *data() const { return bytes.get(); }
    std::size_t size() const { return length; }
    char &operator[](std::size_t i) { return bytes.get()[i]; }
    char operator[](std::size_t i) const { return bytes.get()[i]; }

private:
    struct Free
    {
        void operator()(char *memory) const;
    };
    std::unique_ptr<char, Free> bytes;
    std::size_t length = 0;
};

// A dictionary's index file held in memory: every headword with the offset of its article, in
// file order, and the blocks of headwords by first letter that the lookup starts from.
class DictionaryIndex
{
public:
    // Reads the index file. Throws VoException (under "Dictionary::LoadIndexFile") when it cannot
    // be opened or a record is malformed; the index must then be discarded.
    void Load(const std::string &path);

    std::uint32_t GetWordCount() const { return static_cast<std::uint32_t>(entries.size()); }
    // The headword without leading and trailing bytes up to 0x20; i below the word count.
    std::string GetWord(std::size_t i) const;
    // The article's offset in the data file; i below the word count.
    std::int32_t GetOffset(std::size_t i) const { return entries[i].offset; }
    // Longest-prefix search. matchedLength is -1 for an exact match, else the number of leading
    // characters shared; it is left unwritten when the query's first letter has no block.
    bool FindWord(std::string query, std::uint32_t &position, std::int32_t &matchedLength) const;

private:
    struct Scan;
    // The last run of headwords stored with one first byte: where it ends, and whether it is in
    // the order of the trimmed, upper-cased headwords (then it can be searched by halves).
    struct LetterRun
    {
        std::int32_t end = 0;
        bool sorted = false;
    };

    // Entry i's headword without the blanks and control bytes at either end, in place.
    std::pair<const char *, std::size_t> TrimmedHeadword(std::size_t i) const;
    bool ScanEntry(std::size_t j, const std::string &query, Scan &scan) const;
    bool SearchSortedRun(
        const std::string &query, std::size_t begin, std::size_t end, Scan &scan) const;
    // First entry in [begin, end) whose trimmed, upper-cased headword is not below text.
    std::size_t LowerBound(
        std::size_t begin, std::size_t end, const char *text, std::size_t length) const;

    struct IndexEntry
    {
        std::uint32_t headword; // start of the zero-terminated headword in headwordArena
        std::int32_t offset; // of the article in the data file
    };

    ByteArena headwordArena;
    std::vector<IndexEntry> entries;
    std::map<unsigned char, std::int32_t> letterIndex;
    std::array<LetterRun, 256> letterRuns{};
    // Entries whose trimmed, upper-cased headword begins otherwise than the stored byte (small
    // first letters, leading blanks), ascending: the only ones a scan past its run can match.
    std::vector<std::uint32_t> oddEntries;
};

#endif // STORAGE_DICTIONARY_INDEX_H
