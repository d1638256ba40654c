#include "Article_search.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "storage/Article_bounds.h"
#include "storage/Article_lines.h"
#include "storage/Article_markup.h"
#include "storage/Database.h"
#include "storage/Phrase_finder.h"
#include "storage/Source_dictionary.h"
#include "storage/Source_entries.h"
#include "storage/Text_encoding.h"
#include "support/Code_page.h"
#include "support/Log_file.h"

namespace {

// Bytes of the article shown before and after the phrase in an excerpt.
constexpr std::size_t EXCERPT_BEFORE = 40;
constexpr std::size_t EXCERPT_AFTER = 60;
// Made beyond the excerpt's end at first, for the line breaks the text rules make longer.
constexpr std::size_t EXCERPT_SLACK = 64;
constexpr unsigned MAX_THREADS = 4;
constexpr std::uint64_t PART_BYTES = 8 << 20;
constexpr std::uint64_t SOURCE_PART_BYTES = 1 << 20;
constexpr std::size_t MAX_PARTS = 16;
// Read from the data file at a time; also how far a scan goes between looks at the cancel flag.
constexpr std::size_t READ_BYTES = 1 << 20;

constexpr std::uint32_t NO_HIT = 0xFFFFFFFF;

// A record's offset in the high half and its index in the low half: sorted, the records come in
// the order of their articles and, within one article, in index order.
using RecordKey = std::uint64_t;

// The keys are made in index order, so a stable sort by the offset alone orders them fully: four
// counting passes of one byte each, where a comparison sort took a tenth of a large search.
void SortByOffset(std::vector<RecordKey> &keys)
{
    std::vector<RecordKey> sorted(keys.size());
    for (unsigned shift = 32; shift < 64; shift += 8) {
        std::array<std::size_t, 257> starts{};
        for (const RecordKey key : keys)
            ++starts[((key >> shift) & 0xFF) + 1];
        for (std::size_t b = 0; b < 256; ++b)
            starts[b + 1] += starts[b];
        for (const RecordKey key : keys)
            sorted[starts[(key >> shift) & 0xFF]++] = key;
        keys.swap(sorted);
    }
}

// The stretch of a data file a scan is at, read through its dictionary into one buffer that
// keeps its room from stretch to stretch. Reading rather than mapping: a file cut under a map
// kills the whole program at the first touch of a page that is gone. Positions are the file's.
class DataWindow
{
public:
    // readAtLeast: how far each read goes beyond what is asked for; a scan reads on in large
    // stretches, a single article wants no more than itself. room, when given, holds the bytes
    // instead of a buffer of the window's own: a thread scanning one part after another keeps
    // its megabyte rather than taking and touching fresh pages for each.
    explicit DataWindow(const Dictionary &dictionary, std::size_t readAtLeast = READ_BYTES,
        std::vector<unsigned char> *room = nullptr)
        : dictionary(dictionary)
        , size(static_cast<std::size_t>(dictionary.DataSize()))
        , readAtLeast(readAtLeast)
        , bytes(room ? *room : own)
    {
    }

    std::size_t FileSize() const { return size; }
    std::size_t Begin() const { return begin; }
    std::size_t End() const { return end; }
    // The byte at file position Begin().
    const unsigned char *Data() const { return bytes.data(); }

    // Holds at least [from, to), to at most the file's size, keeping what it holds from from on
    // and reading on by readAtLeast at least. False when the file turns out cut or changed.
    bool Hold(std::size_t from, std::size_t to)
    {
        if (from >= begin && to <= end)
            return true;
        std::size_t kept = 0;
        if (from >= begin && from < end) {
            kept = end - from;
            std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(from - begin),
                bytes.begin() + static_cast<std::ptrdiff_t>(end - begin), bytes.begin());
        }
        const std::size_t last = std::min(size, std::max(to, from + kept + readAtLeast));
        if (bytes.size() < last - from)
            bytes.resize(last - from);
        begin = from;
        end = from + kept;
        const std::size_t want = last - end;
        const std::size_t got =
            dictionary.ReadData(end, reinterpret_cast<char *>(bytes.data() + kept), want);
        end += got;
        return got == want && !dictionary.DataChanged();
    }

private:
    const Dictionary &dictionary;
    const std::size_t size;
    const std::size_t readAtLeast;
    std::vector<unsigned char> own;
    std::vector<unsigned char> &bytes;
    std::size_t begin = 0;
    std::size_t end = 0;
};

// Where the well-formed character that a UTF-8 record starting at offset begins inside ends, or
// offset when it begins no such way. The record reads that character's remaining bytes as
// U+FFFD each, which a scan from an earlier record reads as part of the character. The window
// holds offset - 3 on, as far as the file has it.
std::size_t EndOfCharacterBegunBefore(const DataWindow &window, std::size_t offset)
{
    const unsigned char *data = window.Data() - window.Begin();
    if (offset >= window.End() || data[offset] < 0x80 || data[offset] >= 0xC0)
        return offset;
    for (std::size_t back = 1; back <= 3 && back <= offset - window.Begin(); ++back) {
        std::size_t length;
        DecodeUtf8(data + offset - back, window.End() - (offset - back), length);
        if (length > back)
            return offset - back + length;
    }
    return offset;
}

// Which markup a dictionary's articles carry when a phrase is looked for in their text as shown
// rather than in their bytes: tags, whose names and attributes no reader sees. None otherwise.
ArticleMarkup ShownMarkup(const Dictionary &dictionary)
{
    return MarkupHasTags(dictionary.Markup()) ? dictionary.Markup() : ArticleMarkup::None;
}

