#include "Source_cache.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

const char MAGIC[] = "Kalvora source cache 5\n";
constexpr std::size_t MAGIC_LENGTH = sizeof MAGIC - 1;
// A header longer than this is no header of ours: its names and stamp are short.
constexpr std::uint64_t HEADER_LIMIT = 1 << 20;
bool EndsWith(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size()
        && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The header: names and counts, the rest of the file being arrays of those counts.
class Writer
{
public:
    std::string bytes;
    void Number(std::uint64_t value) { bytes.append(reinterpret_cast<const char *>(&value), 8); }
    void Text(const std::string &text)
    {
        Number(text.size());
        bytes += text;
    }
};

class Reader
{
public:
    explicit Reader(const std::string &bytes)
        : bytes(bytes)
    {
    }
    bool Number(std::uint64_t &value)
    {
        if (bytes.size() - at < 8)
            return false;
        std::memcpy(&value, bytes.data() + at, 8);
        at += 8;
        return true;
    }
    bool Text(std::string &text)
    {
        std::uint64_t length = 0;
        if (!Number(length) || length > bytes.size() - at)
            return false;
        text.assign(bytes, at, static_cast<std::size_t>(length));
        at += static_cast<std::size_t>(length);
        return true;
    }
    bool AtEnd() const { return at == bytes.size(); }

private:
    const std::string &bytes;
    std::size_t at = 0;
};

// The cache file read front to back straight into where its parts are kept, its hash taken as
// it goes.
class CacheFile
{
public:
    explicit CacheFile(const std::string &path)
        : descriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    {
        struct stat info;
        if (descriptor >= 0 && fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode))
            left = static_cast<std::uint64_t>(info.st_size);
        XXH3_64bits_reset(&hash);
    }
    ~CacheFile()
    {
        if (descriptor >= 0)
            close(descriptor);
    }
    CacheFile(const CacheFile &) = delete;
    CacheFile &operator=(const CacheFile &) = delete;

    std::uint64_t Left() const { return left; }
    std::uint64_t Hash() const { return XXH3_64bits_digest(&hash); }
    bool Read(void *into, std::size_t length)
    {
        if (length > left)
            return false;
        auto *bytes = static_cast<char *>(into);
        for (std::size_t done = 0; done < length;) {
            const ssize_t got = pread(descriptor, bytes + done, length - done, at);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            done += static_cast<std::size_t>(got);
            at += got;
        }
        left -= length;
        XXH3_64bits_update(&hash, bytes, length);
        return true;
    }
    // Numbers as PackedNumbers holds them (HeldRuns, HeldWords, OpenNumbers).
    bool ReadPacked(std::uint64_t count, std::uint64_t wordCount, PackedNumbers &numbers)
    {
        std::vector<PackedNumbers::Run> runs(static_cast<std::size_t>(count / PackedNumbers::RUN));
        std::vector<std::uint64_t> words(static_cast<std::size_t>(wordCount));
        std::uint64_t open[PackedNumbers::RUN];
        return Read(runs.data(), runs.size() * sizeof(PackedNumbers::Run))
            && Read(words.data(), words.size() * 8)
            && Read(open, static_cast<std::size_t>(count % PackedNumbers::RUN) * 8)
            && numbers.Restore(static_cast<std::size_t>(count), runs, words, open);
    }

private:
    int descriptor;
    off_t at = 0;
    std::uint64_t left = 0;
    XXH3_state_t hash;
};

// The bytes count numbers held packed in wordCount words take in the file.
std::uint64_t PackedBytes(std::uint64_t count, std::uint64_t wordCount)
{
    return count / PackedNumbers::RUN * sizeof(PackedNumbers::Run) + wordCount * 8
        + count % PackedNumbers::RUN * 8;
}

} // namespace

RecordParts::RecordParts(
    const std::vector<std::uint32_t> &partStart, const std::vector<ArticlePart> &parts)
{
    for (const std::uint32_t start : partStart)
        AddStart(start);
    for (const ArticlePart &part : parts)
        AddPart(part);
    shrink_to_fit();
}

