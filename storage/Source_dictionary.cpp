#include "Source_dictionary.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>

#include "storage/Dictionary_index.h"
#include "storage/Source_cache.h"
#include "support/Code_page.h"
#include "support/Utils.h"

namespace {

// Whether two texts upper-case alike. Most headwords and first lines are ASCII, whose letters alone
// change: compared byte by byte rather than each upper-cased whole, which cost a search of a common
// word a twentieth. A character beyond ASCII may upper-case to an ASCII letter (the long s).
bool SameUpper(const std::string &a, const std::string &b)
{
    if (!IsAscii(a.data(), a.size()) || !IsAscii(b.data(), b.size()))
        return DictionaryUpper(a, DictionaryEncoding::Utf8)
            == DictionaryUpper(b, DictionaryEncoding::Utf8);
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return ToUpperByte(static_cast<unsigned char>(x))
            == ToUpperByte(static_cast<unsigned char>(y));
    });
}

// The first line without the blanks and control bytes at either end, as a headword is trimmed.
std::string FirstLineTrimmed(const std::string &text)
{
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::size_t begin = 0;
    std::size_t last = end;
    while (begin < last && static_cast<unsigned char>(text[begin]) <= 0x20)
        ++begin;
    while (last > begin && static_cast<unsigned char>(text[last - 1]) <= 0x20)
        --last;
    return text.substr(begin, last - begin);
}

// Numbers the articles in the order they lie in the data file, where their places take least
// room (SourcePlaces), and the parts to match.
void NumberByPlace(SourcePlaces &places, std::vector<ArticlePart> &parts)
{
    std::vector<std::pair<std::uint64_t, std::uint32_t>> order(places.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = {places.Offset(i), i};
    if (std::is_sorted(order.begin(), order.end()))
        return;
    std::sort(order.begin(), order.end());
    std::vector<std::uint32_t> number(order.size());
    SourcePlaces sorted;
    for (std::uint32_t k = 0; k < order.size(); ++k) {
        number[order[k].second] = k;
        sorted.push_back(places[order[k].second]);
    }
    for (ArticlePart &part : parts)
        part.article = number[part.article];
    places = std::move(sorted);
}

} // namespace

bool SourceDictionary::Open(
    const std::string &path, std::string &error, const std::string &cacheFolder)
{
    const std::optional<SourceFormat> format = FormatFromName(path);
    if (!format || *format == SourceFormat::Tsv) {
        error = path + ": neither a dictd .index nor a StarDict .ifo";
        return false;
    }
    const std::string stamp = cacheFolder.empty() ? std::string() : SourceStamp(path);
    const std::string cachePath =
        cacheFolder.empty() ? std::string() : SourceCachePath(cacheFolder, path);
    SourceSortResult sorted;
    const auto readSource = [&]() {
        sorted = SourceSortResult();
        // A dictd source's headwords are taken from its index alone, their spelling and the
        // encoding settled as records are read, unless the index leaves the order in doubt.
        BuildReport report;
        PreparedRecords prepared;
        sorted.linesUndecided = *format == SourceFormat::Dictd;
        if (sorted.linesUndecided
            && !PrepareDictdRecords(
                path, sorted.data, prepared, report, sorted.linesUndecided, error))
            return false;
        if (!sorted.linesUndecided) {
            // Only the first line: a dictd headword looks no further into its article.
            const ArticleText text =
                *format == SourceFormat::Dictd ? ArticleText::FirstLine : ArticleText::None;
            if (!ReadSource(path, *format, TextEncoding::Auto, sorted.data, error, text))
                return false;
            report = BuildReport();
            prepared =
                PrepareRecords(sorted.data, Duplicates::Merge, DictionaryEncoding::Utf8, report);
        }
        // Nothing reads the source's own entries again: a start from the cache has none.
        sorted.data.articles = std::vector<std::string>();
        sorted.data.entries = std::vector<SourceEntry>();
        NumberByPlace(sorted.data.places, prepared.parts);
        sorted.data.places.shrink_to_fit();
        const std::string &text = prepared.headwordText;
        const std::vector<std::size_t> &starts = prepared.headwordStart;
        if (starts.empty()) {
            error = path + ": holds no usable entries";
            return false;
        }
        // The index as loading "headword TAB number" lines would make it: each headword, which
        // holds no control byte and is no longer than a line's field, then a zero byte.
        if (text.size() > INT32_MAX) {
            error = path + ": its headwords take more room than an index has";
            return false;
        }
        ByteArena arena;
        arena.Allocate(text.size());
        std::memcpy(arena.data(), text.data(), text.size());
        std::vector<std::uint32_t> records(starts.begin(), starts.end());
        sorted.index.Restore(arena, records, DictionaryEncoding::Utf8);
        sorted.parts = RecordParts(prepared.partStart, prepared.parts);
        // A cache that cannot be written costs the next start time, nothing else.
        if (!cacheFolder.empty())
            WriteSourceCache(
                cachePath, stamp, sorted.data, sorted.parts, sorted.linesUndecided, sorted.index);
        return true;
    };
    fromCache = !cacheFolder.empty() && ReadSourceCache(cachePath, stamp, sorted);
    if (!fromCache && !readSource())
        return false;
    if (!file.Open(sorted.data.dataPath, error))
        return false;
    // A cache whose articles lie past the end of its data is damaged: it is made again.
    if (fromCache && sorted.data.places.Reach() > file.Size()) {
        fromCache = false;
        if (!readSource())
            return false;
    }
    if (sorted.data.places.Reach() > file.Size() || sorted.data.dataPath != file.Path()) {
        error = path + ": an article lies beyond the end of " + sorted.data.dataPath;
        return false;
    }
    // The cache keeps what sorting made; the markup is settled again from the source.
    if (fromCache && !SettleSourceMarkup(file, *format, sorted.data, error))
        return false;
    data = std::move(sorted.data);
    heldIndex = std::move(sorted.index);
    if (sorted.linesUndecided && !cacheFolder.empty()) {
        settledAt = std::move(sorted.spellingAt);
        spellings = std::move(sorted.spellings);
        spelled = static_cast<std::uint32_t>(settledAt.size());
        if (settledAt.empty()) {
            this->cachePath = cachePath;
            this->stamp = stamp;
        }
    }
    parts = std::move(sorted.parts);
    linesUndecided = sorted.linesUndecided;
    encoding = !data.utf8Decided ? 0 : data.utf8 ? 1 : 2;
    for (const char type : data.typeSequence)
        if (std::string("mtygxh").find(type) == std::string::npos
            && skippedTypes.find(type) == std::string::npos)
            skippedTypes += type;
    return true;
}

