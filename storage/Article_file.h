#ifndef STORAGE_ARTICLE_FILE_H
#define STORAGE_ARTICLE_FILE_H

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "storage/Text_encoding.h"

// A dictionary's data file, open for the whole run: one article per line, read where the index
// says. One read at a time: every read moves the shared stream and overwrites the buffer.
class ArticleFile
{
public:
    ArticleFile();
    ArticleFile(const ArticleFile &) = delete;
    ArticleFile &operator=(const ArticleFile &) = delete;

    // The articles are in encoding. False when path is not a plain file or cannot be opened.
    bool Open(const std::string &path, DictionaryEncoding encoding);
    // The line at offset as UTF-8 (CR LF or LF removed, cut at a zero byte and after 99999
    // characters); empty for an offset outside the file.
    std::string Read(std::int32_t offset);

private:
    DictionaryEncoding encoding = DictionaryEncoding::Cp1251;
    std::int32_t articleBufferSize = 100000;
    std::vector<char> articleBuffer;
    std::ifstream dataStream;
};

#endif // STORAGE_ARTICLE_FILE_H
