#include "Dictionary_index.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "storage/Index_records.h"
#include "storage/Plain_file.h"
#include "storage/Text_encoding.h"
#include "support/Utils.h"

namespace {

constexpr std::uint32_t NO_POSITION = 0xFFFFFFFF;

std::size_t TrimEnd(const char *word, std::size_t length)
{
    while (length > 0 && static_cast<unsigned char>(word[length - 1]) <= 0x20)
        --length;
    return length;
}

// The first byte from i on where a and b differ, or common.
inline std::size_t FirstDifference(
    const char *a, const char *b, std::size_t i, std::size_t common, std::size_t readable)
{
    // Bytes that are equal are equal upper-cased too. Neighbours in an index share long
    // beginnings, so look for the first difference a word at a time.
    for (; i < common && i + 8 <= readable; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a + i, sizeof x);
        std::memcpy(&y, b + i, sizeof y);
        if (x != y) {
            if (LITTLE_ENDIAN_BYTES)
                i += static_cast<std::size_t>(__builtin_ctzll(x ^ y)) / 8;
            break;
        }
    }
    i = std::min(i, common);
    while (i < common && a[i] == b[i])
        ++i;
    return i;
}

// Characters compared as upper-cased, a proper beginning before the longer text: for
// Windows-1251 the order of std::string on ToUpper of both, for UTF-8 the order of the codes.
// readable: how many bytes may be read from both, at least the shorter length.
template <class Text>
inline bool UpperLess(
    const char *a, std::size_t aLength, const char *b, std::size_t bLength, std::size_t readable)
{
    const std::size_t common = std::min(aLength, bLength);
    std::size_t i = FirstDifference(a, b, 0, common, readable);
    if constexpr (Text::MAX_CHARACTER_BYTES == 1) {
        // A byte is a character. Neighbours that differ in letter case only, as many do, go on
        // a word at a time past each such byte rather than a character at a time to their end.
        for (;; i = FirstDifference(a, b, i + 1, common, readable)) {
            if (i == common)
                return aLength < bLength;
            const char32_t p = Text::Upper(static_cast<unsigned char>(a[i]));
            const char32_t q = Text::Upper(static_cast<unsigned char>(b[i]));
            if (p != q)
                return p < q;
        }
    } else {
        // Most differences in an index of Latin, Greek or Cyrillic words fall inside a two-byte
        // character after a lead byte both texts share, and that case is settled here without
        // decoding: the lead byte starts a character, whatever came before it.
        const auto Starts = [](const char *text, std::size_t length, std::size_t at) {
            return at >= length || (static_cast<unsigned char>(text[at]) & 0xC0) != 0x80;
        };
        if (i == common && Starts(a, aLength, i) && Starts(b, bLength, i))
            return aLength < bLength;
        if (i > 0 && i < common) {
            const auto lead = static_cast<unsigned char>(a[i - 1]);
            const auto p = static_cast<unsigned char>(a[i]);
            const auto q = static_cast<unsigned char>(b[i]);
            if (p < 0x80 && q < 0x80 && Text::Upper(p) != Text::Upper(q))
                return Text::Upper(p) < Text::Upper(q);
            if (lead >= 0xC2 && lead <= 0xDF && (p & 0xC0) == 0x80 && (q & 0xC0) == 0x80) {
                const char32_t high = static_cast<char32_t>(lead & 0x1F) << 6;
                const char32_t x = Text::Upper(high | (p & 0x3F));
                const char32_t y = Text::Upper(high | (q & 0x3F));
                if (x != y)
                    return x < y;
            }
        }
        // Back to a byte that starts a character in both texts: one that is not a continuation
        // byte always does, whatever comes before it.
        const auto Continues = [](const char *text, std::size_t length, std::size_t at) {
            return at < length && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
        };
        while (i > 0 && (Continues(a, aLength, i) || Continues(b, bLength, i)))
            --i;
        const char *x = a + i;
        const char *y = b + i;
        const char *const xEnd = a + aLength;
        const char *const yEnd = b + bLength;
        while (x < xEnd && y < yEnd) {
            const char32_t p = Text::Upper(Text::Read(x, xEnd));
            const char32_t q = Text::Upper(Text::Read(y, yEnd));
            if (p != q)
                return p < q;
        }
        return x == xEnd && y < yEnd;
    }
}

