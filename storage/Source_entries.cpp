#include "Source_entries.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "storage/Article_lines.h"
#include "storage/Source_reader.h"
#include "support/Code_page.h"
#include "support/Utils.h"

namespace {

constexpr unsigned char CAPITAL_YO = 0xA8;
constexpr unsigned char SMALL_YO = 0xB8;
constexpr unsigned char CAPITAL_YE = 0xC5;
constexpr unsigned char SMALL_YE = 0xE5;

bool IsBlank(unsigned char c)
{
    return c <= 0x20;
}

// Where text starts and ends without the blanks at either end.
std::pair<std::size_t, std::size_t> UnblankedBounds(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsBlank(static_cast<unsigned char>(text[end - 1])))
        --end;
    return {begin, end};
}

std::string TrimBlanks(const std::string &text)
{
    const auto [begin, end] = UnblankedBounds(text);
    return text.substr(begin, end - begin);
}

// The inverse of ToUpper, used only to spell the small-yo second record of a headword.
std::string ToLower(std::string text)
{
    for (char &c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDF))
            c = static_cast<char>(byte + 0x20);
        else if (byte == CAPITAL_YO)
            c = static_cast<char>(SMALL_YO);
    }
    return text;
}

// Russian texts mark the stressed vowel with a combining acute accent. The word reads the same
// without it, and only without it can it be typed.
std::string WithoutStress(const std::string &utf8, bool &dropped)
{
    static const std::string STRESS = "\xCC\x81"; // U+0301
    dropped = false;
    if (utf8.find(STRESS) == std::string::npos)
        return utf8;
    std::string plain;
    plain.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        if (utf8.compare(i, STRESS.size(), STRESS) == 0) {
            dropped = true;
            i += STRESS.size();
        } else {
            plain += utf8[i++];
        }
    }
    return plain;
}

// Windows-1251 lacks the stress mark: where a '?' would spoil the word, the mark is dropped.
std::string ToAnsi(const std::string &text, bool utf8, std::size_t &unmapped, bool &stressDropped)
{
    unmapped = 0;
    stressDropped = false;
    if (!utf8)
        return text;
    return Utf8ToAnsi(WithoutStress(text, stressDropped), &unmapped);
}

// Source text in the dictionary's encoding. In UTF-8 every character is kept; stress marks go
// only when asked (from headwords, which must be typed).
std::string ToDictionaryText(const std::string &text, bool sourceUtf8, DictionaryEncoding encoding,
    bool dropStress, std::size_t &unmapped, bool &stressDropped)
{
    if (encoding == DictionaryEncoding::Cp1251)
        return ToAnsi(text, sourceUtf8, unmapped, stressDropped);
    unmapped = 0;
    stressDropped = false;
    std::string utf8 = sourceUtf8 ? ValidUtf8(text.data(), text.size()) : AnsiToUtf8(text);
    return dropStress ? WithoutStress(utf8, stressDropped) : utf8;
}

// Dictionary text as the report shows it.
std::string Shown(const std::string &text, DictionaryEncoding encoding)
{
    return encoding == DictionaryEncoding::Utf8 ? text : AnsiToUtf8(text);
}

std::string Upper(const std::string &text, DictionaryEncoding encoding)
{
    if (encoding == DictionaryEncoding::Cp1251)
        return ToUpper(text);
    // Most headwords are ASCII, whose letters alone change, as in either encoding.
    if (IsAscii(text.data(), text.size()))
        return ToUpper(text);
    bool complete;
    return Utf8Text::UpperQuery(text, complete);
}

std::size_t Characters(const std::string &text, DictionaryEncoding encoding)
{
    return encoding == DictionaryEncoding::Utf8 ? Utf8Text::Count(text.data(), text.size())
                                                : text.size();
}

