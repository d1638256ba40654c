#ifndef TOOLS_DICTIONARY_ID_H
#define TOOLS_DICTIONARY_ID_H

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

// A dictionary id as the attribute files write it: bare hexadecimal digits, at most 8, not 0
// (0 names no dictionary, or all of them).
inline std::optional<std::uint32_t> ParseDictionaryId(const std::string &text)
{
    if (text.empty() || text.size() > 8
        || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    const auto id = static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
    if (id == 0)
        return std::nullopt;
    return id;
}

#endif // TOOLS_DICTIONARY_ID_H
