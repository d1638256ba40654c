#include "Ini_file.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "support/Atomic_file.h"
#include "support/Log_file.h"

namespace {

bool IsOtherThanPlainFile(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// A settings file is text of key=value lines (an empty one counts too); it is small.
bool HoldsSettings(const std::string &bytes)
{
    if (bytes.find('\0') != std::string::npos)
        return false;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::size_t last = end;
        if (last > start && bytes[last - 1] == '\r')
            --last;
        const std::size_t equals = bytes.find('=', start);
        if (last > start && (equals == start || equals >= last))
            return false;
        start = end + 1;
    }
    return true;
}

constexpr off_t MAX_SETTINGS_BYTES = 1 << 20;

bool IsOwnSettingsFile(const std::string &path)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    struct stat info;
    std::string bytes;
    bool own = fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid()
        && info.st_size <= MAX_SETTINGS_BYTES;
    if (own) {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        own = read(descriptor, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    close(descriptor);
    return own && HoldsSettings(bytes);
}

// People who keep their settings in a folder of dotfiles link the settings file there, and the
// link is followed. What else a link may reach is not ours to read or replace: another user's
// file, or one that holds no settings at all. A link to nothing is replaced by the settings, in
// the program's own folder.
bool IsRefusedLink(const std::string &path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return false;
    char *resolved = realpath(path.c_str(), nullptr);
    if (!resolved)
        return false;
    const std::string target = resolved;
    std::free(resolved);
    return !IsOwnSettingsFile(target);
}

} // namespace

void IniFile::Load(std::string path)
{
    logFile.WriteHeader(LOG_INFO, "IniFile::Load");
    logFile.Printf("file name = %s", path.c_str());
    fileName = std::move(path);

    // A FIFO would hang the start waiting for a writer.
    if (IsOtherThanPlainFile(fileName) || IsRefusedLink(fileName))
        return;
    std::ifstream stream(fileName, std::ios::binary);
    std::string line;
    while (stream) {
        std::getline(stream, line, '\r');
        // The byte after CR is taken for its LF without looking, so a file with bare LF line
        // ends reads as one line; this program only ever writes CR LF.
        stream.ignore(1);
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        values[line.substr(0, equals)] = line.substr(equals + 1);
    }
}

void IniFile::Save()
{
    if (fileName.empty() || IsRefusedLink(fileName))
        return;
    std::string bytes;
    for (const auto &[key, value] : values) {
        bytes += key;
        bytes += '=';
        bytes += value;
        bytes += "\r\n";
    }
    // A full disk or a crash mid-save keeps the user's settings.
    ReplaceFile(fileName, bytes);
}

bool IniFile::GetString(std::string key, std::string &value) const
{
    const auto found = values.find(key);
    if (found == values.end())
        return false;
    value = found->second;
    return true;
}

bool IniFile::GetInt(std::string key, std::int32_t &value) const
{
    std::string text;
    GetString(std::move(key), text);
    if (text.empty())
        return false;
    // long is 64 bits here, so strtol's own clamping alone would not keep the value in 32.
    const long number = std::strtol(text.c_str(), nullptr, 10);
    if (number > INT32_MAX)
        value = INT32_MAX;
    else if (number < INT32_MIN)
        value = INT32_MIN;
    else
        value = static_cast<std::int32_t>(number);
    return true;
}

void IniFile::SetString(std::string key, std::string value)
{
    values[std::move(key)] = std::move(value);
}

void IniFile::SetInt(std::string key, std::int32_t value)
{
    SetString(std::move(key), std::to_string(value));
}