// The same word with ye for yo: Russian readers type "елка" for "ёлка".
std::string YoAsYe(std::string headword, DictionaryEncoding encoding)
{
    if (encoding == DictionaryEncoding::Utf8) {
        for (std::size_t at = 0; (at = headword.find_first_of("\xD0\xD1", at)) != std::string::npos;
             ++at) {
            if (headword.compare(at, 2, "\xD1\x91") == 0)
                headword.replace(at, 2, "\xD0\xB5");
            else if (headword.compare(at, 2, "\xD0\x81") == 0)
                headword.replace(at, 2, "\xD0\x95");
        }
        return headword;
    }
    for (char &c : headword) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == SMALL_YO)
            c = static_cast<char>(SMALL_YE);
        else if (byte == CAPITAL_YO)
            c = static_cast<char>(CAPITAL_YE);
    }
    return headword;
}

constexpr std::uint64_t EVERY_BYTE = 0x0101010101010101ull;

// Printable ASCII (a DEL allowed), neither starting nor ending with a blank. Eight bytes a test:
// an installed dictionary's every headword is tried.
bool IsPlainAscii(std::string_view text)
{
    if (text.empty() || IsBlank(static_cast<unsigned char>(text.front()))
        || IsBlank(static_cast<unsigned char>(text.back())))
        return false;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t bytes;
        std::memcpy(&bytes, text.data() + i, 8);
        // A byte's top bit set, or set by taking 0x20 from it when it was clear: under 0x20.
        if (((bytes | ((bytes - EVERY_BYTE * 0x20) & ~bytes)) & EVERY_BYTE * 0x80) != 0)
            return false;
    }
    for (; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) < 0x20
            || static_cast<unsigned char>(text[i]) > 0x7F)
            return false;
    return true;
}

// The letters a-z upper-cased in ASCII text, eight bytes at a time.
void UpperAscii(char *text, std::size_t size)
{
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t bytes;
        std::memcpy(&bytes, text + i, 8);
        // Each byte is under 0x80, so no sum carries into the next: the top bit says >= 'a' in
        // the first, > 'z' in the second.
        const std::uint64_t fromA = bytes + EVERY_BYTE * (0x80 - 'a');
        const std::uint64_t pastZ = bytes + EVERY_BYTE * (0x80 - 'z' - 1);
        bytes -= ((fromA ^ pastZ) & EVERY_BYTE * 0x80) >> 2;
        std::memcpy(text + i, &bytes, 8);
    }
    for (; i < size; ++i)
        if (text[i] >= 'a' && text[i] <= 'z')
            text[i] = static_cast<char>(text[i] - 'a' + 'A');
}

bool IsLineBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// An article is one line of the data file: every run of blanks that holds a line end becomes one
// space (dictd indents its continuation lines), and a zero byte, which would end the article
// early when it is read, becomes a space as well.
std::string OneLine(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t end = i;
        bool lineEnd = false;
        while (end < text.size() && IsLineBlank(text[end])) {
            lineEnd = lineEnd || text[end] == '\r' || text[end] == '\n';
            ++end;
        }
        if (end == i) {
            out += text[i] == '\0' ? ' ' : text[i];
            ++i;
        } else {
            if (lineEnd)
                out += ' ';
            else
                out.append(text, i, end - i);
            i = end;
        }
    }
    return TrimBlanks(out);
}

