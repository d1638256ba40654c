#ifndef STORAGE_ATTRIBUTE_FILE_H
#define STORAGE_ATTRIBUTE_FILE_H

#include <cstdint>
#include <string>

struct DictionaryAttributes
{
    std::int32_t formatVersionMajor = 0;
    std::int32_t formatVersionMinor = 0;
    std::string encoding;
    std::uint32_t dicId = 0;
    std::int32_t dicVersionMajor = 0;
    std::int32_t dicVersionMinor = 0;
    std::string category;
    std::string shortName;
    std::string longName;
    std::string source;
    // MARKUP: which markup the articles carry; empty in dictionaries made before it existed.
    std::string markup;
};

// Reads the UTF-16LE attribute file at path into attributes, logging every value taken under
// "Dictionary::LoadAttributes". Throws VoException when the file cannot be opened or a key line
// has no "="; the values read before that stay in attributes.
void ReadAttributeFile(const std::string &path, DictionaryAttributes &attributes);

#endif // STORAGE_ATTRIBUTE_FILE_H
