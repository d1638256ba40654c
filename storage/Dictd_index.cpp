#include "Dictd_index.h"

#include <array>

namespace {

std::string_view TrimmedView(std::string_view text)
{
    const char *blanks = " \t\r\n";
    const std::size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string_view::npos)
        return std::string_view();
    return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

} // namespace

bool DecodeBase64Number(std::string_view text, std::uint64_t &value)
{
    // Each byte's digit, 64 for a byte that is none: an index has two numbers a line.
    static const auto digits = [] {
        static constexpr std::string_view order =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::array<unsigned char, 256> table;
        table.fill(64);
        for (std::size_t i = 0; i < order.size(); ++i)
            table[static_cast<unsigned char>(order[i])] = static_cast<unsigned char>(i);
        return table;
    }();
    if (text.empty() || text.size() > 10)
        return false;
    value = 0;
    for (const char c : text) {
        const unsigned digit = digits[static_cast<unsigned char>(c)];
        if (digit == 64)
            return false;
        value = value * 64 + digit;
    }
    return true;
}

bool ParseDictdIndexLine(std::string_view line, DictdIndexLine &entry, std::string &reason)
{
    std::string_view fields[4];
    std::size_t count = 0;
    for (std::size_t start = 0; count < 4;) {
        const std::size_t tab = line.find('\t', start);
        fields[count++] = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    if (count < 3) {
        reason = "not a dictd index line (headword TAB offset TAB length)";
        return false;
    }
    if (!DecodeBase64Number(fields[1], entry.offset)
        || !DecodeBase64Number(fields[2], entry.length)) {
        reason = "not a dictd index line (its offset or length is not a base-64 number)";
        return false;
    }
    entry.name = fields[0];
    entry.headword = count > 3 && !fields[3].empty() ? fields[3] : fields[0];
    return true;
}

bool IsSpecialDictdName(std::string_view name)
{
    return name.substr(0, 12) == "00-database-" || name.substr(0, 10) == "00database";
}

DictdSpecial DictdSpecialKind(std::string_view name)
{
    if (name == "00-database-utf8" || name == "00databaseutf8")
        return DictdSpecial::Utf8;
    if (name == "00-database-short" || name == "00databaseshort")
        return DictdSpecial::Short;
    if (name == "00-database-url" || name == "00databaseurl")
        return DictdSpecial::Url;
    if (name == "00-database-info" || name == "00databaseinfo")
        return DictdSpecial::Info;
    return DictdSpecial::None;
}

std::string DictdSpecialValue(std::string_view name, const std::string &article)
{
    std::string_view rest(article);
    for (bool first = true; !rest.empty(); first = false) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = TrimmedView(rest.substr(0, end));
        if (!line.empty() && !(first && line == name))
            return std::string(line);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return std::string();
}