// A UTF-8 article keeps its author's lines: every line end becomes the stored line break, blanks
// at the end of a line go and those at its start stay as its indent. Empty lines at either end
// go, a run of them inside becomes one, and a zero byte becomes a space. An article of one line
// is trimmed as OneLine trims it.
// Into out, whose room is kept: a search makes hundreds of thousands of articles one by one.
void KeptLines(std::string_view text, std::string &out)
{
    // Written as it is read, in one pass: an empty line waits until a line of text follows it.
    out.clear();
    out.reserve(text.size());
    std::size_t lines = 0;
    bool emptyWaits = false;
    for (std::size_t start = 0;;) {
        // Two searches of the fast kind: most texts have no CR at all.
        const char *const from = text.data() + start;
        const std::size_t rest = text.size() - start;
        const auto *lineFeed = static_cast<const char *>(std::memchr(from, '\n', rest));
        const std::size_t beforeLineFeed =
            lineFeed ? static_cast<std::size_t>(lineFeed - from) : rest;
        const auto *carriageReturn =
            static_cast<const char *>(std::memchr(from, '\r', beforeLineFeed));
        const std::size_t end = start
            + (carriageReturn ? static_cast<std::size_t>(carriageReturn - from) : beforeLineFeed);
        std::size_t last = end;
        while (last > start && IsBlank(static_cast<unsigned char>(text[last - 1])))
            --last;
        if (last > start) {
            if (lines > 0 && emptyWaits) {
                out.append(LINE_BREAK);
                ++lines;
            }
            if (lines > 0)
                out.append(LINE_BREAK);
            emptyWaits = false;
            const std::size_t from = out.size();
            out.append(text.data() + start, last - start);
            std::replace(out.begin() + static_cast<std::ptrdiff_t>(from), out.end(), '\0', ' ');
            ++lines;
        } else {
            emptyWaits = lines > 0;
        }
        if (end >= text.size())
            break;
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    if (lines == 1) {
        const auto [begin, end] = UnblankedBounds(out);
        out.erase(end);
        out.erase(0, begin);
    }
}

// dictd repeats the headword as the article's first line, often in its proper spelling ("Unix"
// under "unix"): that line is dropped, and its spelling is kept for the headword. True when it
// is to be dropped.
bool TakeHeadwordLine(
    std::string &headword, const std::string &article, DictionaryEncoding encoding)
{
    const std::string first = TrimBlanks(article.substr(0, article.find('\n')));
    if (first.empty() || Upper(first, encoding) != Upper(headword, encoding))
        return false;
    headword = first;
    return true;
}

// The lookup finds a letter's block by the headword's first byte as stored and the query's first
// byte upper-cased, so a headword must start with a byte ToUpper leaves alone. The two yo letters
// are told apart by that comparison (ToUpper keeps the small one): such a headword is stored
// under the capital and again under the small letter, so that either spelling of a query finds it.
std::vector<std::string> Spellings(std::string headword)
{
    auto &first = reinterpret_cast<unsigned char &>(headword[0]);
    if (first != CAPITAL_YO && first != SMALL_YO) {
        first = ToUpperByte(first);
        return {headword};
    }
    first = CAPITAL_YO;
    return {headword, static_cast<char>(SMALL_YO) + ToLower(headword.substr(1))};
}

// A record before the sort: one spelling of a source entry, its headword and key kept in the
// flat texts of all of them (Candidates), as an installed dictionary has hundreds of thousands.
struct Candidate
{
    std::size_t headword; // offset in Candidates::headwords
    std::size_t key; // offset in Candidates::keys
    std::uint32_t headwordSize;
    std::uint32_t keySize;
    ArticlePart part;
};

struct Candidates
{
    std::vector<Candidate> list;
    std::string headwords;
    std::string keys;

    std::string_view Headword(const Candidate &candidate) const
    {
        return std::string_view(headwords).substr(candidate.headword, candidate.headwordSize);
    }
    std::string_view Key(const Candidate &candidate) const
    {
        return std::string_view(keys).substr(candidate.key, candidate.keySize);
    }
    void Add(std::string_view headword, std::string_view key, ArticlePart part)
    {
        list.push_back({headwords.size(), keys.size(), static_cast<std::uint32_t>(headword.size()),
            static_cast<std::uint32_t>(key.size()), part});
        headwords.append(headword);
        keys.append(key);
    }
    // Printable ASCII, whose key is its letters a-z upper-cased, written straight into place.
    void AddAscii(std::string_view headword, ArticlePart part)
    {
        const std::size_t key = keys.size();
        list.push_back({headwords.size(), key, static_cast<std::uint32_t>(headword.size()),
            static_cast<std::uint32_t>(headword.size()), part});
        headwords.append(headword);
        keys.append(headword);
        UpperAscii(keys.data() + key, headword.size());
    }
};

// The candidates' positions in the order of their keys, those with one key in the order given.
// A source's own index is mostly in this order already: the entries in order with their
// neighbours are kept as they stand, only the others are sorted, and the two are merged.
std::vector<std::uint32_t> KeyOrder(const Candidates &candidates)
{
    const std::vector<Candidate> &list = candidates.list;
    const auto n = static_cast<std::uint32_t>(list.size());
    const auto key = [&](std::uint32_t i) { return candidates.Key(list[i]); };
    std::vector<std::uint32_t> kept;
    std::vector<std::uint32_t> others;
    kept.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::string_view mine = key(i);
        const bool inOrder =
            (kept.empty() || key(kept.back()) <= mine) && (i + 1 == n || mine <= key(i + 1));
        (inOrder ? kept : others).push_back(i);
    }
    if (others.empty())
        return kept;
    const auto before = [&key](std::uint32_t a, std::uint32_t b) {
        const int order = key(a).compare(key(b));
        return order < 0 || (order == 0 && a < b);
    };
    std::stable_sort(others.begin(), others.end(), before);
    std::vector<std::uint32_t> order(n);
    std::merge(kept.begin(), kept.end(), others.begin(), others.end(), order.begin(), before);
    return order;
}

} // namespace

