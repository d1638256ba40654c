// kalvora-mkdic: makes a dictionary folder for Kalvora from a tab-separated text file, a dictd
// database or a StarDict dictionary. The folder appears only once it is complete and loads.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <tuple>

#include "Installed_dictionaries.h"
#include "Mkdic_builder.h"
#include "Mkdic_options.h"
#include "storage/Article_markup.h"
#include "storage/Source_reader.h"
#include "support/Code_page.h"

namespace fs = std::filesystem;

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_BAD_ARGUMENTS = 2;

int Fail(const std::string &message)
{
    std::cerr << "kalvora-mkdic: " << message << '\n' << MKDIC_USAGE << '\n';
    return EXIT_BAD_ARGUMENTS;
}

int Failed(const std::string &message)
{
    std::cerr << "kalvora-mkdic: " << message << '\n';
    return EXIT_FAILED;
}

// The folder name is the dictionary's name in the saved order, which separates names with ";",
// and the program passes over names starting with ".".
bool IsUsableFolderName(std::string output)
{
    while (output.size() > 1 && output.back() == '/')
        output.pop_back();
    const std::string name = output.substr(output.find_last_of('/') + 1);
    return !name.empty() && name[0] != '.' && name.find(';') == std::string::npos;
}

fs::path TargetFolder(const std::string &output)
{
    const fs::path path = fs::absolute(output).lexically_normal();
    return path.has_filename() ? path : path.parent_path();
}

// A fresh user has no ~/.local/share/kalvora/dics yet; elsewhere a missing folder is more
// likely a typing mistake than a wish for new folders.
bool MakeParentsInUserData(const fs::path &target, std::string &error)
{
    const fs::path parent = target.parent_path();
    const std::string data = UserDataFolder();
    std::error_code code;
    if (data.empty() || fs::exists(parent, code))
        return true;
    const fs::path relative = parent.lexically_relative(data);
    if (relative.empty() || *relative.begin() == "..")
        return true;
    if (!fs::create_directories(parent, code) && code) {
        error = parent.string() + ": " + code.message();
        return false;
    }
    return true;
}

// Two dictionaries with one id cannot both be loaded: the program rejects the second it finds.
std::optional<int> CheckIdIsFree(const MkdicOptions &options, const fs::path &target)
{
    std::vector<std::string> folders{target.parent_path().string()};
    for (const std::string &folder : InstalledDicsFolders())
        folders.push_back(folder);
    const auto taken = FindDictionaryWithId(folders, options.id, target.string());
    if (!taken)
        return std::nullopt;
    char id[16];
    std::snprintf(id, sizeof id, "%X", static_cast<unsigned>(options.id));
    return Failed(std::string("the id ") + id + " is already used by the dictionary \""
        + taken->shortName + "\" in " + taken->folder
        + ": choose another id, or give --force-id to use it anyway");
}

// Values given on the command line must fit as they are; the source's own title and origin,
// used when none is given, are shortened to fit.
std::optional<int> MakeLabels(
    const MkdicOptions &options, const SourceData &data, DictionaryLabels &labels)
{
    labels.id = options.id;
    labels.version = options.version;
    // The source's own texts are in its encoding; the command line's are UTF-8.
    const std::string title = data.utf8 ? data.title : AnsiToUtf8(data.title);
    const std::string origin = data.utf8 ? data.origin : AnsiToUtf8(data.origin);
    const std::string fallbackName = title.empty() ? options.shortName : title;
    const std::string fallbackSource = origin.empty() ? options.input : origin;
    const std::tuple<const char *, const char *, std::string, bool, std::string *> values[] = {
        {"CATEGORY", "--category", options.category, false, &labels.category},
        {"SHORT_NAME", "--short-name", options.shortName, false, &labels.shortName},
        {"LONG_NAME", "--long-name", options.longName.value_or(fallbackName), !options.longName,
            &labels.longName},
        {"SOURCE", "--source", options.source.value_or(fallbackSource), !options.source,
            &labels.source},
    };
    for (const auto &[key, option, text, cut, value] : values) {
        if (!MakeAttributeValue(key, text, cut, *value))
            return Fail(std::string(option) + " is too long: at most "
                + std::to_string(MAX_ATTRIBUTE_LINE - std::string(key).size() - 1) + " characters");
    }
    if (labels.category.empty() || labels.shortName.empty())
        return Fail("--category and --short-name must not be blank");
    return std::nullopt;
}

