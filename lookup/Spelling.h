#ifndef LOOKUP_SPELLING_H
#define LOOKUP_SPELLING_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class HeadwordKeys;

// A headword key within a few edits of a folded word.
struct SpellingMatch
{
    std::size_t entry; // the first of the key's entries in HeadwordKeys
    int distance; // edits: a character put in, left out, replaced, or two neighbours swapped
};

// The keys within maxDistance edits of folded (itself folded), each once, in key order. The keys
// are walked as a tree, a branch left as soon as no key under it can come within the bound, so
// the cost follows the number of near keys rather than of all keys. Stops after limit keys.
// sameStart keeps to the keys that begin with the word's first or second character: near the
// root every branch is within two edits, and a slip in the first letter is the rarest, so this
// takes most of the cost of a walk out of it.
std::vector<SpellingMatch> FindSpellings(const HeadwordKeys &keys, std::string_view folded,
    int maxDistance, std::size_t limit, bool sameStart = false);

// How far apart two folded words look to someone typing the one for the other: edits weighted
// below 1 where the slip is likely (neighbouring keys on a Latin or a Russian keyboard, letters
// that sound alike, a doubled letter, two letters swapped), 1 otherwise. For ranking words at
// the same number of edits.
double TypingCost(std::u32string_view typed, std::u32string_view candidate);

// The code points of UTF-8 text; a byte that is not UTF-8 gives U+FFFD.
std::u32string DecodeText(std::string_view utf8);

#endif // LOOKUP_SPELLING_H
