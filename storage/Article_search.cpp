#include "Article_search.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "storage/Database.h"
#include "storage/Text_encoding.h"
#include "support/Utils.h"

namespace {

constexpr std::size_t NOT_FOUND = static_cast<std::size_t>(-1);
// Dictionary::GetArticle reads at most this many characters of a line.
constexpr std::size_t ARTICLE_MAX = 99999;
// Bytes of the article shown before and after the phrase in an excerpt.
constexpr std::size_t EXCERPT_BEFORE = 40;
constexpr std::size_t EXCERPT_AFTER = 60;
constexpr unsigned MAX_THREADS = 4;
constexpr std::uint64_t PART_BYTES = 8 << 20;
constexpr std::size_t MAX_PARTS = 16;

// How often a byte turns up in dictionary text, roughly (0 rare .. 9 everywhere): the phrase is
// looked for by its two rarest bytes, which leaves the fewest places to compare in full.
int Commonness(unsigned char folded)
{
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        t[' '] = 9;
        for (const char *c = "ETAOINSR"; *c; ++c)
            t[static_cast<unsigned char>(*c)] = 8;
        for (const char *c = "HDLUCMFPGWYB"; *c; ++c)
            t[static_cast<unsigned char>(*c)] = 6;
        for (const char *c = ".,;()"; *c; ++c)
            t[static_cast<unsigned char>(*c)] = 5;
        // Cyrillic upper-case letters, the common ones first: О Е А И Н Т С Р В Л.
        for (const char *c = "\xCE\xC5\xC0\xC8\xCD\xD2\xD1\xD0\xC2\xCB"; *c; ++c)
            t[static_cast<unsigned char>(*c)] = 8;
        for (const char *c = "\xCA\xCC\xC4\xCF\xD3\xDF\xDB\xDC\xC3\xC7\xC1"; *c; ++c)
            t[static_cast<unsigned char>(*c)] = 6;
        return t;
    }();
    return table[folded];
}

// Finds a phrase in a dictionary's raw bytes, letter case ignored by the dictionary's rule.
class PhraseFinder
{
public:
    virtual ~PhraseFinder() = default;
    // Bytes of the phrase as the dictionary spells it.
    virtual std::size_t Size() const = 0;
    virtual bool EndsInCarriageReturn() const = 0;
    // The first place in [from, end) where the whole phrase lies, or NOT_FOUND; matchEnd
    // receives where that occurrence ends.
    virtual std::size_t FindIn(const unsigned char *data, std::size_t from, std::size_t end,
        std::size_t &matchEnd) const = 0;
};

// Windows-1251: one byte a character, ToUpper's rule.
class Cp1251Finder : public PhraseFinder
{
public:
    explicit Cp1251Finder(std::string_view phrase)
    {
        for (unsigned c = 0; c < 256; ++c)
            fold[c] = ToUpperByte(static_cast<unsigned char>(c));
        for (const char c : phrase)
            folded += static_cast<char>(fold[static_cast<unsigned char>(c)]);
        // Positions of the two rarest bytes; a one-byte phrase uses its byte twice.
        std::vector<std::size_t> order(folded.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
            return Commonness(Byte(a)) < Commonness(Byte(b));
        });
        first = order[0];
        second = order.size() > 1 ? order[1] : order[0];
        firstForms = Forms(Byte(first));
        secondForms = Forms(Byte(second));
    }

    std::size_t Size() const override { return folded.size(); }
    bool EndsInCarriageReturn() const override { return folded.back() == '\r'; }

    std::size_t FindIn(const unsigned char *data, std::size_t from, std::size_t end,
        std::size_t &matchEnd) const override
    {
        const std::size_t at = Find(data, from, end);
        matchEnd = at + folded.size();
        return at;
    }

private:
    std::size_t Find(const unsigned char *data, std::size_t from, std::size_t end) const
    {
        const std::size_t length = folded.size();
        if (end < length || from > end - length)
            return NOT_FOUND;
        const std::size_t last = end - length;
        std::size_t s = from;
#ifdef __SSE2__
        // Sixteen starting places at a time, each kept only when both of its rare bytes are
        // there in either case; the loads stay inside [from, end) as the last start allows.
        const __m128i a1 = _mm_set1_epi8(static_cast<char>(firstForms[0]));
        const __m128i b1 = _mm_set1_epi8(static_cast<char>(firstForms[1]));
        const __m128i a2 = _mm_set1_epi8(static_cast<char>(secondForms[0]));
        const __m128i b2 = _mm_set1_epi8(static_cast<char>(secondForms[1]));
        for (; s + 16 <= last + 1; s += 16) {
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + s + first));
            const __m128i v2 =
                _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + s + second));
            const __m128i hit1 = _mm_or_si128(_mm_cmpeq_epi8(v1, a1), _mm_cmpeq_epi8(v1, b1));
            const __m128i hit2 = _mm_or_si128(_mm_cmpeq_epi8(v2, a2), _mm_cmpeq_epi8(v2, b2));
            auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(hit1, hit2)));
            while (mask) {
                const std::size_t at = s + static_cast<std::size_t>(__builtin_ctz(mask));
                if (MatchesAt(data + at))
                    return at;
                mask &= mask - 1;
            }
        }