// The article at offset of a stored dictionary as GetArticle gives it, in UTF-8, read through
// the window. False when the file turns out cut or changed.
bool ReadStoredArticle(
    DataWindow &window, std::size_t offset, DictionaryEncoding encoding, std::string &text)
{
    text.clear();
    const std::size_t size = window.FileSize();
    if (offset >= size)
        return true;
    const std::size_t reach = std::min(size, offset + ArticleBytesMax(encoding));
    if (!window.Hold(offset, std::min(size, reach + 2)))
        return false;
    const unsigned char *data = window.Data() - window.Begin();
    const std::size_t end = ArticleEnd(data, size, offset, offset, encoding, reach);
    const char *bytes = reinterpret_cast<const char *>(data + offset);
    text = WithText(encoding,
        [&](auto dictionaryText) { return dictionaryText.ProgramText(bytes, end - offset); });
    return true;
}

// Whether the text from each of a run of ascending offsets to end is within GetArticle's length
// limit, the characters counted in one pass for them all: counted from each offset alone, the
// records of an article as long as the limit went over it once a record.
class ArticleLimitCheck
{
public:
    ArticleLimitCheck(const unsigned char *data, std::size_t end, DictionaryEncoding encoding)
        : text(reinterpret_cast<const char *>(data))
        , end(end)
        , encoding(encoding)
        , longest(ArticleBytesMax(encoding))
    {
    }

    bool Within(std::size_t offset)
    {
        if (end - offset <= ARTICLE_MAX)
            return true;
        if (end - offset > longest)
            return false;
        return WithText(encoding, [&](auto encoded) {
            if (!counted) {
                counted = true;
                cursor = offset;
                total = encoded.Count(text + offset, end - offset);
            }
            const char *at = text + cursor;
            for (; at < text + offset; ++passed)
                encoded.Read(at, text + end);
            cursor = static_cast<std::size_t>(at - text);
            // An offset inside the character read last reads each of its remaining bytes as a
            // character; from the character's end on, the text reads as it did.
            return cursor - offset + total - passed <= ARTICLE_MAX;
        });
    }

private:
    const char *const text;
    const std::size_t end;
    const DictionaryEncoding encoding;
    const std::size_t longest;
    bool counted = false;
    std::size_t cursor = 0; // where the characters counted from the first offset have reached
    std::size_t total = 0; // characters from the first offset to end
    std::size_t passed = 0; // characters from the first offset to cursor
};

// Every record's first occurrence at or after its offset decides it: the record matches when
// that occurrence lies inside its article. Records are taken in the order of their offsets, so
// one look for the phrase serves every record up to the place found, and the records sharing an
// article or a stretch without the phrase cost nothing more. Writes the occurrence of each
// matching record to firstAt, by index. False when the file changed under the scan.
bool ScanRecords(DataWindow &window, const PhraseFinder &needle, DictionaryEncoding encoding,
    const RecordKey *keys, std::size_t count, std::vector<std::uint32_t> &firstAt,
    const std::atomic<bool> &cancel)
{
    if (count == 0)
        return true;
    const std::size_t size = window.FileSize();
    const std::size_t longest = ArticleBytesMax(encoding);
    const std::size_t reach = needle.MaxMatchBytes();
    const auto OffsetOf = [keys](std::size_t k) { return static_cast<std::size_t>(keys[k] >> 32); };
    // No record here can take an occurrence that ends further than its longest article could:
    // past that the search belongs to the records after these.
    const std::size_t end = std::min(size, OffsetOf(count - 1) + longest);
    // Besides the occurrence, the window holds the bytes before it that its article may begin
    // with, and the two after it that tell whether the article ends there.
    const std::size_t held = std::min(size, end + 2);
    std::size_t k = 0;
    while (k < count && !cancel.load(std::memory_order_relaxed)) {
        const std::size_t offset = OffsetOf(k);
        if (offset >= size)
            break;
        std::size_t at = PhraseFinder::NOT_FOUND;
        std::size_t matchEnd = 0;
        for (std::size_t from = offset; !cancel.load(std::memory_order_relaxed);) {
            const std::size_t keep = std::max(offset, from > longest ? from - longest : 0);
            // Enough to make headway; the window reads on by a whole stretch when it must.
            if (!window.Hold(keep, std::min(held, from + reach + 3)))
                return false;
            const unsigned char *data = window.Data() - window.Begin();
            const std::size_t stop = std::min(end, window.End());
            at = needle.FindIn(data, std::max(offset, window.Begin()), from, stop, matchEnd);
            // An occurrence starting this far from the window's end lies in it whole, and so
            // does every earlier one: it is the first. The window may hold more than this part
            // needs: once it holds all of that, there is nothing further to look at.
            if (window.End() >= held || (at != PhraseFinder::NOT_FOUND && at + reach + 2 <= stop))
                break;
            at = PhraseFinder::NOT_FOUND;
            from = std::max(from + 1, stop - reach + 1);
        }
        if (at == PhraseFinder::NOT_FOUND)
            break;
        const unsigned char *data = window.Data() - window.Begin();
        // The articles that can hold the occurrence begin after the last line end before it.
        const std::size_t reachable = matchEnd > longest ? matchEnd - longest : 0;
        const std::size_t line = LineStart(data, std::max({offset, reachable, window.Begin()}), at);
        ArticleLimitCheck limit(data, matchEnd, encoding);
        for (; k < count; ++k) {
            const std::size_t own = OffsetOf(k);
            if (own > at)
                break;
            if (own < line || !limit.Within(own))
                continue;
            // A phrase ending in CR cannot take the one GetArticle drops.
            if (needle.EndsInCarriageReturn()
                && ArticleEnd(data, size, own, matchEnd - 1, encoding, matchEnd) < matchEnd)
                continue;
            firstAt[static_cast<std::uint32_t>(keys[k])] = static_cast<std::uint32_t>(at);
        }
    }
    if (!needle.BeginsWithReplacement())
        return true;
    // A record that begins inside a character may hold the phrase in the U+FFFD it reads
    // there, which the scan above, reading the character whole, did not see. Only an
    // occurrence starting in those few bytes is new: from the character's end on, the record
    // reads as the scan did.
    for (k = 0; k < count && !cancel.load(std::memory_order_relaxed); ++k) {
        const std::size_t own = OffsetOf(k);
        if (own >= size)
            break;
        if (!window.Hold(own > 3 ? own - 3 : 0, std::min(size, own + 4)))
            return false;
        const std::size_t broken = EndOfCharacterBegunBefore(window, own);
        if (broken == own)
            continue;
        const std::size_t last = std::min(size, broken - 1 + reach);
        if (!window.Hold(own > 3 ? own - 3 : 0, std::min(size, last + 2)))
            return false;
        const unsigned char *data = window.Data() - window.Begin();
        const std::size_t articleEnd = ArticleEnd(data, size, own, own, encoding, last);
        std::size_t matchEnd = 0;
        const std::size_t at = needle.FindIn(data, own, own, std::min(articleEnd, last), matchEnd);
        if (at < broken)
            firstAt[static_cast<std::uint32_t>(keys[k])] = static_cast<std::uint32_t>(at);
    }
    return true;
}