SourceDictionary::HeapFigures SourceDictionary::Heap() const
{
    const std::lock_guard<std::mutex> lock(reading);
    return {data.places.HeapBytes(), parts.HeapBytes(),
        settledAt.HeapBytes() + spellingAt.capacity() * 4 + spellings.capacity()};
}

void SourceDictionary::LoadIndex(DictionaryIndex &loaded)
{
    loaded = std::move(heldIndex);
    index = &loaded;
}

std::uint64_t SourceDictionary::RecordPlace(std::uint32_t record) const
{
    return data.places[parts.Part(parts.First(record)).article].offset;
}

bool SourceDictionary::SourceUtf8(bool &utf8, std::string &error) const
{
    const std::lock_guard<std::mutex> lock(deciding);
    int state = encoding;
    if (state == 0) {
        DictzipFile reader;
        bool all = true;
        state = reader.Open(data.dataPath, decideError)
                && DictdArticlesUtf8(reader, data, all, decideError)
            ? (all ? 1 : 2)
            : 3;
        encoding = state;
    }
    if (state == 3) {
        error = decideError;
        return false;
    }
    utf8 = state == 1;
    return true;
}

bool SourceDictionary::ReadArticle(DictzipFile &reader, std::uint32_t article, std::string &raw,
    std::string &converted, std::string &skipped, std::string &error) const
{
    return ReadSourceArticle(reader, data, article, raw, skipped, error)
        && Convert(raw, converted, error);
}

bool SourceDictionary::Convert(
    const std::string &raw, std::string &converted, std::string &error) const
{
    // ASCII reads the same either way: only other text needs the encoding decided.
    const int state = encoding;
    bool utf8 = state != 2;
    if (state != 1 && state != 2 && !IsAscii(raw.data(), raw.size()) && !SourceUtf8(utf8, error))
        return false;
    std::size_t unmapped = 0;
    converted = ConvertedArticle(raw, utf8, DictionaryEncoding::Utf8, unmapped);
    return true;
}

bool SourceDictionary::RepeatsHeadword(
    const std::string &converted, const std::string &headword) const
{
    const std::string first = FirstLineTrimmed(converted);
    return !first.empty() && SameUpper(first, headword);
}