std::vector<ArticlePart> RecordParts::Parts(std::uint32_t record) const
{
    std::vector<ArticlePart> parts;
    for (std::uint32_t p = First(record); p < First(record + 1); ++p)
        parts.push_back(Part(p));
    return parts;
}

bool RecordParts::AddStart(std::uint32_t start)
{
    const std::size_t record = extraParts.size();
    if (record == 0 ? start != 0 : start <= lastStart)
        return false;
    extraParts.push_back(start - record);
    lastStart = start;
    return true;
}

void RecordParts::shrink_to_fit()
{
    extraParts.shrink_to_fit();
    articles.shrink_to_fit();
}

bool RecordParts::Restore(
    PackedNumbers &restoredStarts, PackedNumbers &restoredArticles, std::uint64_t places)
{
    // Each record's first part, in order: the first 0, each above the one before, the end at the
    // last part, none beyond what 32 bits count.
    const std::uint64_t partCount = restoredArticles.size();
    if (restoredStarts.empty() || partCount >= UINT32_MAX)
        return false;
    std::uint64_t numbers[PackedNumbers::RUN];
    std::uint64_t before = 0;
    for (std::size_t run = 0; run < restoredStarts.RunCount(); ++run) {
        restoredStarts.Unpack(run, numbers);
        const std::size_t first = run * PackedNumbers::RUN;
        const std::size_t last = std::min(restoredStarts.size(), first + PackedNumbers::RUN);
        for (std::size_t record = first; record < last; ++record) {
            const std::uint64_t start = numbers[record - first] + record;
            if (record == 0 ? start != 0 : start <= before || start > partCount)
                return false;
            before = start;
        }
    }
    if (before != partCount)
        return false;
    // Each part's article among the places, whatever the drop bit.
    for (std::size_t run = 0; run < restoredArticles.RunCount(); ++run) {
        restoredArticles.Unpack(run, numbers);
        const std::size_t first = run * PackedNumbers::RUN;
        const std::size_t last = std::min(restoredArticles.size(), first + PackedNumbers::RUN);
        for (std::size_t part = first; part < last; ++part)
            if ((numbers[part - first] + 2 * std::uint64_t{part} - ABOVE_PARTS) >> 1 >= places)
                return false;
    }
    extraParts = std::move(restoredStarts);
    articles = std::move(restoredArticles);
    lastStart = static_cast<std::uint32_t>(before);
    return true;
}

std::string SourceStamp(const std::string &sourcePath)
{
    std::string base = sourcePath;
    std::vector<std::string> tails;
    if (EndsWith(base, ".index")) {
        base.resize(base.size() - 6);
        tails = {".index", ".dict", ".dict.dz"};
    } else {
        base.resize(base.size() - (EndsWith(base, ".ifo") ? 4 : 0));
        tails = {".ifo", ".idx", ".idx.gz", ".dict", ".dict.dz", ".syn", ".syn.dz"};
    }
    std::string stamp = sourcePath + "\n";
    for (const std::string &tail : tails) {
        struct stat info;
        if (stat((base + tail).c_str(), &info) != 0)
            continue;
        stamp += tail + " " + std::to_string(info.st_size) + " "
            + std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec) + " "
            + std::to_string(info.st_ino) + "\n";
    }
    return stamp;
}

std::string SourceCachePath(const std::string &folder, const std::string &sourcePath)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : sourcePath) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char name[32];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    return folder + "/sources/" + name + ".cache";
}

