#include "Fuzz_folder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string MakeFolder()
{
    struct stat info;
    const std::string parent =
        stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) && access("/dev/shm", W_OK) == 0
        ? std::string("/dev/shm")
        : fs::temp_directory_path().string();
    std::string pattern = parent + "/kalvora-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    fs::create_directories(pattern + "/dics/d");
    return pattern;
}

} // namespace

const std::string &FuzzFolder()
{
    // Never destroyed: the exit handler that removes the folder runs after static destructors.
    static const std::string *folder = [] {
        const auto made = new std::string(MakeFolder());
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(FuzzFolder(), ignored);
        });
        return made;
    }();
    return *folder;
}

void WriteFuzzFile(const std::string &path, const std::string &bytes)
{
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FuzzCheck(static_cast<bool>(stream), "the fuzz folder cannot be written");
}

std::string FuzzDicsFolder()
{
    return FuzzFolder() + "/dics";
}

void WriteFuzzDictionary(
    const std::string &attributes, const std::string &index, const std::string &data)
{
    const std::string base = FuzzDicsFolder() + "/d/d";
    WriteFuzzFile(base + ".inf", attributes);
    WriteFuzzFile(base + ".idx", index);
    WriteFuzzFile(base + ".dat", data);
}

void FuzzCheck(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}
