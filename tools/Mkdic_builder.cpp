#include "Mkdic_builder.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

#include "Mkdic_interrupt.h"
#include "storage/Database.h"
#include "storage/Text_encoding.h"
#include "support/Code_page.h"

namespace fs = std::filesystem;

namespace {

// Lookups beyond this many are spread over the dictionary: each one scans its letter's block.
constexpr std::size_t MAX_CHECKED_LOOKUPS = 5000;

bool WriteFile(const fs::path &path, const std::string &bytes, std::string &error)
{
    std::ofstream file(path, std::ios::out | std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        error = path.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string AttributeFile(const DictionaryLabels &labels)
{
    char id[16];
    std::snprintf(id, sizeof id, "%X", static_cast<unsigned>(labels.id));
    const std::pair<const char *, std::string> lines[] = {
        {"FORMAT_VERSION", "1.0"},
        {"ENCODING", labels.encoding == DictionaryEncoding::Utf8 ? "UTF-8" : "cp1251"},
        {"DIC_ID", id},
        {"DIC_VERSION", labels.version},
        {"CATEGORY", labels.category},
        {"SHORT_NAME", labels.shortName},
        {"LONG_NAME", labels.longName},
        {"SOURCE", labels.source},
        {"MARKUP", labels.markup},
    };
    std::u16string text;
    for (const auto &[key, value] : lines)
        text += Utf8ToUtf16(std::string(key) + "=" + value + "\r\n");
    std::string bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

bool WriteDictionaryFiles(const fs::path &folder, const DictionaryLabels &labels,
    const std::vector<BuiltEntry> &entries, BuildReport &report, std::string &error)
{
    std::string data;
    std::string index;
    std::unordered_map<std::string, std::size_t> written;
    for (const BuiltEntry &entry : entries) {
        const auto [place, added] = written.emplace(entry.article, data.size());
        if (added) {
            // Offsets are read back as signed 32-bit numbers.
            if (data.size() > static_cast<std::size_t>(INT32_MAX)) {
                error = "the articles take more than 2 GB: split the dictionary";
                return false;
            }
            data += entry.article;
            data += '\n';
        }
        index += entry.headword + '\t' + std::to_string(place->second) + '\n';
    }
    report.headwords = entries.size();
    report.articles = written.size();
    const DictionaryFiles files(folder.string());
    return WriteFile(files.data, data, error) && WriteFile(files.index, index, error)
        && WriteFile(files.attributes, AttributeFile(labels), error);
}

// The positions whose lookups are tried: the first word of every letter block, then an even
// spread of the rest.
std::vector<std::size_t> LookupSample(const std::vector<BuiltEntry> &entries)
{
    std::vector<std::size_t> sample;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (i == 0 || entries[i].headword[0] != entries[i - 1].headword[0])
            sample.push_back(i);
    const std::size_t step = std::max<std::size_t>(1, entries.size() / MAX_CHECKED_LOOKUPS);
    for (std::size_t i = 0; i < entries.size(); i += step)
        sample.push_back(i);
    return sample;
}

bool Verify(const fs::path &root, const DictionaryLabels &labels,
    const std::vector<BuiltEntry> &entries, std::string &error)
{
    Database database("", nullptr, root.string());
    database.Load();
    if (database.GetCount() != 1) {
        error = "the dictionary written does not load";
        return false;
    }
    Dictionary &dictionary = *database.GetDictionary(0);
    const DictionaryAttributes &attributes = dictionary.GetAttributes();
    // The dictionary gives its text out as UTF-8; the attribute values were Windows-1251.
    const auto Utf8 = [&labels](const std::string &text) {
        return labels.encoding == DictionaryEncoding::Utf8
            ? text
            : Cp1251Text::ProgramText(text.data(), text.size());
    };
    if (dictionary.GetId() != labels.id || attributes.category != labels.category
        || attributes.shortName != labels.shortName || attributes.longName != labels.longName
        || attributes.source != labels.source) {
        error = "the attributes read back differ from those written";
        return false;
    }
    if (dictionary.GetWordCount() != entries.size()) {
        error = "the index read back holds " + std::to_string(dictionary.GetWordCount())
            + " words, not " + std::to_string(entries.size());
        return false;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto position = static_cast<std::int32_t>(i);
        if (dictionary.GetWord(position) != Utf8(entries[i].headword)
            || dictionary.GetArticle(position) != Utf8(entries[i].article)) {
            error = "word " + std::to_string(i) + " reads back differently";
            return false;
        }
    }
    for (const std::size_t i : LookupSample(entries)) {
        std::uint32_t found = 0;
        std::int32_t matched = 0;
        if (!dictionary.FindWord(Utf8(entries[i].headword), found, matched) || matched != -1
            || found >= entries.size()
            || DictionaryUpper(entries[found].headword, labels.encoding) != entries[i].key) {
            error = "a lookup of \"" + Utf8(entries[i].headword) + "\" does not find it";
            return false;
        }
    }
    return true;
}

// What --force may replace: an empty folder or one holding only a dictionary's own files.
bool HoldsOnlyDictionary(const fs::path &folder)
{
    const DictionaryFiles files(folder.string());
    std::error_code code;
    for (fs::directory_iterator entry(folder, code), end; !code && entry != end;
         entry.increment(code)) {
        const fs::path &file = entry->path();
        if (!entry->is_regular_file()
            || (file != files.attributes && file != files.index && file != files.data))
            return false;
    }
    return !code;
}

bool Exists(const fs::path &path)
{
    std::error_code code;
    return fs::symlink_status(path, code).type() != fs::file_type::not_found;
}

bool CheckTarget(const fs::path &target, bool replace, std::string &error)
{
    if (!Exists(target))
        return true;
    if (!replace)
        error = target.string() + " already exists (--force replaces it)";
    else if (fs::is_symlink(target) || !fs::is_directory(target) || !HoldsOnlyDictionary(target))
        error = target.string() + " holds more than a dictionary's three files: not replaced";
    else
        return true;
    return false;
}

// The old folder goes aside into the work folder first, so that the new one can take its
// name with a single rename, and comes back if that rename fails.
// A folder that appeared under the target's name while the dictionary was built is not
// silently replaced, as a plain rename would replace an empty one.
int RenameNoReplace(const fs::path &from, const fs::path &to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    if (Exists(to)) {
        errno = EEXIST;
        return -1;
    }
    return std::rename(from.c_str(), to.c_str());
}

bool MoveIntoPlace(
    const fs::path &built, const fs::path &target, const fs::path &work, std::string &error)
{
    const fs::path old = work / "replaced";
    const bool hadOld = Exists(target);
    if (hadOld && std::rename(target.c_str(), old.c_str()) != 0) {
        error = target.string() + ": " + std::strerror(errno);
        return false;
    }
    if (RenameNoReplace(built, target) != 0) {
        error = target.string() + ": " + std::strerror(errno);
        if (hadOld)
            std::rename(old.c_str(), target.c_str());
        return false;
    }
    return true;
}

// A work folder is ".NAME.mkdic-PID-XXXXXX": the dictionary's name, the process making it, and
// mkdtemp's letters.
std::string WorkFolderPattern(const fs::path &parent, const std::string &name)
{
    return (parent / ("." + name + ".mkdic-" + std::to_string(getpid()) + "-XXXXXX")).string();
}

bool ParseWorkFolder(const std::string &folder, std::string &name, pid_t &pid)
{
    static const std::string MARKER = ".mkdic-";
    constexpr std::size_t LETTERS = 6;
    if (folder.size() < 2 + MARKER.size() + 2 + LETTERS || folder[0] != '.')
        return false;
    const std::size_t dash = folder.size() - LETTERS - 1;
    const std::size_t marker = folder.rfind(MARKER, dash);
    if (folder[dash] != '-' || marker == std::string::npos || marker < 2
        || dash <= marker + MARKER.size())
        return false;
    const std::string digits = folder.substr(marker + MARKER.size(), dash - marker - MARKER.size());
    if (digits.empty() || digits.size() > 9
        || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    name = folder.substr(1, marker - 1);
    pid = static_cast<pid_t>(std::stol(digits));
    return pid > 0;
}

// A run that could not clean up (SIGKILL, a crash, a power cut) leaves its work folder behind:
// the next run beside it removes those whose process is gone. An old dictionary that lay aside
// in one while its replacement was taking its place goes back when nothing took the place.
void RemoveStaleWorkFolders(const fs::path &parent)
{
    std::vector<std::pair<fs::path, std::string>> stale;
    std::error_code code;
    for (fs::directory_iterator entry(parent, code), end; !code && entry != end;
         entry.increment(code)) {
        std::string name;
        pid_t pid = 0;
        struct stat info;
        const fs::path work = entry->path();
        if (ParseWorkFolder(work.filename().string(), name, pid) && pid != getpid()
            && lstat(work.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid()
            && kill(pid, 0) != 0 && errno == ESRCH)
            stale.emplace_back(work, name);
    }
    for (const auto &[work, name] : stale) {
        const fs::path old = work / "replaced";
        if (Exists(old) && !Exists(parent / name))
            std::rename(old.c_str(), (parent / name).c_str());
        fs::remove_all(work, code);
    }
}

} // namespace

bool MakeDictionaryFolder(const std::string &target, bool replace, const DictionaryLabels &labels,
    const std::vector<BuiltEntry> &entries, BuildReport &report, std::string &error)
{
    const fs::path targetPath = fs::path(target).lexically_normal();
    const fs::path clean = targetPath.has_filename() ? targetPath : targetPath.parent_path();
    const std::string name = clean.filename().string();
    fs::path parent = clean.parent_path();
    if (parent.empty())
        parent = ".";
    if (!fs::is_directory(parent)) {
        error = "the folder " + parent.string() + " does not exist";
        return false;
    }
    RemoveStaleWorkFolders(parent);
    if (!CheckTarget(clean, replace, error))
        return false;

    std::string pattern = WorkFolderPattern(parent, name);
    fs::path work;
    fs::path built;
    {
        // A stop between making the work folder and arming its removal would leave it behind.
        const StopSignalsHeld held;
        if (!mkdtemp(pattern.data())) {
            error =
                "cannot create a work folder in " + parent.string() + ": " + std::strerror(errno);
            return false;
        }
        work = pattern;
        built = work / name;
        const DictionaryFiles files(built.string());
        if (!ArmInterruptCleanup(
                {files.data, files.index, files.attributes}, {built.string(), work.string()})) {
            rmdir(work.c_str());
            error = "the path " + work.string() + " is too long";
            return false;
        }
    }
    std::error_code code;
    bool done = fs::create_directory(built, code);
    if (!done)
        error = built.string() + ": " + code.message();
    done = done && WriteDictionaryFiles(built, labels, entries, report, error)
        && Verify(work, labels, entries, error);
    // The old folder lies in the work folder while the new one takes its place: a stop now
    // waits until both are where they belong.
    const StopSignalsHeld held;
    done = done && CheckTarget(clean, replace, error) && MoveIntoPlace(built, clean, work, error);
    fs::remove_all(work, code);
    DisarmInterruptCleanup();
    return done;
}
