#include "support/Packed_numbers.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

// count numbers from make(i).
template <class Make> std::vector<std::uint64_t> Numbers(std::size_t count, Make make)
{
    std::vector<std::uint64_t> numbers;
    for (std::size_t i = 0; i < count; ++i)
        numbers.push_back(make(i));
    return numbers;
}

} // namespace

TEST(PackedNumbersTest, GivesBackEveryNumberAsAdded)
{
    constexpr std::size_t RUN = PackedNumbers::RUN;
    const std::pair<const char *, std::vector<std::uint64_t>> rows[] = {
        {"none", {}},
        {"fewer than a run", {7, 3, 9}},
        {"runs of one number, then a part run",
            Numbers(2 * RUN + 5, [](std::size_t i) { return i < RUN ? 5 : 1u << 20; })},
        {"the whole range in one run",
            Numbers(RUN + 1, [](std::size_t i) { return i % 2 ? ~std::uint64_t{0} : 0; })},
        {"a width that leaves differences across words, above a large least",
            Numbers(3 * RUN,
                [](std::size_t i) { return (std::uint64_t{1} << 40) + i * 12345 % 8191; })},
        {"runs of other widths one after another",
            Numbers(6 * RUN,
                [](std::size_t i) { return (i * 0x9E3779B97F4A7C15ull) >> (i / RUN * 11 % 64); })},
        {"falling", Numbers(RUN * 2, [](std::size_t i) { return 1000000 - i * 37; })},
    };
    for (const auto &[name, numbers] : rows) {
        PackedNumbers packed;
        for (const std::uint64_t number : numbers)
            packed.push_back(number);
        packed.shrink_to_fit();
        ASSERT_EQ(packed.size(), numbers.size()) << name;
        for (std::size_t i = 0; i < numbers.size(); ++i)
            ASSERT_EQ(packed[i], numbers[i]) << name << ", number " << i;
    }
}

TEST(PackedNumbersTest, NearNumbersTakeFewBytes)
{
    PackedNumbers packed;
    for (std::uint64_t i = 0; i < 64 * 1024; ++i)
        packed.push_back((std::uint64_t{1} << 35) + i * 300 + i % 7);
    packed.shrink_to_fit();
    EXPECT_LE(packed.HeapBytes(), packed.size() * 3);
}
