#include "Installed_dictionaries.h"

#include <algorithm>
#include <filesystem>

#include "storage/Attribute_file.h"
#include "storage/Database.h"
#include "support/Utils.h"

namespace fs = std::filesystem;

namespace {

// The same folder named two ways counts once.
fs::path Canonical(const fs::path &path)
{
    std::error_code code;
    const fs::path canonical = fs::weakly_canonical(path, code);
    return code ? path.lexically_normal() : canonical;
}

bool IsFolder(const fs::path &path)
{
    std::error_code code;
    return fs::is_directory(path, code);
}

} // namespace

std::vector<std::string> InstalledDicsFolders()
{
    std::vector<fs::path> candidates;
    std::error_code code;
    const fs::path executable = fs::read_symlink("/proc/self/exe", code);
    if (!code) {
        candidates.push_back(executable.parent_path() / "dics");
        candidates.push_back(executable.parent_path() / "../lib/kalvora/dics");
    }
    const std::string data = UserDataFolder();
    if (!data.empty())
        candidates.push_back(fs::path(data) / "kalvora/dics");
    std::vector<std::string> folders;
    for (const fs::path &candidate : candidates) {
        const std::string folder = Canonical(candidate).string();
        if (IsFolder(folder) && std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    return folders;
}

std::optional<InstalledDictionary> FindDictionaryWithId(
    const std::vector<std::string> &dicsFolders, std::uint32_t id, const std::string &except)
{
    const fs::path skipped = Canonical(except);
    for (const std::string &dics : dicsFolders) {
        std::error_code code;
        for (fs::directory_iterator entry(dics, code), end; !code && entry != end;
             entry.increment(code)) {
            const fs::path folder = entry->path();
            // The program passes over hidden entries, this tool's own work folders among them.
            if (folder.filename().string()[0] == '.' || Canonical(folder) == skipped)
                continue;
            if (!Dictionary::PreLoadCheck(folder.string()))
                continue;
            DictionaryAttributes attributes;
            try {
                ReadAttributeFile(DictionaryFiles(folder.string()).attributes, attributes);
            } catch (const VoException &) {
                continue; // the program would not load it either
            }
            if (attributes.dicId == id)
                return InstalledDictionary{folder.string(), attributes.shortName};
        }
    }
    return std::nullopt;
}
