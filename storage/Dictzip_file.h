#ifndef STORAGE_DICTZIP_FILE_H
#define STORAGE_DICTZIP_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a dictzip header says: where the compressed chunks start and how long each is. A gzip
// file without the random-access table has no chunks.
struct DictzipHeader
{
    std::uint64_t dataStart = 0; // the first compressed byte, right after the header
    std::uint32_t chunkLength = 0; // uncompressed bytes of every chunk but the last
    std::vector<std::uint32_t> chunkSizes; // compressed bytes of each chunk
};

// Reads a gzip header from its first bytes. False with a reason when it is not gzip, or the
// header is cut off or malformed; a random-access table is taken only when it is well-formed.
bool ParseDictzipHeader(
    const unsigned char *bytes, std::size_t size, DictzipHeader &header, std::string &reason);

// A dictd or StarDict data file read at any offset: a dictzip file one chunk at a time (only the
// chunks that hold the bytes asked for are inflated, the last few kept), a gzip file without a
// chunk table inflated whole once, any other file read where asked. Not for several threads at
// once: each reader opens its own.
class DictzipFile
{
public:
    // Larger gzip files without a chunk table are refused rather than inflated into memory.
    static constexpr std::uint64_t WHOLE_LIMIT = std::uint64_t{1} << 30;
    static constexpr std::size_t CACHED_CHUNKS = 8;

    DictzipFile() = default;
    DictzipFile(const DictzipFile &) = delete;
    DictzipFile &operator=(const DictzipFile &) = delete;
    ~DictzipFile();

    // False with a reason naming the file when it cannot be opened or its header or chunk table
    // is damaged.
    bool Open(const std::string &path, std::string &error);
    const std::string &Path() const { return path; }
    // Bytes of the uncompressed text.
    std::uint64_t Size() const { return size; }
    // Bytes [offset, offset + length) into out. False with a reason naming the file when they
    // lie beyond the end or a chunk does not inflate to its length.
    bool Read(std::uint64_t offset, std::size_t length, std::string &out, std::string &error);
    // Chunks inflated so far: how often the cache missed.
    std::uint64_t ChunksInflated() const { return inflated; }

private:
    struct Cached
    {
        std::size_t chunk = 0;
        std::uint64_t used = 0;
        std::string bytes;
    };
    bool ReadWhole(std::string &error);
    bool ReadRaw(std::uint64_t at, std::size_t length, std::string &out, std::string &error);
    const std::string *Chunk(std::size_t chunk, std::string &error);
    bool Inflate(std::size_t chunk, std::string &out, std::string &error);

    std::string path;
    int descriptor = -1;
    bool chunked = false;
    bool whole = false;
    std::uint64_t size = 0;
    std::uint32_t chunkLength = 0;
    std::vector<std::uint64_t> chunkStarts; // compressed offsets, one more than the chunks
    std::string wholeText;
    std::vector<Cached> cache;
    std::uint64_t clock = 0;
    std::uint64_t inflated = 0;
    std::string compressed;
};

#endif // STORAGE_DICTZIP_FILE_H