// What the text rules make of an installed dictionary's article as its source gives it (a dictd
// one's bytes, a StarDict one's fields decoded): the conversion to UTF-8 turns each ASCII byte into
// itself and every other byte or sequence into whole characters beyond ASCII; line ends become line
// breaks, and parts are joined by " | "; dropped lines and blanks, a cut end and a repeated part
// take text away. So an ASCII character other than a blank, a control and '|' is, wherever an
// article holds it, the same byte in the same run of such bytes in the source's article, unless a
// character beyond ASCII upper-cases to it (the dotless i, the long s): such a one is stored as its
// own UTF-8 bytes.
struct StoredCharacters
{
    std::array<bool, 128> kept{}; // ASCII characters that survive the rules as said
    std::array<std::string, 128> standIns; // the UTF-8 of the one beyond ASCII matching each
};

const StoredCharacters &Stored()
{
    static const StoredCharacters stored = [] {
        StoredCharacters s;
        for (unsigned char c = 0x21; c < 0x7F; ++c)
            s.kept[c] = c != '|';
        for (char32_t c = 0x80; c < UPPER_TABLE_LIMIT; ++c) {
            const char32_t upper = Utf8Text::Upper(c);
            if (upper >= 0x80)
                continue;
            // More than one would need more than one look for it.
            if (!s.standIns[upper].empty())
                s.kept[upper] = false;
            AppendUtf8(s.standIns[upper], c);
        }
        // A Windows-1251 byte that converts to something else would break the argument.
        for (unsigned byte = 0x80; byte < 0x100; ++byte) {
            const char c = static_cast<char>(byte);
            const std::string converted = AnsiToUtf8(&c, 1);
            if (converted.empty())
                return StoredCharacters();
            for (unsigned char a = 0; a < 0x80; ++a)
                if (converted.find(static_cast<char>(a)) != std::string::npos
                    || (!s.standIns[a].empty() && converted == s.standIns[a]))
                    s.kept[a] = false;
        }
        return s;
    }();
    return stored;
}

} // namespace

SourcePrefilter::SourcePrefilter(const std::string &phrase)
{
    const StoredCharacters &stored = Stored();
    const auto Kept = [&](char c) {
        return static_cast<unsigned char>(c) < 0x80 && stored.kept[static_cast<unsigned char>(c)];
    };
    std::size_t best = 0;
    std::size_t bestLength = 0;
    for (std::size_t i = 0; i < phrase.size();) {
        std::size_t end = i;
        while (end < phrase.size() && Kept(phrase[end]))
            ++end;
        if (end - i > bestLength) {
            best = i;
            bestLength = end - i;
        }
        i = end + 1;
    }
    piece = phrase.substr(best, bestLength);
    if (piece.empty())
        return;
    // The bytes are searched as Windows-1251 text, whose case rule for ASCII is UTF-8's.
    finder = MakePhraseFinder(DictionaryEncoding::Cp1251, piece);
    for (const char c : piece) {
        const std::string &standIn = stored.standIns[ToUpperByte(static_cast<unsigned char>(c))];
        if (!standIn.empty()
            && std::find(standIns.begin(), standIns.end(), standIn) == standIns.end())
            standIns.push_back(standIn);
    }
}

SourcePrefilter::~SourcePrefilter() = default;

bool SourcePrefilter::MayHold(std::string_view source) const
{
    if (!finder)
        return true;
    std::size_t end = 0;
    if (finder->FindIn(
            reinterpret_cast<const unsigned char *>(source.data()), 0, 0, source.size(), end)
        != PhraseFinder::NOT_FOUND)
        return true;
    return std::any_of(standIns.begin(), standIns.end(),
        [source](const std::string &standIn) { return source.find(standIn) != std::string::npos; });
}