#endif
        for (; s <= last; ++s)
            if (MatchesAt(data + s))
                return s;
        return NOT_FOUND;
    }

    unsigned char Byte(std::size_t i) const
    {
        return static_cast<unsigned char>(folded[i]);
    }

    // The bytes that upper-case to this one: itself and, for a letter, its small form.
    std::array<unsigned char, 2> Forms(unsigned char upper) const
    {
        std::array<unsigned char, 2> forms{upper, upper};
        for (unsigned c = 0; c < 256; ++c)
            if (c != upper && fold[c] == upper)
                forms[1] = static_cast<unsigned char>(c);
        return forms;
    }

    bool MatchesAt(const unsigned char *at) const
    {
        for (std::size_t k = 0; k < folded.size(); ++k)
            if (fold[at[k]] != static_cast<unsigned char>(folded[k]))
                return false;
        return true;
    }

    std::array<unsigned char, 256> fold{};
    std::string folded;
    std::size_t first = 0;
    std::size_t second = 0;
    std::array<unsigned char, 2> firstForms{};
    std::array<unsigned char, 2> secondForms{};
};

// Every character whose capital differs from it, by that capital: the forms a capital of the
// phrase can take in an article. Made once, on first use.
const std::multimap<char32_t, char32_t> &SmallForms()
{
    static const std::multimap<char32_t, char32_t> forms = [] {
        std::multimap<char32_t, char32_t> map;
        for (char32_t c = 0; c < UPPER_TABLE_LIMIT; ++c)
            if (Utf8Text::Upper(c) != c)
                map.emplace(Utf8Text::Upper(c), c);
        return map;
    }();
    return forms;
}

// UTF-8: characters of several bytes, Unicode's simple upper case. A place is compared in full
// only where the first character of the phrase may begin, in any of its forms: its first byte,
// and its second byte when every form has one.
class Utf8Finder : public PhraseFinder
{
public:
    explicit Utf8Finder(std::string_view phrase)
        : bytes(phrase.size())
        , endsInCarriageReturn(!phrase.empty() && phrase.back() == '\r')
    {
        const char *at = phrase.data();
        const char *const end = at + phrase.size();
        while (at < end)
            folded.push_back(Utf8Text::Upper(Utf8Text::Read(at, end)));
        std::vector<std::string> forms;
        std::string form;
        AppendUtf8(form, folded[0]);
        forms.push_back(form);
        const auto [first, last] = SmallForms().equal_range(folded[0]);
        for (auto small = first; small != last; ++small) {
            form.clear();
            AppendUtf8(form, small->second);
            forms.push_back(form);
        }
        bool allLong = true;
        for (const std::string &f : forms) {
            leads[static_cast<unsigned char>(f[0])] = true;
            allLong = allLong && f.size() > 1;
        }
        for (const std::string &f : forms)
            seconds[allLong ? static_cast<unsigned char>(f[1]) : 0] = true;
        if (!allLong)
            seconds.fill(true);
        // U+FFFD also stands for every byte that is not well-formed UTF-8.
        if (folded[0] == 0xFFFD) {
            leads.fill(true);
            seconds.fill(true);
        }
        for (unsigned c = 0; c < 256; ++c)
            if (leads[c] && leadCount < leadBytes.size())
                leadBytes[leadCount++] = static_cast<unsigned char>(c);
            else if (leads[c])
                leadCount = leadBytes.size() + 1;
    }

    std::size_t Size() const override { return bytes; }
    bool EndsInCarriageReturn() const override { return endsInCarriageReturn; }

