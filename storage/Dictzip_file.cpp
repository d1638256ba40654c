#include "Dictzip_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr unsigned char GZIP_MAGIC[] = {0x1F, 0x8B};
constexpr unsigned FLAG_HEADER_CRC = 0x02;
constexpr unsigned FLAG_EXTRA = 0x04;
constexpr unsigned FLAG_NAME = 0x08;
constexpr unsigned FLAG_COMMENT = 0x10;
// The header is read from this many first bytes: the extra field takes at most 64 KB, and a name
// or a comment longer than the rest is no dictionary's.
constexpr std::size_t HEADER_BYTES_MAX = 1 << 18;

std::uint32_t LittleEndian(const unsigned char *bytes, std::size_t count)
{
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;)
        value = value << 8 | bytes[i];
    return value;
}

// The random-access subfield: version 1, the chunk length, the count and every chunk's
// compressed size. Anything else in it means the table cannot be trusted.
bool ReadChunkTable(const unsigned char *field, std::size_t length, DictzipHeader &header)
{
    if (length < 6 || LittleEndian(field, 2) != 1)
        return false;
    const std::uint32_t chunkLength = LittleEndian(field + 2, 2);
    const std::uint32_t count = LittleEndian(field + 4, 2);
    if (chunkLength == 0 || length != 6 + std::size_t{count} * 2)
        return false;
    header.chunkLength = chunkLength;
    header.chunkSizes.resize(count);
    for (std::uint32_t i = 0; i < count; ++i)
        header.chunkSizes[i] = LittleEndian(field + 6 + i * 2, 2);
    return true;
}

} // namespace

bool ParseDictzipHeader(
    const unsigned char *bytes, std::size_t size, DictzipHeader &header, std::string &reason)
{
    header = DictzipHeader();
    if (size < 10 || bytes[0] != GZIP_MAGIC[0] || bytes[1] != GZIP_MAGIC[1]) {
        reason = "not a gzip file";
        return false;
    }
    if (bytes[2] != 8) {
        reason = "a gzip method other than deflate";
        return false;
    }
    const unsigned flags = bytes[3];
    std::size_t at = 10;
    if (flags & FLAG_EXTRA) {
        if (size - at < 2) {
            reason = "the gzip header is cut off";
            return false;
        }
        const std::size_t extraLength = LittleEndian(bytes + at, 2);
        at += 2;
        if (size - at < extraLength) {
            reason = "the gzip header's extra field runs past the end";
            return false;
        }
        for (std::size_t field = at; field + 4 <= at + extraLength;) {
            const std::size_t fieldLength = LittleEndian(bytes + field + 2, 2);
            if (field + 4 + fieldLength > at + extraLength) {
                reason = "a subfield of the gzip header runs past its extra field";
                return false;
            }
            if (bytes[field] == 'R' && bytes[field + 1] == 'A'
                && !ReadChunkTable(bytes + field + 4, fieldLength, header)) {
                reason = "the dictzip chunk table is malformed";
                return false;
            }
            field += 4 + fieldLength;
        }
        at += extraLength;
    }
    for (const unsigned flag : {FLAG_NAME, FLAG_COMMENT}) {
        if (!(flags & flag))
            continue;
        const void *end = std::memchr(bytes + at, 0, size - at);
        if (!end) {
            reason = "the gzip header's name or comment is cut off";
            return false;
        }
        at = static_cast<const unsigned char *>(end) - bytes + 1;
    }
    if (flags & FLAG_HEADER_CRC)
        at += 2;
    if (at > size) {
        reason = "the gzip header is cut off";
        return false;
    }
    header.dataStart = at;
    return true;
}

DictzipFile::~DictzipFile()
{
    if (descriptor >= 0)
        close(descriptor);
}

bool DictzipFile::Open(const std::string &filePath, std::string &error)
{
    path = filePath;
    descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info;
    if (descriptor < 0 || fstat(descriptor, &info) != 0) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + ": not a plain file";
        return false;
    }
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);
    std::string head;
    if (!ReadRaw(0, static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, HEADER_BYTES_MAX)),
            head, error))
        return false;
    const auto *bytes = reinterpret_cast<const unsigned char *>(head.data());
    if (head.size() < 2 || bytes[0] != GZIP_MAGIC[0] || bytes[1] != GZIP_MAGIC[1]) {
        size = fileSize;
        return true;
    }
    DictzipHeader header;
    std::string reason;
    if (!ParseDictzipHeader(bytes, head.size(), header, reason)) {
        error = path + ": " + reason;
        return false;
    }
    if (header.chunkSizes.empty())
        return ReadWhole(error);

    chunked = true;
    cache.reserve(CACHED_CHUNKS);
    chunkLength = header.chunkLength;
    chunkStarts.assign(1, header.dataStart);
    for (const std::uint32_t chunkSize : header.chunkSizes)
        chunkStarts.push_back(chunkStarts.back() + chunkSize);
    if (chunkStarts.back() > fileSize) {
        error = path + ": the dictzip chunk table points past the end of the file";
        return false;
    }
    // The last chunk alone may be shorter: inflating it gives the text's length and shows at
    // once whether the table fits the data.
    const std::size_t last = chunkStarts.size() - 2;
    const std::string *lastChunk = Chunk(last, error);
    if (!lastChunk)
        return false;
    size = std::uint64_t{chunkLength} * last + lastChunk->size();
    return true;
}

