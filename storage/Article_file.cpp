#include "Article_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "storage/Article_bounds.h"
#include "storage/Plain_file.h"

namespace {

// Read at a time when the index does not say where the article ends, and after that when the
// line runs on.
constexpr std::size_t READ_BLOCK = 4096;
// Read first when the index does not say where the article ends: most articles are shorter.
constexpr std::size_t FIRST_READ = 1024;
// Farther than this the next article says nothing of where this one ends.
constexpr std::size_t FAR_NEXT = 16 * READ_BLOCK;

std::int64_t ModifiedAt(const struct stat &status)
{
    return static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
}

} // namespace

ArticleFile::~ArticleFile()
{
    if (descriptor >= 0)
        close(descriptor);
}

bool ArticleFile::Open(const std::string &path, DictionaryEncoding dictionaryEncoding)
{
    encoding = dictionaryEncoding;
    lineLimit = ArticleBytesMax(encoding);
    if (!IsRegularFile(path))
        return false;
    descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status
    {
    };
    if (descriptor < 0 || fstat(descriptor, &status) != 0)
        return false;
    size = status.st_size;
    modified = ModifiedAt(status);
    buffer.reset(new char[lineLimit + 1]); // and the scan's sentinel
    return true;
}

std::size_t ArticleFile::ReadBytes(std::uint64_t offset, char *to, std::size_t length) const
{
    if (descriptor < 0 || offset >= static_cast<std::uint64_t>(size))
        return 0;
    length = static_cast<std::size_t>(
        std::min<std::uint64_t>(length, static_cast<std::uint64_t>(size) - offset));
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got =
            pread(descriptor, to + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool ArticleFile::Changed() const
{
    struct stat status
    {
    };
    return descriptor >= 0
        && (fstat(descriptor, &status) != 0 || status.st_size != size
            || ModifiedAt(status) != modified);
}

std::string ArticleFile::Read(std::int32_t offset, std::int64_t next)
{
    if (descriptor < 0 || offset < 0 || offset >= size)
        return std::string();
    // The line is what lies before the first LF, the end of the file or lineLimit bytes,
    // whichever comes first.
    // A following article far off means the articles are not in index order there (a third of
    // them in a converted dictionary): reading up to it would copy many other articles too.
    std::size_t want = next > offset && next - offset <= static_cast<std::int64_t>(FAR_NEXT)
        ? static_cast<std::size_t>(next - offset)
        : FIRST_READ;
    std::size_t length = 0;
    for (;;) {
        want = std::min(want, lineLimit - length);
        const ssize_t got = pread(descriptor, buffer.get() + length, want,
            static_cast<off_t>(offset) + static_cast<off_t>(length));
        if (got <= 0)
            break;
        // The line also ends at a zero byte: one scan finds either, the sentinel past what was
        // read stopping it, and a line cut at a zero needs no more reads.
        char *chunk = buffer.get() + length;
        chunk[got] = '\0';
        const char *stop = strchrnul(chunk, '\n');
        if (stop < chunk + got) {
            length = static_cast<std::size_t>(stop - buffer.get());
            break;
        }
        length += static_cast<std::size_t>(got);
        if (length == lineLimit)
            break;
        want = READ_BLOCK;
    }
    const char *line = buffer.get();
    std::string article = WithText(encoding, [&](auto text) {
        if (length > ARTICLE_MAX)
            length = text.BytesOf(line, length, ARTICLE_MAX);
        return text.ProgramText(line, length);
    });
    if (!article.empty() && article.back() == '\r')
        article.pop_back();
    return article;
}
