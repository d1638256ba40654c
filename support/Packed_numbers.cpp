#include "Packed_numbers.h"

#include <algorithm>

void PackedNumbers::Pack()
{
    std::uint64_t least = open[0];
    std::uint64_t most = open[0];
    for (const std::uint64_t value : open) {
        least = std::min(least, value);
        most = std::max(most, value);
    }
    const std::uint64_t range = most - least;
    unsigned width = 0;
    while (width < 64 && (range >> width) != 0)
        ++width;
    runs.push_back({least, words.size() * WIDTH_BITS + width});
    if (width == 0)
        return;
    // The differences one after another from the lowest bit up, a word handed on as it fills.
    std::uint64_t word = 0;
    unsigned filled = 0;
    for (const std::uint64_t value : open) {
        const std::uint64_t difference = value - least;
        word |= difference << filled;
        filled += width;
        if (filled >= 64) {
            words.push_back(word);
            filled -= 64;
            word = filled == 0 ? 0 : difference >> (width - filled);
        }
    }
}

void PackedNumbers::clear()
{
    runs.clear();
    words.clear();
    count = 0;
}

void PackedNumbers::shrink_to_fit()
{
    runs.shrink_to_fit();
    words.shrink_to_fit();
}

std::size_t PackedNumbers::HeapBytes() const
{
    return runs.capacity() * sizeof(Run) + words.capacity() * sizeof(std::uint64_t);
}
