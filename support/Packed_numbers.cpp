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
    const std::uint64_t at = packed.place / WIDTH_BITS + (i % RUN) * width;
    const std::size_t word = static_cast<std::size_t>(at / 64);
    const unsigned shift = static_cast<unsigned>(at % 64);
    std::uint64_t bits = words[word] >> shift;
    // A difference may lie across two words; shift is then above zero.
    if (shift + width > 64)
        bits |= words[word + 1] << (64 - shift);
    return packed.least + (bits & Mask(width));
}

void PackedNumbers::push_back(std::uint64_t value)
{
    open[count % RUN] = value;
    if (++count % RUN == 0)
        Pack();
}

void PackedNumbers::Pack()
{
    const auto [least, most] = std::minmax_element(open.begin(), open.end());
    const std::uint64_t range = *most - *least;
    std::uint64_t width = 0;
    while (width < 64 && (range >> width) != 0)
        ++width;
    runs.push_back({*least, bitCount * WIDTH_BITS + width});
    words.resize(static_cast<std::size_t>((bitCount + RUN * width + 63) / 64), 0);
    for (const std::uint64_t value : open) {
        const std::uint64_t difference = value - *least;
        const std::size_t word = static_cast<std::size_t>(bitCount / 64);
        const unsigned shift = static_cast<unsigned>(bitCount % 64);
        if (width != 0) {
            words[word] |= difference << shift;
            if (shift + width > 64)
                words[word + 1] |= difference >> (64 - shift);
        }
        bitCount += width;
    }
}

void PackedNumbers::clear()
{
    runs.clear();
    words.clear();
    bitCount = 0;
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
