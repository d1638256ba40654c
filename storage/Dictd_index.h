#ifndef STORAGE_DICTD_INDEX_H
#define STORAGE_DICTD_INDEX_H

#include <cstdint>
#include <string>
#include <string_view>

// One line of a dictd .index file: headword TAB offset TAB length, the numbers in dictd's
// base 64, and, in indexes written to keep the original spelling, that spelling in a fourth
// field.
struct DictdIndexLine
{
    std::string_view name; // the first field, as the special entries are named
    std::string_view headword; // the spelling to show: the fourth field when there is one
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// False with a reason when the line does not have that form. A CR before the line end is the
// caller's to remove.
bool ParseDictdIndexLine(std::string_view line, DictdIndexLine &entry, std::string &reason);

// dictd's base-64 numbers, most significant digit first; at most ten digits.
bool DecodeBase64Number(std::string_view text, std::uint64_t &value);

// The 00-database-* entries name the database and are no words of it.
bool IsSpecialDictdName(std::string_view name);

// The name's meaning when it is one of the special entries that carry the database's names.
enum class DictdSpecial
{
    None,
    Utf8, // the text is UTF-8
    Short, // the short name
    Url, // where the text comes from
    Info // a description, whose first line names the source when there is no URL
};
DictdSpecial DictdSpecialKind(std::string_view name);

// The text of a special entry after its own name line, first line only, without the blanks at
// its ends.
std::string DictdSpecialValue(std::string_view name, const std::string &article);

#endif // STORAGE_DICTD_INDEX_H