std::string DictionaryUpper(const std::string &text, DictionaryEncoding encoding)
{
    return Upper(text, encoding);
}

bool FitsWindows1251(const SourceData &data)
{
    if (!data.utf8)
        return true;
    const auto fits = [](const std::string &text) {
        bool stressed = false;
        std::size_t unmapped = 0;
        Utf8ToAnsi(WithoutStress(text, stressed), &unmapped);
        return unmapped == 0;
    };
    for (const SourceEntry &entry : data.entries)
        if (!fits(entry.headword))
            return false;
    return std::all_of(data.articles.begin(), data.articles.end(), fits);
}

bool ArticlesHaveLines(const SourceData &data)
{
    return std::any_of(data.articles.begin(), data.articles.end(), [&](const std::string &text) {
        std::size_t lines = 0;
        for (std::size_t start = 0; start <= text.size() && lines < 3;) {
            std::size_t end = text.find_first_of("\r\n", start);
            if (end == std::string::npos)
                end = text.size();
            if (TrimBlanks(text.substr(start, end - start)).size() > 0)
                ++lines;
            start = end + 1;
        }
        // dictd's first line, the headword, is not part of the article.
        return lines > (data.headwordLineFirst ? 2u : 1u);
    });
}

namespace {

// Takes a source's entries one by one as the candidate records they make, and makes the records
// of them in index order.
class Preparer
{
public:
    Preparer(const SourceData &data, DictionaryEncoding encoding, BuildReport &report,
        std::vector<std::optional<std::string>> &articles)
        : data(data)
        , encoding(encoding)
        , report(report)
        , articles(articles)
        // A source read without its articles' text gives empty articles, which convert to
        // nothing.
        , withText(!data.articles.empty())
    {
        articles.assign(withText ? data.articles.size() : 0, std::nullopt);
    }
    // Room for count entries whose headwords take bytes in all.
    void Reserve(std::size_t count, std::size_t bytes)
    {
        candidates.list.reserve(count);
        candidates.headwords.reserve(bytes);
        candidates.keys.reserve(bytes);
    }
    // True when the headword was printable ASCII, neither starting nor ending with a blank.
    bool Take(std::string_view source, std::uint32_t article);
    PreparedRecords Records(Duplicates duplicates, bool keepKeys);

private:
    const SourceData &data;
    const DictionaryEncoding encoding;
    BuildReport &report;
    std::vector<std::optional<std::string>> &articles;
    const bool withText;
    Candidates candidates;
};

bool Preparer::Take(std::string_view source, std::uint32_t article)
{
    // The headword as the report shows it, made only for a note.
    const auto note = [&](const char *action, const std::string &reason) {
        report.notes.push_back(
            {action, data.utf8 ? std::string(source) : AnsiToUtf8(std::string(source)), reason});
    };
    std::size_t unmapped = 0;
    bool stressed = false;
    // Most headwords are printable ASCII with nothing to trim, which the rules below leave
    // as it is: an installed dictionary's hundreds of thousands are taken without them.
    const bool plain = encoding == DictionaryEncoding::Utf8 && IsPlainAscii(source);
    if (plain && !withText && source.size() <= MAX_HEADWORD) {
        // Nothing to convert nor an article line to take a spelling from.
        candidates.AddAscii(source, ArticlePart{article, false});
        return true;
    }
    std::string headword = plain
        ? std::string(source)
        : ToDictionaryText(std::string(source), data.utf8, encoding, true, unmapped, stressed);
    if (!plain) {
        for (char &c : headword)
            if (static_cast<unsigned char>(c) < 0x20)
                c = ' ';
        headword = TrimBlanks(headword);
    }
    if (unmapped > 0) {
        ++report.unmappedHeadwords;
        note("skipped", "headword has a character without a Windows-1251 counterpart");
        return plain;
    }
    bool dropFirstLine = false;
    if (withText) {
        std::optional<std::string> &converted = articles[article];
        if (!converted) {
            bool articleStressed = false;
            converted = ToDictionaryText(data.articles[article], data.utf8, encoding,
                encoding == DictionaryEncoding::Cp1251, unmapped, articleStressed);
            report.unmappedCharacters += unmapped;
            if (unmapped > 0)
                note("changed",
                    std::to_string(unmapped)
                        + " characters without a Windows-1251 counterpart written as ?");
            stressed = stressed || articleStressed;
        }
        dropFirstLine = data.headwordLineFirst && !headword.empty()
            && TakeHeadwordLine(headword, *converted, encoding);
    }
    // The article's first line may have given the headword another spelling.
    const bool ascii = plain && !dropFirstLine;
    if (headword.empty()) {
        ++report.emptyHeadwords;
        note("skipped", "empty headword");
        return plain;
    }
    const std::size_t characters = ascii ? headword.size() : Characters(headword, encoding);
    if (characters > MAX_HEADWORD) {
        ++report.longHeadwords;
        note("skipped",
            "headword of " + std::to_string(characters) + " characters, over "
                + std::to_string(MAX_HEADWORD));
        return plain;
    }
    if (stressed) {
        ++report.stressedEntries;
        note("changed", "stress marks dropped");
    }
    const ArticlePart part{article, dropFirstLine};
    if (ascii) {
        // No yo in it, nor a ye spelling: one record, its key the letters a-z upper-cased.
        candidates.AddAscii(headword, part);
        return plain;
    }
    const auto add = [&](const std::string &form) {
        // A UTF-8 dictionary finds a block by its first character upper-cased, yo included.
        if (encoding == DictionaryEncoding::Utf8) {
            candidates.Add(form, Upper(form, encoding), part);
            return;
        }
        const std::vector<std::string> spellings = Spellings(form);
        report.yoAliases += spellings.size() - 1;
        for (const std::string &spelling : spellings)
            candidates.Add(spelling, Upper(spelling, encoding), part);
    };
    add(headword);
    if (std::string ye = YoAsYe(headword, encoding); ye != headword) {
        ++report.yeSpellings;
        add(ye);
    }
    return plain;
}

PreparedRecords Preparer::Records(Duplicates duplicates, bool keepKeys)
{
    // Stable, so that entries with one headword keep the source's order.
    PreparedRecords records;
    const std::size_t count = candidates.list.size();
    records.headwords.reserve(keepKeys ? count : 0);
    records.keys.reserve(keepKeys ? count : 0);
    records.headwordStart.reserve(keepKeys ? 0 : count);
    records.headwordText.reserve(keepKeys ? 0 : candidates.headwords.size() + count);
    records.parts.reserve(count);
    records.partStart.reserve(count + 1);
    const Candidate *last = nullptr; // the candidate the last record was made of
    for (const std::uint32_t i : KeyOrder(candidates)) {
        const Candidate &candidate = candidates.list[i];
        const std::string_view headword = candidates.Headword(candidate);
        if (duplicates == Duplicates::Merge && last
            && candidates.Key(*last) == candidates.Key(candidate)) {
            ++report.mergedHeadwords;
            // Only the maker lists them: an installed dictionary merges tens of thousands.
            if (keepKeys)
                report.notes.push_back({"merged", Shown(std::string(headword), encoding),
                    "reads the same as " + Shown(records.headwords.back(), encoding)
                        + ": articles joined"});
        } else {
            if (keepKeys) {
                records.headwords.emplace_back(headword);
                records.keys.emplace_back(candidates.Key(candidate));
            } else {
                records.headwordStart.push_back(records.headwordText.size());
                records.headwordText += headword;
                records.headwordText += '\0';
            }
            last = &candidate;
            records.partStart.push_back(static_cast<std::uint32_t>(records.parts.size()));
        }
        records.parts.push_back(candidate.part);
    }
    records.partStart.push_back(static_cast<std::uint32_t>(records.parts.size()));
    return records;
}

// The records without their articles; articles receives each source article the records take,
// converted.
PreparedRecords Prepare(const SourceData &data, Duplicates duplicates, DictionaryEncoding encoding,
    BuildReport &report, std::vector<std::optional<std::string>> &articles, bool keepKeys)
{
    Preparer preparer(data, encoding, report, articles);
    std::size_t bytes = 0;
    for (const SourceEntry &source : data.entries)
        bytes += source.headword.size();
    preparer.Reserve(data.entries.size(), bytes);
    for (const SourceEntry &source : data.entries)
        preparer.Take(source.headword, source.article);
    return preparer.Records(duplicates, keepKeys);
}

// Numbers the places where entries' articles lie in the order they lie in the data, each place
// once and those at one offset in the order first met, as numbering them as met and then sorting
// them by offset would; number receives each entry's place. A radix sort of the offsets: an
// index's entries seldom follow the order of their data, and hundreds of thousands of them were
// looked up one by one and then sorted.
void NumberPlacesInOrder(const std::vector<SourcePlace> &entries, SourcePlaces &places,
    std::vector<std::uint32_t> &number)
{
    const std::size_t n = entries.size();
    using Entry = std::pair<std::uint64_t, std::uint32_t>; // offset, entry
    std::vector<Entry> order(n);
    std::uint64_t bits = 0;
    bool sorted = true;
    for (std::size_t i = 0; i < n; ++i) {
        order[i] = {entries[i].offset, static_cast<std::uint32_t>(i)};
        bits |= entries[i].offset;
        sorted = sorted && (i == 0 || entries[i - 1].offset <= entries[i].offset);
    }
    if (!sorted) {
        constexpr unsigned DIGIT = 11;
        std::vector<Entry> other(n);
        for (unsigned shift = 0; shift < 64 && (bits >> shift) != 0; shift += DIGIT) {
            std::vector<std::size_t> start((std::size_t{1} << DIGIT) + 1, 0);
            for (const Entry &entry : order)
                ++start[((entry.first >> shift) & ((1u << DIGIT) - 1)) + 1];
            for (std::size_t digit = 1; digit < start.size(); ++digit)
                start[digit] += start[digit - 1];
            for (const Entry &entry : order)
                other[start[(entry.first >> shift) & ((1u << DIGIT) - 1)]++] = entry;
            order.swap(other);
        }
    }
    number.assign(n, 0);
    std::vector<std::pair<std::uint64_t, std::uint32_t>> lengths; // length, entry
    std::vector<std::pair<std::uint32_t, std::size_t>> firsts; // first entry, its length's run
    for (std::size_t group = 0; group < n;) {
        const std::uint64_t offset = order[group].first;
        const std::uint64_t length = entries[order[group].second].length;
        std::size_t end = group + 1;
        bool oneLength = true;
        for (; end < n && order[end].first == offset; ++end)
            oneLength = oneLength && entries[order[end].second].length == length;
        if (oneLength) {
            const auto place = static_cast<std::uint32_t>(places.size());
            places.push_back({offset, length});
            for (std::size_t k = group; k < end; ++k)
                number[order[k].second] = place;
            group = end;
            continue;
        }
        // Articles of several lengths at one offset: each length numbered by its first entry.
        lengths.clear();
        for (std::size_t k = group; k < end; ++k)
            lengths.push_back({entries[order[k].second].length, order[k].second});
        std::sort(lengths.begin(), lengths.end());
        firsts.clear();
        for (std::size_t k = 0; k < lengths.size(); ++k)
            if (k == 0 || lengths[k].first != lengths[k - 1].first)
                firsts.push_back({lengths[k].second, k});
        std::sort(firsts.begin(), firsts.end());
        for (const auto &[first, run] : firsts) {
            const auto place = static_cast<std::uint32_t>(places.size());
            places.push_back({offset, lengths[run].first});
            for (std::size_t k = run; k < lengths.size() && lengths[k].first == lengths[run].first;
                 ++k)
                number[lengths[k].second] = place;
        }
        group = end;
    }
}

} // namespace