namespace {

// A few words either side of the occurrence at [position, phraseEnd) of an article, in UTF-8,
// control bytes shown as blanks. shown holds the article's bytes from first on, at least from
// EXCERPT_BEFORE + 1 before the occurrence; it may stop short of the article's end once it
// reaches EXCERPT_AFTER + 2 bytes past the occurrence, and the article is then shown as cut.
std::string MakeExcerpt(std::string_view shown, std::size_t first, std::size_t position,
    std::size_t phraseEnd, DictionaryEncoding encoding)
{
    const std::size_t size = first + shown.size();
    const auto At = [&](std::size_t i) { return shown[i - first]; };
    position = std::min(position, size);
    phraseEnd = std::clamp(phraseEnd, position, size);
    std::size_t begin = position > EXCERPT_BEFORE ? position - EXCERPT_BEFORE : 0;
    std::size_t end = std::min(size, phraseEnd + EXCERPT_AFTER);
    // Cut at blanks where there are any, so that no word is shown in part.
    if (begin > 0)
        while (begin < position && At(begin - 1) != ' ')
            ++begin;
    if (end < size)
        while (end > phraseEnd && At(end) != ' ')
            --end;
    std::string text(shown.substr(begin - first, end - begin));
    for (char &c : text)
        c = static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    std::string excerpt = begin > 0 ? "..." : "";
    excerpt +=
        ReplaceLineBreaks(WithText(encoding,
                              [&text](auto dictionaryText) {
                                  return dictionaryText.ProgramText(text.data(), text.size());
                              }),
            " ");
    if (end < size)
        excerpt += "...";
    return excerpt;
}

// The excerpt of the occurrence at position in the article at offset, read now into room; the
// occurrence's end is found by matching it again, when needle is given, for its letters may be
// spelt longer or shorter than the phrase's. Empty when the file cannot be read there.
std::string ReadExcerptAt(const Dictionary &dictionary, std::size_t offset, std::size_t position,
    const PhraseFinder *needle, std::size_t phraseLength, std::string &room)
{
    const DictionaryEncoding encoding = dictionary.Encoding();
    const std::size_t longest = ArticleBytesMax(encoding);
    const std::size_t reach = needle ? needle->MaxMatchBytes() : phraseLength;
    // One byte beyond what ArticleEnd looks at tells a cut read from the file's end. The bytes
    // before the occurrence are read too when the article may be cut at its length in
    // characters before the excerpt's end, which only a count from its start can tell.
    const std::size_t wanted = std::min(longest, position + reach + EXCERPT_AFTER + 3);
    const std::size_t first =
        wanted > ARTICLE_MAX || position <= EXCERPT_BEFORE ? 0 : position - EXCERPT_BEFORE - 1;
    room.resize(wanted - first);
    const std::size_t got = dictionary.ReadData(offset + first, room.data(), room.size());
    const auto *data = reinterpret_cast<const unsigned char *>(room.data());
    const std::size_t at = position - first;
    // An occurrence may be shorter than the phrase, never empty.
    std::size_t matchEnd = at + phraseLength;
    if (got <= at || (needle ? needle->FindIn(data, at, at, got, matchEnd) != at : got < matchEnd))
        return std::string();
    // Counted from the article's start only when it was read from there.
    const std::size_t start = first == 0 ? 0 : at;
    const std::size_t last =
        ArticleEnd(data, got, start, matchEnd, encoding, matchEnd + EXCERPT_AFTER);
    return MakeExcerpt(
        std::string_view(room.data(), last), first, position, matchEnd + first, encoding);
}

// One dictionary's search, shared by the threads that take its parts: the first of them orders
// the records, each scans its share of the records; once every part is scanned, each gathers
// the matches of its share of the index.
class DictionaryScan
{
public:
    DictionaryScan(const Dictionary &dictionary, const std::string &phrase, bool withTexts,
        bool prefilter, std::size_t parts)
        : dictionary(dictionary)
        , phrase(phrase)
        , withTexts(withTexts)
        , prefilter(prefilter)
        , parts(parts)
        , partsLeft(parts)
        , gathersLeft(parts)
        , encoding(dictionary.Encoding())
        , shown(ShownMarkup(dictionary))
        , matches(parts)
    {
    }

    std::size_t Parts() const { return parts; }

    // room: the scanning thread's buffer for the data read.
    void ScanPart(
        std::size_t part, const std::atomic<bool> &cancel, std::vector<unsigned char> &room)
    {
        std::call_once(prepared, [this] { Prepare(); });
        if (needle && dictionary.GetSource()) {
            ScanSource(part, cancel);
        } else if (needle && shown != ArticleMarkup::None) {
            ScanTagged(cancel);
        } else if (needle) {
            const std::size_t begin = keys.size() * part / parts;
            const std::size_t end = keys.size() * (part + 1) / parts;
            DataWindow window(dictionary, READ_BYTES, &room);
            if (!ScanRecords(
                    window, *needle, encoding, keys.data() + begin, end - begin, firstAt, cancel))
                changed = true;
        }
        if (partsLeft.fetch_sub(1) != 1)
            return;
        std::vector<RecordKey>().swap(keys);
        if (needle && dictionary.GetSource())
            MergeKept();
        {
            const std::lock_guard<std::mutex> lock(mutex);
            scanned = true;
        }
        allScanned.notify_all();
    }

    // Waits for every part to be scanned. True for the part gathered last: the matches are
    // complete then.
    bool GatherPart(std::size_t part, const std::atomic<bool> &cancel)
    {
        {
            std::unique_lock<std::mutex> lock(mutex);
            allScanned.wait(lock, [this] { return scanned; });
        }
        const std::size_t count = firstAt.size();
        if (!changed && !dictionary.GetSource() && shown == ArticleMarkup::None)
            Gather(count * part / parts, count * (part + 1) / parts, matches[part], cancel);
        else if (needle && dictionary.GetSource())
            MakeFarRecords(part);
        if (gathersLeft.fetch_sub(1) != 1)
            return false;
        if (needle && (dictionary.GetSource() || shown != ArticleMarkup::None))
            GatherHits();
        std::vector<std::uint32_t>().swap(firstAt);
        // Read to the end, the file may still have been written over in a place read before.
        if (changed || (needle && dictionary.DataChanged())) {
            logFile.WriteHeader(LOG_WARNING, "ArticleSearch::Run");
            logFile.Printf("Data file of dictionary ID=0x%x changed during the search",
                static_cast<unsigned>(dictionary.GetId()));
            matches.assign(1, ArticleMatches(dictionary.GetId(), needle));
            matches[0].SetFileChanged();
        }
        return true;
    }

    // The matches in index order, in as many sets as there are parts.
    std::vector<ArticleMatches> TakeMatches() { return std::move(matches); }

private:
    struct Hit
    {
        std::int32_t index;
        std::uint32_t position;
        std::string excerpt;
    };

