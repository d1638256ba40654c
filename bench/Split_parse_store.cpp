// The floor of a whole process that loads an index: read the file, split each line at its TAB,
// parse the offset and store a record. Prints the number of records.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The headword stays in the file's bytes; the record says where.
struct Record
{
    std::uint32_t headword;
    std::uint32_t length;
    std::uint32_t offset;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: Split_parse_store INDEX_FILE\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDONLY);
    struct stat status
    {
    };
    if (fd < 0 || fstat(fd, &status) != 0)
        return 1;
    const auto size = static_cast<std::size_t>(status.st_size);
    const std::unique_ptr<char[]> data(new char[size]);
    if (read(fd, data.get(), size) != static_cast<ssize_t>(size))
        return 1;
    close(fd);
    std::vector<Record> records;
    const char *const begin = data.get();
    const char *at = begin;
    const char *const end = at + size;
    while (at < end) {
        const auto *lf = static_cast<const char *>(std::memchr(at, '\n', end - at));
        const char *const lineEnd = lf ? lf : end;
        const auto *tab = static_cast<const char *>(std::memchr(at, '\t', lineEnd - at));
        if (tab) {
            std::uint32_t offset = 0;
            for (const char *digit = tab + 1; digit < lineEnd; ++digit)
                offset = offset * 10 + static_cast<std::uint32_t>(*digit - '0');
            records.push_back({static_cast<std::uint32_t>(at - begin),
                static_cast<std::uint32_t>(tab - at), offset});
        }
        at = lineEnd + 1;
    }
    std::printf("%zu\n", records.size());
    return 0;
}
