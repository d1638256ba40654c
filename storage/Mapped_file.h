#ifndef STORAGE_MAPPED_FILE_H
#define STORAGE_MAPPED_FILE_H

#include <cstddef>
#include <string>

// A data file mapped for reading for the life of the object; empty when that fails.
class MappedFile
{
public:
    explicit MappedFile(const std::string &path);
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;
    ~MappedFile();

    const unsigned char *Data() const { return bytes; }
    std::size_t Size() const { return length; }

private:
    const unsigned char *bytes = nullptr;
    std::size_t length = 0;
};

#endif // STORAGE_MAPPED_FILE_H