    void Prepare()
    {
        // Text as shown is UTF-8 whatever the dictionary's encoding.
        const std::optional<std::string> own = shown != ArticleMarkup::None
            ? std::optional<std::string>(phrase)
            : PhraseInDictionaryText(dictionary, phrase);
        // No article holds a line end or a zero byte: GetArticle stops at them.
        if (own && !own->empty() && own->find_first_of(std::string("\n\0", 2)) == std::string::npos
            && dictionary.DataSize() > 0)
            needle = MakePhraseFinder(
                shown != ArticleMarkup::None ? DictionaryEncoding::Utf8 : encoding, *own);
        for (ArticleMatches &set : matches)
            set = needle ? ArticleMatches(dictionary.GetId(), needle)
                         : ArticleMatches(dictionary.GetId(), own ? own->size() : 0);
        if (!needle)
            return;
        partHits.resize(parts);
        if (const SourceDictionary *source = dictionary.GetSource()) {
            // Tags and entities may spell a piece of the phrase otherwise than the text shows it.
            if (prefilter && shown == ArticleMarkup::None)
                sifter = std::make_unique<SourcePrefilter>(*own);
            // Each part takes the records whose articles lie in one stretch of the data file,
            // read through a reader of its own, so that the parts inflate different chunks.
            // The parts of a record whose parts lie far apart are read by the part whose stretch
            // holds them, and the record made once every part is read.
            const std::size_t count = dictionary.GetWordCount();
            std::vector<std::pair<std::uint64_t, std::int32_t>> order;
            order.reserve(count);
            std::vector<std::uint32_t> farRecords;
            for (std::size_t i = 0; i < count; ++i) {
                const auto record = static_cast<std::uint32_t>(
                    dictionary.GetArticleOffset(static_cast<std::int32_t>(i)));
                std::uint64_t place;
                if (source->NearPlace(record, place)) {
                    order.emplace_back(place, static_cast<std::int32_t>(i));
                } else {
                    farIndexes.push_back(static_cast<std::int32_t>(i));
                    farRecords.push_back(record);
                }
            }
            std::sort(order.begin(), order.end());
            placeOrder.reserve(order.size());
            indexOrder.reserve(order.size());
            for (const auto &[place, index] : order) {
                placeOrder.emplace_back(
                    place, static_cast<std::uint32_t>(dictionary.GetArticleOffset(index)));
                indexOrder.push_back(index);
            }
            const SourceDictionary::Placed farParts = source->PartsOf(farRecords);
            partExtra.resize(parts);
            kept.resize(parts);
            for (std::size_t part = 0, next = 0; part < parts; ++part) {
                const std::size_t end = order.size() * (part + 1) / parts;
                const std::uint64_t bound =
                    part + 1 == parts || end >= order.size() ? UINT64_MAX : order[end].first;
                for (; next < farParts.size() && farParts[next].first < bound; ++next)
                    partExtra[part].push_back(farParts[next]);
            }
            return;
        }

        const auto count = static_cast<std::int32_t>(dictionary.GetWordCount());
        keys.reserve(static_cast<std::size_t>(count));
        bool ascending = true;
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t offset = dictionary.GetArticleOffset(i);
            // A negative offset is one GetArticle cannot seek to.
            if (offset < 0)
                continue;
            const RecordKey key =
                static_cast<RecordKey>(offset) << 32 | static_cast<std::uint32_t>(i);
            ascending = ascending && (keys.empty() || key > keys.back());
            keys.push_back(key);
        }
        // Articles are usually stored in index order, and then the keys are sorted already.
        if (!ascending)
            SortByOffset(keys);
        firstAt.assign(static_cast<std::size_t>(count), NO_HIT);
    }

    // Looks for the phrase in an article's text: as the dictionary gives it out, or as it is
    // shown for a dictionary of tags.
    // The caller gives the occurrence its record's index.
    std::optional<Hit> Look(const std::string &text) const
    {
        std::size_t matchEnd = 0;
        const auto *data = reinterpret_cast<const unsigned char *>(text.data());
        const std::size_t at = needle->FindIn(data, 0, 0, text.size(), matchEnd);
        if (at == PhraseFinder::NOT_FOUND)
            return std::nullopt;
        return Hit{0, static_cast<std::uint32_t>(at),
            withTexts ? MakeExcerpt(text, 0, at, matchEnd, DictionaryEncoding::Utf8)
                      : std::string()};
    }

    void Look(std::int32_t index, const std::string &text, std::vector<Hit> &hits) const
    {
        if (std::optional<Hit> hit = Look(text)) {
            hit->index = index;
            hits.push_back(std::move(*hit));
        }
    }

    // An installed dictionary's articles are made one by one through a reader of the part's own,
    // in the order of their places in the data file so that each chunk is inflated once.
    void ScanSource(std::size_t part, const std::atomic<bool> &cancel)
    {
        const SourceDictionary &source = *dictionary.GetSource();
        DictzipFile reader;
        std::string error;
        if (!reader.Open(source.DataPath(), error))
            return;
        const std::size_t begin = placeOrder.size() * part / parts;
        const std::size_t end = placeOrder.size() * (part + 1) / parts;
        const SourceDictionary::Placed records(
            placeOrder.begin() + static_cast<std::ptrdiff_t>(begin),
            placeOrder.begin() + static_cast<std::ptrdiff_t>(end));
        std::string skipped;
        // Only the articles whose source text holds a piece of the phrase that the text rules
        // keep whole are made, when the phrase has one.
        const auto mayHold = [this](const std::string &text) { return sifter->MayHold(text); };
        if (!source.ReadPass(reader, records, partExtra[part],
                Taker(indexOrder.data() + begin, part), cancel, skipped, kept[part],
                sifter && sifter->Active() ? SourceDictionary::MayHold(mayHold) : nullptr,
                shown == ArticleMarkup::None ? OneTaker(indexOrder.data() + begin, part) : nullptr))
            stopped = true;
    }

