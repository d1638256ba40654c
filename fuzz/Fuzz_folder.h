#ifndef FUZZ_FUZZ_FOLDER_H
#define FUZZ_FUZZ_FOLDER_H

#include <cstddef>
#include <cstdint>
#include <string>

// The readers take paths, so every input goes through real files in one folder per process,
// kept in memory-backed storage when there is some: a run writes them hundreds of thousands
// of times. The folder is removed at normal exit.
const std::string &FuzzFolder();

void WriteFuzzFile(const std::string &path, const std::string &bytes);

// A dictionary folder FuzzFolder()/dics/d with the three files, ready for Database::Load.
void WriteFuzzDictionary(
    const std::string &attributes, const std::string &index, const std::string &data);
std::string FuzzDicsFolder();

// A fuzzer found a broken promise: abort so that libFuzzer records the input.
void FuzzCheck(bool condition, const char *what);

#endif // FUZZ_FUZZ_FOLDER_H
