#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#define XXH_INLINE_ALL
#include <xxhash.h>

#include "Fuzz_folder.h"
#include "storage/Source_cache.h"

// A sort cache of an installed dictionary, read as a start reads it. The stamp is fixed: inputs
// carry it to reach what follows. The hash is made anew over what precedes it, so that what the
// hash would pass is what gets fuzzed: the structure must be checked all the same. What passes
// must hold together: every record's parts name articles that exist, and every headword and
// spelling lies inside what was read.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    const std::string path = FuzzFolder() + "/source.cache";
    std::string cache(reinterpret_cast<const char *>(bytes), size);
    if (cache.size() >= 8) {
        const std::uint64_t hash = XXH3_64bits(cache.data(), cache.size() - 8);
        std::memcpy(&cache[cache.size() - 8], &hash, 8);
    }
    WriteFuzzFile(path, cache);
    SourceSortResult sorted;
    if (!ReadSourceCache(path, "s", sorted))
        return 0;
    const std::uint32_t records = sorted.index.GetWordCount();
    FuzzCheck(sorted.parts.Records() == records, "records and their parts disagree");
    for (std::uint32_t p = 0; p < sorted.parts.PartCount(); ++p)
        FuzzCheck(
            sorted.parts.Part(p).article < sorted.data.places.size(), "a part names no article");
    for (std::uint32_t i = 0; i < records; ++i)
        FuzzCheck(sorted.parts.First(i) < sorted.parts.First(i + 1)
                && sorted.parts.First(i + 1) <= sorted.parts.PartCount(),
            "a record's parts out of order or past the last");
    std::uint64_t furthest = 0;
    for (const SourcePlace place : sorted.data.places)
        furthest = place.offset + place.length < place.offset
            ? UINT64_MAX
            : std::max(furthest, place.offset + place.length);
    FuzzCheck(furthest <= sorted.data.places.Reach(), "a place past the reach");
    for (std::uint32_t i = 0; i < records; ++i)
        sorted.index.GetWord(i);
    FuzzCheck(sorted.spellingAt.empty() || sorted.spellingAt.size() == records,
        "spellings for some records only");
    for (std::size_t i = 0; i < sorted.spellingAt.size(); ++i) {
        const std::uint64_t at = sorted.spellingAt[i];
        FuzzCheck(at == 1 || (at >= 2 && at - 2 < sorted.spellings.size()),
            "a spelling outside the spellings");
    }
    return 0;
}
