#ifndef LOOKUP_HEADWORD_KEYS_H
#define LOOKUP_HEADWORD_KEYS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "storage/Database.h"

// The folded headwords of every loaded dictionary, sorted by their folded bytes, so that a folded
// word, a beginning or a pattern's literal start is found by halving instead of by a scan. Built
// once from the database (a few hundred milliseconds for a million headwords) and held until the
// dictionaries change; about 12 bytes a headword plus its folded text.
class HeadwordKeys
{
public:
    struct Entry
    {
        std::uint32_t key; // start of the folded headword in the key text
        std::int32_t index; // of the headword in its dictionary
        std::uint16_t
            slot; // the dictionary, as a position in the database when the keys were built
        std::uint16_t length; // of the folded headword in bytes
    };

    // Builds the keys when there are none or the loaded dictionaries are no longer the ones they
    // were built from (ids and word counts compared); cheap otherwise.
    void Update(const Database &database);

    std::size_t size() const { return entries.size(); }
    const Entry &operator[](std::size_t i) const { return entries[i]; }
    std::string_view Key(std::size_t i) const
    {
        return std::string_view(text.data() + entries[i].key, entries[i].length);
    }
    std::string_view Key(const Entry &entry) const
    {
        return std::string_view(text.data() + entry.key, entry.length);
    }
    // The word position of entry i.
    WordPosition Position(std::size_t i) const
    {
        return WordPosition{ids[entries[i].slot], entries[i].index};
    }

    // Entries [first, last) whose key equals folded.
    std::pair<std::size_t, std::size_t> EqualRange(std::string_view folded) const;
    // Entries [first, last) whose key begins with prefix (every entry for an empty prefix).
    std::pair<std::size_t, std::size_t> PrefixRange(std::string_view prefix) const;
    // The first entry at or after first, before last, whose key's bytes from depth on are not below
    // tail: for walking the keys as a tree, one character of depth at a time.
    std::size_t LowerBoundAt(
        std::size_t first, std::size_t last, std::size_t depth, std::string_view tail) const;

    // The dictionaries the keys were built from, in the order their slots number them.
    const std::vector<std::uint32_t> &Ids() const { return ids; }

private:
    std::vector<std::uint32_t> ids;
    std::vector<std::uint32_t> counts;
    std::string text;
    std::vector<Entry> entries;
};

#endif // LOOKUP_HEADWORD_KEYS_H