void SourceDictionary::SpellAll() const
{
    if (!linesUndecided || !index)
        return;
    const std::lock_guard<std::mutex> lock(reading);
    if (!SpellingsOpen())
        return;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> order;
    for (std::uint32_t r = 0; r < RecordCount(); ++r)
        if (spellingAt[r] == 0 && r < index->GetWordCount())
            order.emplace_back(RecordPlace(r), r);
    std::sort(order.begin(), order.end());
    for (const auto &[place, r] : order)
        Spell(r, index->GetWord(r));
    KeepSpellings();
}

bool SourceDictionary::SpellingsOpen() const
{
    if (!settledAt.empty())
        return false;
    if (spellingAt.empty())
        spellingAt.assign(RecordCount(), 0);
    return true;
}

void SourceDictionary::KeepSpellings() const
{
    if (spelled != RecordCount() || spellingAt.empty())
        return;
    // Held packed from now on: most records take the index's spelling, and runs of them no room.
    for (const std::uint32_t at : spellingAt)
        settledAt.push_back(at);
    settledAt.shrink_to_fit();
    spellingAt = std::vector<std::uint32_t>();
    // Every record settled: the next start need not read the articles for it again.
    if (!cachePath.empty() && index) {
        WriteSourceCache(
            cachePath, stamp, data, parts, linesUndecided, *index, settledAt, spellings);
        cachePath.clear();
    }
}

bool SourceDictionary::Spell(std::uint32_t record, const std::string &indexed) const
{
    std::string raw;
    std::string converted;
    std::string skipped;
    std::string error;
    // An article that cannot be read leaves the index's spelling; reading it says why.
    if (!ReadArticle(file, parts.Part(parts.First(record)).article, raw, converted, skipped, error))
        return false;
    Settle(record, indexed, FirstLineTrimmed(converted));
    return true;
}

void SourceDictionary::Settle(
    std::uint32_t record, const std::string &indexed, const std::string &first) const
{
    std::uint32_t &at = spellingAt[record];
    if (first == indexed || !RepeatsHeadword(first, indexed))
        at = 1;
    else if (spellings.size() < UINT32_MAX - first.size() - 3) {
        at = static_cast<std::uint32_t>(spellings.size() + 2);
        spellings += first;
        spellings += '\0';
    }
    spelled += at != 0 ? 1 : 0;
}

void SourceDictionary::SettleFrom(
    const std::vector<std::pair<std::uint32_t, std::string>> &firstLines) const
{
    if (firstLines.empty())
        return;
    const std::lock_guard<std::mutex> lock(reading);
    if (!SpellingsOpen())
        return;
    for (const auto &[record, first] : firstLines)
        if (spellingAt[record] == 0)
            Settle(record, index->GetWord(record), first);
    KeepSpellings();
}

std::string SourceDictionary::Headword(std::uint32_t record, std::string indexed) const
{
    if (!linesUndecided || record >= RecordCount())
        return indexed;
    const std::lock_guard<std::mutex> lock(reading);
    if (settledAt.empty()) {
        if (spellingAt.empty())
            spellingAt.assign(RecordCount(), 0);
        if (spellingAt[record] == 0 && !Spell(record, indexed))
            return indexed;
        KeepSpellings();
    }
    const auto at =
        static_cast<std::uint32_t>(settledAt.empty() ? spellingAt[record] : settledAt[record]);
    if (at == 0) {
        // No room left to keep it: spelled again when asked again.
        std::string raw, converted, skipped, error;
        ReadArticle(file, parts.Part(parts.First(record)).article, raw, converted, skipped, error);
        return FirstLineTrimmed(converted);
    }
    return at == 1 ? indexed : std::string(spellings.c_str() + (at - 2));
}

bool SourceDictionary::Compose(std::uint32_t record,
    const std::function<bool(std::uint32_t, std::string &)> &read, std::string &text,
    std::string &error) const
{
    text.clear();
    if (record >= RecordCount())
        return true;
    std::vector<ArticlePart> recordParts = parts.Parts(record);
    // A part's first line is dropped when it spells the record's headword.
    std::string headword;
    if (linesUndecided) {
        if (!index || record >= index->GetWordCount()) {
            error = data.dataPath + ": read before its index was loaded";
            return false;
        }
        headword = index->GetWord(record);
    }
    std::vector<std::pair<std::uint32_t, std::string>> converted;
    for (ArticlePart &part : recordParts) {
        std::string article;
        if (!read(part.article, article))
            return false;
        if (linesUndecided)
            part.dropFirstLine = RepeatsHeadword(article, headword);
        converted.emplace_back(std::uint32_t{part.article}, std::move(article));
    }
    const auto source = [&converted](std::uint32_t article) {
        for (const auto &[number, text] : converted)
            if (number == article)
                return text;
        return std::string();
    };
    std::size_t characters = 0;
    text = ComposeArticle(recordParts, source, DictionaryEncoding::Utf8, characters);
    return true;
}

