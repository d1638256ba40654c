// The floor of a whole process that loads an index: read the file, split each line at its TAB,
// parse the offset and store a record. Prints the number of records.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Record
{
    std::string headword;
    std::uint32_t offset;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: Split_parse_store INDEX_FILE\n");
        return 2;
    }
    std::ifstream stream(argv[1], std::ios::binary | std::ios::ate);
    std::string data(static_cast<std::size_t>(stream.tellg()), '\0');
    stream.seekg(0);
    stream.read(data.data(), static_cast<std::streamsize>(data.size()));
    std::vector<Record> records;
    const char *at = data.data();
    const char *const end = at + data.size();
    while (at < end) {
        const auto *lf = static_cast<const char *>(std::memchr(at, '\n', end - at));
        const char *const lineEnd = lf ? lf : end;
        const auto *tab = static_cast<const char *>(std::memchr(at, '\t', lineEnd - at));
        if (tab) {
            std::uint32_t offset = 0;
            for (const char *digit = tab + 1; digit < lineEnd; ++digit)
                offset = offset * 10 + static_cast<std::uint32_t>(*digit - '0');
            records.push_back({std::string(at, tab), offset});
        }
        at = lineEnd + 1;
    }
    std::printf("%zu\n", records.size());
    return 0;
}