    // Records of one part sharing an article come one after another, and read alike when its
    // first line goes or stays alike: found or not alike, at the same place.
    SourceDictionary::TakeOne OneTaker(const std::int32_t *indexes, std::size_t part)
    {
        return [this, indexes, part, lastArticle = UINT32_MAX, lastDrop = false,
                   lastHit = std::optional<Hit>(), prefix = std::string(),
                   text = std::string()](std::size_t k, ArticlePart one,
                   const std::string &converted, bool whole) mutable {
            if (!whole || one.article != lastArticle || one.dropFirstLine != lastDrop) {
                std::optional<Hit> hit;
                if (!LookEarly(one, converted, whole, prefix, text, hit))
                    return false;
                if (whole) {
                    lastArticle = one.article;
                    lastDrop = one.dropFirstLine;
                    lastHit = hit;
                } else {
                    lastArticle = UINT32_MAX;
                    lastHit = std::nullopt;
                }
                if (hit)
                    partHits[part].push_back({indexes[k], hit->position, std::move(hit->excerpt)});
                return true;
            }
            if (lastHit)
                partHits[part].push_back({indexes[k], lastHit->position, lastHit->excerpt});
            return true;
        };
    }

    // Looks for the phrase in the text ComposeArticle makes of one part, made only as far as the
    // first occurrence and its excerpt need: the text rules go line by line, and in a long
    // article a common word lies near the start. prefix and text are room to work in.
    //
    // A text made of the lines before a line end L followed by "!", when some line after L has
    // text, is the whole text's start, its lines, the line breaks after them and the "!": the
    // first line is not trimmed as an article of one line is, and a cut to the longest article
    // falls on what both hold. Taken without the "!", it settles the first occurrence when one
    // lies in it far enough from its end that no earlier one can reach past it.
    //
    // whole: whether the part is the record's only one; otherwise its text is the start of the
    // record's, and when the part's text alone does not settle the occurrence nothing is settled.
    // Returns whether it was settled, hit then holding the occurrence if there is one.
    bool LookEarly(ArticlePart one, const std::string &converted, bool whole, std::string &prefix,
        std::string &text, std::optional<Hit> &hit) const
    {
        const std::size_t size = converted.size();
        const auto *bytes = reinterpret_cast<const unsigned char *>(converted.data());
        const std::size_t reach = needle->MaxMatchBytes();
        const auto LineEndFrom = [&](std::size_t from) {
            const void *end = from < size ? std::memchr(bytes + from, '\n', size - from) : nullptr;
            return end
                ? static_cast<std::size_t>(static_cast<const unsigned char *>(end) - bytes) + 1
                : size;
        };
        const auto TextFollows = [&](std::size_t from) {
            return std::any_of(
                bytes + from, bytes + size, [](unsigned char c) { return c > 0x20; });
        };
        std::size_t characters = 0;
        std::size_t matchEnd = 0;
        // Where the phrase lies before the rules tells how far to make the text first.
        std::size_t at = needle->FindIn(bytes, 0, 0, size, matchEnd);
        std::size_t end = at == PhraseFinder::NOT_FOUND
            ? size
            : LineEndFrom(matchEnd + reach + EXCERPT_AFTER + EXCERPT_SLACK);
        for (; end < size && TextFollows(end); end = LineEndFrom(2 * end)) {
            prefix.assign(converted, 0, end);
            prefix += '!';
            ComposeArticle(one, prefix, DictionaryEncoding::Utf8, text, characters);
            // Cut short of the "!": the whole text as it is cut.
            if (characters > MAX_ARTICLE) {
                hit = Look(text);
                return true;
            }
            text.pop_back();
            const auto *data = reinterpret_cast<const unsigned char *>(text.data());
            at = needle->FindIn(data, 0, 0, text.size(), matchEnd);
            if (at != PhraseFinder::NOT_FOUND && at + reach <= text.size()
                && matchEnd + EXCERPT_AFTER + 2 <= text.size()) {
                hit = Hit{0, static_cast<std::uint32_t>(at),
                    withTexts ? MakeExcerpt(text, 0, at, matchEnd, DictionaryEncoding::Utf8)
                              : std::string()};
                return true;
            }
        }
        if (!whole)
            return false;
        ComposeArticle(one, converted, DictionaryEncoding::Utf8, text, characters);
        hit = Look(text);
        return true;
    }

    // Hands each article made to Look for the record whose index is at its position in indexes.
    SourceDictionary::Take Taker(const std::int32_t *indexes, std::size_t part)
    {
        // Records sharing an article come one after another with the same text, and are
        // found or not alike, at the same place.
        return [this, indexes, part, shownText = std::string(), last = std::string(),
                   lastHit = std::optional<Hit>()](
                   std::size_t k, bool read, const std::string &article) mutable {
            if (!read)
                return;
            std::vector<Hit> &hits = partHits[part];
            if (last.empty() || article != last) {
                last = article;
                const std::size_t before = hits.size();
                Look(indexes[k],
                    shown == ArticleMarkup::None ? article
                                                 : (shownText = PlainText(article, shown)),
                    hits);
                lastHit = hits.size() > before ? std::optional<Hit>(hits.back()) : std::nullopt;
            } else if (lastHit) {
                hits.push_back({indexes[k], lastHit->position, lastHit->excerpt});
            }
        };
    }

    // Once every part is read: what the parts kept of the records whose parts lie far apart, in
    // the first part's.
    void MergeKept()
    {
        if (farIndexes.empty() || stopped)
            return;
        for (std::size_t part = 1; part < kept.size(); ++part) {
            kept[0].texts.merge(kept[part].texts);
            kept[0].accepted.merge(kept[part].accepted);
        }
    }

    // A share of the records whose parts lie far apart, made from what the parts kept: a large
    // dictionary has tens of thousands, a tenth of its search, made on every thread at once.
    void MakeFarRecords(std::size_t part)
    {
        if (farIndexes.empty() || stopped)
            return;
        const std::size_t begin = farIndexes.size() * part / parts;
        const std::size_t end = farIndexes.size() * (part + 1) / parts;
        std::vector<std::uint32_t> records(end - begin);
        for (std::size_t k = 0; k < records.size(); ++k)
            records[k] =
                static_cast<std::uint32_t>(dictionary.GetArticleOffset(farIndexes[begin + k]));
        dictionary.GetSource()->MakeKept(records, kept[0], Taker(farIndexes.data() + begin, part),
            shown == ArticleMarkup::None ? OneTaker(farIndexes.data() + begin, part) : nullptr);
    }

