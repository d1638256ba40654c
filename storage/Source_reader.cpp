#include "Source_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>
#include <map>
#include <utility>

#include "storage/Dictd_index.h"
#include "storage/Dictzip_file.h"
#include "storage/Plain_file.h"
#include "storage/Stardict_files.h"
#include "storage/Text_encoding.h"
#include "support/Code_page.h"

namespace {

// An article is cut to its first 99,999 characters in the end; a source's article may be longer
// by its markup, but not by this much.
constexpr std::uint64_t ARTICLE_SOURCE_LIMIT = 16 << 20;

bool EndsWith(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size()
        && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string WithoutSuffix(const std::string &text, const std::string &tail)
{
    return EndsWith(text, tail) ? text.substr(0, text.size() - tail.size()) : text;
}

// Gzip and dictzip files are inflated and any other file is taken as it is, so one reader
// serves the plain and the compressed forms alike. Only plain files are opened: a FIFO would
// block and a folder would only fail later with a less helpful message.
bool ReadWholeFile(const std::string &path, std::string &bytes, std::string &error,
    std::uint64_t limit = std::numeric_limits<std::uint64_t>::max())
{
    if (!IsRegularFile(path)) {
        error = path + ": no such file, or not a plain file";
        return false;
    }
    DictzipFile file;
    if (!file.Open(path, error))
        return false;
    if (file.Size() > limit) {
        error = path + ": " + std::to_string(file.Size() >> 20) + " MB, too large to be read";
        return false;
    }
    return file.Read(0, static_cast<std::size_t>(file.Size()), bytes, error);
}

// The articles' places, each numbered in the order first met: entries that share an article
// are looked up by its place. An open table of the numbers alone stays small enough for the
// processor's caches, which a map of a node per place does not.
//
// A place's slot is its offset scaled to the table, not a hash of it: an index lists articles
// that lie near one another together, whatever order it keeps, so that lookups in turn touch the
// same few lines of the table instead of a line each at random. Articles crowded into a small
// part of the data would make long runs of taken slots; the table then spreads them by a hash.
class PlaceNumbers
{
public:
    PlaceNumbers(SourcePlaces &places, std::size_t expected, std::uint64_t dataSize)
        : places(places)
        , dataSize(dataSize)
    {
        Grow(expected);
    }
    std::uint32_t Number(std::uint64_t offset, std::uint64_t length)
    {
        if ((places.size() + 1) * 2 > slots.size())
            Grow(slots.size());
        std::size_t probes = 0;
        for (std::size_t at = Slot(offset, length);; at = (at + 1) & (slots.size() - 1)) {
            if (slots[at] == EMPTY) {
                slots[at] = static_cast<std::uint32_t>(places.size());
                places.push_back({offset, length});
                if (probes > LONG_RUN && !scattered) {
                    scattered = true;
                    Grow(places.size());
                }
                return static_cast<std::uint32_t>(places.size() - 1);
            }
            // The offset alone tells most places apart, and is the cheaper to read.
            if (places.Offset(slots[at]) == offset && places[slots[at]].length == length)
                return slots[at];
            ++probes;
        }
    }

private:
    static constexpr std::uint32_t EMPTY = UINT32_MAX;
    static constexpr std::size_t LONG_RUN = 64;
    std::size_t Slot(std::uint64_t offset, std::uint64_t length) const
    {
        if (!scattered)
            return static_cast<std::size_t>(offset >> shift) & (slots.size() - 1);
        const std::uint64_t mixed =
            (offset ^ length * 0xC2B2AE3D27D4EB4Full) * 0x9E3779B97F4A7C15ull;
        return static_cast<std::size_t>(mixed >> 32) & (slots.size() - 1);
    }
    // Room for twice count, in a power of two; every place numbered again.
    void Grow(std::size_t count)
    {
        std::size_t size = 16;
        while (size < count * 2)
            size *= 2;
        slots.assign(size, EMPTY);
        shift = 0;
        while ((dataSize >> shift) >= size)
            ++shift;
        for (std::uint32_t i = 0; i < places.size(); ++i) {
            std::size_t at = Slot(places[i].offset, places[i].length);
            while (slots[at] != EMPTY)
                at = (at + 1) & (slots.size() - 1);
            slots[at] = i;
        }
    }

    SourcePlaces &places;
    std::vector<std::uint32_t> slots;
    std::uint64_t dataSize;
    unsigned shift = 0;
    bool scattered = false;
};

// The first of the candidates that exists.
std::string FirstExisting(const std::vector<std::string> &candidates)
{
    for (const std::string &path : candidates)
        if (IsRegularFile(path))
            return path;
    return std::string();
}

std::vector<std::string> SplitLines(const std::string &text, char lineEnd = '\n')
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(lineEnd, start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string LineEndsOf(const std::string &text, bool crOnly)
{
    if (crOnly)
        return "CR";
    bool crLf = false;
    bool lf = false;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
        (at > 0 && text[at - 1] == '\r' ? crLf : lf) = true;
    return crLf && lf ? "CR LF and LF" : crLf ? "CR LF" : lf ? "LF" : "";
}

std::string Trim(const std::string &text)
{
    const char *blanks = " \t\r\n";
    const std::size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string::npos)
        return std::string();
    return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

// Editors on Windows start UTF-8 files with a byte-order mark; it is no part of the text.
bool DropByteOrderMark(std::string &text)
{
    if (text.compare(0, 3, "\xEF\xBB\xBF") != 0)
        return false;
    text.erase(0, 3);
    return true;
}

bool ChooseUtf8(TextEncoding encoding, const std::string &sample)
{
    if (encoding == TextEncoding::Auto)
        return IsUtf8(sample);
    return encoding == TextEncoding::Utf8;
}

std::string At(const std::string &path, std::size_t line)
{
    return path + ":" + std::to_string(line) + ": ";
}

bool ReadTsv(const std::string &path, TextEncoding encoding, SourceData &data, std::string &error)
{
    std::string text;
    if (!ReadWholeFile(path, text, error))
        return false;
    const bool marked = DropByteOrderMark(text);
    data.utf8 = (marked && encoding == TextEncoding::Auto) || ChooseUtf8(encoding, text);
    // Old Mac editors end lines with CR alone; a CR inside a line of a file with LF line ends
    // stays part of its article, as it always has.
    const std::size_t firstEnd = text.find_first_of("\r\n");
    const bool crOnly = firstEnd != std::string::npos && text[firstEnd] == '\r'
        && text.compare(firstEnd, 2, "\r\n") != 0;
    const std::vector<std::string> lines = SplitLines(text, crOnly ? '\r' : '\n');
    data.lineEnds = LineEndsOf(text, crOnly);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string &line = lines[i];
        if (Trim(line).empty())
            continue;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            error = At(path, i + 1) + "no TAB between the headword and the article";
            return false;
        }
        // An article is numbered in 31 bits (ArticlePart).
        if (data.articles.size() >= (std::size_t{1} << 31)) {
            error = At(path, i + 1) + "more lines than a dictionary can hold";
            return false;
        }
        data.entries.push_back(
            {line.substr(0, tab), static_cast<std::uint32_t>(data.articles.size())});
        data.articles.push_back(line.substr(tab + 1));
    }
    return true;
}

// Each article, in the order they lie in, so that each chunk is inflated once, until take
// returns false.
template <class Take>
bool ReadInPlaceOrder(DictzipFile &file, const SourcePlaces &places, std::string &error, Take take)
{
    // Each place is looked up once: a packed one costs a lookup, and a sort comparing them
    // looked each up a score of times.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> order(places.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = {places[i].offset, i};
    // Articles usually lie in the order they are numbered.
    if (!std::is_sorted(order.begin(), order.end()))
        std::sort(order.begin(), order.end());
    std::string article;
    for (const auto &[offset, i] : order) {
        const SourcePlace place = places[i];
        if (!file.Read(place.offset, static_cast<std::size_t>(place.length), article, error))
            return false;
        if (!take(i, article))
            break;
    }
    return true;
}

// The article's first line, with its line end: all that the headword rules look at.
std::string FirstLine(const std::string &article)
{
    return article.substr(0, article.find('\n'));
}

// take, when given, receives each entry in place of data.entries.
bool ReadDictd(const std::string &path, TextEncoding encoding, SourceData &data, std::string &error,
    ArticleText text, const DictdEntryTaker *take = nullptr)
{
    const std::string base = WithoutSuffix(path, ".index");
    const std::string dictPath = FirstExisting({base + ".dict.dz", base + ".dict"});
    if (dictPath.empty()) {
        error = path + ": neither " + base + ".dict.dz nor " + base + ".dict exists";
        return false;
    }
    std::string index;
    if (!ReadWholeFile(path, index, error, SOURCE_INDEX_LIMIT))
        return false;
    // The data is read where the index points, never whole: a data file may be of any size.
    DictzipFile dict;
    if (!dict.Open(dictPath, error))
        return false;
    data.dataPath = dictPath;

    bool declaredUtf8 = DropByteOrderMark(index);
    // Entries that share an article are looked up by its place; an index has hundreds of
    // thousands of lines, taken as views of the text rather than copied one by one.
    std::optional<PlaceNumbers> shared;
    if (!take) {
        shared.emplace(data.places, index.size() / 16, dict.Size());
        data.entries.reserve(index.size() / 16);
    }
    std::string info;
    std::string article;
    std::size_t i = 0;
    for (std::size_t start = 0; start < index.size(); ++i) {
        std::size_t end = index.find('\n', start);
        if (end == std::string::npos)
            end = index.size();
        std::string_view text(index.data() + start, end - start);
        start = end + 1;
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        if (text.empty())
            continue;
        DictdIndexLine line;
        std::string reason;
        if (!ParseDictdIndexLine(text, line, reason)) {
            error = At(path, i + 1) + reason;
            return false;
        }
        if (line.offset > dict.Size() || line.length > dict.Size() - line.offset) {
            error = At(path, i + 1) + "the article lies beyond the end of " + dictPath;
            return false;
        }
        if (line.length > ARTICLE_SOURCE_LIMIT) {
            error = At(path, i + 1) + "an article of " + std::to_string(line.length)
                + " bytes: no dictionary's";
            return false;
        }
        if (IsSpecialDictdName(line.name)) {
            ++data.specialEntries;
            data.specialHeadwords.emplace_back(line.name);
            const DictdSpecial kind = DictdSpecialKind(line.name);
            if (kind == DictdSpecial::Utf8)
                declaredUtf8 = true;
            if (kind == DictdSpecial::Utf8 || kind == DictdSpecial::None)
                continue;
            if (!dict.Read(line.offset, static_cast<std::size_t>(line.length), article, error))
                return false;
            std::string &value = kind == DictdSpecial::Short ? data.title
                : kind == DictdSpecial::Url                  ? data.origin
                                                             : info;
            value = DictdSpecialValue(line.name, article);
            continue;
        }
        if (take)
            (*take)(line.headword, SourcePlace{line.offset, line.length});
        else
            data.entries.push_back(
                {std::string(line.headword), shared->Number(line.offset, line.length)});
    }
    if (data.origin.empty())
        data.origin = info;

    data.headwordLineFirst = true;
    if (text == ArticleText::None) {
        data.utf8Decided = declaredUtf8 || encoding != TextEncoding::Auto;
        data.utf8 = encoding != TextEncoding::Cp1251;
        return true;
    }
    data.articles.resize(data.places.size());
    // The text is taken as UTF-8 when every article is.
    bool allUtf8 = true;
    const bool read = ReadInPlaceOrder(
        dict, data.places, error, [&](std::uint32_t i, const std::string &article) {
            allUtf8 = allUtf8 && IsUtf8(article);
            if (text == ArticleText::Whole)
                data.articles[i] = article;
            else
                data.articles[i] = FirstLine(article);
            return true;
        });
    if (!read)
        return false;
    data.utf8 =
        encoding == TextEncoding::Auto ? declaredUtf8 || allUtf8 : encoding == TextEncoding::Utf8;
    return true;
}

bool ReadStarDict(const std::string &path, SourceData &data, std::string &error, ArticleText text)
{
    std::string ifo;
    if (!ReadWholeFile(path, ifo, error, SOURCE_INDEX_LIMIT))
        return false;
    StarDictInfo info;
    std::string reason;
    if (!ParseIfo(ifo, info, reason)) {
        error = path + ": " + reason;
        return false;
    }
    const std::string base = WithoutSuffix(path, ".ifo");
    const std::string idxPath = FirstExisting({base + ".idx", base + ".idx.gz"});
    const std::string dictPath = FirstExisting({base + ".dict.dz", base + ".dict"});
    if (idxPath.empty() || dictPath.empty()) {
        error = path + ": " + base + (idxPath.empty() ? ".idx" : ".dict") + " is missing";
        return false;
    }
    std::string idx;
    if (!ReadWholeFile(idxPath, idx, error, SOURCE_INDEX_LIMIT))
        return false;
    if (info.hasIdxFileSize && info.idxFileSize != idx.size()) {
        error = idxPath + ": holds " + std::to_string(idx.size()) + " bytes, " + path
            + " says idxfilesize=" + std::to_string(info.idxFileSize);
        return false;
    }
    std::vector<StarDictWord> words;
    if (!ParseIdx(idx, info.offsetBytes, words, reason)) {
        error = idxPath + ": " + reason;
        return false;
    }
    if (words.size() != info.wordCount) {
        error = idxPath + ": holds " + std::to_string(words.size()) + " words, " + path
            + " says wordcount=" + std::to_string(info.wordCount);
        return false;
    }
    // Only the whole text needs the articles now; otherwise the data file's length is enough.
    DictzipFile dictFile;
    if (!dictFile.Open(dictPath, error))
        return false;
    std::string dict;
    if (text == ArticleText::Whole
        && !dictFile.Read(0, static_cast<std::size_t>(dictFile.Size()), dict, error))
        return false;
    data.dataPath = dictPath;
    data.typeSequence = info.sameTypeSequence;
    if (!words.empty()) {
        const StarDictWord &first = words.front();
        if (first.offset > dictFile.Size() || first.size > dictFile.Size() - first.offset) {
            error = idxPath + ": word 1 points beyond the end of " + dictPath;
            return false;
        }
        data.places.push_back({first.offset, first.size});
        const bool settled = SettleSourceMarkup(dictFile, SourceFormat::StarDict, data, error);
        data.places.clear();
        if (!settled)
            return false;
    }

    std::map<std::pair<std::uint64_t, std::uint64_t>, std::uint32_t> shared;
    std::vector<std::uint32_t> articleOfWord;
    for (const StarDictWord &word : words) {
        const std::string where = idxPath + ": word " + std::to_string(articleOfWord.size() + 1);
        if (word.offset > dictFile.Size() || word.size > dictFile.Size() - word.offset) {
            error = where + " points beyond the end of " + dictPath;
            return false;
        }
        const auto [place, added] = shared.emplace(std::make_pair(word.offset, word.size),
            static_cast<std::uint32_t>(data.articles.size()));
        if (added) {
            std::string article;
            if (text == ArticleText::Whole
                && !DecodeStarDictArticle(std::string_view(dict).substr(word.offset, word.size),
                    info.sameTypeSequence, data.markup, article, data.skippedTypes)) {
                error = where + ": its article's fields run past its end";
                return false;
            }
            data.articles.push_back(std::move(article));
            data.places.push_back({word.offset, word.size});
        }
        articleOfWord.push_back(place->second);
        data.entries.push_back({std::string(word.headword), place->second});
    }

    // Synonyms name a word of the index by its position.
    const std::string synPath = FirstExisting({base + ".syn", base + ".syn.dz"});
    std::string syn;
    if (!synPath.empty() && !ReadWholeFile(synPath, syn, error, SOURCE_INDEX_LIMIT))
        return false;
    std::vector<StarDictSynonym> synonyms;
    if (!ParseSyn(syn, articleOfWord.size(), synonyms, reason)) {
        error = synPath + ": " + reason;
        return false;
    }
    for (const StarDictSynonym &synonym : synonyms)
        data.entries.push_back({std::string(synonym.headword), articleOfWord[synonym.word]});
    data.utf8 = true;
    data.title = info.bookName;
    data.origin = !info.website.empty() ? info.website : info.author;
    return true;
}

} // namespace

