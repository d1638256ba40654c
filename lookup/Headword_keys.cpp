#include "lookup/Headword_keys.h"

#include <algorithm>
#include <limits>

#include "lookup/Folding.h"
#include "support/Log_file.h"

namespace {

// Headwords are read in stretches of this many, through one buffer.
constexpr std::int32_t STRETCH = 4096;
// Longer folded headwords are cut: no word typed is compared that far.
constexpr std::size_t MAX_KEY = 1000;

} // namespace

void HeadwordKeys::Update(const Database &database)
{
    std::vector<std::uint32_t> nowIds;
    std::vector<std::uint32_t> nowCounts;
    for (std::int32_t i = 0; i < database.GetCount(); ++i) {
        nowIds.push_back(database.GetDictionary(i)->GetId());
        nowCounts.push_back(database.GetDictionary(i)->GetWordCount());
    }
    if (nowIds == ids && nowCounts == counts)
        return;
    ids = std::move(nowIds);
    counts = std::move(nowCounts);
    text.clear();
    entries.clear();
    std::size_t total = 0;
    for (const std::uint32_t count : counts)
        total += count;
    entries.reserve(total);
    // The dictionaries past the slots a key can name are left out rather than misnamed.
    const std::size_t slots = std::min<std::size_t>(ids.size(), 0x10000);
    WordRange words;
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const Dictionary &dictionary = *database.GetDictionary(static_cast<std::int32_t>(slot));
        const auto count = static_cast<std::int32_t>(counts[slot]);
        dictionary.PrepareAllWords();
        for (std::int32_t first = 0; first < count; first += STRETCH) {
            const std::int32_t last = std::min(count, first + STRETCH);
            dictionary.GetWords(first, last, words);
            // GetWords leaves out nothing inside the dictionary, so word k is headword first + k.
            for (std::size_t k = 0; k < words.size(); ++k) {
                std::string folded = FoldText(words[k]);
                if (folded.size() > MAX_KEY)
                    folded.resize(MAX_KEY);
                if (text.size() + folded.size() > std::numeric_limits<std::uint32_t>::max())
                    break;
                entries.push_back(Entry{static_cast<std::uint32_t>(text.size()),
                    first + static_cast<std::int32_t>(k), static_cast<std::uint16_t>(slot),
                    static_cast<std::uint16_t>(folded.size())});
                text += folded;
            }
        }
    }
    std::sort(entries.begin(), entries.end(), [this](const Entry &a, const Entry &b) {
        const int order = Key(a).compare(Key(b));
        if (order != 0)
            return order < 0;
        return a.slot != b.slot ? a.slot < b.slot : a.index < b.index;
    });
    text.shrink_to_fit();
    logFile.WriteHeader(LOG_INFO, "HeadwordKeys::Update");
    logFile.Printf("Folded %zu headwords of %zu dictionaries", entries.size(), slots);
}

std::pair<std::size_t, std::size_t> HeadwordKeys::EqualRange(std::string_view folded) const
{
    const auto first = std::lower_bound(entries.begin(), entries.end(), folded,
        [this](const Entry &entry, std::string_view key) { return Key(entry) < key; });
    auto last = first;
    while (last != entries.end() && Key(*last) == folded)
        ++last;
    return {static_cast<std::size_t>(first - entries.begin()),
        static_cast<std::size_t>(last - entries.begin())};
}

std::pair<std::size_t, std::size_t> HeadwordKeys::PrefixRange(std::string_view prefix) const
{
    const auto first = std::lower_bound(entries.begin(), entries.end(), prefix,
        [this](const Entry &entry, std::string_view key) { return Key(entry) < key; });
    const auto last =
        std::partition_point(first, entries.end(), [this, prefix](const Entry &entry) {
            return Key(entry).substr(0, prefix.size()) == prefix;
        });
    return {static_cast<std::size_t>(first - entries.begin()),
        static_cast<std::size_t>(last - entries.begin())};
}

std::size_t HeadwordKeys::LowerBoundAt(
    std::size_t first, std::size_t last, std::size_t depth, std::string_view tail) const
{
    const auto begin = entries.begin();
    return static_cast<std::size_t>(
        std::lower_bound(begin + static_cast<std::ptrdiff_t>(first),
            begin + static_cast<std::ptrdiff_t>(last), tail,
            [this, depth](const Entry &entry, std::string_view wanted) {
                const std::string_view key = Key(entry);
                return (key.size() > depth ? key.substr(depth) : std::string_view()) < wanted;
            })
        - begin);
}
