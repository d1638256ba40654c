#ifndef SUPPORT_ADDED_DICTIONARIES_H
#define SUPPORT_ADDED_DICTIONARIES_H

#include <string>
#include <vector>

class IniFile;

// The installed dictionaries (.index or .ifo files) and folders of them that the user added in
// the dictionaries dialog, kept in the settings under one key that older versions ignore: the
// paths, each ended by ";", with "%", ";", CR and LF inside a path written as %25, %3B, %0D and
// %0A. Empty paths and repeats are left out.
std::vector<std::string> ReadAddedDictionaries(const IniFile &settings);
// Puts the paths into the settings and saves the file at once.
void SaveAddedDictionaries(IniFile &settings, const std::vector<std::string> &paths);

#endif // SUPPORT_ADDED_DICTIONARIES_H
