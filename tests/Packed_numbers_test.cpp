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
        // Taken back as held, as a file keeps them, and read a run at a time.
        std::vector<PackedNumbers::Run> runs = packed.HeldRuns();
        std::vector<std::uint64_t> words = packed.HeldWords();
        PackedNumbers restored;
        ASSERT_TRUE(restored.Restore(numbers.size(), runs, words, packed.OpenNumbers())) << name;
        std::vector<std::uint64_t> unpacked(restored.RunCount() * RUN);
        for (std::size_t run = 0; run < restored.RunCount(); ++run)
            restored.Unpack(run, unpacked.data() + run * RUN);
        unpacked.resize(numbers.size());
        EXPECT_EQ(unpacked, numbers) << name;
    }
}

TEST(PackedNumbersTest, TakesBackOnlyRunsThatHoldTogether)
{
    constexpr std::size_t RUN = PackedNumbers::RUN;
    PackedNumbers packed;
    for (std::size_t i = 0; i < 3 * RUN + 2; ++i)
        packed.push_back(i * i);
    // what is done to the held runs and words
    using Change = void (*)(std::vector<PackedNumbers::Run> &, std::vector<std::uint64_t> &);
    const std::pair<const char *, Change> rows[] = {
        {"a width above 64, with the words it would take",
            [](std::vector<PackedNumbers::Run> &runs, std::vector<std::uint64_t> &words) {
                words.resize(words.size() + 2 * (65 - runs.back().place % 128));
                runs.back().place += 65 - runs.back().place % 128;
            }},
        {"a run's words not after the one before's",
            [](std::vector<PackedNumbers::Run> &runs, std::vector<std::uint64_t> &) {
                runs[2].place -= 128;
            }},
        {"fewer words than the runs take",
            [](std::vector<PackedNumbers::Run> &, std::vector<std::uint64_t> &words) {
                words.pop_back();
            }},
        {"a run missing, with its words",
            [](std::vector<PackedNumbers::Run> &runs, std::vector<std::uint64_t> &words) {
                words.resize(words.size() - 2 * (runs.back().place % 128));
                runs.pop_back();
            }},
    };
    for (const auto &[name, change] : rows) {
        std::vector<PackedNumbers::Run> runs = packed.HeldRuns();
        std::vector<std::uint64_t> words = packed.HeldWords();
        change(runs, words);
        PackedNumbers restored;
        EXPECT_FALSE(restored.Restore(packed.size(), runs, words, packed.OpenNumbers())) << name;
        EXPECT_TRUE(restored.empty()) << name;
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
