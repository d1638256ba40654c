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

const char MAGIC[] = "Kalvora source cache 2\n";

bool EndsWith(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size()
        && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

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
    template <class T> void Array(const std::vector<T> &items)
    {
        Number(items.size());
        bytes.append(reinterpret_cast<const char *>(items.data()), items.size() * sizeof(T));
    }
};

class Reader
{
public:
    Reader(const std::string &bytes, std::size_t start, std::size_t end)
        : bytes(bytes)
        , end(end)
        , at(start)
    {
    }
    bool Number(std::uint64_t &value)
    {
        if (end - at < 8)
            return false;
        std::memcpy(&value, bytes.data() + at, 8);
        at += 8;
        return true;
    }
    bool Text(std::string &text)
    {
        std::uint64_t length = 0;
        if (!Number(length) || length > end - at)
            return false;
        text.assign(bytes, at, static_cast<std::size_t>(length));
        at += static_cast<std::size_t>(length);
        return true;
    }
    template <class T> bool Array(std::vector<T> &items)
    {
        std::uint64_t count = 0;
        if (!Number(count) || count > (end - at) / sizeof(T))
            return false;
        items.resize(static_cast<std::size_t>(count));
        std::memcpy(items.data(), bytes.data() + at, items.size() * sizeof(T));
        at += items.size() * sizeof(T);
        return true;
    }
    bool AtEnd() const { return at == end; }

private:
    const std::string &bytes;
    std::size_t end;
    std::size_t at;
};

struct StoredPart
{
    std::uint32_t article;
    std::uint32_t dropFirstLine;
};

bool ReadFile(const std::string &path, std::string &bytes)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info;
    if (descriptor < 0)
        return false;
    bool read = fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode);
    if (read) {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got =
                pread(descriptor, &bytes[done], bytes.size() - done, static_cast<off_t>(done));
            if (got <= 0 && !(got < 0 && errno == EINTR)) {
                read = false;
                break;
            }
            if (got > 0)
                done += static_cast<std::size_t>(got);
        }
    }
    close(descriptor);
    return read;
}

std::uint32_t Checksum(const std::string &bytes, std::size_t length)
{
    uLong crc = crc32(0, nullptr, 0);
    for (std::size_t at = 0; at < length;) {
        const std::size_t piece = std::min<std::size_t>(length - at, 1u << 30);
        crc = crc32(
            crc, reinterpret_cast<const Bytef *>(bytes.data() + at), static_cast<uInt>(piece));
        at += piece;
    }
    return static_cast<std::uint32_t>(crc);
}

} // namespace

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
    std::string bytes;
    const std::size_t magic = sizeof MAGIC - 1;
    if (!ReadFile(cachePath, bytes) || bytes.size() < magic + 4
        || bytes.compare(0, magic, MAGIC) != 0)
        return false;
    std::uint32_t stored = 0;
    std::memcpy(&stored, bytes.data() + bytes.size() - 4, 4);
    if (Checksum(bytes, bytes.size() - 4) != stored)
        return false;
    Reader in(bytes, magic, bytes.size() - 4);
    std::string storedStamp;
    std::uint64_t flags = 0;
    std::vector<StoredPart> parts;
    SourceData &data = sorted.data;
    if (!in.Text(storedStamp) || storedStamp != stamp || !in.Number(flags) || !in.Text(data.title)
        || !in.Text(data.origin) || !in.Text(data.dataPath) || !in.Text(data.typeSequence)
        || !in.Array(data.places) || !in.Array(parts) || !in.Array(sorted.partStart)
        || !in.Text(sorted.indexText) || !in.AtEnd())
        return false;
    data.utf8 = flags & 1;
    data.headwordLineFirst = flags & 2;
    sorted.linesUndecided = flags & 4;
    data.utf8Decided = !(flags & 8);
    // The structure is checked as well: a cache that passes is used without further doubt.
    if (sorted.partStart.size() < 2 || sorted.partStart.front() != 0
        || sorted.partStart.back() != parts.size())
        return false;
    for (std::size_t i = 1; i < sorted.partStart.size(); ++i)
        if (sorted.partStart[i] <= sorted.partStart[i - 1])
            return false;
    sorted.parts.clear();
    sorted.parts.reserve(parts.size());
    for (const StoredPart &part : parts) {
        if (part.article >= data.places.size() || part.dropFirstLine > 1)
            return false;
        sorted.parts.push_back({part.article, part.dropFirstLine == 1});
    }
    return true;
}

bool WriteSourceCache(
    const std::string &cachePath, const std::string &stamp, const SourceSortResult &sorted)
{
    const std::string folder = cachePath.substr(0, cachePath.find_last_of('/'));
    const std::string parent = folder.substr(0, folder.find_last_of('/'));
    mkdir(parent.c_str(), 0700);
    mkdir(folder.c_str(), 0700);
    Writer out;
    out.bytes = MAGIC;
    out.Text(stamp);
    out.Number((sorted.data.utf8 ? 1 : 0) | (sorted.data.headwordLineFirst ? 2 : 0)
        | (sorted.linesUndecided ? 4 : 0) | (sorted.data.utf8Decided ? 0 : 8));
    out.Text(sorted.data.title);
    out.Text(sorted.data.origin);
    out.Text(sorted.data.dataPath);
    out.Text(sorted.data.typeSequence);
    out.Array(sorted.data.places);
    std::vector<StoredPart> parts;
    parts.reserve(sorted.parts.size());
    for (const ArticlePart &part : sorted.parts)
        parts.push_back({part.article, part.dropFirstLine ? 1u : 0u});
    out.Array(parts);
    out.Array(sorted.partStart);
    out.Text(sorted.indexText);
    const std::uint32_t crc = Checksum(out.bytes, out.bytes.size());
    out.bytes.append(reinterpret_cast<const char *>(&crc), 4);

    std::string temporary = cachePath + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        return false;
    std::size_t done = 0;
    while (done < out.bytes.size()) {
        const ssize_t wrote = write(descriptor, out.bytes.data() + done, out.bytes.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            break;
        done += static_cast<std::size_t>(wrote);
    }
    // Not synced: a copy a crash leaves cut short fails its checksum and is made again.
    const bool written = done == out.bytes.size();
    close(descriptor);
    if (!written || rename(temporary.c_str(), cachePath.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
