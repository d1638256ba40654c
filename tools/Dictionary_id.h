#ifndef TOOLS_DICTIONARY_ID_H
#define TOOLS_DICTIONARY_ID_H

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

// A dictionary id as the attribute files write it: hexadecimal digits, at most 8, not 0 (0 names
// no dictionary, or all of them). A leading "0x", as people write hexadecimal numbers, is
// allowed here; the attribute file itself must not have it.
inline std::optional<std::uint32_t> ParseDictionaryId(std::string text)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.erase(0, 2);
    if (text.empty() || text.size() > 8
        || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    const auto id = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
    if (id == 0)
        return std::nullopt;
    return id;
}

#endif // TOOLS_DICTIONARY_ID_H
