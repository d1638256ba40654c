#include "Article_bounds.h"

#include <algorithm>
#include <cstring>

std::size_t ArticleBytesMax(DictionaryEncoding encoding)
{
    return WithText(encoding, [](auto text) { return ARTICLE_MAX * text.MAX_CHARACTER_BYTES; });
}

std::size_t LineStart(const unsigned char *data, std::size_t from, std::size_t at)
{
    if (at <= from)
        return from;
    std::size_t start = from;
    if (const void *feed = memrchr(data + from, '\n', at - from))
        start = static_cast<std::size_t>(static_cast<const unsigned char *>(feed) - data) + 1;
    if (const void *zero = memrchr(data + start, '\0', at - start))
        start = static_cast<std::size_t>(static_cast<const unsigned char *>(zero) - data) + 1;
    return start;
}

std::size_t ArticleEnd(const unsigned char *data, std::size_t size, std::size_t offset,
    std::size_t from, DictionaryEncoding encoding, std::size_t reach)
{
    const std::size_t limit = std::min(size, offset + ArticleBytesMax(encoding));
    const std::size_t stop = std::min(limit, reach + 2);
    std::size_t end = stop;
    if (from < stop) {
        if (const void *feed = std::memchr(data + from, '\n', stop - from))
            end = static_cast<std::size_t>(static_cast<const unsigned char *>(feed) - data);
        if (const void *zero = std::memchr(data + from, '\0', end - from))
            end = static_cast<std::size_t>(static_cast<const unsigned char *>(zero) - data);
    } else {
        end = from;
    }
    bool cut = end == stop && stop < limit;
    // Beyond the limit in characters, which only a longer form of them can reach.
    if (end - offset > ARTICLE_MAX) {
        const std::size_t last = offset + WithText(encoding, [&](auto text) {
            return text.BytesOf(
                reinterpret_cast<const char *>(data + offset), end - offset, ARTICLE_MAX);
        });
        if (last < end) {
            end = last;
            cut = false;
        }
    }
    if (cut)
        return end;
    if (end > offset && data[end - 1] == '\r')
        --end;
    return end;
}