    // A dictionary of tags' articles are read in the order they lie in the data file and looked
    // at in their text as shown. Records sharing an article (synonyms, merged headwords) come
    // one after another: its text is made once for them all.
    void ScanTagged(const std::atomic<bool> &cancel)
    {
        DataWindow window(dictionary);
        std::string article;
        std::string shownText;
        std::size_t read = SIZE_MAX;
        for (const RecordKey key : keys) {
            if (cancel.load(std::memory_order_relaxed)) {
                stopped = true;
                return;
            }
            const auto offset = static_cast<std::size_t>(key >> 32);
            if (offset != read) {
                if (!ReadStoredArticle(window, offset, encoding, article)) {
                    changed = true;
                    return;
                }
                shownText = PlainText(article, shown);
                read = offset;
            }
            Look(
                static_cast<std::int32_t>(static_cast<std::uint32_t>(key)), shownText, partHits[0]);
        }
    }

    // The parts' matches in index order; none when a part was stopped.
    void GatherHits()
    {
        std::vector<Hit> hits;
        for (std::vector<Hit> &own : partHits) {
            if (!stopped && !changed)
                std::move(own.begin(), own.end(), std::back_inserter(hits));
            std::vector<Hit>().swap(own);
        }
        SourceDictionary::Placed().swap(placeOrder);
        std::vector<std::int32_t>().swap(indexOrder);
        std::vector<std::int32_t>().swap(farIndexes);
        std::vector<SourceDictionary::Placed>().swap(partExtra);
        std::vector<SourceDictionary::KeptParts>().swap(kept);
        std::sort(
            hits.begin(), hits.end(), [](const Hit &a, const Hit &b) { return a.index < b.index; });
        for (const Hit &hit : hits) {
            matches[0].Add(hit.index, hit.position);
            if (withTexts)
                matches[0].AddTexts(dictionary.GetWord(hit.index), hit.excerpt);
        }
    }

    void Gather(std::size_t begin, std::size_t end, ArticleMatches &matches,
        const std::atomic<bool> &cancel)
    {
        std::string room;
        for (auto i = static_cast<std::int32_t>(begin);
             i < static_cast<std::int32_t>(end) && !cancel.load(std::memory_order_relaxed); ++i) {
            const std::uint32_t at = firstAt[static_cast<std::size_t>(i)];
            if (at == NO_HIT)
                continue;
            const auto offset = static_cast<std::size_t>(dictionary.GetArticleOffset(i));
            matches.Add(i, static_cast<std::uint32_t>(at - offset));
            if (!withTexts)
                continue;
            const std::string excerpt =
                ReadExcerptAt(dictionary, offset, at - offset, needle.get(), needle->Size(), room);
            // The file changed since the scan read that place.
            if (excerpt.empty())
                changed = true;
            matches.AddTexts(dictionary.GetWord(i), excerpt);
        }
    }

    const Dictionary &dictionary;
    const std::string &phrase;
    const bool withTexts;
    const bool prefilter;
    const std::size_t parts;
    std::atomic<std::size_t> partsLeft;
    std::atomic<std::size_t> gathersLeft;
    std::once_flag prepared;
    std::mutex mutex;
    std::condition_variable allScanned;
    bool scanned = false;
    std::atomic<bool> changed{false};
    const DictionaryEncoding encoding;
    const ArticleMarkup shown; // None when the articles' bytes are searched
    std::shared_ptr<const PhraseFinder> needle;
    std::unique_ptr<SourcePrefilter> sifter;
    // An installed dictionary's records, each with its place, and their indexes, as its data
    // lies.
    SourceDictionary::Placed placeOrder;
    std::vector<std::int32_t> indexOrder;
    // Its records whose parts lie far apart, by index; each part's stretch's share of their
    // parts, and what each part kept of them.
    std::vector<std::int32_t> farIndexes;
    std::vector<SourceDictionary::Placed> partExtra;
    std::vector<SourceDictionary::KeptParts> kept;
    // The matches found in articles looked at one by one, by part, till all are in.
    std::vector<std::vector<Hit>> partHits;
    std::atomic<bool> stopped{false};
    std::vector<RecordKey> keys;
    std::vector<std::uint32_t> firstAt;
    std::vector<ArticleMatches> matches;
};

} // namespace

std::string_view ArticleMatches::Headword(std::size_t i) const
{
    return i < texts.size() ? std::string_view(text).substr(texts[i].start, texts[i].headwordLength)
                            : std::string_view();
}

std::string_view ArticleMatches::Excerpt(std::size_t i) const
{
    return i < texts.size() ? std::string_view(text).substr(
               texts[i].start + texts[i].headwordLength, texts[i].excerptLength)
                            : std::string_view();
}

void ArticleMatches::Add(std::int32_t index, std::uint32_t position)
{
    hits.push_back({index, position});
}

void ArticleMatches::AddTexts(std::string_view headword, std::string_view excerpt)
{
    constexpr std::size_t LIMIT = 0xFFFF;
    headword = headword.substr(0, LIMIT);
    excerpt = excerpt.substr(0, LIMIT);
    texts.resize(hits.size() - 1);
    texts.push_back({text.size(), static_cast<std::uint16_t>(headword.size()),
        static_cast<std::uint16_t>(excerpt.size())});
    text.append(headword).append(excerpt);
}

void ArticleMatches::Clear()
{
    std::vector<Hit>().swap(hits);
    std::vector<Texts>().swap(texts);
    std::string().swap(text);
}

