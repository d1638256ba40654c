#include "Packed_numbers.h"

#include <algorithm>

namespace {

constexpr std::uint64_t WIDTH_BITS = 128;

std::uint64_t Mask(std::uint64_t width)
{
    return width >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
}

} // namespace

std::uint64_t PackedNumbers::operator[](std::size_t i) const
{
    const std::size_t run = i / RUN;
    if (run == runs.size())
        return open[i % RUN];
    const Run &packed = runs[run];
    const std::uint64_t width = packed.place % WIDTH_BITS;
    if (width == 0)
        return packed.least;
    const std::uint64_t at = (i % RUN) * width;
    const std::size_t word = static_cast<std::size_t>(packed.place / WIDTH_BITS + at / 64);
    const unsigned shift = static_cast<unsigned>(at % 64);
    std::uint64_t bits = words[word] >> shift;
    // A difference may lie across two words; shift is then above zero.
    if (shift + width > 64)
        bits |= words[word + 1] << (64 - shift);
    return packed.least + (bits & Mask(width));
}

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
