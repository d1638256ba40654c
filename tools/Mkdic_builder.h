#ifndef TOOLS_MKDIC_BUILDER_H
#define TOOLS_MKDIC_BUILDER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "storage/Source_entries.h"
#include "storage/Text_encoding.h"

// The attribute values, UTF-8, each short enough for one attribute line.
struct DictionaryLabels
{
    // Of the index and the articles; the attribute file is UTF-16 either way.
    DictionaryEncoding encoding = DictionaryEncoding::Cp1251;
    std::uint32_t id = 0;
    std::string version = "1.0";
    std::string category;
    std::string shortName;
    std::string longName;
    std::string source;
    std::string markup; // the MARKUP value
};

// Writes target (a folder named after the dictionary) through a hidden sibling folder: the
// files are written and loaded back with the program's own reader there, and only a dictionary
// that loads and finds its words is renamed into place. An existing target is refused unless
// replace is set, and even then only a folder holding nothing but a dictionary's files is
// replaced. Nothing is left behind on failure.
bool MakeDictionaryFolder(const std::string &target, bool replace, const DictionaryLabels &labels,
    const std::vector<BuiltEntry> &entries, BuildReport &report, std::string &error);

#endif // TOOLS_MKDIC_BUILDER_H