PreparedRecords PrepareRecords(
    const SourceData &data, Duplicates duplicates, DictionaryEncoding encoding, BuildReport &report)
{
    std::vector<std::optional<std::string>> articles;
    return Prepare(data, duplicates, encoding, report, articles, false);
}

bool PrepareDictdRecords(const std::string &path, SourceData &data, PreparedRecords &records,
    BuildReport &report, bool &settled, std::string &error)
{
    std::vector<std::optional<std::string>> articles;
    // The index is read into data, which holds no articles: Preparer takes none.
    Preparer preparer(data, DictionaryEncoding::Utf8, report, articles);
    // Room for what an index of this size holds, as ReadSource reserves it: the arrays grown
    // step by step copied every candidate twice over.
    std::error_code failed;
    const std::uintmax_t bytes = std::filesystem::file_size(path, failed);
    if (!failed && bytes <= SOURCE_INDEX_LIMIT)
        preparer.Reserve(static_cast<std::size_t>(bytes / 16), static_cast<std::size_t>(bytes));
    bool allAscii = true;
    bool yo = false;
    // Each entry's record parts name the entry until its article's place is numbered.
    std::vector<SourcePlace> entries;
    entries.reserve(failed ? 0 : static_cast<std::size_t>(bytes / 16));
    const bool read =
        ReadDictdEntries(path, data, error, [&](std::string_view headword, SourcePlace place) {
            const auto entry = static_cast<std::uint32_t>(entries.size());
            entries.push_back(place);
            if (!preparer.Take(headword, entry) && !IsAscii(headword.data(), headword.size())) {
                allAscii = false;
                yo = yo || headword.find("\xD1\x91") != std::string_view::npos
                    || headword.find("\xD0\x81") != std::string_view::npos;
            }
        });
    if (!read)
        return false;
    settled = data.utf8Decided ? !yo : allAscii;
    if (!settled)
        return true;
    records = preparer.Records(Duplicates::Merge, false);
    std::vector<std::uint32_t> number;
    NumberPlacesInOrder(entries, data.places, number);
    for (ArticlePart &part : records.parts)
        part.article = number[part.article];
    return true;
}

