#include "support/Favourites.h"

#include <algorithm>
#include <sys/stat.h>

#include "support/Atomic_file.h"
#include "support/Code_page.h"
#include "support/Log_file.h"

namespace {

bool Exists(const std::string &path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

bool IsSoundLine(const std::string &line)
{
    if (line.size() > Favourites::MAX_LINE || !IsWellFormedUtf8(line))
        return false;
    return std::none_of(line.begin(), line.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

std::string Lines(const std::vector<std::string> &words)
{
    std::string bytes;
    for (const std::string &word : words) {
        bytes += word;
        bytes += '\n';
    }
    return bytes;
}

// A name beside path that nothing has yet: the damaged bytes never replace earlier ones.
std::string FreeDamagedName(const std::string &path)
{
    std::string name = path + ".damaged";
    for (int number = 1; Exists(name); ++number)
        name = path + ".damaged." + std::to_string(number);
    return name;
}

} // namespace

Favourites::Favourites(std::string path)
    : path(std::move(path))
{
}

void Favourites::Load()
{
    words.clear();
    damaged = false;
    unreadable = false;
    std::string bytes;
    if (!ReadPlainFile(path, bytes)) {
        unreadable = Exists(path);
        damaged = unreadable;
        return;
    }
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        start = end + 1;
        // An editor on another system may have ended the lines in CR LF.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!IsSoundLine(line)) {
            damaged = true;
            break;
        }
        if (!line.empty() && !Contains(line))
            words.push_back(line);
    }
    if (damaged) {
        damagedBytes = bytes;
        logFile.WriteHeader(LOG_WARNING, "Favourites::Load");
        logFile.Printf("damaged file %s read as far as line %zu", path.c_str(), words.size() + 1);
    }
}

bool Favourites::Contains(const std::string &word) const
{
    return std::find(words.begin(), words.end(), word) != words.end();
}

bool Favourites::Toggle(const std::string &word)
{
    Load();
    const bool add = !Contains(word);
    if (add)
        words.push_back(word);
    else
        words.erase(std::find(words.begin(), words.end(), word));
    saved = Save();
    return add;
}

bool Favourites::Remove(const std::string &word)
{
    Load();
    const auto found = std::find(words.begin(), words.end(), word);
    if (found == words.end())
        return false;
    words.erase(found);
    saved = Save();
    return true;
}

bool Favourites::Save()
{
    if (unreadable)
        return false;
    if (!damagedBytes.empty()) {
        if (!ReplaceFile(FreeDamagedName(path), damagedBytes))
            return false;
        damagedBytes.clear();
    }
    return ReplaceFile(path, Lines(words));
}

bool Favourites::Export(const std::string &exportPath) const
{
    return ReplaceFile(exportPath, Lines(words));
}
