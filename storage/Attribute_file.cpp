#include "Attribute_file.h"

#include <algorithm>
#include <climits>
#include <fstream>

#include "storage/Plain_file.h"
#include "support/Code_page.h"
#include "support/Log_file.h"
#include "support/Utils.h"

namespace {

// Raise sites keep fixed numbers so that a log record names the same place in every build.
constexpr std::int32_t ATTRIBUTES_NOT_OPENED_LINE = 383;
constexpr std::int32_t ATTRIBUTE_WITHOUT_VALUE_LINE = 397;

// One read of an attribute line takes at most this many UTF-16 units.
constexpr std::size_t ATTRIBUTE_LINE_MAX = 99;

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

} // namespace

void ReadAttributeFile(const std::string &path, DictionaryAttributes &attributes)
{
    AttributeReader reader(path);
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
        SOURCE,
        MARKUP
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
        {u"MARKUP", "MARKUP=%s", &DictionaryAttributes::markup},
    };

    std::u16string raw;
    while (reader.ReadLine(raw)) {
        const std::u16string line = TrimLine(raw);
        for (int key = FORMAT_VERSION; key <= MARKUP; ++key) {
            const KeyInfo &info = keys[key];
            if (line.compare(0, info.name.size(), info.name) != 0)
                continue;
            const std::size_t equals = line.find(u'=');
            // Versions before MARKUP skip such a line, so it must never stop a load.
            if (equals == std::u16string::npos && key == MARKUP)
                continue;
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
                text = Utf16ToUtf8(value);
                logFile.Printf(info.record, text.c_str());
            }
        }
    }
}