bool IsUtf8(const std::string &text)
{
    return Utf8Text::IsProgramText(text.data(), text.size());
}

std::optional<SourceFormat> FormatFromName(const std::string &path)
{
    const std::string name = WithoutSuffix(WithoutSuffix(path, ".gz"), ".dz");
    if (EndsWith(name, ".tsv") || EndsWith(name, ".txt") || EndsWith(name, ".tab"))
        return SourceFormat::Tsv;
    if (EndsWith(name, ".index"))
        return SourceFormat::Dictd;
    if (EndsWith(name, ".ifo"))
        return SourceFormat::StarDict;
    return std::nullopt;
}

bool ReadSource(const std::string &path, SourceFormat format, TextEncoding encoding,
    SourceData &data, std::string &error, ArticleText text)
{
    data = SourceData();
    switch (format) {
    case SourceFormat::Tsv:
        return ReadTsv(path, encoding, data, error);
    case SourceFormat::Dictd:
        data.markup = ArticleMarkup::Dictd;
        return ReadDictd(path, encoding, data, error, text);
    case SourceFormat::StarDict:
        return ReadStarDict(path, data, error, text);
    }
    return false;
}

bool ReadDictdEntries(
    const std::string &path, SourceData &data, std::string &error, const DictdEntryTaker &take)
{
    data = SourceData();
    data.markup = ArticleMarkup::Dictd;
    return ReadDictd(path, TextEncoding::Auto, data, error, ArticleText::None, &take);
}

