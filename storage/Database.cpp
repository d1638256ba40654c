#include "Database.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <sys/stat.h>
#include <utility>

#include "support/Code_page.h"
#include "support/Log_file.h"
#include "support/Utils.h"

namespace {

// Raise sites keep fixed numbers so that a log record names the same place in every build.
constexpr std::int32_t ATTRIBUTES_NOT_OPENED_LINE = 383;
constexpr std::int32_t ATTRIBUTE_WITHOUT_VALUE_LINE = 397;
constexpr std::int32_t INDEX_NOT_OPENED_LINE = 461;
constexpr std::int32_t HEADWORD_TOO_LONG_LINE = 468;
constexpr std::int32_t OFFSET_UNREADABLE_LINE = 475;
constexpr std::int32_t OFFSET_NOT_A_NUMBER_LINE = 481;

// Both index fields are read as lines of at most this many bytes, as the index format allows.
constexpr std::size_t INDEX_FIELD_MAX = 199;
// One read of an attribute line takes at most this many UTF-16 units.
constexpr std::size_t ATTRIBUTE_LINE_MAX = 99;
constexpr std::uint32_t NO_POSITION = 0xFFFFFFFF;

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

struct FileSet
{
    std::string folderName;
    std::string dataPath;
    std::string indexPath;
    std::string infoPath;
};

FileSet MakeFileSet(const std::string &folderPath)
{
    FileSet files;
    std::size_t nameStart = folderPath.size();
    while (nameStart > 0 && !IsSeparator(folderPath[nameStart - 1]))
        --nameStart;
    files.folderName = folderPath.substr(nameStart);
    std::string base = folderPath;
    if (base.empty() || !IsSeparator(base.back()))
        base += '/';
    base += files.folderName;
    files.dataPath = base + ".dat";
    files.indexPath = base + ".idx";
    files.infoPath = base + ".inf";
    return files;
}

bool Exists(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Opening a FIFO would block the start until someone writes to it, and a folder "opens" on some
// libraries only to fail on the first read; the dictionary files must be plain files.
bool IsRegularFile(const std::string &path, std::uint64_t *size = nullptr)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (size)
        *size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool IsBlank(char16_t unit)
{
    return unit <= 0x20;
}

bool IsDigit(char16_t unit)
{
    return unit >= u'0' && unit <= u'9';
}

// Reads the UTF-16LE attribute file a bounded line at a time; a trailing half unit is ignored.
class AttributeReader
{
public:
    explicit AttributeReader(const std::string &path)
    {
        if (IsRegularFile(path))
            file.open(path, std::ios::in | std::ios::binary);
    }
    bool IsOpen() const { return file.is_open(); }

    // Up to ATTRIBUTE_LINE_MAX units, ending after the first LF; false once nothing is left.
    bool ReadLine(std::u16string &line)
    {
        line.clear();
        char16_t unit = 0;
        while (line.size() < ATTRIBUTE_LINE_MAX && ReadUnit(unit)) {
            line += unit;
            if (unit == u'\n')
                break;
        }
        return !line.empty();
    }

private:
    bool ReadUnit(char16_t &unit)
    {
        const auto low = file.sbumpc();
        if (low == std::filebuf::traits_type::eof())
            return false;
        const auto high = file.sbumpc();
        if (high == std::filebuf::traits_type::eof())
            return false;
        unit =
            static_cast<char16_t>((static_cast<unsigned>(high) << 8) | static_cast<unsigned>(low));
        return true;
    }

    std::filebuf file;
};

// The line as a zero-terminated wide string would hold it, without blanks and control
// characters at either end.
std::u16string TrimLine(std::u16string line)
{
    const std::size_t zero = line.find(u'\0');
    if (zero != std::u16string::npos)
        line.resize(zero);
    std::size_t end = line.size();
    while (end > 0 && IsBlank(line[end - 1]))
        --end;
    std::size_t begin = 0;
    while (begin < end && IsBlank(line[begin]))
        ++begin;
    return line.substr(begin, end - begin);
}

struct Version
{
    std::int32_t major = 0;
    std::int32_t minor = 0;
};

// Decimal number as atof would read it (blanks, sign, digits, point, exponent; the longest valid
// prefix), worked out on the digits themselves: the locale's decimal comma must not matter and a
// binary fraction must not turn 1.9 into 1.8999.
Version ParseVersion(const std::u16string &text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    std::string digits;
    std::int64_t pointAt = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++pointAt)
        digits += static_cast<char>(text[i]);
    if (i < text.size() && text[i] == u'.')
        for (++i; i < text.size() && IsDigit(text[i]); ++i)
            digits += static_cast<char>(text[i]);
    if (digits.empty())
        return {};
    if (i + 1 < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        std::size_t e = i + 1;
        bool exponentNegative = false;
        if (e < text.size() && (text[e] == u'+' || text[e] == u'-'))
            exponentNegative = text[e++] == u'-';
        std::int64_t exponent = 0;
        bool any = false;
        for (; e < text.size() && IsDigit(text[e]); ++e, any = true)
            exponent = std::min<std::int64_t>(exponent * 10 + (text[e] - u'0'), 100000);
        if (any)
            pointAt += exponentNegative ? -exponent : exponent;
    }

    std::int64_t major = 0;
    for (std::int64_t d = 0; d < pointAt; ++d) {
        const int digit = d < static_cast<std::int64_t>(digits.size()) ? digits[d] - '0' : 0;
        major = std::min<std::int64_t>(major * 10 + digit, INT32_MAX);
    }
    const int minor = pointAt >= 0 && pointAt < static_cast<std::int64_t>(digits.size())
        ? digits[pointAt] - '0'
        : 0;
    Version version;
    version.major = static_cast<std::int32_t>(negative ? -major : major);
    version.minor = negative ? -minor : minor;
    return version;
}

// strtoul in base 16 on "0x" + text: hexadecimal digits right at the start, 0 without any, and
// clamped where the id no longer fits in 32 bits.
std::uint32_t ParseId(const std::u16string &text)
{
    std::uint64_t value = 0;
    for (const char16_t unit : text) {
        int digit;
        if (IsDigit(unit))
            digit = unit - u'0';
        else if (unit >= u'a' && unit <= u'f')
            digit = unit - u'a' + 10;
        else if (unit >= u'A' && unit <= u'F')
            digit = unit - u'A' + 10;
        else
            break;
        value = std::min<std::uint64_t>(value * 16 + static_cast<std::uint64_t>(digit), 0xFFFFFFFF);
    }
    return static_cast<std::uint32_t>(value);
}

// Optional sign and decimal digits making up the whole text, within 32 bits.
bool ParseOffset(const char *text, std::size_t length, std::int32_t &offset)
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

// The field that std::istream::getline(buffer, 200, delimiter) would extract at position, and
// whether that read hit the end of the data. length is what the zero-terminated buffer holds:
// a zero byte, when the data may hold one, ends it.
enum class FieldRead
{
    Delimited,
    EndOfData,
    TooLong
};

FieldRead ReadField(const ByteArena &data, std::size_t &position, char delimiter, bool mayHoldZero,
    const char *&field, std::size_t &length)
{
    const std::size_t remaining = data.size() - position;
    // A field of exactly INDEX_FIELD_MAX bytes may still be followed by its delimiter, so look
    // one byte further than the field can hold.
    const std::size_t window = std::min(remaining, INDEX_FIELD_MAX + 1);
    field = data.data() + position;
    const void *found = window ? std::memchr(field, delimiter, window) : nullptr;
    if (found) {
        length = static_cast<std::size_t>(static_cast<const char *>(found) - field);
        position += length + 1;
    } else if (remaining > INDEX_FIELD_MAX) {
        return FieldRead::TooLong;
    } else {
        length = remaining;
        position = data.size();
    }
    if (mayHoldZero) {
        const void *zero = std::memchr(field, '\0', length);
        if (zero)
            length = static_cast<std::size_t>(static_cast<const char *>(zero) - field);
    }
    return found ? FieldRead::Delimited : FieldRead::EndOfData;
}

// The offset field at position and its LF, read as the stream did.
std::int32_t ReadOffset(const ByteArena &data, std::size_t &position, bool mayHoldZero)
{
    const char *field;
    std::size_t length;
    // At the end of the data, getline fails only if it could extract nothing at all.
    if (position == data.size()
        || ReadField(data, position, '\n', mayHoldZero, field, length) == FieldRead::TooLong)
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
std::int64_t ReadPlainOffset(const ByteArena &data, std::size_t &position)
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
    if (length >= 8 && length <= 16) {
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
ByteCensus CountBytes(const ByteArena &data)
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

std::size_t TrimEnd(const char *word, std::size_t length)
{
    while (length > 0 && static_cast<unsigned char>(word[length - 1]) <= 0x20)
        --length;
    return length;
}

// Bytes compared as upper-cased and unsigned, a proper beginning before the longer text: the
// order of std::string on ToUpper of both.
// readable: how many bytes may be read from both, at least the shorter length.
inline bool UpperLess(
    const char *a, std::size_t aLength, const char *b, std::size_t bLength, std::size_t readable)
{
    const std::size_t common = std::min(aLength, bLength);
    // Bytes that are equal are equal upper-cased too. Neighbours in an index share long
    // beginnings, so look for the first difference a word at a time.
    std::size_t i = 0;
    for (; i < common && i + 8 <= readable; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a + i, sizeof x);
        std::memcpy(&y, b + i, sizeof y);
        if (x != y) {
            if (LITTLE_ENDIAN_BYTES)
                i += static_cast<std::size_t>(__builtin_ctzll(x ^ y)) / 8;
            break;
        }
    }
    i = std::min(i, common);
    while (i < common && a[i] == b[i])
        ++i;
    for (; i < common; ++i) {
        const unsigned char x = ToUpperByte(static_cast<unsigned char>(a[i]));
        const unsigned char y = ToUpperByte(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y;
    }
    return aLength < bLength;
}

inline bool UpperLess(const char *a, std::size_t aLength, const char *b, std::size_t bLength)
{
    return UpperLess(a, aLength, b, bLength, std::min(aLength, bLength));
}

std::size_t SharedLength(const char *word, std::size_t length, const std::string &query)
{
    const std::size_t limit = std::min(length, query.size());
    std::size_t shared = 0;
    while (shared < limit
        && ToUpperByte(static_cast<unsigned char>(word[shared]))
            == static_cast<unsigned char>(query[shared]))
        ++shared;
    return shared;
}

// A block a query can reach: queries are upper-cased, and a headword stored with such a first
// byte keeps it after trimming and upper-casing.
bool IsSearchableLetter(unsigned char first)
{
    return first > 0x20 && ToUpperByte(first) == first;
}

// Whether the trimmed, upper-cased headword may begin otherwise than its stored first byte.
bool IsOdd(unsigned char first)
{
    return first != 0 && !IsSearchableLetter(first);
}

} // namespace

// Where a lookup stands, as the written scan keeps it.
struct Dictionary::Scan
{
    std::uint32_t position = NO_POSITION;
    std::size_t k = 1; // one more than the longest run of leading characters shared so far
    std::int32_t same = 0; // entries seen that begin with the query's letter
    bool exact = false;
};

Dictionary::Dictionary(std::string folderPath)
{
    FileSet files = MakeFileSet(folderPath);
    dataPath = std::move(files.dataPath);
    indexPath = std::move(files.indexPath);
    infoPath = std::move(files.infoPath);
    folderName = std::move(files.folderName);
    articleBuffer.resize(static_cast<std::size_t>(articleBufferSize));
}

Dictionary::~Dictionary() = default;

bool Dictionary::PreLoadCheck(std::string folderPath)
{
    const FileSet files = MakeFileSet(folderPath);
    const std::pair<const std::string *, const char *> checks[] = {
        {&files.dataPath, "dic data file=%s not found"},
        {&files.indexPath, "dic index file=%s not found"},
        {&files.infoPath, "dic info file=%s not found"},
    };
    for (const auto &[path, message] : checks) {
        if (!Exists(*path)) {
            logFile.WriteHeader(LOG_WARNING, "Dictionary::PreLoadCheck");
            logFile.Printf(message, path->c_str());
            return false;
        }
    }
    return true;
}

bool Dictionary::Load()
{
    try {
        LoadAttributes();
        LoadIndexFile();
    } catch (const VoException &exception) {
        logFile.WriteHeader(LOG_ERROR, "Dictionary::Load");
        logFile.Printf("%s", ErrorText(exception).c_str());
        return false;
    }
    if (IsRegularFile(dataPath))
        dataStream.open(dataPath, std::ios::in | std::ios::binary);
    return dataStream.is_open();
}

void Dictionary::LoadAttributes()
{
    AttributeReader reader(infoPath);
    if (!reader.IsOpen())
        throw VoException("Dictionary::LoadAttributes", ATTRIBUTES_NOT_OPENED_LINE, RC_NOT_FOUND);

    enum Key
    {
        FORMAT_VERSION,
        ENCODING,
        DIC_ID,
        DIC_VERSION,
        CATEGORY,
        SHORT_NAME,
        LONG_NAME,
        SOURCE
    };
    struct KeyInfo
    {
        std::u16string name;
        const char *record;
        std::string DictionaryAttributes::*text;
    };
    // Tested in this order; no key is a prefix of another, so a line belongs to one key at most.
    static const KeyInfo keys[] = {
        {u"FORMAT_VERSION", "FORMAT_VERSION=%d.%d", nullptr},
        {u"ENCODING", "ENCODING=%s", &DictionaryAttributes::encoding},
        {u"DIC_ID", "DIC_ID=0x%x", nullptr},
        {u"DIC_VERSION", "DIC_VERSION=%d.%d", nullptr},
        {u"CATEGORY", "CATEGORY=%s", &DictionaryAttributes::category},
        {u"SHORT_NAME", "SHORT_NAME=%s", &DictionaryAttributes::shortName},
        {u"LONG_NAME", "LONG_NAME=%s", &DictionaryAttributes::longName},
        {u"SOURCE", "SOURCE=%s", &DictionaryAttributes::source},
    };

    std::u16string raw;
    while (reader.ReadLine(raw)) {
        const std::u16string line = TrimLine(raw);
        for (int key = FORMAT_VERSION; key <= SOURCE; ++key) {
            const KeyInfo &info = keys[key];
            if (line.compare(0, info.name.size(), info.name) != 0)
                continue;
            const std::size_t equals = line.find(u'=');
            if (equals == std::u16string::npos)
                throw VoException(
                    "Dictionary::LoadAttributes", ATTRIBUTE_WITHOUT_VALUE_LINE, RC_DATA_CORRUPT);
            const std::u16string value = line.substr(equals + 1);

            logFile.WriteHeader(LOG_INFO, "Dictionary::LoadAttributes");
            if (key == FORMAT_VERSION || key == DIC_VERSION) {
                const Version version = ParseVersion(value);
                const bool format = key == FORMAT_VERSION;
                (format ? attributes.formatVersionMajor : attributes.dicVersionMajor) =
                    version.major;
                (format ? attributes.formatVersionMinor : attributes.dicVersionMinor) =
                    version.minor;
                logFile.Printf(info.record, version.major, version.minor);
            } else if (key == DIC_ID) {
                attributes.dicId = ParseId(value);
                logFile.Printf(info.record, static_cast<unsigned>(attributes.dicId));
            } else {
                std::string &text = attributes.*info.text;
                text = Utf16ToAnsi(value);
                logFile.Printf(info.record, text.c_str());
            }
        }
    }
}

void ByteArena::Free::operator()(char *memory) const
{
    std::free(memory);
}

void ByteArena::Allocate(std::size_t size)
{
    // Never empty, so that data() always points somewhere for the readers.
    bytes.reset(static_cast<char *>(std::malloc(std::max<std::size_t>(size, 1))));
    if (!bytes)
        throw std::bad_alloc();
    length = size;
}

void ByteArena::Shrink(std::size_t size)
{
    if (size >= length)
        return;
    char *old = bytes.release();
    char *shrunk = static_cast<char *>(std::realloc(old, std::max<std::size_t>(size, 1)));
    bytes.reset(shrunk ? shrunk : old);
    length = size;
}

void Dictionary::LoadIndexFile()
{
    std::uint64_t size = 0;
    std::ifstream stream;
    if (IsRegularFile(indexPath, &size))
        stream.open(indexPath, std::ios::in | std::ios::binary);
    // Headwords are addressed by 32-bit arena offsets and positions are 32-bit signed.
    if (!stream.is_open() || size > INT32_MAX)
        throw VoException("Dictionary::LoadIndexFile", INDEX_NOT_OPENED_LINE, RC_NOT_FOUND);

    // The headwords are gathered at the front of the buffer the file is read into: a headword
    // and its terminator never take more room than the headword and its TAB did, so the copy
    // never overtakes the reading, and no second buffer of the file's size is needed.
    ByteArena &data = headwordArena;
    data.Allocate(static_cast<std::size_t>(size));
    stream.read(data.data(), static_cast<std::streamsize>(data.size()));
    data.Shrink(static_cast<std::size_t>(stream.gcount()));
    stream.close();
    const ByteCensus census = CountBytes(data);
    entries.reserve(census.lines + 1);

    // Only a file holding a zero byte anywhere needs its fields cut at one.
    const bool mayHoldZero = census.zero;
    // Each headword moves down into the arena one record late: until then its bytes in the file
    // are intact, and the next headword is compared with those rather than with a copy just
    // made, which would make every record wait for that copy.
    unsigned char previous = 0;
    bool runSorted = false;
    const char *pending = nullptr;
    std::size_t pendingLength = 0;
    std::size_t pendingTrimmed = 0;
    std::size_t position = 0;
    std::size_t kept = 0;
    const auto MovePending = [&] {
        if (!pending)
            return;
        MoveDown(data.data() + kept, pending, pendingLength);
        data[kept + pendingLength] = '\0';
        kept += pendingLength + 1;
    };
    for (;;) {
        const char *headword;
        std::size_t headwordLength;
        const FieldRead headwordRead =
            ReadField(data, position, '\t', mayHoldZero, headword, headwordLength);
        if (headwordRead == FieldRead::EndOfData)
            break;
        if (headwordRead == FieldRead::TooLong)
            throw VoException("Dictionary::LoadIndexFile", HEADWORD_TOO_LONG_LINE, RC_DATA_CORRUPT);
        std::int64_t offset = ReadPlainOffset(data, position);
        if (offset < 0)
            offset = ReadOffset(data, position, mayHoldZero);

        const auto j = static_cast<std::int32_t>(entries.size());
        const auto first = headwordLength ? static_cast<unsigned char>(*headword) : 0;
        const std::size_t trimmed = TrimEnd(headword, headwordLength);
        if (first != previous) {
            letterRuns[previous] = {j, runSorted};
            letterIndex[first] = j;
            runSorted = IsSearchableLetter(first);
        } else if (runSorted
            && UpperLess(headword, trimmed, pending, pendingTrimmed,
                static_cast<std::size_t>(data.data() + data.size() - headword))) {
            runSorted = false;
        }
        if (IsOdd(first))
            oddEntries.push_back(static_cast<std::uint32_t>(j));
        previous = first;

        MovePending();
        // Field by field: an entry put together on the stack and copied whole made the load
        // wait on every record.
        IndexEntry &entry = entries.emplace_back();
        entry.headword = static_cast<std::uint32_t>(kept);
        entry.offset = static_cast<std::int32_t>(offset);
        pending = headword;
        pendingLength = headwordLength;
        pendingTrimmed = trimmed;
    }
    MovePending();
    letterRuns[previous] = {static_cast<std::int32_t>(entries.size()), runSorted};
    // The arena and the odd entries are kept for the whole run: no room to spare in either.
    data.Shrink(kept);
    oddEntries.shrink_to_fit();
}

std::uint32_t Dictionary::GetWordCount() const
{
    return static_cast<std::uint32_t>(entries.size());
}

std::pair<const char *, std::size_t> Dictionary::TrimmedHeadword(std::size_t i) const
{
    const std::size_t start = entries[i].headword;
    const std::size_t next =
        i + 1 < entries.size() ? entries[i + 1].headword : headwordArena.size();
    const char *begin = headwordArena.data() + start;
    // Headwords lie in entry order, each followed by its terminator.
    std::size_t length = next - start - 1;
    while (length > 0 && static_cast<unsigned char>(*begin) <= 0x20) {
        ++begin;
        --length;
    }
    return {begin, TrimEnd(begin, length)};
}

std::string Dictionary::GetWord(std::int32_t i) const
{
    if (i < 0 || static_cast<std::uint32_t>(i) >= GetWordCount())
        return std::string();
    const auto [word, length] = TrimmedHeadword(static_cast<std::size_t>(i));
    return std::string(word, length);
}

std::string Dictionary::GetArticle(std::int32_t i)
{
    if (i < 0 || static_cast<std::uint32_t>(i) >= GetWordCount())
        return std::string();
    articleBuffer[0] = '\0';
    dataStream.seekg(entries[static_cast<std::size_t>(i)].offset, std::ios::beg);
    // A failed seek leaves the buffer empty; a line longer than the buffer is cut and its rest
    // left unread. Either way the stream must be usable for the next article.
    if (dataStream)
        dataStream.getline(articleBuffer.data(), articleBufferSize, '\n');
    if (!dataStream)
        dataStream.clear();
    std::string article(articleBuffer.data());
    if (!article.empty() && article.back() == '\r')
        article.pop_back();
    return article;
}

bool Dictionary::FindWord(
    std::string query, std::uint32_t &position, std::int32_t &matchedLength) const
{
    if (query.empty()) {
        matchedLength = 0;
        return false;
    }
    position = NO_POSITION;
    query = ToUpper(std::move(query));
    const auto first = static_cast<unsigned char>(query[0]);
    const auto block = letterIndex.find(first);
    if (block == letterIndex.end())
        return false;

    Scan scan;
    auto j = static_cast<std::size_t>(block->second);
    const LetterRun &run = letterRuns[first];
    const auto runEnd = static_cast<std::size_t>(run.end);
    bool ended = false;
    if (run.sorted) {
        ended = SearchSortedRun(query, j, runEnd, scan);
        j = runEnd;
    }
    // Past the run, an entry that is not odd begins with another letter: until three of the
    // letter have been seen it changes nothing, so the scan may leap to the next odd entry.
    const bool leap = first > 0x20;
    for (; !ended && j < entries.size(); ++j) {
        if (leap && j >= runEnd && scan.same <= 2) {
            const auto next = std::lower_bound(oddEntries.begin(), oddEntries.end(), j);
            if (next == oddEntries.end())
                break;
            j = *next;
        }
        ended = ScanEntry(j, query, scan);
    }
    position = scan.position;
    matchedLength = scan.exact ? -1 : static_cast<std::int32_t>(scan.k - 1);
    return position != NO_POSITION;
}

bool Dictionary::ScanEntry(std::size_t j, const std::string &query, Scan &scan) const
{
    const auto [word, length] = TrimmedHeadword(j);
    // An entry takes the position only when it shares more leading characters than every entry
    // before it: k - 1 is the longest run seen so far.
    const std::size_t shared = SharedLength(word, length, query);
    if (shared >= scan.k) {
        scan.position = static_cast<std::uint32_t>(j);
        scan.k = shared + 1;
    }
    if (scan.k > query.size()) {
        scan.exact = length == query.size();
        return true;
    }
    // The trimmed headword of an empty entry still has its terminator as first byte.
    const unsigned char firstOfWord = length ? ToUpperByte(static_cast<unsigned char>(*word)) : 0;
    if (firstOfWord == static_cast<unsigned char>(query[0]))
        ++scan.same;
    else if (scan.same > 2)
        return true;
    return false;
}

// Every headword of the run begins with the query's letter and the run is in upper-case order,
// so for every t the headwords sharing t leading characters with the query stand together, and
// the longest shared beginning is found beside the place where the query would be inserted. The
// scan's state afterwards is the one the entry-by-entry scan of the run would leave.
bool Dictionary::SearchSortedRun(
    const std::string &query, std::size_t begin, std::size_t end, Scan &scan) const
{
    const std::size_t at = LowerBound(begin, end, query.data(), query.size());
    const auto Shared = [&](std::size_t j) {
        const auto [word, length] = TrimmedHeadword(j);
        return SharedLength(word, length, query);
    };
    const std::size_t before = at > begin ? Shared(at - 1) : 0;
    const std::size_t after = at < end ? Shared(at) : 0;
    if (after == query.size()) {
        // The first headword that the whole query begins: the scan ends there.
        scan.position = static_cast<std::uint32_t>(at);
        scan.k = query.size() + 1;
        scan.exact = TrimmedHeadword(at).second == query.size();
        return true;
    }
    const std::size_t best = std::max(before, after);
    scan.position = static_cast<std::uint32_t>(
        before >= after ? LowerBound(begin, at, query.data(), best) : at);
    scan.k = best + 1;
    scan.same = static_cast<std::int32_t>(end - begin);
    return false;
}

std::size_t Dictionary::LowerBound(
    std::size_t begin, std::size_t end, const char *text, std::size_t length) const
{
    while (begin < end) {
        const std::size_t middle = begin + (end - begin) / 2;
        const auto [word, wordLength] = TrimmedHeadword(middle);
        if (UpperLess(word, wordLength, text, length))
            begin = middle + 1;
        else
            end = middle;
    }
    return begin;
}

Database::Database(
    std::string programFolder, IDictionaryLoadObserver *observer, std::string dicsFolder)
    : programFolder(std::move(programFolder))
    , dicsFolder(std::move(dicsFolder))
    , observer(observer)
{
    if (!this->programFolder.empty() && !IsSeparator(this->programFolder.back()))
        this->programFolder += '/';
    RemoveTemporaryFolder();
}

Database::~Database()
{
    dictionaries.clear();
    RemoveTemporaryFolder();
}

void Database::RemoveTemporaryFolder() const
{
    // Without a program folder there is no temporary folder of ours: "data/temp" relative to the
    // working folder may belong to anyone.
    if (!programFolder.empty())
        RemoveFolder(programFolder + "data/temp");
}

std::string Database::DictionaryRoot() const
{
    std::string root = dicsFolder.empty() ? programFolder + "dics" : dicsFolder;
    while (root.size() > 1 && IsSeparator(root.back()))
        root.pop_back();
    return root;
}

void Database::SetOrder(std::vector<std::string> names)
{
    loadOrder = std::move(names);
}

void Database::AddDictionaryFolder(std::string folder)
{
    extraFolders.push_back(std::move(folder));
}

void Database::Load()
{
    // Each root sorted by name, so that the dictionaries DIC_ORDER does not name come in the
    // same order everywhere; the program's own root comes first.
    std::vector<std::string> roots{DictionaryRoot()};
    roots.insert(roots.end(), extraFolders.begin(), extraFolders.end());
    std::vector<Candidate> candidates;
    for (const std::string &root : roots) {
        std::vector<std::string> names;
        std::error_code error;
        for (std::filesystem::directory_iterator entry(root, error), end; !error && entry != end;
             entry.increment(error)) {
            std::string name = entry->path().filename().string();
            if (!name.empty() && name[0] != '.')
                names.push_back(std::move(name));
        }
        std::sort(names.begin(), names.end());
        for (std::string &name : names) {
            std::string path = root + "/" + name;
            if (Dictionary::PreLoadCheck(path)) {
                logFile.WriteHeader(LOG_INFO, "Database::Load");
                logFile.Printf("Found dictionary = %s", path.c_str());
                candidates.push_back({std::move(path), std::move(name)});
            }
        }
    }

    const auto total = static_cast<std::int32_t>(candidates.size());
    std::int32_t done = 0;
    if (observer)
        observer->OnLoadProgress(total, 0);
    for (const std::string &name : loadOrder) {
        const auto found = std::find_if(candidates.begin(), candidates.end(),
            [&name](const Candidate &c) { return c.name == name; });
        if (found == candidates.end())
            continue;
        LoadOne(*found, total, done);
        candidates.erase(found);
    }
    for (const Candidate &candidate : candidates)
        LoadOne(candidate, total, done);
}

void Database::LoadOne(const Candidate &candidate, std::int32_t total, std::int32_t &done)
{
    auto dictionary = std::make_unique<Dictionary>(candidate.path);
    if (observer)
        observer->OnDictionaryLoading(candidate.name);
    // The records a failed load leaves say why, not which folder: this one says which.
    logFile.WriteHeader(LOG_INFO, "Database::Load");
    logFile.Printf("Loading dictionary = %s", candidate.path.c_str());
    bool loaded = dictionary->Load();
    if (loaded) {
        // Id 0 names no dictionary (or all of them) and an id must find one dictionary only.
        const std::uint32_t id = dictionary->GetId();
        const char *why = nullptr;
        if (id == 0)
            why = "Dictionary ID=0x%x is missing or zero";
        else if (IndexOfId(id) >= 0)
            why = "Dictionary ID=0x%x is already loaded";
        if (why) {
            logFile.WriteHeader(LOG_WARNING, "Database::Load");
            logFile.Printf(why, static_cast<unsigned>(id));
            loaded = false;
        }
    }
    if (loaded) {
        logFile.WriteHeader(LOG_INFO, "Database::Load");
        logFile.Printf("Dictionary loaded, ID=0x%x", static_cast<unsigned>(dictionary->GetId()));
        dictionaries.push_back(std::move(dictionary));
    } else {
        logFile.WriteHeader(LOG_WARNING, "Database::Load");
        logFile.Printf("Failed to load dictionary");
    }
    ++done;
    if (observer)
        observer->OnLoadProgress(total, done);
}

std::int32_t Database::GetCount() const
{
    return static_cast<std::int32_t>(dictionaries.size());
}

Dictionary *Database::GetDictionary(std::int32_t i) const
{
    assert(i >= 0 && i < GetCount());
    return dictionaries[static_cast<std::size_t>(i)].get();
}

std::int32_t Database::IndexOfId(std::uint32_t id) const
{
    for (std::size_t i = 0; i < dictionaries.size(); ++i)
        if (dictionaries[i]->GetId() == id)
            return static_cast<std::int32_t>(i);
    return -1;
}

Dictionary *Database::FindById(std::uint32_t id) const
{
    const std::int32_t i = IndexOfId(id);
    return i < 0 ? nullptr : GetDictionary(i);
}

void Database::Reorder(std::vector<std::uint32_t> ids)
{
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
        const std::int32_t i = IndexOfId(*id);
        if (i > 0)
            std::rotate(
                dictionaries.begin(), dictionaries.begin() + i, dictionaries.begin() + i + 1);
    }
}

bool Database::Find(
    std::uint32_t id, std::string query, WordPosition &position, std::int32_t *matchedLength) const
{
    bool found = false;
    std::int32_t best = -1;
    for (const auto &dictionary : dictionaries) {
        if (id != 0 && dictionary->GetId() != id)
            continue;
        std::uint32_t index = 0;
        std::int32_t length = 0;
        if (dictionary->FindWord(query, index, length) && (length == -1 || length > best)) {
            position.dicId = dictionary->GetId();
            position.index = static_cast<std::int32_t>(index);
            if (matchedLength)
                *matchedLength = length;
            best = length;
            found = true;
            if (length == -1)
                break;
        }
        if (id != 0)
            break;
    }
    if (!found)
        position = WordPosition();
    return found;
}

std::string Database::GetWord(WordPosition position) const
{
    const Dictionary *dictionary = FindById(position.dicId);
    return dictionary ? dictionary->GetWord(position.index) : std::string();
}

std::string Database::GetArticle(WordPosition position) const
{
    Dictionary *dictionary = FindById(position.dicId);
    return dictionary ? dictionary->GetArticle(position.index) : std::string();
}