bool SourceDictionary::Article(DictzipFile &reader, std::uint32_t record, std::string &text,
    std::string &error, std::string &skipped) const
{
    std::string raw;
    return Compose(
        record,
        [&](std::uint32_t article, std::string &converted) {
            return ReadArticle(reader, article, raw, converted, skipped, error);
        },
        text, error);
}

bool SourceDictionary::NearPlace(std::uint32_t record, std::uint64_t &place) const
{
    // Within this many bytes the reader's chunks still hold the others.
    constexpr std::uint64_t NEAR = 256 << 10;
    place = 0;
    if (record >= RecordCount())
        return true;
    const std::uint32_t first = parts.First(record);
    const std::uint32_t end = parts.First(record + 1);
    place = data.places[parts.Part(first).article].offset;
    // Most records have one part: a search asks this of every record.
    if (end - first == 1)
        return true;
    std::uint64_t low = UINT64_MAX;
    std::uint64_t high = 0;
    for (std::uint32_t p = first; p < end; ++p) {
        const SourcePlace at = data.places[parts.Part(p).article];
        low = std::min(low, at.offset);
        high = std::max(high, at.offset + at.length);
    }
    return high - low <= NEAR;
}

SourceDictionary::Placed SourceDictionary::PartsOf(const std::vector<std::uint32_t> &records) const
{
    Placed articles;
    for (const std::uint32_t record : records)
        for (std::uint32_t p = parts.First(record); p < parts.First(record + 1); ++p) {
            const std::uint32_t article = parts.Part(p).article;
            articles.emplace_back(data.places[article].offset, article);
        }
    std::sort(articles.begin(), articles.end());
    articles.erase(std::unique(articles.begin(), articles.end()), articles.end());
    return articles;
}

bool SourceDictionary::Make(std::uint32_t record,
    const std::function<bool(std::uint32_t, std::string &)> &read, std::string &text,
    std::string &error, std::vector<std::pair<std::uint32_t, std::string>> &firstLines) const
{
    // The articles made here settle their records' spellings too: a caller asking for the
    // headwords of the records found would otherwise read each article again, where it lies.
    bool first = linesUndecided && index && record < RecordCount();
    return Compose(
        record,
        [&](std::uint32_t article, std::string &converted) {
            if (!read(article, converted))
                return false;
            if (first)
                firstLines.emplace_back(record, FirstLineTrimmed(converted));
            first = false;
            return true;
        },
        text, error);
}