bool DictzipFile::ReadRaw(
    std::uint64_t at, std::size_t length, std::string &out, std::string &error)
{
    out.resize(length);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            pread(descriptor, &out[done], length - done, static_cast<off_t>(at + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = path + ": "
                + (got < 0 ? std::string(std::strerror(errno))
                           : "the file is shorter than when it was opened");
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool DictzipFile::ReadWhole(std::string &error)
{
    gzFile file = gzdopen(dup(descriptor), "rb");
    if (!file) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    gzbuffer(file, 1 << 17);
    char block[1 << 16];
    int got;
    bool tooLarge = false;
    while ((got = gzread(file, block, sizeof block)) > 0) {
        if (wholeText.size() + static_cast<std::size_t>(got) > WHOLE_LIMIT) {
            tooLarge = true;
            break;
        }
        wholeText.append(block, static_cast<std::size_t>(got));
    }
    int code = Z_OK;
    const char *message = gzerror(file, &code);
    const bool failed = tooLarge || got < 0 || (code != Z_OK && code != Z_STREAM_END);
    if (tooLarge)
        error = path + ": a gzip file without a dictzip chunk table inflating to over "
            + std::to_string(WHOLE_LIMIT >> 20) + " MB";
    else if (failed)
        error = path + ": " + (code == Z_ERRNO ? std::strerror(errno) : message)
            + " (damaged or cut-off file?)";
    gzclose(file);
    if (failed) {
        wholeText = std::string();
        return false;
    }
    whole = true;
    size = wholeText.size();
    return true;
}

bool DictzipFile::Inflate(std::size_t chunk, std::string &out, std::string &error)
{
    const std::uint64_t start = chunkStarts[chunk];
    if (!ReadRaw(
            start, static_cast<std::size_t>(chunkStarts[chunk + 1] - start), compressed, error))
        return false;
    ++inflated;
    out.resize(chunkLength);
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        error = path + ": zlib could not start";
        return false;
    }
    stream.next_in = reinterpret_cast<Bytef *>(compressed.data());
    stream.avail_in = static_cast<uInt>(compressed.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int code = inflate(&stream, Z_SYNC_FLUSH);
    const std::size_t produced = stream.total_out;
    inflateEnd(&stream);
    const bool last = chunk + 2 == chunkStarts.size();
    if ((code != Z_OK && code != Z_STREAM_END) || produced == 0
        || (!last && produced != chunkLength)) {
        error = path + ": dictzip chunk " + std::to_string(chunk + 1) + " of "
            + std::to_string(chunkStarts.size() - 1) + " does not inflate"
            + (stream.msg ? std::string(" (") + stream.msg + ")" : std::string());
        return false;
    }
    out.resize(produced);
    return true;
}

const std::string *DictzipFile::Chunk(std::size_t chunk, std::string &error)
{
    ++clock;
    for (Cached &cached : cache)
        if (cached.chunk == chunk) {
            cached.used = clock;
            return &cached.bytes;
        }
    Cached *slot;
    if (cache.size() < CACHED_CHUNKS) {
        slot = &cache.emplace_back();
    } else {
        slot = &*std::min_element(cache.begin(), cache.end(),
            [](const Cached &a, const Cached &b) { return a.used < b.used; });
    }
    slot->chunk = chunk;
    slot->used = clock;
    if (!Inflate(chunk, slot->bytes, error)) {
        // A failed chunk is not kept: the slot would otherwise answer for it next time.
        slot->used = 0;
        slot->chunk = static_cast<std::size_t>(-1);
        return nullptr;
    }
    return &slot->bytes;
}

bool DictzipFile::Read(
    std::uint64_t offset, std::size_t length, std::string &out, std::string &error)
{
    out.clear();
    if (offset > size || length > size - offset) {
        error = path + ": bytes " + std::to_string(offset) + "+" + std::to_string(length)
            + " lie beyond its end (" + std::to_string(size) + " bytes)";
        return false;
    }
    if (whole) {
        out.assign(wholeText, static_cast<std::size_t>(offset), length);
        return true;
    }
    if (!chunked)
        return ReadRaw(offset, length, out, error);
    out.reserve(length);
    while (out.size() < length) {
        const std::uint64_t at = offset + out.size();
        const std::string *chunk = Chunk(static_cast<std::size_t>(at / chunkLength), error);
        if (!chunk)
            return false;
        const std::size_t within = static_cast<std::size_t>(at % chunkLength);
        if (within >= chunk->size()) {
            error = path + ": a dictzip chunk is shorter than its table says";
            return false;
        }
        out.append(*chunk, within, std::min(chunk->size() - within, length - out.size()));
    }
    return true;
}