    std::size_t FindIn(const unsigned char *data, std::size_t from, std::size_t end,
        std::size_t &matchEnd) const override
    {
        std::size_t s = from;
#ifdef __SSE2__
        // Sixteen places at a time against the few first bytes the phrase can begin with.
        if (leadCount <= leadBytes.size()) {
            __m128i lead[4];
            for (std::size_t k = 0; k < 4; ++k)
                lead[k] = _mm_set1_epi8(static_cast<char>(leadBytes[std::min(k, leadCount - 1)]));
            for (; s + 16 <= end; s += 16) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + s));
                const __m128i hit = _mm_or_si128(
                    _mm_or_si128(_mm_cmpeq_epi8(v, lead[0]), _mm_cmpeq_epi8(v, lead[1])),
                    _mm_or_si128(_mm_cmpeq_epi8(v, lead[2]), _mm_cmpeq_epi8(v, lead[3])));
                for (auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask;
                     mask &= mask - 1) {
                    const std::size_t at = s + static_cast<std::size_t>(__builtin_ctz(mask));
                    if ((at + 1 >= end || seconds[data[at + 1]])
                        && MatchesAt(data, at, from, end, matchEnd))
                        return at;
                }
            }
        }
#endif
        for (; s < end; ++s) {
            // Lead bytes are rare in most text: memchr-speed skipping is left to the table.
            if (!leads[data[s]] || (s + 1 < end && !seconds[data[s + 1]]))
                continue;
            if (MatchesAt(data, s, from, end, matchEnd))
                return s;
        }
        return NOT_FOUND;
    }

private:
    bool MatchesAt(const unsigned char *data, std::size_t s, std::size_t from, std::size_t end,
        std::size_t &matchEnd) const
    {
        // A place inside a well-formed character that began after from starts no character.
        if (data[s] >= 0x80 && data[s] < 0xC0)
            for (std::size_t back = 1; back <= 3 && back <= s - from; ++back) {
                std::size_t length;
                DecodeUtf8(data + s - back, end - (s - back), length);
                if (length > back)
                    return false;
            }
        const char *at = reinterpret_cast<const char *>(data + s);
        const char *const limit = reinterpret_cast<const char *>(data + end);
        for (const char32_t capital : folded) {
            if (at >= limit || Utf8Text::Upper(Utf8Text::Read(at, limit)) != capital)
                return false;
        }
        matchEnd = static_cast<std::size_t>(reinterpret_cast<const unsigned char *>(at) - data);
        return true;
    }

    std::size_t bytes;
    bool endsInCarriageReturn;
    std::u32string folded;
    std::array<bool, 256> leads{};
    std::array<bool, 256> seconds{};
    // The first bytes as a list, when there are few; more than four means every byte.
    std::array<unsigned char, 4> leadBytes{};
    std::size_t leadCount = 0;
};

std::unique_ptr<PhraseFinder> MakeFinder(Cp1251Text, std::string_view phrase)
{
    return std::make_unique<Cp1251Finder>(phrase);
}

std::unique_ptr<PhraseFinder> MakeFinder(Utf8Text, std::string_view phrase)
{
    return std::make_unique<Utf8Finder>(phrase);
}

std::unique_ptr<PhraseFinder> MakeFinder(DictionaryEncoding encoding, std::string_view phrase)
{
    return WithText(encoding, [phrase](auto text) { return MakeFinder(text, phrase); });
}

// Bytes the longest article GetArticle returns may take.
std::size_t ArticleBytesMax(DictionaryEncoding encoding)
{
    return WithText(encoding, [](auto text) { return ARTICLE_MAX * text.MAX_CHARACTER_BYTES; });
}

// Whether the text from offset to end is within GetArticle's length limit.
bool WithinArticleLimit(
    const unsigned char *data, std::size_t offset, std::size_t end, DictionaryEncoding encoding)
{
    if (end - offset <= ARTICLE_MAX)
        return true;
    if (end - offset > ArticleBytesMax(encoding))
        return false;
    return WithText(encoding, [&](auto text) {
        return text.Count(reinterpret_cast<const char *>(data + offset), end - offset)
            <= ARTICLE_MAX;
    });
}

// A data file mapped for reading for the life of the object; empty when that fails.
class MappedFile
{
public:
    explicit MappedFile(const std::string &path)
    {
        const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (descriptor < 0)
            return;
        struct stat info;
        if (fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            void *address = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ,
                MAP_PRIVATE, descriptor, 0);
            if (address != MAP_FAILED) {
                bytes = static_cast<const unsigned char *>(address);
                length = static_cast<std::size_t>(info.st_size);
                madvise(address, length, MADV_SEQUENTIAL);
            }
        }
        close(descriptor);
    }
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;
    ~MappedFile()
    {
        if (bytes)
            munmap(const_cast<unsigned char *>(bytes), length);
    }

    const unsigned char *Data() const { return bytes; }
    std::size_t Size() const { return length; }