std::vector<BuiltEntry> PrepareEntries(
    const SourceData &data, Duplicates duplicates, DictionaryEncoding encoding, BuildReport &report)
{
    std::vector<std::optional<std::string>> articles;
    PreparedRecords records = Prepare(data, duplicates, encoding, report, articles, true);
    std::vector<BuiltEntry> entries;
    entries.reserve(records.headwords.size());
    for (std::size_t i = 0; i < records.headwords.size(); ++i)
        entries.push_back(
            {std::move(records.headwords[i]), std::move(records.keys[i]), std::string(),
                std::vector<ArticlePart>(records.parts.begin() + records.partStart[i],
                    records.parts.begin() + records.partStart[i + 1])});
    // An article no record took, or a source read without its text, has no converted form.
    const auto source = [&articles](std::uint32_t article) {
        return article < articles.size() && articles[article] ? *articles[article] : std::string();
    };
    for (BuiltEntry &entry : entries) {
        std::size_t characters = 0;
        entry.article = ComposeArticle(entry.parts, source, encoding, characters);
        if (characters > MAX_ARTICLE) {
            report.notes.push_back({"cut", Shown(entry.headword, encoding),
                "article of " + std::to_string(characters) + " characters cut to "
                    + std::to_string(MAX_ARTICLE)});
            ++report.cutArticles;
        }
    }
    return entries;
}

