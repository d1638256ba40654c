#include "Installed_sources.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <utility>

#include "storage/Text_encoding.h"
#include "support/Log_file.h"
#include "support/User_folders.h"

namespace {

constexpr std::size_t BUTTON_CHARACTERS = 16;

bool EndsWith(const std::string &text, const std::string &tail)
{
    return text.size() >= tail.size()
        && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsSourceName(const std::string &name)
{
    return !name.empty() && name[0] != '.' && (EndsWith(name, ".index") || EndsWith(name, ".ifo"));
}

std::vector<std::string> SortedNames(const std::string &folder, bool &readable)
{
    std::vector<std::string> names;
    DIR *directory = opendir(folder.c_str());
    readable = directory != nullptr;
    if (!directory)
        return names;
    while (const dirent *entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (!name.empty() && name[0] != '.')
            names.push_back(name);
    }
    closedir(directory);
    std::sort(names.begin(), names.end());
    return names;
}

class Finder
{
public:
    std::vector<std::string> found;
    std::vector<std::string> *unreadable = nullptr;

    void AddFile(const std::string &path)
    {
        char *real = realpath(path.c_str(), nullptr);
        const std::string key = real ? real : path;
        std::free(real);
        if (!seen.insert(key).second) {
            logFile.WriteHeader(LOG_INFO, "Database::Load");
            logFile.Printf("%s is %s again: read once", path.c_str(), key.c_str());
            return;
        }
        found.push_back(path);
    }

    // depth 0: a folder named by the caller; its subfolders are looked into one level down.
    void AddFolder(const std::string &folder, int depth)
    {
        bool readable = false;
        const std::vector<std::string> names = SortedNames(folder, readable);
        if (!readable) {
            if (depth == 0 && Exists(folder)) {
                logFile.WriteHeader(LOG_WARNING, "Database::Load");
                logFile.Printf("Cannot read the dictionary folder %s", folder.c_str());
                if (unreadable)
                    unreadable->push_back(folder);
            }
            return;
        }
        for (const std::string &name : names) {
            const std::string path = folder + "/" + name;
            struct stat info;
            if (stat(path.c_str(), &info) != 0)
                continue;
            if (S_ISREG(info.st_mode) && IsSourceName(name))
                AddFile(path);
            else if (S_ISDIR(info.st_mode) && depth == 0)
                AddFolder(path, 1);
        }
    }

private:
    static bool Exists(const std::string &path)
    {
        struct stat info;
        return stat(path.c_str(), &info) == 0;
    }
    std::set<std::string> seen;
};

std::string Trimmed(const std::string &text)
{
    const std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return std::string();
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

} // namespace

std::vector<std::string> StandardSourceFolders()
{
    std::vector<std::string> folders;
    if (const char *list = std::getenv("KALVORA_DICTIONARY_PATH")) {
        const std::string value = list;
        for (std::size_t start = 0; start <= value.size();) {
            std::size_t end = value.find(':', start);
            if (end == std::string::npos)
                end = value.size();
            if (end > start)
                folders.push_back(value.substr(start, end - start));
            start = end + 1;
        }
        return folders;
    }
    folders = {"/usr/share/dictd", "/usr/share/stardict/dic"};
    const std::string data = UserDataFolder();
    if (!data.empty())
        folders.push_back(data + "/stardict/dic");
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/')
        folders.push_back(std::string(home) + "/.stardict/dic");
    return folders;
}

std::string SourceCacheFolder()
{
    const std::string cache = UserCacheFolder();
    return cache.empty() ? cache : cache + "/kalvora";
}

std::vector<std::string> FindSources(
    const std::vector<std::string> &paths, std::vector<std::string> *unreadable)
{
    Finder finder;
    finder.unreadable = unreadable;
    for (std::string path : paths) {
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        struct stat info;
        if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            finder.AddFile(path);
        else
            finder.AddFolder(path, 0);
    }
    return finder.found;
}

std::string InstalledName(const std::string &sourcePath)
{
    std::string path = sourcePath;
    if (path.empty() || path[0] != '/') {
        char *real = realpath(sourcePath.c_str(), nullptr);
        if (real)
            path = real;
        std::free(real);
    }
    std::string name;
    for (const char c : path) {
        if (c == ';')
            name += "%3B";
        else if (c == '%')
            name += "%25";
        else
            name += c;
    }
    return name;
}

std::string ButtonName(const std::string &title, const std::string &sourcePath)
{
    std::string name = Trimmed(title.substr(0, title.find_first_of("(,")));
    if (name.compare(0, 4, "The ") == 0)
        name = Trimmed(name.substr(4));
    if (name.empty()) {
        name = sourcePath.substr(sourcePath.find_last_of('/') + 1);
        name = name.substr(0, name.find_last_of('.'));
    }
    if (Utf8Text::Count(name.data(), name.size()) <= BUTTON_CHARACTERS)
        return name;
    std::string initials;
    for (std::size_t at = 0; at < name.size();) {
        while (at < name.size() && name[at] == ' ')
            ++at;
        if (at < name.size() && name[at] >= 'A' && name[at] <= 'Z')
            initials += name[at];
        at = name.find(' ', at);
    }
    if (initials.size() >= 2)
        return initials;
    name.resize(Utf8Text::BytesOf(name.data(), name.size(), BUTTON_CHARACTERS - 1));
    return Trimmed(name) + "\u2026";
}

std::uint32_t InstalledDictionaryId(const std::string &sourcePath, unsigned attempt)
{
    std::string text = sourcePath;
    if (attempt > 0)
        text += "#" + std::to_string(attempt);
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash | 0x80000000u;
}
