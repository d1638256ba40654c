#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "Fuzz_folder.h"
#include "support/Ini_file.h"

namespace {

const char *const KNOWN_KEYS[] = {"DIC_ORDER", "LIST_FONT", "LIST_FONT_HEIGHT", "LIST_FONT_STYLE",
    "LIST_FONT_BOLD", "LIST_FONT_ITALIC", "LIST_FONT_COLOR", "PARTICLE_FONT",
    "PARTICLE_FONT_HEIGHT", "PARTICLE_FONT_STYLE", "PARTICLE_FONT_BOLD", "PARTICLE_FONT_ITALIC",
    "PARTICLE_FONT_COLOR"};

// The entries the file holds: lines end at CR, the byte after each CR is skipped, and a line
// is key "=" value at its first "=".
std::map<std::string, std::string> ExpectedEntries(const std::string &input)
{
    std::map<std::string, std::string> entries;
    std::size_t start = 0;
    while (start < input.size()) {
        std::size_t end = input.find('\r', start);
        if (end == std::string::npos)
            end = input.size();
        const std::string line = input.substr(start, end - start);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos)
            entries[line.substr(0, equals)] = line.substr(equals + 1);
        start = end + 2;
    }
    return entries;
}

void CheckHolds(const IniFile &ini, const std::map<std::string, std::string> &entries)
{
    for (const auto &[key, value] : entries) {
        std::string stored;
        FuzzCheck(ini.GetString(key, stored) && stored == value, "an entry was lost or changed");
        std::int32_t number = 0;
        FuzzCheck(ini.GetInt(key, number) == !value.empty(), "GetInt on a present value");
    }
}

} // namespace

// The input is Kalvora.ini. Every entry it holds must be readable, and saving then loading
// must give back the same entries.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size)
{
    const std::string input(reinterpret_cast<const char *>(bytes), size);
    const std::string path = FuzzFolder() + "/Kalvora.ini";
    WriteFuzzFile(path, input);

    IniFile ini;
    ini.Load(path);
    const std::map<std::string, std::string> entries = ExpectedEntries(input);
    CheckHolds(ini, entries);
    for (const char *key : KNOWN_KEYS) {
        std::string text;
        std::int32_t number = 0;
        FuzzCheck(ini.GetString(key, text) == (entries.count(key) == 1), "a key that is not there");
        ini.GetInt(key, number);
    }

    ini.Save();
    IniFile reread;
    reread.Load(path);
    CheckHolds(reread, entries);
    return 0;
}
