#ifndef STORAGE_SHARED_ARTICLES_H
#define STORAGE_SHARED_ARTICLES_H

#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// Which result already shows an article, for one dictionary: the records that share an article
// (the several headwords of one entry) make one result. Fed in index order, where articles
// usually lie in the order of their first records, a rising offset is a new article for the cost
// of one comparison; only the others are looked up.
class SharedArticles
{
public:
    // The result that already shows the article at offset; none when this is the article's
    // first record, which result then shows from now on.
    std::optional<std::uint32_t> Claim(std::int32_t offset, std::uint32_t result);

private:
    std::vector<std::pair<std::int32_t, std::uint32_t>> rising; // sorted by offset
    std::map<std::int32_t, std::uint32_t> others;
};

#endif // STORAGE_SHARED_ARTICLES_H
