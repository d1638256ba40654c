// kalvora-mkdic: makes a dictionary folder for Kalvora from a tab-separated text file, a dictd
// database or a StarDict dictionary. The folder appears only once it is complete and loads.

#include <cstdint>
#include <iostream>
#include <optional>
#include <string>
#include <tuple>

#include "Dictionary_id.h"
#include "Mkdic_builder.h"
#include "Mkdic_sources.h"
#include "support/Code_page.h"

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_BAD_ARGUMENTS = 2;

const char USAGE[] =
    "usage: kalvora-mkdic --id HEXID --category CATEGORY --short-name NAME [--long-name NAME]\n"
    "         [--source TEXT] [--dic-version X.Y] [--format tsv|dictd|stardict]\n"
    "         [--encoding auto|utf-8|cp1251] [--duplicates merge|keep] [--force]\n"
    "         INPUT OUTPUT_FOLDER\n"
    "INPUT is a .tsv/.txt file (headword TAB article), a dictd .index or a StarDict .ifo;\n"
    "OUTPUT_FOLDER is the dictionary folder to create, e.g. dics/jargon.";

struct Options
{
    std::string id;
    std::string category;
    std::string shortName;
    std::optional<std::string> longName;
    std::optional<std::string> source;
    std::string version = "1.0";
    std::optional<SourceFormat> format;
    TextEncoding encoding = TextEncoding::Auto;
    Duplicates duplicates = Duplicates::Merge;
    bool force = false;
    std::string input;
    std::string output;
};

int Fail(const std::string &message)
{
    std::cerr << "kalvora-mkdic: " << message << '\n' << USAGE << '\n';
    return EXIT_BAD_ARGUMENTS;
}

// The loader reads the version as a decimal number and keeps one digit after the point.
bool IsVersion(const std::string &text)
{
    const std::size_t point = text.find('.');
    const std::string major = text.substr(0, point);
    const std::string minor = point == std::string::npos ? "0" : text.substr(point + 1);
    return !major.empty() && major.size() <= 9 && minor.size() == 1
        && (major + minor).find_first_not_of("0123456789") == std::string::npos;
}

// Returns the exit status on a bad command line, nothing when the options are complete.
std::optional<int> ParseArguments(int argc, char **argv, Options &options)
{
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--force") {
            options.force = true;
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-') {
            if (i + 1 >= argc)
                return Fail(argument + " needs a value");
            const std::string value = argv[++i];
            if (argument == "--id")
                options.id = value;
            else if (argument == "--category")
                options.category = value;
            else if (argument == "--short-name")
                options.shortName = value;
            else if (argument == "--long-name")
                options.longName = value;
            else if (argument == "--source")
                options.source = value;
            else if (argument == "--dic-version" && IsVersion(value))
                options.version = value;
            else if (argument == "--format"
                && (value == "tsv" || value == "dictd" || value == "stardict"))
                options.format = value == "tsv" ? SourceFormat::Tsv
                    : value == "dictd"          ? SourceFormat::Dictd
                                                : SourceFormat::StarDict;
            else if (argument == "--encoding"
                && (value == "auto" || value == "utf-8" || value == "cp1251"))
                options.encoding = value == "auto" ? TextEncoding::Auto
                    : value == "utf-8"             ? TextEncoding::Utf8
                                                   : TextEncoding::Cp1251;
            else if (argument == "--duplicates" && (value == "merge" || value == "keep"))
                options.duplicates = value == "merge" ? Duplicates::Merge : Duplicates::Keep;
            else if (argument == "--dic-version" || argument == "--format"
                || argument == "--encoding" || argument == "--duplicates")
                return Fail("bad value \"" + value + "\" for " + argument);
            else
                return Fail("unknown option " + argument);
        } else if (positional == 0) {
            options.input = argument;
            ++positional;
        } else if (positional == 1) {
            options.output = argument;
            ++positional;
        } else {
            return Fail("give one input and one output folder");
        }
    }
    if (positional != 2)
        return Fail("give one input and one output folder");
    if (!ParseDictionaryId(options.id))
        return Fail(
            "--id needs a non-zero hexadecimal id of at most 8 digits, not \"" + options.id + "\"");
    if (options.category.empty() || options.shortName.empty())
        return Fail("--category and --short-name must not be empty");
    if (!options.format)
        options.format = FormatFromName(options.input);
    if (!options.format)
        return Fail("cannot tell the input's format from its name: give --format");
    return std::nullopt;
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

// Values given on the command line must fit as they are; the source's own title and origin,
// used when none is given, are shortened to fit.
std::optional<int> MakeLabels(
    const Options &options, const SourceData &data, DictionaryLabels &labels, std::size_t &unmapped)
{
    labels.id = *ParseDictionaryId(options.id);
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
        std::size_t replaced = 0;
        if (!MakeAttributeValue(key, text, cut, *value, &replaced))
            return Fail(std::string(option) + " is too long: at most "
                + std::to_string(MAX_ATTRIBUTE_LINE - std::string(key).size() - 1) + " characters");
        unmapped += replaced;
    }
    if (labels.category.empty() || labels.shortName.empty())
        return Fail("--category and --short-name must not be blank");
    return std::nullopt;
}

void PrintReport(const std::string &output, const BuildReport &report, std::size_t specialEntries,
    std::size_t unmappedLabels)
{
    std::cout << "written: " << output << '\n'
              << "headwords: " << report.headwords << '\n'
              << "articles: " << report.articles << '\n'
              << "yo second spellings: " << report.yoAliases << '\n'
              << "merged duplicate headwords: " << report.mergedHeadwords << '\n'
              << "skipped empty headwords: " << report.emptyHeadwords << '\n'
              << "skipped headwords over " << MAX_HEADWORD << " bytes: " << report.longHeadwords
              << '\n'
              << "skipped headwords outside Windows-1251: " << report.unmappedHeadwords << '\n'
              << "skipped special entries: " << specialEntries << '\n'
              << "articles cut to " << MAX_ARTICLE << " bytes: " << report.cutArticles << '\n'
              << "characters without a Windows-1251 counterpart (written as ?): "
              << report.unmappedCharacters + unmappedLabels << '\n';
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (const auto status = ParseArguments(argc, argv, options))
        return *status;
    if (!IsUsableFolderName(options.output))
        return Fail("the output folder's name must not be empty, start with \".\" or hold \";\"");

    SourceData data;
    std::string error;
    if (!ReadSource(options.input, *options.format, options.encoding, data, error)) {
        std::cerr << "kalvora-mkdic: " << error << '\n';
        return EXIT_FAILED;
    }
    DictionaryLabels labels;
    std::size_t unmappedLabels = 0;
    if (const auto status = MakeLabels(options, data, labels, unmappedLabels))
        return *status;

    BuildReport report;
    const std::vector<BuiltEntry> entries = PrepareEntries(data, options.duplicates, report);
    if (entries.empty()) {
        std::cerr << "kalvora-mkdic: " << options.input << ": no usable entries\n";
        return EXIT_FAILED;
    }
    if (!MakeDictionaryFolder(options.output, options.force, labels, entries, report, error)) {
        std::cerr << "kalvora-mkdic: " << error << '\n';
        return EXIT_FAILED;
    }
    PrintReport(options.output, report, data.specialEntries, unmappedLabels);
    return 0;
}
