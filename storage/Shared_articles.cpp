#include "storage/Shared_articles.h"

#include <algorithm>

std::optional<std::uint32_t> SharedArticles::Claim(std::int32_t offset, std::uint32_t result)
{
    if (rising.empty() || offset > rising.back().first) {
        rising.emplace_back(offset, result);
        return std::nullopt;
    }
    const auto found = std::lower_bound(rising.begin(), rising.end(), offset,
        [](const std::pair<std::int32_t, std::uint32_t> &entry, std::int32_t value) {
            return entry.first < value;
        });
    if (found->first == offset)
        return found->second;
    const auto [other, added] = others.emplace(offset, result);
    if (added)
        return std::nullopt;
    return other->second;
}
