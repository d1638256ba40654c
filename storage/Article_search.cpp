#include "Article_search.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

#include "storage/Article_bounds.h"
#include "storage/Article_lines.h"
#include "storage/Database.h"
#include "storage/Mapped_file.h"
#include "storage/Phrase_finder.h"
#include "storage/Text_encoding.h"

namespace {

// Bytes of the article shown before and after the phrase in an excerpt.
constexpr std::size_t EXCERPT_BEFORE = 40;
constexpr std::size_t EXCERPT_AFTER = 60;
constexpr unsigned MAX_THREADS = 4;
constexpr std::uint64_t PART_BYTES = 8 << 20;
constexpr std::size_t MAX_PARTS = 16;

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
        if (at == PhraseFinder::NOT_FOUND)
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
    excerpt += ReplaceLineBreaks(
        WithText(
            encoding, [&shown](auto text) { return text.ProgramText(shown.data(), shown.size()); }),
        " ");
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
        needle = MakePhraseFinder(encoding, *own);

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
