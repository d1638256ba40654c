#ifndef STORAGE_UNICODE_UPPER_H
#define STORAGE_UNICODE_UPPER_H

#include <cstdint>

// Unicode's upper-casing where the capital is one character, as a table of blocks of 128
// characters (written by tools/make-upper-table): what each character adds to its code to become
// its capital. Where the full mapping gives several characters the letter keeps its case, even
// when the simple mapping names a single capital: sharp s, and the 27 Greek letters with
// ypogegrammeni, such as U+1FB3 (full: two letters; simple: U+1FBC), stay as they are.
constexpr char32_t UPPER_TABLE_LIMIT = 0x1E980;
constexpr unsigned UPPER_BLOCK_SHIFT = 7;
extern const std::uint8_t UPPER_BLOCKS[UPPER_TABLE_LIMIT >> UPPER_BLOCK_SHIFT];
extern const std::int32_t UPPER_DELTAS[][1u << UPPER_BLOCK_SHIFT];
// The capitals of the first characters themselves: the alphabets most dictionaries use, where the
// two dependent loads of the blocks were most of the cost of loading a UTF-8 index.
constexpr char32_t UPPER_FLAT_LIMIT = 0x800;
extern const char16_t UPPER_FLAT[UPPER_FLAT_LIMIT];

// One character to one character (a small e with acute to its capital, the small yo to the
// capital yo); a character without a capital, or whose capital is several characters, is
// returned unchanged. Upper-casing twice gives the same as once. Inline: the index calls it for
// every character it compares.
inline char32_t UnicodeUpper(char32_t code)
{
    if (code < UPPER_FLAT_LIMIT)
        return UPPER_FLAT[code];
    if (code >= UPPER_TABLE_LIMIT)
        return code;
    const std::int32_t delta = UPPER_DELTAS[UPPER_BLOCKS[code >> UPPER_BLOCK_SHIFT]]
                                           [code & ((1u << UPPER_BLOCK_SHIFT) - 1)];
    return static_cast<char32_t>(static_cast<std::int32_t>(code) + delta);
}

#endif // STORAGE_UNICODE_UPPER_H
