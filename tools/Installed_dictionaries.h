#ifndef TOOLS_INSTALLED_DICTIONARIES_H
#define TOOLS_INSTALLED_DICTIONARIES_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/User_folders.h"

// The dics folders the program loads from, as far as a tool can tell: the one beside this
// executable (a build folder), lib/kalvora/dics of the installation this executable belongs to,
// and the user's own (the data folder's kalvora/dics). Only those that exist, each once.
std::vector<std::string> InstalledDicsFolders();

struct InstalledDictionary
{
    std::string folder; // the dictionary folder's path
    std::string shortName; // UTF-8
};

// The first loadable dictionary folder in these dics folders whose id, read as the program
// reads it, is id; the folder except (the one about to be replaced) does not count.
std::optional<InstalledDictionary> FindDictionaryWithId(
    const std::vector<std::string> &dicsFolders, std::uint32_t id, const std::string &except);

#endif // TOOLS_INSTALLED_DICTIONARIES_H