private:
    const unsigned char *bytes = nullptr;
    std::size_t length = 0;
};

// Where the line holding position at begins, looking back no further than from: GetArticle
// stops at a line feed, and the text it returns at a zero byte.
std::size_t LineStart(const unsigned char *data, std::size_t from, std::size_t at)
{
    if (at <= from)
        return from;
    std::size_t start = from;
    if (const void *feed = memrchr(data + from, '\n', at - from))
        start = static_cast<std::size_t>(static_cast<const unsigned char *>(feed) - data) + 1;
    if (const void *zero = memrchr(data + start, '\0', at - start))
        start = static_cast<std::size_t>(static_cast<const unsigned char *>(zero) - data) + 1;
    return start;
}

// End of the article that starts at offset, as GetArticle cuts it: at the line's end, the
// length limit or the file's end, without a last carriage return. The bytes are read from from
// on and no further than reach + 2: an article going on past reach ends somewhere after it.
std::size_t ArticleEnd(const unsigned char *data, std::size_t size, std::size_t offset,
    std::size_t from, DictionaryEncoding encoding, std::size_t reach = NOT_FOUND - 2)
{
    const std::size_t limit = std::min(size, offset + ArticleBytesMax(encoding));
    const std::size_t stop = std::min(limit, reach + 2);
    std::size_t end = stop;
    if (from < stop) {
        if (const void *feed = std::memchr(data + from, '\n', stop - from))
            end = static_cast<std::size_t>(static_cast<const unsigned char *>(feed) - data);
        if (const void *zero = std::memchr(data + from, '\0', end - from))
            end = static_cast<std::size_t>(static_cast<const unsigned char *>(zero) - data);
    } else {
        end = from;
    }
    bool cut = end == stop && stop < limit;
    // Beyond the limit in characters, which only a longer form of them can reach.
    if (end - offset > ARTICLE_MAX) {
        const std::size_t last = offset + WithText(encoding, [&](auto text) {
            return text.BytesOf(
                reinterpret_cast<const char *>(data + offset), end - offset, ARTICLE_MAX);
        });
        if (last < end) {
            end = last;
            cut = false;
        }
    }
    if (cut)
        return end;
    if (end > offset && data[end - 1] == '\r')
        --end;
    return end;
}

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

// Every record's first occurrence at or after its offset decides it: the record matches when
// that occurrence lies inside its article. Records are taken in the order of their offsets, so
// one look for the phrase serves every record up to the place found, and the records sharing an
// article or a stretch without the phrase cost nothing more. Writes the occurrence of each
// matching record to firstAt, by index.
void ScanRecords(const MappedFile &file, const PhraseFinder &needle, DictionaryEncoding encoding,
    const RecordKey *keys, std::size_t count, std::vector<std::uint32_t> &firstAt,
    const std::atomic<bool> &cancel)
{
    if (count == 0)
        return;
    const unsigned char *data = file.Data();
    const std::size_t size = file.Size();
    const auto OffsetOf = [keys](std::size_t k) { return static_cast<std::size_t>(keys[k] >> 32); };
    // No record here can take an occurrence that ends further than its longest article could:
    // past that the search belongs to the records after these.
    const std::size_t end = std::min(size, OffsetOf(count - 1) + ArticleBytesMax(encoding));
    std::size_t k = 0;
    while (k < count && !cancel.load(std::memory_order_relaxed)) {
        const std::size_t offset = OffsetOf(k);
        if (offset >= size)
            break;
        std::size_t matchEnd = 0;
        const std::size_t at = needle.FindIn(data, offset, end, matchEnd);
        if (at == NOT_FOUND)
            break;
        const std::size_t line = LineStart(data, offset, at);
        for (; k < count; ++k) {
            const std::size_t own = OffsetOf(k);
            if (own > at)
                break;
            if (own < line || !WithinArticleLimit(data, own, matchEnd, encoding))
                continue;
            // A phrase ending in CR cannot take the one GetArticle drops.
            if (needle.EndsInCarriageReturn()
                && ArticleEnd(data, size, own, matchEnd - 1, encoding) < matchEnd)
                continue;
            firstAt[static_cast<std::uint32_t>(keys[k])] = static_cast<std::uint32_t>(at);
        }
    }
}

