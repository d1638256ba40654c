#ifndef SUPPORT_LOG_FILE_H
#define SUPPORT_LOG_FILE_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

enum LogLevel : std::uint8_t
{
    LOG_INFO = 0,
    LOG_WARNING = 1,
    LOG_ERROR = 2,
    LOG_DEBUG = 3,
};

// The diagnostic log. A record is WriteHeader followed by exactly one Printf. Every failure
// (no file, a full disk) only leaves the stream failed: logging never throws and never stops
// the program, and records written before Open are dropped.
class LogFile
{
public:
    LogFile() = default;
    LogFile(const LogFile &) = delete;
    LogFile &operator=(const LogFile &) = delete;
    ~LogFile();

    // Creates or empties the file. A path naming anything but a plain file (a folder, a FIFO
    // that would block, a symbolic link, whatever it points to) is not opened.
    void Open(std::string path);
    // Local long time, ":", milliseconds, the level word and "[tag] "; no line end, no flush.
    void WriteHeader(LogLevel level, const char *tag);
    // Formats (at most 999 bytes are kept, never half a UTF-8 character), ends the line and
    // flushes. An absent or empty
    // format writes nothing at all.
    void Printf(const char *format, ...) __attribute__((format(printf, 2, 3)));

    // From now on what other threads write is kept in memory, each header with the moment it was
    // written, until Release writes it behind what this thread has written meanwhile, or Discard
    // drops it. A load can so start before it is known whether this process keeps the log at all.
    // At most one other thread writes meanwhile, and none once Release or Discard is called.
    void HoldOtherThreads();
    void Release();
    void Discard();

private:
    struct Held
    {
        bool header; // text is then the tag
        std::chrono::system_clock::time_point when;
        LogLevel level;
        std::string text;
    };

    bool Holds() const;
    void Close();
    void Write(const char *bytes, std::size_t size);
    void WriteHead(std::chrono::system_clock::time_point when, LogLevel level, const char *tag);

    std::FILE *file = nullptr;
    bool holding = false;
    std::thread::id holder;
    std::vector<Held> held;
};

extern LogFile logFile;

#endif // SUPPORT_LOG_FILE_H
