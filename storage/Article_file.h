#ifndef STORAGE_ARTICLE_FILE_H
#define STORAGE_ARTICLE_FILE_H

#include <cstdint>
#include <string>
#include <vector>

#include "storage/Text_encoding.h"

// A dictionary's data file, open for the whole run: one article per line, read where the index
// says. One read at a time: every read overwrites the buffer.
class ArticleFile
{
public:
    ArticleFile() = default;
    ArticleFile(const ArticleFile &) = delete;
    ArticleFile &operator=(const ArticleFile &) = delete;
    ~ArticleFile();

    // The articles are in encoding. False when path is not a plain file or cannot be opened.
    bool Open(const std::string &path, DictionaryEncoding encoding);
    // The line at offset as UTF-8 (CR LF or LF removed, cut at a zero byte and after 99999
    // characters); empty for an offset outside the file. next, when it lies beyond offset, is
    // where the following article is expected to begin: the read then takes exactly the bytes
    // up to there, and reads on only if the line turns out longer.
    std::string Read(std::int32_t offset, std::int64_t next = -1);
    // The file's size when it was opened.
    std::int64_t Size() const { return size; }

private:
    DictionaryEncoding encoding = DictionaryEncoding::Cp1251;
    // The longest line kept, in bytes: ARTICLE_MAX characters of the longest form.
    std::size_t lineLimit = 0;
    std::vector<char> buffer;
    int descriptor = -1;
    std::int64_t size = 0;
};

#endif // STORAGE_ARTICLE_FILE_H