bool ReadSourceArticle(DictzipFile &file, const SourceData &data, std::uint32_t article,
    std::string &text, std::string &skippedTypes, std::string &error)
{
    const SourcePlace &place = data.places[article];
    if (place.length > ARTICLE_SOURCE_LIMIT) {
        error = file.Path() + ": an article of " + std::to_string(place.length) + " bytes";
        return false;
    }
    if (data.typeSequence.empty() && data.headwordLineFirst)
        return file.Read(place.offset, static_cast<std::size_t>(place.length), text, error);
    std::string bytes;
    if (!file.Read(place.offset, static_cast<std::size_t>(place.length), bytes, error))
        return false;
    if (!DecodeStarDictArticle(bytes, data.typeSequence, data.markup, text, skippedTypes)) {
        error = file.Path() + ": the article at " + std::to_string(place.offset)
            + ": its fields run past its end";
        return false;
    }
    return true;
}

bool SettleSourceMarkup(
    DictzipFile &file, SourceFormat format, SourceData &data, std::string &error)
{
    data.markup = format == SourceFormat::Dictd ? ArticleMarkup::Dictd : ArticleMarkup::Plain;
    if (format != SourceFormat::StarDict)
        return true;
    std::string first;
    // An article too long to be read (ReadSourceArticle refuses it) leaves the text plain.
    if (data.typeSequence.empty() && !data.places.empty()
        && data.places.front().length <= ARTICLE_SOURCE_LIMIT) {
        const SourcePlace &place = data.places.front();
        if (!file.Read(place.offset, static_cast<std::size_t>(place.length), first, error))
            return false;
    }
    data.markup = StarDictMarkup(StarDictTextTypes(first, data.typeSequence));
    return true;
}

