#include "Source_cache.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

const char MAGIC[] = "Kalvora source cache 4\n";
constexpr std::size_t MAGIC_LENGTH = sizeof MAGIC - 1;
// A header longer than this is no header of ours: its names and stamp are short.
constexpr std::uint64_t HEADER_LIMIT = 1 << 20;
// A part's article number keeps its dropFirstLine in the top bit.
constexpr std::uint32_t DROP_FIRST_LINE = 0x80000000u;

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

std::uint32_t Checksum(std::uint32_t crc, const void *bytes, std::size_t length)
{
    // zlib starts the checksum afresh when given no bytes at all, as an empty array gives.
    if (length == 0)
        return crc;
    return static_cast<std::uint32_t>(
        crc32_z(crc, static_cast<const Bytef *>(bytes), static_cast<z_size_t>(length)));
}

// The cache file read front to back straight into where its arrays are kept, the checksum
// taken as it goes.
class CacheFile
{
public:
    explicit CacheFile(const std::string &path)
        : descriptor(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK))
    {
        struct stat info;
        if (descriptor >= 0 && fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode))
            left = static_cast<std::uint64_t>(info.st_size);
    }
    ~CacheFile()
    {
        if (descriptor >= 0)
            close(descriptor);
    }
    CacheFile(const CacheFile &) = delete;
    CacheFile &operator=(const CacheFile &) = delete;

    std::uint64_t Left() const { return left; }
    std::uint32_t Crc() const { return crc; }
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
        crc = Checksum(crc, bytes, length);
        return true;
    }

private:
    int descriptor;
    off_t at = 0;
    std::uint64_t left = 0;
    std::uint32_t crc = 0;
};

// count items kept one after another in the file as Stored, handed to take (item, position)
// through a small buffer: they are kept here in another form, and never all at once in both.
// False when the file ends first or take refuses one.
template <class Stored, class Take> bool ReadEach(CacheFile &file, std::uint64_t count, Take take)
{
    std::vector<Stored> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(count, 4096)));
    for (std::uint64_t done = 0; done < count;) {
        const auto pieces = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, 4096));
        if (!file.Read(buffer.data(), pieces * sizeof(Stored)))
            return false;
        for (std::size_t i = 0; i < pieces; ++i)
            if (!take(buffer[i], done + i))
                return false;
        done += pieces;
    }
    return true;
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

void RecordParts::Unpack(
    std::vector<std::uint32_t> &partStart, std::vector<ArticlePart> &parts) const
{
    partStart.resize(Records() + std::size_t{1});
    for (std::uint32_t i = 0; i < partStart.size(); ++i)
        partStart[i] = First(i);
    parts.resize(PartCount());
    for (std::uint32_t p = 0; p < parts.size(); ++p)
        parts[p] = Part(p);
}

void RecordParts::shrink_to_fit()
{
    extraParts.shrink_to_fit();
    articles.shrink_to_fit();
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
    std::uint64_t flags = 0, places = 0, placeWidth = 0, parts = 0, records = 0, headwordBytes = 0,
                  spelled = 0, spellingBytes = 0;
    SourceData &data = sorted.data;
    if (!in.Text(storedStamp) || storedStamp != stamp || !in.Number(flags) || !in.Text(data.title)
        || !in.Text(data.origin) || !in.Text(data.dataPath) || !in.Text(data.typeSequence)
        || !in.Number(places) || !in.Number(placeWidth) || !in.Number(parts) || !in.Number(records)
        || !in.Number(headwordBytes) || !in.Number(spelled) || !in.Number(spellingBytes)
        || !in.AtEnd() || (placeWidth != 4 && placeWidth != 8) || records >= UINT32_MAX
        || (spelled != 0 && spelled != records))
        return false;
    // The counts must give the file's length before anything of their size is made.
    const std::uint64_t left = file.Left();
    if (places > left / (2 * placeWidth) || parts > left / 4 || records > left / 8
        || headwordBytes > left || spellingBytes > left
        || places * 2 * placeWidth + parts * 4 + (records + 1) * 4 + headwordBytes + records * 4
                + spelled * 4 + spellingBytes + 4
            != left)
        return false;
    data.utf8 = flags & 1;
    data.headwordLineFirst = flags & 2;
    sorted.linesUndecided = flags & 4;
    data.utf8Decided = !(flags & 8);

    // Read into their packed forms a piece at a time, each checked as it comes: the structure
    // must hold as well as the checksum.
    const auto placeCount = static_cast<std::size_t>(places);
    const auto addPlace = [&data](const SourcePlace &place, std::uint64_t) {
        data.places.push_back(place);
        return true;
    };
    bool read = placeWidth == 8 ? ReadEach<SourcePlace>(file, placeCount, addPlace)
                                : ReadEach<std::uint64_t>(file, placeCount,
                                    [&addPlace](std::uint64_t narrow, std::uint64_t i) {
                                        return addPlace({narrow & 0xFFFFFFFFu, narrow >> 32}, i);
                                    });
    data.places.shrink_to_fit();
    RecordParts &recordParts = sorted.parts;
    read = read
        && ReadEach<std::uint32_t>(
            file, parts, [&recordParts, places](std::uint32_t part, std::uint64_t) {
                const ArticlePart article{part & ~DROP_FIRST_LINE, (part & DROP_FIRST_LINE) != 0};
                if (article.article >= places)
                    return false;
                recordParts.AddPart(article);
                return true;
            });
    read = read
        && ReadEach<std::uint32_t>(file, records + 1,
            [&recordParts](
                std::uint32_t start, std::uint64_t) { return recordParts.AddStart(start); })
        && records > 0 && recordParts.First(recordParts.Records()) == parts;
    recordParts.shrink_to_fit();
    ByteArena headwords;
    headwords.Allocate(static_cast<std::size_t>(headwordBytes));
    read = read && file.Read(headwords.data(), headwords.size());
    std::vector<std::uint32_t> starts(static_cast<std::size_t>(records));
    read = read && file.Read(starts.data(), starts.size() * 4);
    // Each spelling is read as a C string: it must start inside them.
    read = read
        && ReadEach<std::uint32_t>(
            file, spelled, [&sorted, spellingBytes](std::uint32_t at, std::uint64_t) {
                if (at == 0 || (at > 1 && at - 2 >= spellingBytes))
                    return false;
                sorted.spellingAt.push_back(at);
                return true;
            });
    sorted.spellingAt.shrink_to_fit();
    sorted.spellings.resize(static_cast<std::size_t>(spellingBytes));
    read = read && file.Read(sorted.spellings.data(), sorted.spellings.size());
    const std::uint32_t crc = file.Crc();
    std::uint32_t stored = 0;
    if (!read || !file.Read(&stored, 4) || stored != crc)
        return false;

    // The rest of the structure is checked as well: a cache that passes is used without doubt.
    // The spellings end in a zero byte, each being read as a C string.
    if (!sorted.spellings.empty() && sorted.spellings.back() != '\0')
        return false;
    return sorted.index.Restore(headwords, starts, DictionaryEncoding::Utf8);
}