// A few words either side of the occurrence of a phrase of length bytes at position in article,
// in UTF-8, control bytes shown as blanks. article may stop short of the real article's end once
// it reaches EXCERPT_AFTER + 2 bytes past the phrase; it is then shown as cut.
std::string MakeExcerpt(
    std::string_view article, std::size_t position, std::size_t length, DictionaryEncoding encoding)
{
    position = std::min(position, article.size());
    const std::size_t phraseEnd = std::min(article.size(), position + length);
    std::size_t begin = position > EXCERPT_BEFORE ? position - EXCERPT_BEFORE : 0;
    std::size_t end = std::min(article.size(), phraseEnd + EXCERPT_AFTER);
    // Cut at blanks where there are any, so that no word is shown in part.
    if (begin > 0)
        while (begin < position && article[begin - 1] != ' ')
            ++begin;
    if (end < article.size())
        while (end > phraseEnd && article[end] != ' ')
            --end;
    std::string shown(article.substr(begin, end - begin));
    for (char &c : shown)
        c = static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    std::string excerpt = begin > 0 ? "..." : "";
    excerpt += WithText(
        encoding, [&shown](auto text) { return text.ProgramText(shown.data(), shown.size()); });
    if (end < article.size())
        excerpt += "...";
    return excerpt;
}

// One dictionary's search, shared by the threads that take its parts: the first of them maps
// the file and orders the records, each scans its share of the records; once every part is
// scanned, each gathers the matches of its share of the index, and the last one lets the file go.
class DictionaryScan
{
public:
    DictionaryScan(
        const Dictionary &dictionary, const std::string &phrase, bool withTexts, std::size_t parts)
        : dictionary(dictionary)
        , phrase(phrase)
        , withTexts(withTexts)
        , parts(parts)
        , partsLeft(parts)
        , gathersLeft(parts)
        , encoding(EncodingNamed(dictionary.GetAttributes().encoding))
        , matches(parts)
    {
    }

    std::size_t Parts() const { return parts; }

    void ScanPart(std::size_t part, const std::atomic<bool> &cancel)
    {
        std::call_once(prepared, [this] { Prepare(); });
        if (needle) {
            const std::size_t begin = keys.size() * part / parts;
            const std::size_t end = keys.size() * (part + 1) / parts;
            ScanRecords(
                *file, *needle, encoding, keys.data() + begin, end - begin, firstAt, cancel);
        }
        if (partsLeft.fetch_sub(1) != 1)
            return;
        std::vector<RecordKey>().swap(keys);
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
        Gather(count * part / parts, count * (part + 1) / parts, matches[part], cancel);
        if (gathersLeft.fetch_sub(1) != 1)
            return false;
        std::vector<std::uint32_t>().swap(firstAt);
        file.reset();
        return true;
    }

