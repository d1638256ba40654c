#ifndef STORAGE_ARTICLE_FILE_H
#define STORAGE_ARTICLE_FILE_H

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// A dictionary's data file, open for the whole run: one article per line, read where the index
// says. One read at a time: every read moves the shared stream and overwrites the buffer.
class ArticleFile
{
public:
    ArticleFile();
    ArticleFile(const ArticleFile &) = delete;
    ArticleFile &operator=(const ArticleFile &) = delete;

    // False when path is not a plain file or cannot be opened.
    bool Open(const std::string &path);
    // The line at offset (CR LF or LF removed, at most 99999 bytes); empty for an offset outside
    // the file.
    std::string Read(std::int32_t offset);

private:
    std::int32_t articleBufferSize = 100000;
    std::vector<char> articleBuffer;
    std::ifstream dataStream;
};

#endif // STORAGE_ARTICLE_FILE_H
