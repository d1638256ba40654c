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

void PackedNumbers::Unpack(std::size_t run, std::uint64_t *out) const
{
    if (run == runs.size()) {
        std::copy(open.begin(), open.begin() + static_cast<std::ptrdiff_t>(count % RUN), out);
        return;
    }
    const Run &packed = runs[run];
    const unsigned width = static_cast<unsigned>(packed.place % WIDTH_BITS);
    if (width == 0) {
        std::fill(out, out + RUN, packed.least);
        return;
    }
    const std::uint64_t *from = words.data() + packed.place / WIDTH_BITS;
    const std::uint64_t mask = width == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
    std::size_t at = 0;
    for (std::size_t i = 0; i < RUN; ++i, at += width) {
        const unsigned shift = static_cast<unsigned>(at % 64);
        std::uint64_t bits = from[at / 64] >> shift;
        if (shift + width > 64)
            bits |= from[at / 64 + 1] << (64 - shift);
        out[i] = packed.least + (bits & mask);
    }
}

bool PackedNumbers::Restore(std::size_t restoredCount, std::vector<Run> &restoredRuns,
    std::vector<std::uint64_t> &restoredWords, const std::uint64_t *restoredOpen)
{
    if (restoredRuns.size() != restoredCount / RUN)
        return false;
    std::uint64_t word = 0;
    for (const Run &run : restoredRuns) {
        const std::uint64_t width = run.place % WIDTH_BITS;
        if (width > 64 || run.place / WIDTH_BITS != word)
            return false;
        word += 2 * width;
    }
    if (word != restoredWords.size())
        return false;
    runs = std::move(restoredRuns);
    words = std::move(restoredWords);
    count = restoredCount;
    std::copy(restoredOpen, restoredOpen + count % RUN, open.begin());
    return true;
}