template <class Text>
inline bool UpperLess(const char *a, std::size_t aLength, const char *b, std::size_t bLength)
{
    return UpperLess<Text>(a, aLength, b, bLength, std::min(aLength, bLength));
}

// Leading characters the headword shares with the query, which is upper-cased already.
template <class Text>
std::size_t SharedLength(const char *word, std::size_t length, const std::string &query)
{
    const char *w = word;
    const char *const wordEnd = word + length;
    const char *q = query.data();
    const char *const queryEnd = q + query.size();
    std::size_t shared = 0;
    while (w < wordEnd && q < queryEnd
        && Text::Upper(Text::Read(w, wordEnd)) == Text::Read(q, queryEnd))
        ++shared;
    return shared;
}

// A block a query can reach: queries are upper-cased, and a headword stored with such a first
// character keeps it after trimming and upper-casing.
template <class Text> bool IsSearchableLetter(char32_t key)
{
    return key > 0x20 && Text::Upper(key) == key;
}

// Whether the trimmed, upper-cased headword may begin otherwise than its block's key.
template <class Text> bool IsOdd(char32_t key)
{
    return key != 0 && !IsSearchableLetter<Text>(key);
}

template <class Text> char32_t FirstCharacter(const char *text, std::size_t length)
{
    return length ? Text::Read(text, text + length) : 0;
}

} // namespace

// Where a lookup stands, as the written scan keeps it.
struct DictionaryIndex::Scan
{
    std::uint32_t position = NO_POSITION;
    std::size_t k = 1; // one more than the longest run of leading characters shared so far
    std::int32_t same = 0; // entries seen that begin with the query's letter
    bool exact = false;
};

// A query in the dictionary's encoding, upper-cased.
struct DictionaryIndex::Query
{
    std::string text;
    std::size_t characters = 0;
    char32_t first = 0;
};

void ByteArena::Free::operator()(char *memory) const
{
    std::free(memory);
}

void ByteArena::Allocate(std::size_t size)
{
    // Never empty, so that data() always points somewhere for the readers.
    bytes.reset(static_cast<char *>(std::malloc(std::max<std::size_t>(size, 1))));
    if (!bytes)
        throw std::bad_alloc();
    length = size;
}

void ByteArena::Shrink(std::size_t size)
{
    if (size >= length)
        return;
    char *old = bytes.release();
    char *shrunk = static_cast<char *>(std::realloc(old, std::max<std::size_t>(size, 1)));
    bytes.reset(shrunk ? shrunk : old);
    length = size;
}

void DictionaryIndex::Load(const std::string &path, DictionaryEncoding dictionaryEncoding)
{
    encoding = dictionaryEncoding;
    const int descriptor = IsRegularFile(path) ? open(path.c_str(), O_RDONLY | O_CLOEXEC) : -1;
    struct stat status
    {
    };
    const bool opened = descriptor >= 0 && fstat(descriptor, &status) == 0;
    // Headwords are addressed by 32-bit arena offsets and positions are 32-bit signed.
    if (!opened || status.st_size > INT32_MAX) {
        if (descriptor >= 0)
            close(descriptor);
        throw VoException("Dictionary::LoadIndexFile", INDEX_NOT_OPENED_LINE, RC_NOT_FOUND);
    }
    const auto size = static_cast<std::size_t>(status.st_size);
    // The file is read straight into the arena, where the headwords are then moved down over
    // what has been taken apart already: no buffer of the file's size besides, and no map, which
    // a file cut while it loads would turn into a fatal signal.
    headwordArena.Allocate(size);
    std::size_t length = 0;
    while (length < size) {
        const ssize_t got = pread(
            descriptor, headwordArena.data() + length, size - length, static_cast<off_t>(length));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        length += static_cast<std::size_t>(got);
    }
    struct stat after
    {
    };
    const bool changed = fstat(descriptor, &after) != 0 || after.st_size != status.st_size
        || after.st_mtim.tv_sec != status.st_mtim.tv_sec
        || after.st_mtim.tv_nsec != status.st_mtim.tv_nsec;
    close(descriptor);
    // Cut or written over while it was read: what was read may end in half a record.
    if (length < size || changed)
        throw VoException("Dictionary::LoadIndexFile", INDEX_NOT_OPENED_LINE, RC_DATA_CORRUPT);
    WithText(encoding, [&](auto text) {
        Split<decltype(text)>(IndexBytes(headwordArena.data(), headwordArena.size()));
    });
}

