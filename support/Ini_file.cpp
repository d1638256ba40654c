#include "Ini_file.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <utility>

#include "support/Atomic_file.h"
#include "support/Log_file.h"

namespace {

bool IsOtherThanPlainFile(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

} // namespace

void IniFile::Load(std::string path)
{
    logFile.WriteHeader(LOG_INFO, "IniFile::Load");
    logFile.Printf("file name = %s", path.c_str());
    fileName = std::move(path);

    // A FIFO would hang the start waiting for a writer.
    if (IsOtherThanPlainFile(fileName))
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
    if (fileName.empty())
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
