#ifndef TESTS_DICTIONARY_FIXTURE_H
#define TESTS_DICTIONARY_FIXTURE_H

#include <string>
#include <utility>
#include <vector>

class TestFolder;

// headword and article, Windows-1251
using FixtureEntry = std::pair<std::string, std::string>;

struct FixtureDictionary
{
    std::string folder;
    std::string id; // hexadecimal digits as the attribute file holds them
    std::string category;
    std::string shortName;
    std::vector<FixtureEntry> entries; // in index order
};

// Writes programFolder/dics/<folder>/<folder>.{inf,idx,dat}: UTF-16LE attributes, the index and
// one article per line in the order given.
void WriteDictionary(const TestFolder &programFolder, const FixtureDictionary &dictionary);

#endif // TESTS_DICTIONARY_FIXTURE_H