void PrintReport(const std::string &output, DictionaryEncoding encoding, const BuildReport &report,
    std::size_t specialEntries, const std::string &lineEnds)
{
    std::cout << "written: " << output << '\n'
              << "dictionary encoding: "
              << (encoding == DictionaryEncoding::Utf8 ? "UTF-8" : "Windows-1251") << '\n';
    if (!lineEnds.empty())
        std::cout << "source line ends: " << lineEnds << '\n';
    std::cout << "headwords: " << report.headwords << '\n'
              << "articles: " << report.articles << '\n'
              << "yo second spellings: " << report.yoAliases << '\n'
              << "ye spellings of headwords with yo: " << report.yeSpellings << '\n'
              << "merged duplicate headwords: " << report.mergedHeadwords << '\n'
              << "skipped empty headwords: " << report.emptyHeadwords << '\n'
              << "skipped headwords over " << MAX_HEADWORD
              << " characters: " << report.longHeadwords << '\n'
              << "skipped headwords outside Windows-1251: " << report.unmappedHeadwords << '\n'
              << "skipped special entries: " << specialEntries << '\n'
              << "articles cut to " << MAX_ARTICLE << " characters: " << report.cutArticles << '\n'
              << "entries without their stress marks: " << report.stressedEntries << '\n'
              << "characters without a Windows-1251 counterpart (written as ?): "
              << report.unmappedCharacters << '\n';
}

// A headword as the source gave it may hold a TAB or a line end, which would break the report's
// lines: those and the backslash are written as \t, \n, \r and \\.
std::string ReportField(const std::string &text)
{
    std::string field;
    field.reserve(text.size());
    for (const char c : text) {
        const char *escape = c == '\\' ? "\\\\"
            : c == '\t'                ? "\\t"
            : c == '\n'                ? "\\n"
            : c == '\r'                ? "\\r"
                                       : nullptr;
        if (escape)
            field += escape;
        else
            field += c;
    }
    return field;
}

// One line per entry: what happened, TAB, the headword, TAB, why.
bool WriteEntryReport(const std::string &path, const SourceData &data, const BuildReport &report)
{
    std::ofstream file(path, std::ios::out | std::ios::trunc | std::ios::binary);
    for (const std::string &name : data.specialHeadwords)
        file << "skipped\t" << ReportField(name) << "\tdictd special entry\n";
    for (const EntryNote &note : report.notes)
        file << note.action << '\t' << ReportField(note.headword) << '\t'
             << ReportField(note.reason) << '\n';
    file.close();
    return static_cast<bool>(file);
}

} // namespace

int main(int argc, char **argv)
{
    MkdicOptions options;
    const std::string error =
        ParseMkdicOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!error.empty())
        return Fail(error);
    if (options.action == MkdicOptions::Action::Help) {
        std::cout << MKDIC_USAGE << "\n\n" << MKDIC_HELP;
        return 0;
    }
    if (options.action == MkdicOptions::Action::Version) {
        std::cout << "kalvora-mkdic " KALVORA_VERSION "\n";
        return 0;
    }
    if (!IsUsableFolderName(options.output))
        return Fail("the output folder's name must not be empty, start with \".\" or hold \";\"");
    const fs::path target = TargetFolder(options.output);
    std::string problem;
    if (!MakeParentsInUserData(target, problem))
        return Failed(problem);
    if (!options.forceId)
        if (const auto status = CheckIdIsFree(options, target))
            return *status;

    SourceData data;
    if (!ReadSource(options.input, *options.format, options.encoding, data, problem))
        return Failed(problem);
    if (!data.skippedTypes.empty())
        std::cerr << "kalvora-mkdic: " << options.input << ": fields of type " << data.skippedTypes
                  << " hold no text and are left out\n";
    DictionaryLabels labels;
    if (const auto status = MakeLabels(options, data, labels))
        return *status;

    // Tags lay out lines and entities may name any character: their text stays UTF-8.
    labels.encoding = options.dictionaryEncoding.value_or(
        FitsWindows1251(data) && !ArticlesHaveLines(data) && !MarkupHasTags(data.markup)
            ? DictionaryEncoding::Cp1251
            : DictionaryEncoding::Utf8);
    labels.markup = MarkupName(data.markup);
    BuildReport report;
    const std::vector<BuiltEntry> entries =
        PrepareEntries(data, options.duplicates, labels.encoding, report);
    const bool made = !entries.empty()
        && MakeDictionaryFolder(options.output, options.force, labels, entries, report, problem);
    if (!options.reportPath.empty() && !WriteEntryReport(options.reportPath, data, report))
        return Failed(options.reportPath + ": cannot write the report");
    if (entries.empty())
        return Failed(options.input + ": no usable entries");
    if (!made)
        return Failed(problem);
    PrintReport(options.output, labels.encoding, report, data.specialEntries, data.lineEnds);
    return 0;
}