bool DictdArticlesUtf8(DictzipFile &file, const SourceData &data, bool &utf8, std::string &error)
{
    utf8 = true;
    // One article that is not UTF-8 settles it: the rest of the file need not be inflated.
    return ReadInPlaceOrder(file, data.places, error,
        [&utf8](std::uint32_t, const std::string &article) { return utf8 = IsUtf8(article); });
}

bool SourcePlaces::Restore(
    PackedNumbers &restoredOffsets, PackedNumbers &restoredGaps, std::uint64_t restoredLastEnd)
{
    const std::size_t count = restoredOffsets.size();
    if (restoredGaps.size() != (count == 0 ? 0 : count - 1))
        return false;
    // Each place's end, as push_back would have met it, a run at a time.
    std::uint64_t furthest = 0;
    std::vector<std::uint64_t> offset(PackedNumbers::RUN), next(PackedNumbers::RUN),
        gap(PackedNumbers::RUN);
    if (count > 0)
        restoredOffsets.Unpack(0, offset.data());
    for (std::size_t run = 0; run < restoredOffsets.RunCount(); ++run) {
        if (run + 1 < restoredOffsets.RunCount())
            restoredOffsets.Unpack(run + 1, next.data());
        if (run < restoredGaps.RunCount())
            restoredGaps.Unpack(run, gap.data());
        const std::size_t first = run * PackedNumbers::RUN;
        const std::size_t last = std::min(count, first + PackedNumbers::RUN);
        for (std::size_t i = first; i < last; ++i) {
            const std::size_t j = i - first;
            const std::uint64_t following = j + 1 < PackedNumbers::RUN ? offset[j + 1] : next[0];
            const std::uint64_t end =
                i + 1 < count ? following - (gap[j] - NO_GAP) : restoredLastEnd;
            furthest = end < offset[j] ? UINT64_MAX : std::max(furthest, end);
        }
        offset.swap(next);
    }
    offsets = std::move(restoredOffsets);
    gaps = std::move(restoredGaps);
    lastEnd = restoredLastEnd;
    reach = furthest;
    return true;
}