bool ReadSourceCache(
    const std::string &cachePath, const std::string &stamp, SourceSortResult &sorted)
{
    CacheFile file(cachePath);
    char magic[MAGIC_LENGTH];
    std::uint64_t headerLength = 0;
    if (!file.Read(magic, MAGIC_LENGTH) || std::memcmp(magic, MAGIC, MAGIC_LENGTH) != 0
        || !file.Read(&headerLength, 8) || headerLength > HEADER_LIMIT)
        return false;
    std::string header(static_cast<std::size_t>(headerLength), '\0');
    if (!file.Read(header.data(), header.size()))
        return false;
    Reader in(header);
    std::string storedStamp;
    std::uint64_t flags = 0, places = 0, lastEnd = 0, offsetWords = 0, gapWords = 0, parts = 0,
                  partWords = 0, records = 0, startWords = 0, headwordBytes = 0, spelled = 0,
                  spelledWords = 0, spellingBytes = 0;
    SourceData &data = sorted.data;
    if (!in.Text(storedStamp) || storedStamp != stamp || !in.Number(flags) || !in.Text(data.title)
        || !in.Text(data.origin) || !in.Text(data.dataPath) || !in.Text(data.typeSequence)
        || !in.Number(places) || !in.Number(lastEnd) || !in.Number(offsetWords)
        || !in.Number(gapWords) || !in.Number(parts) || !in.Number(partWords) || !in.Number(records)
        || !in.Number(startWords) || !in.Number(headwordBytes) || !in.Number(spelled)
        || !in.Number(spelledWords) || !in.Number(spellingBytes) || !in.AtEnd() || records == 0
        || records >= UINT32_MAX || (spelled != 0 && spelled != records))
        return false;
    // The counts must give the file's length before anything of their size is made; bounded
    // first, so that adding them up cannot wrap.
    const std::uint64_t left = file.Left();
    constexpr std::uint64_t COUNT_LIMIT = std::uint64_t{1} << 40;
    for (const std::uint64_t count : {places, parts, records, spelled})
        if (count >= COUNT_LIMIT)
            return false;
    for (const std::uint64_t bytes : {offsetWords, gapWords, partWords, startWords, spelledWords,
             headwordBytes / 8, spellingBytes / 8})
        if (bytes > left / 8)
            return false;
    const std::uint64_t gaps = places == 0 ? 0 : places - 1;
    if (PackedBytes(places, offsetWords) + PackedBytes(gaps, gapWords)
            + PackedBytes(parts, partWords) + PackedBytes(records + 1, startWords) + headwordBytes
            + records * 4 + PackedBytes(spelled, spelledWords) + spellingBytes + 8
        != left)
        return false;
    data.utf8 = flags & 1;
    data.headwordLineFirst = flags & 2;
    sorted.linesUndecided = flags & 4;
    data.utf8Decided = !(flags & 8);

    // Read as they are held, nothing packed again; what the hash cannot vouch for, that they
    // hold together, is checked as each is taken.
    PackedNumbers offsets, gapNumbers, starts, articles;
    bool read = file.ReadPacked(places, offsetWords, offsets)
        && file.ReadPacked(gaps, gapWords, gapNumbers)
        && data.places.Restore(offsets, gapNumbers, lastEnd)
        && file.ReadPacked(parts, partWords, articles)
        && file.ReadPacked(records + 1, startWords, starts)
        && sorted.parts.Restore(starts, articles, places);
    ByteArena headwords;
    headwords.Allocate(static_cast<std::size_t>(headwordBytes));
    read = read && file.Read(headwords.data(), headwords.size());
    std::vector<std::uint32_t> headwordStarts(static_cast<std::size_t>(records));
    read = read && file.Read(headwordStarts.data(), headwordStarts.size() * 4)
        && file.ReadPacked(spelled, spelledWords, sorted.spellingAt);
    sorted.spellings.resize(static_cast<std::size_t>(spellingBytes));
    read = read && file.Read(sorted.spellings.data(), sorted.spellings.size());
    const std::uint64_t hash = file.Hash();
    std::uint64_t stored = 0;
    if (!read || !file.Read(&stored, 8) || stored != hash)
        return false;

    // Each spelling is read as a C string: it must start inside them, and they end in a zero
    // byte.
    std::uint64_t numbers[PackedNumbers::RUN];
    for (std::size_t run = 0; run < sorted.spellingAt.RunCount(); ++run) {
        sorted.spellingAt.Unpack(run, numbers);
        const std::size_t count =
            std::min(sorted.spellingAt.size() - run * PackedNumbers::RUN, PackedNumbers::RUN);
        for (std::size_t i = 0; i < count; ++i)
            if (numbers[i] == 0 || (numbers[i] > 1 && numbers[i] - 2 >= spellingBytes))
                return false;
    }
    if (!sorted.spellings.empty() && sorted.spellings.back() != '\0')
        return false;
    return sorted.index.Restore(headwords, headwordStarts, DictionaryEncoding::Utf8);
}

