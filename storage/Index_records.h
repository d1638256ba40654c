#ifndef STORAGE_INDEX_RECORDS_H
#define STORAGE_INDEX_RECORDS_H

// The records of an index file as the index reader takes them apart: fields, offsets, moving the
// headwords down. Inline: they run once a record, and most of a load is spent in them.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

#include "support/Utils.h"

// Raise sites keep fixed numbers so that a log record names the same place in every build.
constexpr std::int32_t INDEX_NOT_OPENED_LINE = 461;
constexpr std::int32_t HEADWORD_TOO_LONG_LINE = 468;
constexpr std::int32_t OFFSET_UNREADABLE_LINE = 475;
constexpr std::int32_t OFFSET_NOT_A_NUMBER_LINE = 481;

// Both index fields are read as lines of at most this many characters, as the index format
// allows.
constexpr std::size_t INDEX_FIELD_MAX = 199;

// The index file's bytes as they are read, in the arena the headwords are moved down in: each
// is moved only once every byte before its record's end has been taken apart.
class IndexBytes
{
public:
    IndexBytes(const char *bytes, std::size_t length)
        : bytes(bytes)
        , length(length)
    {
    }
    const char *data() const { return bytes; }
    std::size_t size() const { return length; }
    char operator[](std::size_t i) const { return bytes[i]; }

private:
    const char *bytes;
    std::size_t length;
};

// Optional sign and decimal digits making up the whole text, within 32 bits.
inline bool ParseOffset(const char *text, std::size_t length, std::int32_t &offset)
{
    const char *const end = text + length;
    bool negative = false;
    if (text < end && (*text == '+' || *text == '-'))
        negative = *text++ == '-';
    if (text == end)
        return false;
    std::int64_t value = 0;
    for (; text < end; ++text) {
        if (*text < '0' || *text > '9')
            return false;
        value = value * 10 + (*text - '0');
        if (value > static_cast<std::int64_t>(INT32_MAX) + 1)
            return false;
    }
    value = negative ? -value : value;
    if (value > INT32_MAX)
        return false;
    offset = static_cast<std::int32_t>(value);
    return true;
}

// The field that std::istream::getline(buffer, 200, delimiter) would extract at position, were
// the stream to read characters of the dictionary's encoding, and whether that read hit the end
// of the data. length is what the zero-terminated buffer holds: a zero byte, when the data may
// hold one, ends it.
enum class FieldRead
{
    Delimited,
    EndOfData,
    TooLong
};

template <class Text>
inline FieldRead ReadField(const IndexBytes &data, std::size_t &position, char delimiter,
    bool mayHoldZero, const char *&field, std::size_t &length)
{
    const std::size_t remaining = data.size() - position;
    // A field of exactly INDEX_FIELD_MAX characters may still be followed by its delimiter, so
    // look one character further than the field can hold. Characters cannot straddle the
    // delimiter: both delimiters are ASCII.
    const std::size_t window =
        std::min(remaining, (INDEX_FIELD_MAX + 1) * Text::MAX_CHARACTER_BYTES);
    field = data.data() + position;
    const void *found = window ? std::memchr(field, delimiter, window) : nullptr;
    length = found ? static_cast<std::size_t>(static_cast<const char *>(found) - field) : remaining;
    // Without a delimiter in the window, the window holds more characters than a field can.
    if ((!found && remaining > window)
        || (length > INDEX_FIELD_MAX && Text::Count(field, length) > INDEX_FIELD_MAX))
        return FieldRead::TooLong;
    position += found ? length + 1 : length;
    if (mayHoldZero) {
        const void *zero = std::memchr(field, '\0', length);
        if (zero)
            length = static_cast<std::size_t>(static_cast<const char *>(zero) - field);
    }
    return found ? FieldRead::Delimited : FieldRead::EndOfData;
}

// The offset field at position and its LF, read as the stream did.
template <class Text>
inline std::int32_t ReadOffset(const IndexBytes &data, std::size_t &position, bool mayHoldZero)
{
    const char *field;
    std::size_t length;
    // At the end of the data, getline fails only if it could extract nothing at all.
    if (position == data.size()
        || ReadField<Text>(data, position, '\n', mayHoldZero, field, length) == FieldRead::TooLong)
        throw VoException("Dictionary::LoadIndexFile", OFFSET_UNREADABLE_LINE, RC_DATA_CORRUPT);
    std::int32_t offset = 0;
    if (!ParseOffset(field, length, offset))
        throw VoException("Dictionary::LoadIndexFile", OFFSET_NOT_A_NUMBER_LINE, RC_DATA_CORRUPT);
    return offset;
}

constexpr bool LITTLE_ENDIAN_BYTES = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