void DictionaryIndex::LoadBytes(
    const char *bytes, std::size_t length, DictionaryEncoding dictionaryEncoding)
{
    if (length > INT32_MAX)
        throw VoException("Dictionary::LoadIndexFile", INDEX_NOT_OPENED_LINE, RC_NOT_FOUND);
    encoding = dictionaryEncoding;
    // Taken apart in the arena, as a file is.
    headwordArena.Allocate(length);
    if (length > 0)
        std::memcpy(headwordArena.data(), bytes, length);
    WithText(encoding, [&](auto text) {
        Split<decltype(text)>(IndexBytes(headwordArena.data(), headwordArena.size()));
    });
}

bool DictionaryIndex::Restore(
    ByteArena &headwords, std::vector<std::uint32_t> &starts, DictionaryEncoding dictionaryEncoding)
{
    const std::size_t size = headwords.size();
    if (size > INT32_MAX || starts.size() > size || (starts.empty() ? size != 0 : starts[0] != 0))
        return false;
    // Each headword's length is where the next starts, less its terminator.
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const std::size_t next = i + 1 < starts.size() ? starts[i + 1] : size;
        if (next <= starts[i] || next > size || headwords[next - 1] != '\0')
            return false;
    }
    encoding = dictionaryEncoding;
    headwordArena = std::move(headwords);
    headwordStarts = std::move(starts);
    offsets = std::vector<std::int32_t>();
    return true;
}

template <class Text> void DictionaryIndex::Split(const IndexBytes &data)
{
    ByteArena &arena = headwordArena;
    const ByteCensus census = CountBytes(data);
    // An index loaded again, or over a restored one, keeps nothing of what it held: offsets and
    // starts must stay one for one.
    headwordStarts.clear();
    offsets.clear();
    headwordStarts.reserve(census.lines + 1);
    offsets.reserve(census.lines + 1);

    // Only a file holding a zero byte anywhere needs its fields cut at one.
    const bool mayHoldZero = census.zero;
    // Each headword is copied into the arena one record late: the copy may overwrite no byte of
    // the record still being taken apart.
    const char *pending = nullptr;
    std::size_t pendingLength = 0;
    std::size_t position = 0;
    std::size_t kept = 0;
    const auto MovePending = [&] {
        if (!pending)
            return;
        MoveDown(arena.data() + kept, pending, pendingLength);
        arena[kept + pendingLength] = '\0';
        kept += pendingLength + 1;
    };
    for (;;) {
        const char *headword;
        std::size_t headwordLength;
        const FieldRead headwordRead =
            ReadField<Text>(data, position, '\t', mayHoldZero, headword, headwordLength);
        if (headwordRead == FieldRead::EndOfData)
            break;
        if (headwordRead == FieldRead::TooLong)
            throw VoException("Dictionary::LoadIndexFile", HEADWORD_TOO_LONG_LINE, RC_DATA_CORRUPT);
        std::int64_t offset = ReadPlainOffset(data, position);
        if (offset < 0)
            offset = ReadOffset<Text>(data, position, mayHoldZero);

        MovePending();
        headwordStarts.push_back(static_cast<std::uint32_t>(kept));
        offsets.push_back(static_cast<std::int32_t>(offset));
        pending = headword;
        pendingLength = headwordLength;
    }
    MovePending();
    // The arena is kept for the whole run: no room to spare in it.
    arena.Shrink(kept);
}