bool WriteSourceCache(const std::string &cachePath, const std::string &stamp,
    const SourceData &data, const RecordParts &parts, bool linesUndecided,
    const DictionaryIndex &index, const PackedNumbers &spellingAt, const std::string &spellings)
{
    if (index.GetWordCount() != parts.Records()
        || (!spellingAt.empty() && spellingAt.size() != index.GetWordCount()))
        return false;
    for (std::uint32_t i = 0; i < index.GetWordCount(); ++i)
        if (index.GetOffset(i) != static_cast<std::int32_t>(i))
            return false;
    // A fresh account may have no cache folder at all, the one above ours included.
    const std::string folder = cachePath.substr(0, cachePath.find_last_of('/'));
    for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        mkdir(folder.substr(0, end).c_str(), 0700);
        if (end == std::string::npos)
            break;
    }

    std::vector<std::uint32_t> starts(index.GetWordCount());
    for (std::uint32_t i = 0; i < starts.size(); ++i)
        starts[i] = index.HeadwordStart(i);
    const ByteArena &headwords = index.HeldHeadwords();
    const PackedNumbers *const packed[] = {&data.places.HeldOffsets(), &data.places.HeldGaps(),
        &parts.HeldArticles(), &parts.HeldStarts(), &spellingAt};

    Writer header;
    header.Text(stamp);
    header.Number((data.utf8 ? 1 : 0) | (data.headwordLineFirst ? 2 : 0) | (linesUndecided ? 4 : 0)
        | (data.utf8Decided ? 0 : 8));
    header.Text(data.title);
    header.Text(data.origin);
    header.Text(data.dataPath);
    header.Text(data.typeSequence);
    header.Number(data.places.size());
    header.Number(data.places.LastEnd());
    header.Number(packed[0]->HeldWords().size());
    header.Number(packed[1]->HeldWords().size());
    header.Number(parts.PartCount());
    header.Number(packed[2]->HeldWords().size());
    header.Number(starts.size());
    header.Number(packed[3]->HeldWords().size());
    header.Number(headwords.size());
    header.Number(spellingAt.size());
    header.Number(packed[4]->HeldWords().size());
    header.Number(spellings.size());
    const std::uint64_t headerLength = header.bytes.size();
    std::vector<std::pair<const void *, std::size_t>> pieces = {
        {MAGIC, MAGIC_LENGTH},
        {&headerLength, 8},
        {header.bytes.data(), header.bytes.size()},
    };
    const auto AddPacked = [&pieces](const PackedNumbers &numbers) {
        pieces.emplace_back(
            numbers.HeldRuns().data(), numbers.HeldRuns().size() * sizeof(PackedNumbers::Run));
        pieces.emplace_back(numbers.HeldWords().data(), numbers.HeldWords().size() * 8);
        pieces.emplace_back(numbers.OpenNumbers(), numbers.size() % PackedNumbers::RUN * 8);
    };
    for (const PackedNumbers *numbers : {packed[0], packed[1], packed[2], packed[3]})
        AddPacked(*numbers);
    pieces.emplace_back(headwords.data(), headwords.size());
    pieces.emplace_back(starts.data(), starts.size() * 4);
    AddPacked(spellingAt);
    pieces.emplace_back(spellings.data(), spellings.size());

    std::string temporary = cachePath + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        return false;
    XXH3_state_t hash;
    XXH3_64bits_reset(&hash);
    bool written = true;
    const auto Write = [&](const void *bytes, std::size_t length) {
        const char *from = static_cast<const char *>(bytes);
        for (std::size_t done = 0; written && done < length;) {
            const ssize_t wrote = write(descriptor, from + done, length - done);
            if (wrote < 0 && errno == EINTR)
                continue;
            written = wrote > 0;
            if (written)
                done += static_cast<std::size_t>(wrote);
        }
    };
    for (const auto &[bytes, length] : pieces) {
        XXH3_64bits_update(&hash, bytes, length);
        Write(bytes, length);
    }
    const std::uint64_t sum = XXH3_64bits_digest(&hash);
    Write(&sum, 8);
    // Not synced: a copy a crash leaves cut short fails its hash and is made again.
    close(descriptor);
    if (!written || rename(temporary.c_str(), cachePath.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
