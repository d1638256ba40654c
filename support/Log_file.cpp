#include "Log_file.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

LogFile logFile;

namespace {

constexpr std::size_t MESSAGE_BUFFER_SIZE = 1000;

constexpr char LEVEL_WORDS[4][10] = {"(I)", "(WARNING)", "(ERROR!)", "(DEBUG)"};

std::string TimeOfDay()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[64] = "";
    if (localtime_r(&now, &local))
        std::strftime(text, sizeof(text), "%X", &local);
    return text;
}

unsigned short Milliseconds()
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count();
    return static_cast<unsigned short>(ms % 1000);
}

} // namespace

LogFile::~LogFile()
{
    Close();
}

void LogFile::Close()
{
    if (file)
        std::fclose(file);
    file = nullptr;
}

void LogFile::Open(std::string path)
{
    Close();
    // Anything but a plain file (or nothing yet) is refused, checked on what was opened: a FIFO
    // would block until someone reads it (O_NONBLOCK refuses one without a reader), and a
    // file.log that is a link would have its target emptied and overwritten at every start.
    const int descriptor =
        open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return;
    struct stat info;
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || ftruncate(descriptor, 0) != 0
        || !(file = fdopen(descriptor, "w")))
        close(descriptor);
}

void LogFile::Write(const char *bytes, std::size_t size)
{
    // After a failed write (a full disk) the log stays silent rather than leave pieces.
    if (file && !std::ferror(file))
        std::fwrite(bytes, 1, size, file);
}

void LogFile::WriteHeader(LogLevel level, const char *tag)
{
    std::string head = TimeOfDay();
    head += ':';
    head += std::to_string(Milliseconds());
    head += ' ';
    if (level < sizeof(LEVEL_WORDS) / sizeof(LEVEL_WORDS[0]))
        head += LEVEL_WORDS[level];
    head += " [";
    if (tag)
        head += tag;
    head += "] ";
    Write(head.data(), head.size());
}

void LogFile::Printf(const char *format, ...)
{
    if (!format || !*format)
        return;
    std::vector<char> buffer(MESSAGE_BUFFER_SIZE);
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
    va_end(arguments);
    // vsnprintf cuts at the buffer and reports the untruncated length; an encoding error reports
    // a negative one and leaves the buffer undefined, so the record then ends empty.
    if (length > 0) {
        std::size_t kept = std::min(static_cast<std::size_t>(length), buffer.size() - 1);
        // The log is UTF-8: a record cut short drops the character the cut would split.
        if (kept < static_cast<std::size_t>(length)) {
            std::size_t start = kept;
            while (start > 0 && kept - start < 3
                && (static_cast<unsigned char>(buffer[start - 1]) & 0xC0) == 0x80)
                --start;
            const auto lead = start > 0 ? static_cast<unsigned char>(buffer[start - 1]) : 0;
            const std::size_t size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (start > 0 && start - 1 + size > kept)
                kept = start - 1;
        }
        Write(buffer.data(), kept);
    }
    Write("\n", 1);
    if (file)
        std::fflush(file);
}
