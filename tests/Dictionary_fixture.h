#ifndef TESTS_DICTIONARY_FIXTURE_H
#define TESTS_DICTIONARY_FIXTURE_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TestFolder;

// headword and article, in the dictionary's encoding
using FixtureEntry = std::pair<std::string, std::string>;

struct FixtureDictionary
{
    std::string folder;
    std::string id; // hexadecimal digits as the attribute file holds them
    std::string category;
    std::string shortName;
    std::vector<FixtureEntry> entries; // in index order
    std::string encoding = "cp1251"; // the ENCODING value; the entries' bytes are written as given
    std::string markup = std::string(); // the MARKUP value; no such line when empty
};

// Windows-1251 bytes of UTF-8 text, for the entries of a Windows-1251 dictionary.
std::string Ansi(const char *utf8);

// A number as an installed dictd index writes it: base 64, most significant digit first.
std::string DictdNumber(std::uint64_t value);

// Writes <root>/<folder>/<folder>.{inf,idx,dat} under the test folder: UTF-16LE attributes, the
// index and one article per line in the order given.
void WriteDictionary(const TestFolder &programFolder, const FixtureDictionary &dictionary,
    const std::string &root = "dics");

#endif // TESTS_DICTIONARY_FIXTURE_H