// The letter blocks are made at the first lookup rather than at load: a dictionary is loaded
// at every start, and many are not looked in before the window is up, or at all.
template <class Text> void DictionaryIndex::MakeLetterBlocks() const
{
    const char *const arena = headwordArena.data();
    const char *const arenaEnd = arena + headwordArena.size();
    char32_t previous = 0;
    LetterBlock *block = nullptr;
    bool runSorted = false;
    const char *pending = nullptr;
    std::size_t pendingLength = 0;
    std::size_t pendingTrimmed = 0;
    for (std::size_t j = 0; j < headwordStarts.size(); ++j) {
        // The headword as the index file held it, cut at a zero byte: its terminator follows.
        const char *const headword = arena + headwordStarts[j];
        const std::size_t headwordLength =
            (j + 1 < headwordStarts.size() ? headwordStarts[j + 1] : headwordArena.size())
            - headwordStarts[j] - 1;
        // A UTF-8 headword that begins with its predecessor's two-byte character has its key:
        // most do, and reading and upper-casing the character again was a tenth of the work.
        const bool sameFirst = Text::MAX_CHARACTER_BYTES > 1 && pending && headwordLength >= 2
            && pendingLength >= 2 && std::memcmp(headword, pending, 2) == 0
            && static_cast<unsigned char>(*headword) >= 0xC2
            && static_cast<unsigned char>(*headword) <= 0xDF;
        const char32_t key =
            sameFirst ? previous : Text::Key(FirstCharacter<Text>(headword, headwordLength));
        const std::size_t trimmed = TrimEnd(headword, headwordLength);
        const auto at = static_cast<std::int32_t>(j);
        if (key != previous) {
            // The block of the first run of key 0 is never made: previous starts as 0.
            if (block)
                *block = {block->start, at, runSorted};
            block = &letterIndex[key];
            block->start = at;
            runSorted = IsSearchableLetter<Text>(key);
        } else if (runSorted
            && UpperLess<Text>(headword, trimmed, pending, pendingTrimmed,
                static_cast<std::size_t>(arenaEnd - headword))) {
            runSorted = false;
        }
        if (IsOdd<Text>(key))
            oddEntries.push_back(static_cast<std::uint32_t>(j));
        previous = key;
        pending = headword;
        pendingLength = headwordLength;
        pendingTrimmed = trimmed;
    }
    if (block)
        *block = {block->start, static_cast<std::int32_t>(headwordStarts.size()), runSorted};
    // The odd entries are kept for the whole run: no room to spare.
    oddEntries.shrink_to_fit();
}

std::pair<const char *, std::size_t> DictionaryIndex::TrimmedHeadword(std::size_t i) const
{
    const std::size_t start = headwordStarts[i];
    const std::size_t next =
        i + 1 < headwordStarts.size() ? headwordStarts[i + 1] : headwordArena.size();
    const char *begin = headwordArena.data() + start;
    // Headwords lie in entry order, each followed by its terminator.
    std::size_t length = next - start - 1;
    while (length > 0 && static_cast<unsigned char>(*begin) <= 0x20) {
        ++begin;
        --length;
    }
    return {begin, TrimEnd(begin, length)};
}

void DictionaryIndex::GetWords(std::size_t first, std::size_t last, WordRange &range) const
{
    // Every headword found before any is converted: the reads of one do not wait on the
    // conversion of the one before, and the processor overlaps their cache misses.
    range.words.clear();
    if (first >= last)
        return;
    // The headwords lie one after another: asked for at once, their lines come in together
    // rather than one miss at a time.
    const char *const span = headwordArena.data() + headwordStarts[first];
    const std::size_t spanLength =
        (last < headwordStarts.size() ? headwordStarts[last] : headwordArena.size())
        - headwordStarts[first];
    for (std::size_t at = 0; at < spanLength; at += 64)
        __builtin_prefetch(span + at);
    for (std::size_t i = first; i < last; ++i) {
        const auto [text, length] = TrimmedHeadword(i);
        range.words.emplace_back(text, length);
    }
    WithText(encoding, [&](auto text) {
        // Terminators and trimmed bytes are ASCII and end no character, so the stretch as a
        // whole is the program's text exactly when each of its headwords is.
        if (!text.IsProgramText(span, spanLength))
            text.MakeProgramText(range.words, range.converted);
    });
}

std::string DictionaryIndex::GetWord(std::size_t i) const
{
    const auto [word, length] = TrimmedHeadword(i);
    return WithText(encoding,
        [word = word, length = length](auto text) { return text.ProgramText(word, length); });
}

bool DictionaryIndex::FindWord(
    const std::string &query, std::uint32_t &position, std::int32_t &matchedLength) const
{
    if (query.empty()) {
        matchedLength = 0;
        return false;
    }
    return WithText(encoding, [&](auto text) {
        std::call_once(*blocksMade, [this] { MakeLetterBlocks<decltype(text)>(); });
        return Find<decltype(text)>(query, position, matchedLength);
    });
}

