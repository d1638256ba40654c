#include "support/Added_dictionaries.h"

#include <algorithm>

#include "support/Ini_file.h"

namespace {

const char *const ADDED_KEY = "ADDED_DICS";

struct Escape
{
    char plain;
    const char *written;
};
constexpr Escape ESCAPES[] = {{'%', "%25"}, {';', "%3B"}, {'\r', "%0D"}, {'\n', "%0A"}};

} // namespace

std::vector<std::string> ReadAddedDictionaries(const IniFile &settings)
{
    std::string value;
    settings.GetString(ADDED_KEY, value);
    std::vector<std::string> paths;
    std::string path;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == ';') {
            if (!path.empty() && std::find(paths.begin(), paths.end(), path) == paths.end())
                paths.push_back(path);
            path.clear();
            continue;
        }
        const auto escape = std::find_if(std::begin(ESCAPES), std::end(ESCAPES),
            [&value, i](const Escape &e) { return value.compare(i, 3, e.written) == 0; });
        if (escape != std::end(ESCAPES)) {
            path += escape->plain;
            i += 2;
        } else {
            path += value[i];
        }
    }
    return paths;
}

void SaveAddedDictionaries(IniFile &settings, const std::vector<std::string> &paths)
{
    std::string value;
    for (const std::string &path : paths) {
        for (const char c : path) {
            const auto escape = std::find_if(std::begin(ESCAPES), std::end(ESCAPES),
                [c](const Escape &e) { return e.plain == c; });
            value += escape != std::end(ESCAPES) ? escape->written : std::string(1, c);
        }
        value += ';';
    }
    settings.SetString(ADDED_KEY, value);
    settings.Save();
}
