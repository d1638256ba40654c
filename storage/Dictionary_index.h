#ifndef STORAGE_DICTIONARY_INDEX_H
#define STORAGE_DICTIONARY_INDEX_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "storage/Text_encoding.h"

// Bytes that are filled without being cleared first and given back without being copied: a
// dictionary's headwords are copied into one as its index is read.
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

class IndexBytes;

// Headwords of a stretch of a dictionary as GetWord gives them, without a string apiece: each is
// a view of the index itself where its bytes are the program's text already, else of one buffer
// that keeps its room from one stretch to the next. The views hold until the next fill.
class WordRange
{
public:
    std::size_t size() const { return words.size(); }
    std::string_view operator[](std::size_t i) const { return words[i]; }

private:
    friend class DictionaryIndex;
    friend class Dictionary;
    std::string converted;
    std::vector<std::string_view> words;
};

// A dictionary's index file held in memory: every headword with the offset of its article, in
// file order, and the blocks of headwords by first letter that the lookup starts from.
class DictionaryIndex
{
public:
    // Reads the index file, whose headwords are in encoding. Throws VoException (under
    // "Dictionary::LoadIndexFile") when it cannot be opened or a record is malformed; the index
    // must then be discarded.
    void Load(const std::string &path, DictionaryEncoding encoding);
    // The same from the bytes an index file would hold.
    void LoadBytes(const char *bytes, std::size_t length, DictionaryEncoding encoding);

    // Taking an index file apart is most of loading it; what that makes can be kept and given
    // back. The headwords lie in entry order, each followed by a zero byte.
    const ByteArena &HeldHeadwords() const { return headwordArena; }
    std::uint32_t HeadwordStart(std::size_t i) const { return headwordStarts[i]; }
    // An index of records numbered from 0, from headwords as HeldHeadwords holds them and where
    // each starts: each entry's offset is its number. False, and nothing taken, when they do not
    // fit together: the first not at 0, one not after the one before, or one not ending in a
    // zero byte.
    bool Restore(
        ByteArena &headwords, std::vector<std::uint32_t> &starts, DictionaryEncoding encoding);

    std::uint32_t GetWordCount() const { return static_cast<std::uint32_t>(headwordStarts.size()); }
    // The headword as UTF-8, without leading and trailing bytes up to 0x20; i below the word
    // count.
    std::string GetWord(std::size_t i) const;
    // Words first to last - 1 as GetWord gives them; last at most the word count.
    void GetWords(std::size_t first, std::size_t last, WordRange &words) const;
    // The article's offset in the data file; i below the word count.
    std::int32_t GetOffset(std::size_t i) const
    {
        return offsets.empty() ? static_cast<std::int32_t>(i) : offsets[i];
    }
    // Longest-prefix search for a UTF-8 query. matchedLength is -1 for an exact match, else the
    // number of leading characters shared; it is left unwritten when the query's first letter
    // has no block.
    bool FindWord(
        const std::string &query, std::uint32_t &position, std::int32_t &matchedLength) const;

private:
    struct Scan;
    struct Query;
    // The last run of headwords whose first characters give one key: where it starts and ends,
    // and whether it is in the order of the trimmed, upper-cased headwords (then it can be
    // searched by halves).
    struct LetterBlock
    {
        std::int32_t start = 0;
        std::int32_t end = 0;
        bool sorted = false;
    };

    template <class Text> void Split(const IndexBytes &data);
    template <class Text> void MakeLetterBlocks() const;
    // Entry i's headword without the blanks and control bytes at either end, in place.
    std::pair<const char *, std::size_t> TrimmedHeadword(std::size_t i) const;
    template <class Text>
    bool Find(const std::string &utf8, std::uint32_t &position, std::int32_t &matchedLength) const;
    template <class Text> bool ScanEntry(std::size_t j, const Query &query, Scan &scan) const;
    template <class Text>
    bool SearchSortedRun(const Query &query, std::size_t begin, std::size_t end, Scan &scan) const;
    // First entry in [begin, end) whose trimmed, upper-cased headword is not below text.
    template <class Text>
    std::size_t LowerBound(
        std::size_t begin, std::size_t end, const char *text, std::size_t length) const;

    DictionaryEncoding encoding = DictionaryEncoding::Cp1251;
    ByteArena headwordArena;
    // Where each entry's zero-terminated headword starts in headwordArena.
    std::vector<std::uint32_t> headwordStarts;
    // Each entry's article offset; empty for numbered records (Restore), whose offsets would
    // only repeat their positions.
    std::vector<std::int32_t> offsets;
    // The letter blocks and odd entries, made at the first lookup: lookups may come from more
    // than one thread.
    std::unique_ptr<std::once_flag> blocksMade = std::make_unique<std::once_flag>();
    // The key of a block: a Windows-1251 headword's first byte as stored, a UTF-8 headword's
    // first character upper-cased.
    mutable std::map<char32_t, LetterBlock> letterIndex;
    // Entries whose trimmed, upper-cased headword begins otherwise than their block's key
    // (leading blanks; in Windows-1251 small first letters too), ascending: the only ones a scan
    // past its run can match.
    mutable std::vector<std::uint32_t> oddEntries;
};

#endif // STORAGE_DICTIONARY_INDEX_H