template <class Text>
bool DictionaryIndex::Find(
    const std::string &utf8, std::uint32_t &position, std::int32_t &matchedLength) const
{
    position = NO_POSITION;
    // A query that Windows-1251 cannot hold whole is looked up as far as it can: no headword
    // holds the character that stops it, so none can share more than that beginning, and none
    // can equal the query.
    bool complete = true;
    Query query;
    query.text = Text::UpperQuery(utf8, complete);
    query.characters = Text::Count(query.text.data(), query.text.size());
    query.first = FirstCharacter<Text>(query.text.data(), query.text.size());
    const auto block = query.text.empty() ? letterIndex.end() : letterIndex.find(query.first);
    if (block == letterIndex.end())
        return false;

    Scan scan;
    auto j = static_cast<std::size_t>(block->second.start);
    const auto runEnd = static_cast<std::size_t>(block->second.end);
    bool ended = false;
    if (block->second.sorted) {
        ended = SearchSortedRun<Text>(query, j, runEnd, scan);
        j = runEnd;
    }
    // Past the run, an entry that is not odd begins with another letter: until three of the
    // letter have been seen it changes nothing, so the scan may leap to the next odd entry.
    const bool leap = query.first > 0x20;
    for (; !ended && j < headwordStarts.size(); ++j) {
        if (leap && j >= runEnd && scan.same <= 2) {
            const auto next = std::lower_bound(oddEntries.begin(), oddEntries.end(), j);
            if (next == oddEntries.end())
                break;
            j = *next;
        }
        ended = ScanEntry<Text>(j, query, scan);
    }
    position = scan.position;
    matchedLength = scan.exact && complete ? -1 : static_cast<std::int32_t>(scan.k - 1);
    return position != NO_POSITION;
}

template <class Text>
bool DictionaryIndex::ScanEntry(std::size_t j, const Query &query, Scan &scan) const
{
    const auto [word, length] = TrimmedHeadword(j);
    // An entry takes the position only when it shares more leading characters than every entry
    // before it: k - 1 is the longest run seen so far.
    const std::size_t shared = SharedLength<Text>(word, length, query.text);
    if (shared >= scan.k) {
        scan.position = static_cast<std::uint32_t>(j);
        scan.k = shared + 1;
    }
    if (scan.k > query.characters) {
        scan.exact = Text::Count(word, length) == query.characters;
        return true;
    }
    // The trimmed headword of an empty entry still has its terminator as first character.
    if (Text::Upper(FirstCharacter<Text>(word, length)) == query.first)
        ++scan.same;
    else if (scan.same > 2)
        return true;
    return false;
}

// Every headword of the run begins with the query's letter and the run is in upper-case order,
// so for every t the headwords sharing t leading characters with the query stand together, and
// the longest shared beginning is found beside the place where the query would be inserted. The
// scan's state afterwards is the one the entry-by-entry scan of the run would leave.
template <class Text>
bool DictionaryIndex::SearchSortedRun(
    const Query &query, std::size_t begin, std::size_t end, Scan &scan) const
{
    const std::string &text = query.text;
    const std::size_t at = LowerBound<Text>(begin, end, text.data(), text.size());
    const auto Shared = [&](std::size_t j) {
        const auto [word, length] = TrimmedHeadword(j);
        return SharedLength<Text>(word, length, text);
    };
    const std::size_t before = at > begin ? Shared(at - 1) : 0;
    const std::size_t after = at < end ? Shared(at) : 0;
    if (after == query.characters) {
        // The first headword that the whole query begins: the scan ends there.
        scan.position = static_cast<std::uint32_t>(at);
        scan.k = query.characters + 1;
        const auto [word, length] = TrimmedHeadword(at);
        scan.exact = Text::Count(word, length) == query.characters;
        return true;
    }
    const std::size_t best = std::max(before, after);
    scan.position =
        static_cast<std::uint32_t>(before >= after ? LowerBound<Text>(begin, at, text.data(),
                                       Text::BytesOf(text.data(), text.size(), best))
                                                   : at);
    scan.k = best + 1;
    scan.same = static_cast<std::int32_t>(end - begin);
    return false;
}

template <class Text>
std::size_t DictionaryIndex::LowerBound(
    std::size_t begin, std::size_t end, const char *text, std::size_t length) const
{
    while (begin < end) {
        const std::size_t middle = begin + (end - begin) / 2;
        const auto [word, wordLength] = TrimmedHeadword(middle);
        if (UpperLess<Text>(word, wordLength, text, length))
            begin = middle + 1;
        else
            end = middle;
    }
    return begin;
}
