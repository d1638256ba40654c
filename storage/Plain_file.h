#ifndef STORAGE_PLAIN_FILE_H
#define STORAGE_PLAIN_FILE_H

#include <cstdint>
#include <string>

// Whether anything exists at path, of any kind.
bool Exists(const std::string &path);
// Whether path is a plain file; size, when given, receives its length. Opening a FIFO would
// block the start until someone writes to it, and a folder "opens" on some libraries only to
// fail on the first read, so the dictionary files are opened only when this holds.
bool IsRegularFile(const std::string &path, std::uint64_t *size = nullptr);

#endif // STORAGE_PLAIN_FILE_H
