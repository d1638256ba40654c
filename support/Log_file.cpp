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

// Formatted when written, not when held: the long time format follows the locale, which the
// toolkit sets only once the application object exists.
std::string TimeOfDay(std::chrono::system_clock::time_point when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    char text[64] = "";
    if (localtime_r(&seconds, &local))
        std::strftime(text, sizeof(text), "%X", &local);
    return text;
}

unsigned short Milliseconds(std::chrono::system_clock::time_point when)
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
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

bool LogFile::Holds() const
{
    return holding && std::this_thread::get_id() != holder;
}

void LogFile::HoldOtherThreads()
{
    holding = true;
    holder = std::this_thread::get_id();
}

void LogFile::Release()
{
    holding = false;
    for (const Held &record : held) {
        if (record.header)
            WriteHead(record.when, record.level, record.text.c_str());
        else
            Write(record.text.data(), record.text.size());
    }
    held.clear();
    if (file)
        std::fflush(file);
}

void LogFile::Discard()
{
    holding = false;
    held.clear();
}

void LogFile::WriteHeader(LogLevel level, const char *tag)
{
    const auto now = std::chrono::system_clock::now();
    if (Holds())
        held.push_back({true, now, level, tag ? tag : ""});
    else
        WriteHead(now, level, tag);
}

void LogFile::WriteHead(std::chrono::system_clock::time_point when, LogLevel level, const char *tag)
{
    std::string head = TimeOfDay(when);
    head += ':';
    head += std::to_string(Milliseconds(when));
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
    std::string line;
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
        line.assign(buffer.data(), kept);
    }
    line += '\n';
    if (Holds()) {
        held.push_back({false, {}, LOG_INFO, std::move(line)});
        return;
    }
    Write(line.data(), line.size());
    if (file)
        std::fflush(file);
}
