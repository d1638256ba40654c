#include "Utils.h"

#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

const char *const RESULT_TEXTS[] = {"Success", "Not found", "Data corrupt", "Failed to write"};
constexpr std::int32_t RESULT_TEXT_COUNT = sizeof(RESULT_TEXTS) / sizeof(RESULT_TEXTS[0]);

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

// Only the folder's own plain files go; a symbolic link stays as it is, whatever it points to.
// Takes over the descriptor.
void DeletePlainFiles(int folder)
{
    const std::unique_ptr<DIR, int (*)(DIR *)> listing(fdopendir(folder), closedir);
    if (!listing) {
        close(folder);
        return;
    }
    while (const dirent *entry = readdir(listing.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info;
        if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode))
            unlinkat(folder, name.c_str(), 0);
    }
}

} // namespace

VoException::VoException(std::string where, std::int32_t line, std::uint8_t code)
    : where(std::move(where))
    , line(line)
    , code(code)
{
}

std::string ErrorText(const VoException &exception)
{
    std::string text;
    if (exception.code >= 0 && exception.code < RESULT_TEXT_COUNT)
        text = RESULT_TEXTS[exception.code];
    text += ", ";
    text += exception.where;
    text += ", ";
    text += std::to_string(exception.line);
    return text;
}

void RemoveFolderBelow(const std::string &base, const std::string &relative)
{
    int parent = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::vector<std::string> names;
    for (std::size_t start = 0; start < relative.size();) {
        std::size_t end = start;
        while (end < relative.size() && !IsSeparator(relative[end]))
            ++end;
        if (end > start)
            names.push_back(relative.substr(start, end - start));
        start = end + 1;
    }
    // Each step opens one name inside the folder reached so far, refusing a link: a "data" that
    // points elsewhere must not send the deletions into someone else's folder.
    for (std::size_t i = 0; parent >= 0 && i + 1 < names.size(); ++i) {
        const int next = names[i] == ".."
            ? -1
            : openat(parent, names[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(parent);
        parent = next;
    }
    if (parent < 0)
        return;
    if (!names.empty() && names.back() != ".." && names.back() != ".") {
        const int folder =
            openat(parent, names.back().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (folder >= 0)
            DeletePlainFiles(folder);
        unlinkat(parent, names.back().c_str(), AT_REMOVEDIR);
    }
    close(parent);
}

void RemoveFolder(std::string folder)
{
    // The folder itself is removed by the name without the separator, so strip any we were given
    // (but never turn "/" into "").
    while (folder.size() > 1 && IsSeparator(folder.back()))
        folder.pop_back();
    if (folder.empty())
        return;

    // O_NOFOLLOW: when the folder itself is a symbolic link, what it points to is someone else's
    // and is left alone (rmdir refuses a link too). The entries are reached through the
    // descriptor, so a folder swapped for a link half-way cannot send the deletions elsewhere.
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor >= 0)
        DeletePlainFiles(descriptor);
    rmdir(folder.c_str());
}

std::string ToUpper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(ToUpperByte(static_cast<unsigned char>(c)));
    return text;
}
