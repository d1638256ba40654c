#include "Utils.h"

#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

const char *const RESULT_TEXTS[] = {"Success", "Not found", "Data corrupt", "Failed to write"};
constexpr std::int32_t RESULT_TEXT_COUNT = sizeof(RESULT_TEXTS) / sizeof(RESULT_TEXTS[0]);

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
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

void RemoveFolder(std::string folder)
{
    // The folder itself is removed by the name without the separator, so strip any we were given
    // (but never turn "/" into "").
    while (folder.size() > 1 && IsSeparator(folder.back()))
        folder.pop_back();
    if (folder.empty())
        return;

    const std::unique_ptr<DIR, int (*)(DIR *)> listing(opendir(folder.c_str()), closedir);
    if (listing) {
        const std::string prefix = folder + '/';
        while (const dirent *entry = readdir(listing.get())) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string path = prefix + name;
            // lstat, not stat: only the folder's own plain files go; a symbolic link stays as it
            // is, whatever it points to.
            struct stat info;
            if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
                unlink(path.c_str());
        }
    }
    rmdir(folder.c_str());
}

std::string ToUpper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(ToUpperByte(static_cast<unsigned char>(c)));
    return text;
}
