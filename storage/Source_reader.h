#ifndef STORAGE_SOURCE_READER_H
#define STORAGE_SOURCE_READER_H

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/Article_markup.h"
#include "support/Packed_numbers.h"

enum class SourceFormat
{
    Tsv,
    Dictd,
    StarDict
};

enum class TextEncoding
{
    Auto, // UTF-8 when every byte of the text is valid UTF-8, else Windows-1251
    Utf8,
    Cp1251
};

struct SourceEntry
{
    std::string headword;
    std::uint32_t article; // position in SourceData::articles
};

// Where a dictd or StarDict article lies in its data file.
struct SourcePlace
{
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The places of a source's articles, numbered as they are added. An installed dictionary keeps
// one for each of its articles for as long as it is open: places added in the order they lie in,
// each where the one before ends, take two bytes or so each rather than sixteen; places in any
// other order, of any offset or length, are still kept whole.
class SourcePlaces
{
public:
    class Iterator
    {
    public:
        Iterator(const SourcePlaces &places, std::size_t at)
            : places(&places)
            , at(at)
        {
        }
        SourcePlace operator*() const { return (*places)[at]; }
        Iterator &operator++()
        {
            ++at;
            return *this;
        }
        bool operator!=(const Iterator &other) const { return at != other.at; }

    private:
        const SourcePlaces *places;
        std::size_t at;
    };

    std::size_t size() const { return offsets.size(); }
    bool empty() const { return offsets.empty(); }
    SourcePlace operator[](std::size_t i) const
    {
        const std::uint64_t offset = offsets[i];
        // Wrapping arithmetic gives the end back whatever the gap, an overlap too.
        const std::uint64_t end =
            i + 1 < offsets.size() ? offsets[i + 1] - (gaps[i] - NO_GAP) : lastEnd;
        return {offset, end - offset};
    }
    std::uint64_t Offset(std::size_t i) const { return offsets[i]; }
    SourcePlace front() const { return (*this)[0]; }
    Iterator begin() const { return {*this, 0}; }
    Iterator end() const { return {*this, size()}; }
    void push_back(const SourcePlace &place)
    {
        if (!offsets.empty())
            gaps.push_back(place.offset - lastEnd + NO_GAP);
        offsets.push_back(place.offset);
        lastEnd = place.offset + place.length;
        reach = lastEnd < place.offset ? UINT64_MAX : std::max(reach, lastEnd);
    }
    void clear()
    {
        offsets.clear();
        gaps.clear();
        reach = 0;
    }
    // The furthest end of a place: every place lies inside data of at least this many bytes.
    // UINT64_MAX when a place's end lies past what 64 bits count.
    std::uint64_t Reach() const { return reach; }
    void shrink_to_fit()
    {
        offsets.shrink_to_fit();
        gaps.shrink_to_fit();
    }
    std::size_t HeapBytes() const { return offsets.HeapBytes() + gaps.HeapBytes(); }
    // What the places are held as, to be kept in a file and taken back (Restore).
    const PackedNumbers &HeldOffsets() const { return offsets; }
    const PackedNumbers &HeldGaps() const { return gaps; }
    std::uint64_t LastEnd() const { return lastEnd; }
    // Takes back what those gave. False, and nothing taken, unless there is one gap fewer than
    // offsets. The reach is worked out again rather than taken on trust.
    bool Restore(PackedNumbers &offsets, PackedNumbers &gaps, std::uint64_t lastEnd);

private:
    // Gaps are kept about the middle of the range, so that a run of small ones and overlaps
    // (negative gaps) stays narrow.
    static constexpr std::uint64_t NO_GAP = std::uint64_t{1} << 63;

    PackedNumbers offsets;
    // Between each place's end and the next one's offset.
    PackedNumbers gaps;
    std::uint64_t lastEnd = 0;
    std::uint64_t reach = 0;
};

// How much of each article ReadSource takes: all of it (to convert a source), only its first
// line (all a dictd source's headwords need), or nothing. Without any, a dictd source's data is
// not read at all (its names apart), so whether its text is UTF-8 may be left undecided.
enum class ArticleText
{
    Whole,
    FirstLine,
    None
};

// Everything a source holds, still in its own encoding. Several entries may share an article.
struct SourceData
{
    // Empty for a dictd source read without its articles' text (ArticleText::None).
    std::vector<std::string> articles;
    // For dictd and StarDict, where each article lies in dataPath, so that it can be read again.
    SourcePlaces places;
    std::string dataPath;
    std::string typeSequence; // StarDict's sametypesequence
    // What the articles carry as they are handed out: dictd's markup, a StarDict dictionary's
    // tags (StarDictMarkup of its text types), or plain text.
    ArticleMarkup markup = ArticleMarkup::Plain;
    std::string skippedTypes; // StarDict field types that give no text, met in the articles read
    std::vector<SourceEntry> entries;
    bool utf8 = true; // else Windows-1251
    // False when utf8 is a guess: a dictd source read without its articles that does not say.
    bool utf8Decided = true;
    // dictd articles begin with their headword on a line of its own.
    bool headwordLineFirst = false;
    std::string title; // the source's own name of itself, when it gives one
    std::string origin; // where it says it comes from
    std::size_t specialEntries = 0; // dictd's 00-database-* entries, not taken as words
    std::vector<std::string> specialHeadwords; // their names
    std::string lineEnds; // of a tab-separated text: "LF", "CR LF", "CR", or both of the first two
};

// By the input's file name: .tsv/.txt/.tab, .index, .ifo (a trailing .gz or .dz ignored).
std::optional<SourceFormat> FormatFromName(const std::string &path);

// Reads a source; on failure returns false with a one-line reason that names the file. Every
// offset and length the source gives is checked against its data before anything is taken.
bool ReadSource(const std::string &path, SourceFormat format, TextEncoding encoding,
    SourceData &data, std::string &error, ArticleText text = ArticleText::Whole);

// ReadSource of a dictd source without its articles' text (ArticleText::None, TextEncoding::Auto)
// that hands each entry and where its article lies to take, instead of keeping the entry in
// data.entries and numbering its article in data.places, which stay empty: an installed
// dictionary's hundreds of thousands need not each be copied on their own, nor looked up one by
// one. The headword lasts only for the call.
using DictdEntryTaker = std::function<void(std::string_view headword, SourcePlace place)>;
bool ReadDictdEntries(
    const std::string &path, SourceData &data, std::string &error, const DictdEntryTaker &take);

class DictzipFile;
// Article i of a dictd or StarDict source read again from its data file, as ReadSource takes
// it whole. False with a reason naming the file when it cannot be read.
bool ReadSourceArticle(DictzipFile &file, const SourceData &data, std::uint32_t article,
    std::string &text, std::string &skippedTypes, std::string &error);

// Settles data.markup for a source read with ReadSource, its data file open in file: a StarDict
// dictionary that types each article by itself is taken to use the text types of its first
// word's article, which is read. False with a reason naming the file when it cannot be.
bool SettleSourceMarkup(
    DictzipFile &file, SourceFormat format, SourceData &data, std::string &error);

// Whether every article of a dictd source is UTF-8, as ReadSource decides it when the source
// does not say: for a source read without its articles. Reads up to the first article that is
// not. False with a reason naming the file when an article before it cannot be read.
bool DictdArticlesUtf8(DictzipFile &file, const SourceData &data, bool &utf8, std::string &error);

// Index files larger than this are refused: they are read into memory whole.
constexpr std::uint64_t SOURCE_INDEX_LIMIT = std::uint64_t{1} << 30;

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string &text);

#endif // STORAGE_SOURCE_READER_H