std::string ConvertedArticle(
    const std::string &text, bool sourceUtf8, DictionaryEncoding encoding, std::size_t &unmapped)
{
    bool stressed = false;
    return ToDictionaryText(
        text, sourceUtf8, encoding, encoding == DictionaryEncoding::Cp1251, unmapped, stressed);
}

namespace {

// characters receives the text's length before it is cut to the longest article.
void CutArticle(std::string &text, DictionaryEncoding encoding, std::size_t &characters)
{
    characters = Characters(text, encoding);
    if (characters > MAX_ARTICLE)
        text.resize(encoding == DictionaryEncoding::Utf8
                ? Utf8Text::BytesOf(text.data(), text.size(), MAX_ARTICLE)
                : MAX_ARTICLE);
}

// A part's text by the rules, uncut: its first line gone when it spells the headword, its lines
// kept (UTF-8) or joined into one (Windows-1251).
void PartText(
    ArticlePart part, std::string_view source, DictionaryEncoding encoding, std::string &out)
{
    if (part.dropFirstLine) {
        const std::size_t end = source.find('\n');
        source.remove_prefix(end == std::string_view::npos ? source.size() : end + 1);
    }
    if (encoding == DictionaryEncoding::Utf8)
        KeptLines(source, out);
    else
        out = OneLine(std::string(source));
}

} // namespace

