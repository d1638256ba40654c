#include "Article_file.h"

#include <cstring>

#include "storage/Plain_file.h"

namespace {

// Characters of an article that are used; the rest of a longer line is not read.
constexpr std::size_t ARTICLE_MAX = 99999;

} // namespace

ArticleFile::ArticleFile()
{
    articleBuffer.resize(static_cast<std::size_t>(articleBufferSize));
}

bool ArticleFile::Open(const std::string &path, DictionaryEncoding dictionaryEncoding)
{
    encoding = dictionaryEncoding;
    // The buffer holds ARTICLE_MAX characters of the longest form.
    const std::size_t bytes =
        WithText(encoding, [](auto text) { return ARTICLE_MAX * text.MAX_CHARACTER_BYTES + 1; });
    articleBufferSize = static_cast<std::int32_t>(bytes);
    articleBuffer.resize(bytes);
    if (IsRegularFile(path))
        dataStream.open(path, std::ios::in | std::ios::binary);
    return dataStream.is_open();
}

std::string ArticleFile::Read(std::int32_t offset)
{
    articleBuffer[0] = '\0';
    dataStream.seekg(offset, std::ios::beg);
    // A failed seek leaves the buffer empty; a line longer than the buffer is cut and its rest
    // left unread. Either way the stream must be usable for the next article.
    if (dataStream)
        dataStream.getline(articleBuffer.data(), articleBufferSize, '\n');
    if (!dataStream)
        dataStream.clear();
    const char *line = articleBuffer.data();
    std::size_t length = std::strlen(line);
    std::string article = WithText(encoding, [&](auto text) {
        if (length > ARTICLE_MAX)
            length = text.BytesOf(line, length, ARTICLE_MAX);
        return text.ProgramText(line, length);
    });
    if (!article.empty() && article.back() == '\r')
        article.pop_back();
    return article;
}
