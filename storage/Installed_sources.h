#ifndef STORAGE_INSTALLED_SOURCES_H
#define STORAGE_INSTALLED_SOURCES_H

#include <cstdint>
#include <string>
#include <vector>

// Where installed dictd and StarDict dictionaries are looked for: the folders named by
// KALVORA_DICTIONARY_PATH (colon-separated; set but empty names none) when it is set, else
// /usr/share/dictd, /usr/share/stardict/dic, the user's data folder's stardict/dic and
// ~/.stardict/dic.
std::vector<std::string> StandardSourceFolders();

// Where what reading an installed dictionary makes is kept between runs: $XDG_CACHE_HOME/kalvora
// when that is an absolute path, else ~/.cache/kalvora; empty when neither is known.
std::string SourceCacheFolder();

// The dictd .index and StarDict .ifo files these paths hold: a file as it is named, a folder's
// files and those of its subfolders one level down, each folder's in name order. A file reached
// twice (by two paths or links) is taken once and the log says so; unreadable folders are
// passed over with a log line, and put into unreadable when it is given.
std::vector<std::string> FindSources(
    const std::vector<std::string> &paths, std::vector<std::string> *unreadable = nullptr);

// The installed dictionary's name in the saved dictionary order: its file's absolute path,
// which no dictionary folder's name can be (it holds "/"), with ";" and "%" written as %3B and
// %25 so that the order's separator never appears in it.
std::string InstalledName(const std::string &sourcePath);

// A button's caption from the dictionary's own name: up to a bracket or a comma, without a
// leading "The"; a longer one becomes the initials of its capitalised words, or is cut. The
// file's name when the dictionary names itself nothing.
std::string ButtonName(const std::string &title, const std::string &sourcePath);

// The id of an installed dictionary: FNV-1a of its path, its highest bit set; attempt n > 0
// (for an id that is taken) hashes the path followed by "#n". Never 0.
std::uint32_t InstalledDictionaryId(const std::string &sourcePath, unsigned attempt);

#endif // STORAGE_INSTALLED_SOURCES_H
