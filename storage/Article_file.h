#ifndef STORAGE_ARTICLE_FILE_H
#define STORAGE_ARTICLE_FILE_H

#include <cstdint>
#include <memory>
#include <string>

#include "storage/Text_encoding.h"

// A dictionary's data file, open for the whole run: one article per line, read where the index
// says. One Read at a time: every Read overwrites the buffer. ReadBytes and Changed may be
// called from any thread.
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
    // Up to length raw bytes from offset into buffer, never past the size the file had when it
    // was opened; the count read. Fewer than asked, inside that size, means the file was cut.
    std::size_t ReadBytes(std::uint64_t offset, char *buffer, std::size_t length) const;
    // The file's size when it was opened.
    std::int64_t Size() const { return size; }
    // Whether the file is no longer the one opened: cut, grown or written over since. A
    // dictionary tool replaces the files whole, an update copied over them writes in place.
    bool Changed() const;

private:
    DictionaryEncoding encoding = DictionaryEncoding::Cp1251;
    // The longest line kept, in bytes: ARTICLE_MAX characters of the longest form.
    std::size_t lineLimit = 0;
    // Left uninitialised: a page of it takes memory only once a line as long as that is read.
    std::unique_ptr<char[]> buffer;
    int descriptor = -1;
    std::int64_t size = 0;
    std::int64_t modified = 0; // nanoseconds
};

#endif // STORAGE_ARTICLE_FILE_H