// The decimal digits at the front of the eight bytes at text: how many, and their value. Eight
// at once, as one word: parsing a digit at a time was most of the index load. Little-endian
// only, the first byte being the lowest.
inline std::uint64_t LeadingDigits(const char *text, std::size_t &count)
{
    std::uint64_t chunk;
    std::memcpy(&chunk, text, sizeof chunk);
    // A digit becomes 0-9 with its high half clear; any other byte keeps a bit of 0xF0 or,
    // with 6 added to its low half, sets 0x10. No sum carries into the next byte.
    const std::uint64_t digits = chunk ^ 0x3030303030303030ULL;
    const std::uint64_t bad = (digits & 0xF0F0F0F0F0F0F0F0ULL)
        | (((digits & 0x0F0F0F0F0F0F0F0FULL) + 0x0606060606060606ULL) & 0x1010101010101010ULL);
    const std::uint64_t marks =
        (((bad & 0x7F7F7F7F7F7F7F7FULL) + 0x7F7F7F7F7F7F7F7FULL) | bad) & 0x8080808080808080ULL;
    count = marks ? static_cast<std::size_t>(__builtin_ctzll(marks)) / 8 : 8;
    if (count == 0)
        return 0;
    // The digits moved to the top with zeros below them, then joined in pairs, fours, eights.
    std::uint64_t value = digits << (8 * (8 - count));
    value = (value * 10 + (value >> 8)) & 0x00FF00FF00FF00FFULL;
    value = (value * 100 + (value >> 16)) & 0x0000FFFF0000FFFFULL;
    return (value * 10000 + (value >> 32)) & 0x00000000FFFFFFFFULL;
}

// The usual offset field, up to ten digits and an LF, in one pass; -1 for anything else, which
// is left to ReadOffset: it gives the same value for this case and the exact failure for others.
inline std::int64_t ReadPlainOffset(const IndexBytes &data, std::size_t &position)
{
    const char *const start = data.data() + position;
    const std::size_t remaining = data.size() - position;
    std::size_t length = 0;
    std::uint64_t value = 0;
    if (LITTLE_ENDIAN_BYTES && remaining >= 8)
        value = LeadingDigits(start, length);
    // Eight digits or more go on a digit at a time; fewer stopped at their first other byte.
    const std::size_t limit = std::min<std::size_t>(remaining, 10);
    while (length < limit && start[length] >= '0' && start[length] <= '9')
        value = value * 10 + static_cast<std::uint64_t>(start[length++] - '0');
    if (length == 0 || length == remaining || start[length] != '\n' || value > INT32_MAX)
        return -1;
    position += length + 1;
    return static_cast<std::int64_t>(value);
}

// memmove for a destination below the source. Headwords are short, and for them two loads
// that both come before the stores cost less than the call.
inline void MoveDown(char *destination, const char *source, std::size_t length)
{
    if (length > 16 && length <= 32) {
        // A UTF-8 headword of Cyrillic or Greek letters is usually this long.
        std::uint64_t head[2], tail[2];
        std::memcpy(head, source, 16);
        std::memcpy(tail, source + length - 16, 16);
        std::memcpy(destination, head, 16);
        std::memcpy(destination + length - 16, tail, 16);
    } else if (length >= 8 && length <= 16) {
        std::uint64_t head, tail;
        std::memcpy(&head, source, 8);
        std::memcpy(&tail, source + length - 8, 8);
        std::memcpy(destination, &head, 8);
        std::memcpy(destination + length - 8, &tail, 8);
    } else if (length >= 4 && length < 8) {
        std::uint32_t head, tail;
        std::memcpy(&head, source, 4);
        std::memcpy(&tail, source + length - 4, 4);
        std::memcpy(destination, &head, 4);
        std::memcpy(destination + length - 4, &tail, 4);
    } else {
        std::memmove(destination, source, length);
    }
}

struct ByteCensus
{
    std::size_t lines = 0;
    bool zero = false;
};

// Newlines and zero bytes, 64 bytes at a time: a stride's count fits in a byte, and a loop of
// fixed length is one the compiler turns into vector code.
inline ByteCensus CountBytes(const IndexBytes &data)
{
    constexpr std::size_t STRIDE = 64;
    ByteCensus census;
    unsigned char zeros = 0;
    std::size_t i = 0;
    for (; i + STRIDE <= data.size(); i += STRIDE) {
        unsigned char lines = 0;
        for (std::size_t k = 0; k < STRIDE; ++k) {
            lines += data[i + k] == '\n';
            zeros |= data[i + k] == '\0';
        }
        census.lines += lines;
    }
    for (; i < data.size(); ++i) {
        census.lines += data[i] == '\n';
        zeros |= data[i] == '\0';
    }
    census.zero = zeros != 0;
    return census;
}

#endif // STORAGE_INDEX_RECORDS_H