bool WriteSourceCache(const std::string &cachePath, const std::string &stamp,
    const SourceData &data, const std::vector<std::uint32_t> &partStart,
    const std::vector<ArticlePart> &parts, bool linesUndecided, const DictionaryIndex &index,
    const std::vector<std::uint32_t> &spellingAt, const std::string &spellings)
{
    if (index.GetWordCount() + 1 != partStart.size()
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

    // Places in half the room when the data file's offsets fit 32 bits, as they mostly do.
    bool narrowPlaces = true;
    for (const SourcePlace &place : data.places)
        narrowPlaces = narrowPlaces && place.offset <= UINT32_MAX && place.length <= UINT32_MAX;
    std::vector<std::uint64_t> storedPlaces;
    storedPlaces.reserve(data.places.size() * (narrowPlaces ? 1 : 2));
    for (const SourcePlace &place : data.places) {
        if (narrowPlaces) {
            storedPlaces.push_back(place.offset | place.length << 32);
        } else {
            storedPlaces.push_back(place.offset);
            storedPlaces.push_back(place.length);
        }
    }
    std::vector<std::uint32_t> storedParts;
    storedParts.reserve(parts.size());
    for (const ArticlePart &part : parts) {
        if (part.article & DROP_FIRST_LINE)
            return false;
        storedParts.push_back(part.article | (part.dropFirstLine ? DROP_FIRST_LINE : 0));
    }
    std::vector<std::uint32_t> starts(index.GetWordCount());
    for (std::uint32_t i = 0; i < starts.size(); ++i)
        starts[i] = index.HeadwordStart(i);
    const ByteArena &headwords = index.HeldHeadwords();

    Writer header;
    header.Text(stamp);
    header.Number((data.utf8 ? 1 : 0) | (data.headwordLineFirst ? 2 : 0) | (linesUndecided ? 4 : 0)
        | (data.utf8Decided ? 0 : 8));
    header.Text(data.title);
    header.Text(data.origin);
    header.Text(data.dataPath);
    header.Text(data.typeSequence);
    header.Number(data.places.size());
    header.Number(narrowPlaces ? 4 : 8);
    header.Number(parts.size());
    header.Number(starts.size());
    header.Number(headwords.size());
    header.Number(spellingAt.size());
    header.Number(spellings.size());
    const std::uint64_t headerLength = header.bytes.size();
    const std::pair<const void *, std::size_t> pieces[] = {
        {MAGIC, MAGIC_LENGTH},
        {&headerLength, 8},
        {header.bytes.data(), header.bytes.size()},
        {storedPlaces.data(), storedPlaces.size() * 8},
        {storedParts.data(), storedParts.size() * 4},
        {partStart.data(), partStart.size() * 4},
        {headwords.data(), headwords.size()},
        {starts.data(), starts.size() * 4},
        {spellingAt.data(), spellingAt.size() * 4},
        {spellings.data(), spellings.size()},
    };

    std::string temporary = cachePath + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        return false;
    std::uint32_t crc = 0;
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
        crc = Checksum(crc, bytes, length);
        Write(bytes, length);
    }
    Write(&crc, 4);
    // Not synced: a copy a crash leaves cut short fails its checksum and is made again.
    close(descriptor);
    if (!written || rename(temporary.c_str(), cachePath.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