std::string ReadExcerpt(const Dictionary &dictionary, const ArticleMatches &matches, std::size_t i)
{
    const ArticleMarkup shown = ShownMarkup(dictionary);
    if (SourceDictionary *source = dictionary.GetSource(); source || shown != ArticleMarkup::None) {
        const std::int32_t offset = dictionary.GetArticleOffset(matches.Index(i));
        std::string article;
        std::string error;
        // One article for one row in sight: read no further than it may reach.
        DataWindow window(dictionary, 0);
        if (source)
            source->Article(static_cast<std::uint32_t>(offset), article, error);
        else if (offset < 0
            || !ReadStoredArticle(
                window, static_cast<std::size_t>(offset), dictionary.Encoding(), article))
            return std::string();
        article = PlainText(article, shown);
        const std::size_t position = matches.Position(i);
        std::size_t matchEnd = position + matches.PhraseLength();
        // The occurrence's letters may be spelt longer or shorter than the phrase's.
        if (matches.Finder()
            && matches.Finder()->FindIn(reinterpret_cast<const unsigned char *>(article.data()), 0,
                   position, article.size(), matchEnd)
                != position)
            return std::string();
        return MakeExcerpt(article, 0, position, matchEnd, DictionaryEncoding::Utf8);
    }
    const std::int32_t offset = dictionary.GetArticleOffset(matches.Index(i));
    if (offset < 0)
        return std::string();
    std::string room;
    return ReadExcerptAt(dictionary, static_cast<std::size_t>(offset), matches.Position(i),
        matches.Finder(), matches.PhraseLength(), room);
}

ArticleMatches::ArticleMatches(std::uint32_t dicId, std::shared_ptr<const PhraseFinder> finder)
    : dicId(dicId)
    , phraseLength(finder ? finder->Size() : 0)
    , finder(std::move(finder))
{
}

ArticleSearch::ArticleSearch(const Database &database, const std::string &phrase, bool withTexts)
    : phrase(phrase)
    , withTexts(withTexts)
{
    for (std::int32_t i = 0; i < database.GetCount(); ++i)
        dictionaries.push_back(database.GetDictionary(i));
}

ArticleSearch::ArticleSearch(
    std::vector<const Dictionary *> dictionaries, const std::string &phrase, bool withTexts)
    : dictionaries(std::move(dictionaries))
    , phrase(phrase)
    , withTexts(withTexts)
{
}

bool ArticleSearch::Run(
    const Sink &sink, const std::atomic<bool> &cancel, unsigned threads, const Progress &progress)
{
    const std::size_t count = dictionaries.size();
    if (threads == 0)
        threads = std::clamp(std::thread::hardware_concurrency(), 1U, MAX_THREADS);

    std::vector<std::uint64_t> sizes(count);
    std::uint64_t total = 0;
    // Large data files are scanned in parts, so that the first dictionary's results come soon
    // whatever its size and every thread has work.
    std::vector<std::unique_ptr<DictionaryScan>> scans;
    struct Task
    {
        std::size_t dictionary;
        std::size_t part;
        bool gather; // else scan
    };
    std::vector<Task> tasks;
    for (std::size_t d = 0; d < count; ++d) {
        total += sizes[d] = dictionaries[d]->DataSize();
        // An installed dictionary's articles cost far more a byte, each made by the text rules;
        // but a part reads the parts of its records that lie in other parts' stretches too, so
        // there are no more of them than threads to take them at once. A dictionary of tags is
        // read in one pass.
        const bool source = dictionaries[d]->GetSource() != nullptr;
        const std::size_t parts = ShownMarkup(*dictionaries[d]) != ArticleMarkup::None && !source
            ? 1
            : std::clamp<std::size_t>(
                static_cast<std::size_t>(sizes[d] / (source ? SOURCE_PART_BYTES : PART_BYTES)), 1,
                source ? threads : MAX_PARTS);
        scans.push_back(std::make_unique<DictionaryScan>(
            *dictionaries[d], phrase, withTexts, prefilter, parts));
        for (const bool gather : {false, true})
            for (std::size_t part = 0; part < parts; ++part)
                tasks.push_back({d, part, gather});
    }

    // Parts are handed out in order, a dictionary's scans before its gathers, so that a gather
    // waits only for scans already running. Each dictionary's matches wait in its slot until
    // every dictionary before it has gone to the sink, which only this thread calls.
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::optional<std::vector<ArticleMatches>>> slots(count);
    std::size_t next = 0;
    const auto TakeAndScan = [&](std::vector<unsigned char> &room) -> bool {
        std::size_t task;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (next >= tasks.size() || cancel.load())
                return false;
            task = next++;
        }
        const std::size_t d = tasks[task].dictionary;
        if (!tasks[task].gather) {
            scans[d]->ScanPart(tasks[task].part, cancel, room);
            return true;
        }
        if (!scans[d]->GatherPart(tasks[task].part, cancel))
            return true;
        std::vector<ArticleMatches> matches = scans[d]->TakeMatches();
        {
            std::lock_guard<std::mutex> lock(mutex);
            slots[d] = std::move(matches);
        }
        finished.notify_all();
        return true;
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t)
        helpers.emplace_back([&] {
            std::vector<unsigned char> room;
            while (TakeAndScan(room)) { }
        });

    std::uint64_t done = 0;
    std::vector<unsigned char> room;
    for (std::size_t delivered = 0; delivered < count && !cancel.load();) {
        std::unique_lock<std::mutex> lock(mutex);
        if (slots[delivered]) {
            std::vector<ArticleMatches> matches = std::move(*slots[delivered]);
            slots[delivered].reset();
            lock.unlock();
            if (!cancel.load()) {
                for (ArticleMatches &set : matches)
                    if (!cancel.load())
                        sink(std::move(set));
                done += sizes[delivered];
                if (progress)
                    progress(done, total);
            }
            ++delivered;
        } else if (next < tasks.size()) {
            lock.unlock();
            TakeAndScan(room);
        } else {
            // The cancel flag is not watched by the condition: a cancelled scan still ends and
            // fills its slot.
            finished.wait(lock, [&] { return slots[delivered].has_value(); });
        }
    }
    for (std::thread &helper : helpers)
        helper.join();
    return !cancel.load();
}
