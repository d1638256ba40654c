#include "User_folders.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace {

std::string HomeFolder()
{
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/')
        return home;
    const passwd *account = getpwuid(getuid());
    return account && account->pw_dir && account->pw_dir[0] == '/' ? account->pw_dir
                                                                   : std::string();
}

// The same folder named two ways counts once: links and "." or ".." are resolved as far as the
// path exists.
std::string BaseFolder(const char *variable, const char *underHome)
{
    namespace fs = std::filesystem;
    fs::path folder;
    const char *value = std::getenv(variable);
    if (value && value[0] == '/') {
        folder = value;
    } else {
        const std::string home = HomeFolder();
        if (home.empty())
            return std::string();
        folder = fs::path(home) / underHome;
    }
    std::error_code code;
    fs::path canonical = fs::weakly_canonical(folder, code);
    if (code)
        canonical = folder.lexically_normal();
    std::string text = canonical.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

} // namespace

std::string UserDataFolder()
{
    return BaseFolder("XDG_DATA_HOME", ".local/share");
}

std::string UserCacheFolder()
{
    return BaseFolder("XDG_CACHE_HOME", ".cache");
}