bool SourceDictionary::ReadPass(DictzipFile &reader, const Placed &records, const Placed &extra,
    const Take &take, const std::atomic<bool> &cancel, std::string &skipped, KeptParts &kept,
    const MayHold &mayHold, const TakeOne &takeOne) const
{
    std::string text;
    std::string error;
    std::string raw;
    std::vector<std::pair<std::uint32_t, std::string>> firstLines;
    const bool filtered = static_cast<bool>(mayHold);
    // The records of one article come one after another: it is looked at once for them all,
    // and its text is made from what was looked at.
    std::uint32_t looked = UINT32_MAX;
    std::string lookedText;
    bool lookedRead = false;
    bool accepted = false;
    const auto anyPartAccepted = [&](std::uint32_t record) {
        if (!filtered || record >= RecordCount())
            return true;
        for (std::uint32_t p = parts.First(record); p < parts.First(record + 1); ++p) {
            if (const std::uint32_t article = parts.Part(p).article; article != looked) {
                looked = article;
                lookedRead = ReadSourceArticle(reader, data, looked, lookedText, skipped, error);
                // One that cannot be read is made, so that reading it again says why.
                accepted = !lookedRead || mayHold(lookedText);
            }
            if (accepted)
                return true;
        }
        return false;
    };
    // Records of one part taken from one article (a word and its other spellings) come one after
    // another: the article is converted once for them, and their text made once for those whose
    // first line goes or stays alike.
    std::uint32_t convertedArticle = UINT32_MAX;
    std::string partText;
    std::string partFirstLine;
    std::uint32_t textArticle = UINT32_MAX;
    bool textDrop = false;
    // The extra parts are read as the pass comes to them, and kept until their records are made:
    // going back and forth for them would inflate chunks again and again.
    auto nextExtra = extra.begin();
    for (std::size_t k = 0; k < records.size() || nextExtra != extra.end();) {
        if (cancel.load(std::memory_order_relaxed))
            return false;
        if (nextExtra != extra.end()
            && (k == records.size() || nextExtra->first < records[k].first)) {
            const std::uint32_t article = (nextExtra++)->second;
            std::string converted;
            std::optional<std::string> &slot = kept.texts[article];
            const bool read = ReadArticle(reader, article, raw, converted, skipped, error);
            if (read)
                slot = std::move(converted);
            kept.accepted[article] = !filtered || !read || mayHold(raw);
            continue;
        }
        const std::uint32_t record = records[k++].second;
        if (!anyPartAccepted(record))
            continue;
        const std::uint32_t first = record < RecordCount() ? parts.First(record) : 0;
        const bool whole = record < RecordCount() && parts.First(record + 1) - first == 1;
        if ((whole || (takeOne && record < RecordCount()))
            && (!linesUndecided || (index && record < index->GetWordCount()))) {
            ArticlePart part = parts.Part(first);
            if (part.article != convertedArticle) {
                convertedArticle = UINT32_MAX;
                if (part.article == looked && lookedRead
                        ? Convert(lookedText, partText, error)
                        : ReadArticle(reader, part.article, raw, partText, skipped, error)) {
                    convertedArticle = part.article;
                    // As RepeatsHeadword takes it, once for every record of the article.
                    partFirstLine = FirstLineTrimmed(partText);
                }
            }
            // One that cannot be read is made below, which says why.
            if (part.article == convertedArticle) {
                if (linesUndecided)
                    part.dropFirstLine =
                        !partFirstLine.empty() && SameUpper(partFirstLine, index->GetWord(record));
                bool taken = takeOne && takeOne(k - 1, part, partText, whole);
                if (!taken && whole && !takeOne) {
                    if (part.article != textArticle || part.dropFirstLine != textDrop) {
                        std::size_t characters = 0;
                        text = ComposeArticle(
                            {part}, [&partText](std::uint32_t) { return partText; },
                            DictionaryEncoding::Utf8, characters);
                        textArticle = part.article;
                        textDrop = part.dropFirstLine;
                    }
                    take(k - 1, true, text);
                    taken = true;
                }
                if (taken) {
                    if (linesUndecided)
                        firstLines.emplace_back(record, partFirstLine);
                    continue;
                }
            }
        }
        textArticle = UINT32_MAX;
        const bool made = Make(
            record,
            [&](std::uint32_t article, std::string &converted) {
                return article == looked && lookedRead
                    ? Convert(lookedText, converted, error)
                    : ReadArticle(reader, article, raw, converted, skipped, error);
            },
            text, error, firstLines);
        take(k - 1, made, text);
    }
    SettleFrom(firstLines);
    return true;
}

void SourceDictionary::MakeKept(const std::vector<std::uint32_t> &records, const KeptParts &kept,
    const Take &take, const TakeOne &takeOne) const
{
    std::string text;
    std::string error;
    std::vector<std::pair<std::uint32_t, std::string>> firstLines;
    const auto accepted = [&kept](std::uint32_t article) {
        const auto at = kept.accepted.find(article);
        return at != kept.accepted.end() && at->second;
    };
    for (std::size_t k = 0; k < records.size(); ++k) {
        const std::uint32_t record = records[k];
        if (record >= RecordCount())
            continue;
        bool any = false;
        for (std::uint32_t p = parts.First(record); p < parts.First(record + 1) && !any; ++p)
            any = accepted(parts.Part(p).article);
        if (!any)
            continue;
        if (takeOne && (!linesUndecided || (index && record < index->GetWordCount()))) {
            ArticlePart part = parts.Part(parts.First(record));
            const auto at = kept.texts.find(part.article);
            if (at != kept.texts.end() && at->second) {
                const std::string &first = *at->second;
                if (linesUndecided)
                    part.dropFirstLine = RepeatsHeadword(first, index->GetWord(record));
                if (takeOne(k, part, first, parts.First(record + 1) - parts.First(record) == 1)) {
                    if (linesUndecided)
                        firstLines.emplace_back(record, FirstLineTrimmed(first));
                    continue;
                }
            }
        }
        const bool made = Make(
            record,
            [&kept](std::uint32_t article, std::string &converted) {
                const auto at = kept.texts.find(article);
                if (at == kept.texts.end() || !at->second)
                    return false;
                converted = *at->second;
                return true;
            },
            text, error, firstLines);
        take(k, made, text);
    }
    SettleFrom(firstLines);
}

bool SourceDictionary::Article(std::uint32_t record, std::string &text, std::string &error)
{
    const std::lock_guard<std::mutex> lock(reading);
    return Article(file, record, text, error, skippedTypes);
}