std::string ComposeArticle(const std::vector<ArticlePart> &parts,
    const std::function<std::string(std::uint32_t)> &source, DictionaryEncoding encoding,
    std::size_t &characters)
{
    std::string text;
    if (parts.size() == 1) {
        ComposeArticle(parts[0], source(parts[0].article), encoding, text, characters);
        return text;
    }
    // The same article under two spellings of one word is not repeated.
    std::unordered_set<std::string> seen;
    for (const ArticlePart &part : parts) {
        std::string article;
        PartText(part, source(part.article), encoding, article);
        if (!seen.insert(article).second)
            continue;
        text += seen.size() == 1 ? article : " | " + article;
    }
    CutArticle(text, encoding, characters);
    return text;
}

void ComposeArticle(ArticlePart part, std::string_view source, DictionaryEncoding encoding,
    std::string &text, std::size_t &characters)
{
    PartText(part, source, encoding, text);
    CutArticle(text, encoding, characters);
}

bool MakeAttributeValue(
    const std::string &key, const std::string &utf8, bool cut, std::string &value)
{
    std::u16string units = Utf8ToUtf16(utf8);
    for (char16_t &unit : units)
        if (unit == u'\r' || unit == u'\n')
            unit = u' ';
    value = TrimBlanks(Utf16ToUtf8(units));
    units = Utf8ToUtf16(value);
    // The attribute line's limit counts UTF-16 units.
    const std::size_t room = MAX_ATTRIBUTE_LINE - key.size() - 1;
    if (units.size() <= room)
        return true;
    if (!cut)
        return false;
    std::size_t kept = room;
    if (units[kept - 1] >= 0xD800 && units[kept - 1] <= 0xDBFF)
        --kept;
    value = TrimBlanks(Utf16ToUtf8(units.substr(0, kept)));
    return true;
}