    // The matches in index order, in as many sets as there are parts.
    std::vector<ArticleMatches> TakeMatches() { return std::move(matches); }

private:
    void Prepare()
    {
        const std::optional<std::string> own = PhraseInDictionaryText(dictionary, phrase);
        for (ArticleMatches &set : matches)
            set = ArticleMatches(dictionary.GetId(), own ? own->size() : 0);
        // No article holds a line end or a zero byte: GetArticle stops at them.
        if (!own || own->empty() || own->find_first_of(std::string("\n\0", 2)) != std::string::npos)
            return;
        file = std::make_unique<MappedFile>(dictionary.GetDataPath());
        if (!file->Data())
            return;
        needle = MakeFinder(encoding, *own);

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

    void Gather(std::size_t begin, std::size_t end, ArticleMatches &matches,
        const std::atomic<bool> &cancel) const
    {
        for (auto i = static_cast<std::int32_t>(begin);
             i < static_cast<std::int32_t>(end) && !cancel.load(std::memory_order_relaxed); ++i) {
            const std::uint32_t at = firstAt[static_cast<std::size_t>(i)];
            if (at == NO_HIT)
                continue;
            const auto offset = static_cast<std::size_t>(dictionary.GetArticleOffset(i));
            matches.Add(i, static_cast<std::uint32_t>(at - offset));
            if (!withTexts)
                continue;
            // Enough of the article for the excerpt, and a byte more if it goes on.
            const std::size_t length = needle->Size();
            const std::size_t last = ArticleEnd(file->Data(), file->Size(), offset, at + length,
                encoding, at + length + EXCERPT_AFTER);
            const std::string_view article(
                reinterpret_cast<const char *>(file->Data()) + offset, last - offset);
            matches.AddTexts(
                dictionary.GetWord(i), MakeExcerpt(article, at - offset, length, encoding));
        }
    }

    const Dictionary &dictionary;
    const std::string &phrase;
    const bool withTexts;
    const std::size_t parts;
    std::atomic<std::size_t> partsLeft;
    std::atomic<std::size_t> gathersLeft;
    std::once_flag prepared;
    std::mutex mutex;
    std::condition_variable allScanned;
    bool scanned = false;
    std::unique_ptr<MappedFile> file;
    const DictionaryEncoding encoding;
    std::unique_ptr<PhraseFinder> needle;
    std::vector<RecordKey> keys;
    std::vector<std::uint32_t> firstAt;
    std::vector<ArticleMatches> matches;
};

std::uint64_t DataSize(const Dictionary &dictionary)
{
    struct stat info;
    return stat(dictionary.GetDataPath().c_str(), &info) == 0
        ? static_cast<std::uint64_t>(info.st_size)
        : 0;
}

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
    const std::int32_t offset = dictionary.GetArticleOffset(matches.Index(i));
    const std::size_t position = matches.Position(i);
    const std::size_t length = matches.PhraseLength();
    const DictionaryEncoding encoding = EncodingNamed(dictionary.GetAttributes().encoding);
    // One byte beyond what ArticleEnd looks at tells a cut read from the file's end.
    const std::size_t wanted =
        std::min(ArticleBytesMax(encoding), position + length + EXCERPT_AFTER + 3);
    std::string bytes(wanted, '\0');
    const int descriptor = open(dictionary.GetDataPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0 || offset < 0)
        return std::string();
    const ssize_t got = pread(descriptor, bytes.data(), wanted, offset);
    close(descriptor);
    if (got < 0 || static_cast<std::size_t>(got) < position + length)
        return std::string();
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t end = ArticleEnd(data, static_cast<std::size_t>(got), 0, position + length,
        encoding, position + length + EXCERPT_AFTER);
    return MakeExcerpt(std::string_view(bytes.data(), end), position, length, encoding);
}

std::optional<std::string> PhraseInDictionaryText(
    const Dictionary &dictionary, const std::string &phrase)
{
    bool complete = false;
    std::string text = WithText(EncodingNamed(dictionary.GetAttributes().encoding),
        [&](auto encoding) { return encoding.UpperQuery(phrase, complete); });
    if (!complete)
        return std::nullopt;
    return text;
}

std::vector<std::pair<std::size_t, std::size_t>> FindPhrase(
    const Dictionary &dictionary, const std::string &text, const std::string &phrase)
{
    std::vector<std::pair<std::size_t, std::size_t>> found;
    const DictionaryEncoding encoding = EncodingNamed(dictionary.GetAttributes().encoding);
    const std::optional<std::string> own = PhraseInDictionaryText(dictionary, phrase);
    if (!own || own->empty())
        return found;
    // The text as the dictionary would hold it: in Windows-1251 a byte is a character.
    bool complete = false;
    const std::string held = WithText(
        encoding, [&](auto dictionaryText) { return dictionaryText.UpperQuery(text, complete); });
    const auto *data = reinterpret_cast<const unsigned char *>(held.data());
    const auto Characters = [&](std::size_t bytes) {
        return WithText(encoding,
            [&](auto dictionaryText) { return dictionaryText.Count(held.data(), bytes); });
    };
    const std::unique_ptr<PhraseFinder> finder = MakeFinder(encoding, *own);
    std::size_t end = 0;
    for (std::size_t at = finder->FindIn(data, 0, held.size(), end); at != NOT_FOUND;
         at = finder->FindIn(data, end, held.size(), end)) {
        const std::size_t start = Characters(at);
        found.emplace_back(start, Characters(end) - start);
    }
    return found;
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
        total += sizes[d] = DataSize(*dictionaries[d]);
        const std::size_t parts =
            std::clamp<std::size_t>(static_cast<std::size_t>(sizes[d] / PART_BYTES), 1, MAX_PARTS);
        scans.push_back(
            std::make_unique<DictionaryScan>(*dictionaries[d], phrase, withTexts, parts));
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
    const auto TakeAndScan = [&]() -> bool {
        std::size_t task;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (next >= tasks.size() || cancel.load())
                return false;
            task = next++;
        }
        const std::size_t d = tasks[task].dictionary;
        if (!tasks[task].gather) {
            scans[d]->ScanPart(tasks[task].part, cancel);
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
            while (TakeAndScan()) { }
        });

    std::uint64_t done = 0;
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
            TakeAndScan();
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
