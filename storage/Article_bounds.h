#ifndef STORAGE_ARTICLE_BOUNDS_H
#define STORAGE_ARTICLE_BOUNDS_H

#include <cstddef>

#include "storage/Text_encoding.h"

// Where Dictionary::GetArticle's article lies in a data file's raw bytes, found without reading
// it: data holds size bytes of the file, offsets count from its start.

// GetArticle reads at most this many characters of a line.
constexpr std::size_t ARTICLE_MAX = 99999;

// Bytes the longest article GetArticle returns may take.
std::size_t ArticleBytesMax(DictionaryEncoding encoding);

// Where the line holding position at begins, looking back no further than from: GetArticle
// stops at a line feed, and the text it returns at a zero byte.
std::size_t LineStart(const unsigned char *data, std::size_t from, std::size_t at);

// End of the article that starts at offset, as GetArticle cuts it: at the line's end, the
// length limit or the file's end, without a last carriage return. The bytes are read from from
// on and no further than reach + 2: an article going on past reach ends somewhere after it.
std::size_t ArticleEnd(const unsigned char *data, std::size_t size, std::size_t offset,
    std::size_t from, DictionaryEncoding encoding,
    std::size_t reach = static_cast<std::size_t>(-1) - 2);

#endif // STORAGE_ARTICLE_BOUNDS_H
