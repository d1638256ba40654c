#ifndef STORAGE_PHRASE_FINDER_H
#define STORAGE_PHRASE_FINDER_H

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "storage/Text_encoding.h"

class Dictionary;

// Finds a phrase in a dictionary's raw bytes, letter case ignored by the dictionary's rule.
class PhraseFinder
{
public:
    static constexpr std::size_t NOT_FOUND = static_cast<std::size_t>(-1);

    virtual ~PhraseFinder() = default;
    // Bytes of the phrase as the dictionary spells it.
    virtual std::size_t Size() const = 0;
    // The most bytes an occurrence can take: its letters may be spelt longer in another case.
    virtual std::size_t MaxMatchBytes() const = 0;
    virtual bool EndsInCarriageReturn() const = 0;
    // Whether the phrase begins with U+FFFD, which UTF-8 text also reads at each byte of a
    // character broken off at its front.
    virtual bool BeginsWithReplacement() const { return false; }
    // The first place in [from, end) where the whole phrase lies, or NOT_FOUND; matchEnd
    // receives where that occurrence ends. The text is read as beginning at start (at most
    // from): a place inside a character that began there or later is no place. Linear in
    // end - from whatever the phrase.
    virtual std::size_t FindIn(const unsigned char *data, std::size_t start, std::size_t from,
        std::size_t end, std::size_t &matchEnd) const = 0;
};

// A finder for phrase, spelt as a dictionary in encoding holds its text (PhraseInDictionaryText
// gives it so); phrase must not be empty.
std::unique_ptr<PhraseFinder> MakePhraseFinder(
    DictionaryEncoding encoding, std::string_view phrase);

// The phrase as a dictionary's own text spells it, or nothing when that text cannot hold one of
// its characters (then no article of the dictionary can hold it either). phrase is UTF-8.
std::optional<std::string> PhraseInDictionaryText(
    const Dictionary &dictionary, const std::string &phrase);

// Where phrase occurs in text, letter case ignored by the dictionary's rule: ranges of characters
// (start, count), ascending and not overlapping. text (as the dictionary gave it out) and phrase
// are UTF-8.
std::vector<std::pair<std::size_t, std::size_t>> FindPhrase(
    const Dictionary &dictionary, const std::string &text, const std::string &phrase);

#endif // STORAGE_PHRASE_FINDER_H
