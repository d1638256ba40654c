#include "support/Atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsOtherThanPlainFile(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

bool WriteAll(int descriptor, const std::string &bytes)
{
    const char *next = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = write(descriptor, next, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        next += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// The permissions a newly created file would get; the old file's when there is one, so a
// save does not quietly change who may read the file.
mode_t NewFileMode(const std::string &path)
{
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        return info.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Resolves a symbolic link so that the rename replaces the file it points to, not the link.
std::string FinalPath(const std::string &path)
{
    struct stat info;
    if (lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char *resolved = realpath(path.c_str(), nullptr)) {
            std::string target = resolved;
            std::free(resolved);
            return target;
        }
    }
    return path;
}

// The rename below would replace a file whatever its permissions, so they are asked first. The
// permission bits count even where they would not stop this user (the administrator): a file
// without a single write bit was made read-only on purpose.
bool MayRewrite(const std::string &path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return errno == ENOENT;
    return (info.st_mode & 0222) != 0 && access(path.c_str(), W_OK) == 0;
}

void SyncFolderOf(const std::string &path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
}

} // namespace

bool ReplaceFile(const std::string &path, const std::string &bytes)
{
    if (path.empty())
        return false;
    const std::string target = FinalPath(path);
    if (IsOtherThanPlainFile(target) || !MayRewrite(target))
        return false;

    std::string temporary = target + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        return false;
    // Some file systems refuse fchmod; the contents are worth more than their permissions.
    fchmod(descriptor, NewFileMode(target));
    bool written = WriteAll(descriptor, bytes) && fsync(descriptor) == 0;
    written = close(descriptor) == 0 && written;
    if (!written || std::rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    SyncFolderOf(target);
    return true;
}

bool ReadPlainFile(const std::string &path, std::string &bytes)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    std::ifstream stream(path, std::ios::binary);
    if (!stream)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    return !stream.bad();
}
