#include "Article_file.h"

#include "storage/Plain_file.h"

ArticleFile::ArticleFile()
{
    articleBuffer.resize(static_cast<std::size_t>(articleBufferSize));
}

bool ArticleFile::Open(const std::string &path)
{
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
    std::string article(articleBuffer.data());
    if (!article.empty() && article.back() == '\r')
        article.pop_back();
    return article;
}
