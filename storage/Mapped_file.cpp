#include "Mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

MappedFile::MappedFile(const std::string &path)
{
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    struct stat info;
    if (fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        void *address = mmap(
            nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, descriptor, 0);
        if (address != MAP_FAILED) {
            bytes = static_cast<const unsigned char *>(address);
            length = static_cast<std::size_t>(info.st_size);
            // A search reads each stretch of the file once, front to back.
            madvise(address, length, MADV_SEQUENTIAL);
        }
    }
    close(descriptor);
}

MappedFile::~MappedFile()
{
    if (bytes)
        munmap(const_cast<unsigned char *>(bytes), length);
}
