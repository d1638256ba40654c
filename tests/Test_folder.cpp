#include "Test_folder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

#include "support/Code_page.h"

namespace fs = std::filesystem;

TestFolder::TestFolder()
{
    std::string pattern = (fs::temp_directory_path() / "kalvora-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    path = pattern + "/";
}

TestFolder::~TestFolder()
{
    std::error_code ignored;
    fs::remove_all(path, ignored);
}

void TestFolder::WriteFile(const std::string &relative, const std::string &bytes) const
{
    const fs::path file = path + relative;
    fs::create_directories(file.parent_path());
    std::ofstream stream(file, std::ios::binary | std::ios::trunc);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TestFolder::ReadFile(const std::string &relative) const
{
    std::ifstream stream(path + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

void TestFolder::MakeFolder(const std::string &relative) const
{
    fs::create_directories(path + relative);
}

bool TestFolder::Exists(const std::string &relative) const
{
    std::error_code ignored;
    return fs::symlink_status(path + relative, ignored).type() != fs::file_type::not_found;
}

std::vector<std::string> TestFolder::List(const std::string &relative) const
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(path + relative, error), end; !error && entry != end;
         entry.increment(error))
        names.push_back(entry->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

AlarmGuard::AlarmGuard()
{
    alarm(60);
}

AlarmGuard::~AlarmGuard()
{
    alarm(0);
}

std::string Utf16le(const std::string &ansi)
{
    const std::u16string units = AnsiToUtf16(ansi);
    std::string bytes;
    for (const char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}
