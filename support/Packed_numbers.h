#ifndef SUPPORT_PACKED_NUMBERS_H
#define SUPPORT_PACKED_NUMBERS_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Unsigned 64-bit numbers in as few bits as their neighbours allow: each run of RUN numbers
// keeps its least and, for every number, the difference from it in as many bits as the run's
// largest difference needs. Numbers that lie near each other (places in a file, ascending
// positions) take a byte or two apiece rather than eight; any number still fits. Appended at the
// end only, read anywhere in constant time.
class PackedNumbers
{
public:
    static constexpr std::size_t RUN = 128;

    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    std::uint64_t operator[](std::size_t i) const
    {
        const std::size_t run = i / RUN;
        if (run == runs.size())
            return open[i % RUN];
        const Run &packed = runs[run];
        const unsigned width = static_cast<unsigned>(packed.place % WIDTH_BITS);
        if (width == 0)
            return packed.least;
        const std::size_t at = (i % RUN) * width;
        const std::size_t word = static_cast<std::size_t>(packed.place / WIDTH_BITS) + at / 64;
        const unsigned shift = static_cast<unsigned>(at % 64);
        std::uint64_t bits = words[word] >> shift;
        // A difference may lie across two words; shift is then above zero.
        if (shift + width > 64)
            bits |= words[word + 1] << (64 - shift);
        return packed.least + (width == 64 ? bits : bits & ((std::uint64_t{1} << width) - 1));
    }
    void push_back(std::uint64_t value)
    {
        open[count % RUN] = value;
        if (++count % RUN == 0)
            Pack();
    }
    void clear();
    // Gives back the room kept ahead for growth.
    void shrink_to_fit();
    // Bytes held on the heap.
    std::size_t HeapBytes() const;

    // Run run's numbers into out, faster than asking for them one by one: RUN of them, or for
    // the last run while it is not full, what it holds.
    void Unpack(std::size_t run, std::uint64_t *out) const;
    std::size_t RunCount() const { return (count + RUN - 1) / RUN; }

    struct Run
    {
        std::uint64_t least = 0;
        // The word the run's differences start at, times 128, plus their width (0 to 64): a
        // run takes twice as many words as its width, so each starts a word.
        std::uint64_t place = 0;
    };
    // What the numbers are held as, to be kept in a file and taken back without packing them
    // again: the full runs, their words, and the last run's numbers while it is not full.
    const std::vector<Run> &HeldRuns() const { return runs; }
    const std::vector<std::uint64_t> &HeldWords() const { return words; }
    const std::uint64_t *OpenNumbers() const { return open.data(); }
    // Takes count numbers back from what those gave, open holding count % RUN of them. False,
    // and nothing taken, when they do not fit together: so many runs, each of a width up to 64
    // whose words follow the run before's.
    bool Restore(std::size_t count, std::vector<Run> &runs, std::vector<std::uint64_t> &words,
        const std::uint64_t *open);

private:
    static constexpr std::uint64_t WIDTH_BITS = 128;
    void Pack();

    std::vector<Run> runs;
    std::vector<std::uint64_t> words;
    // The last run until it is full, held as given.
    std::array<std::uint64_t, RUN> open{};
    std::size_t count = 0;
};

#endif // SUPPORT_PACKED_NUMBERS_H
