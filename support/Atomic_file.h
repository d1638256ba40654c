#ifndef SUPPORT_ATOMIC_FILE_H
#define SUPPORT_ATOMIC_FILE_H

#include <string>

// Replaces the file at path with bytes, or leaves it as it was: the new contents are written
// beside it and renamed over it only once they are complete on disk. A symbolic link is followed,
// so the file it names is replaced; the old file's permissions are kept. Anything but a plain
// file, and a file the user may not write (or that has no write permission at all), is left
// alone. Returns whether the new contents are in place.
bool ReplaceFile(const std::string &path, const std::string &bytes);

// Reads the whole plain file into bytes; false for anything else (a FIFO would block the caller).
bool ReadPlainFile(const std::string &path, std::string &bytes);

#endif // SUPPORT_ATOMIC_FILE_H
