// kalvora-lookup: looks words up in a folder of dictionaries from the command line, one query
// per line of standard input, one answer line per query. Answers are flushed at once so that
// another program can hold a conversation with it through a pipe.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "storage/Database.h"
#include "support/Code_page.h"
#include "support/Dictionary_order.h"
#include "support/Log_file.h"
#include "tools/Dictionary_id.h"

namespace {

constexpr int EXIT_BAD_ARGUMENTS = 2;
constexpr int EXIT_NO_DICTIONARY = 1;

const char NO_DICTIONARY[] =
    "\xCD\xE5 \xED\xE0\xE9\xE4\xE5\xED\xEE \xED\xE8 \xEE\xE4\xED\xEE\xE3\xEE "
    "\xF1\xEB\xEE\xE2\xE0\xF0\xFF";

const char USAGE[] =
    "usage: kalvora-lookup [--order \"a;b;c;\"] [--dic HEXID] [--article] [--list] "
    "[--log FILE] DICS_FOLDER";

struct Options
{
    std::string order;
    std::uint32_t dicId = 0;
    bool article = false;
    bool list = false;
    std::string logPath;
    std::string folder;
};

int Fail(const std::string &message)
{
    std::cerr << "kalvora-lookup: " << message << '\n' << USAGE << '\n';
    return EXIT_BAD_ARGUMENTS;
}

// Returns the exit status on a bad command line, nothing when the options are complete.
std::optional<int> ParseArguments(int argc, char **argv, Options &options)
{
    bool haveFolder = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const bool takesValue = argument == "--order" || argument == "--dic" || argument == "--log";
        if (takesValue && i + 1 >= argc)
            return Fail(argument + " needs a value");
        if (argument == "--order") {
            options.order = argv[++i];
        } else if (argument == "--dic") {
            const auto id = ParseDictionaryId(argv[++i]);
            if (!id)
                return Fail(
                    std::string("--dic needs a non-zero hexadecimal id, not \"") + argv[i] + "\"");
            options.dicId = *id;
        } else if (argument == "--log") {
            options.logPath = argv[++i];
        } else if (argument == "--article") {
            options.article = true;
        } else if (argument == "--list") {
            options.list = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return Fail("unknown option " + argument);
        } else if (haveFolder) {
            return Fail("only one dictionary folder may be given");
        } else {
            options.folder = argument;
            haveFolder = true;
        }
    }
    if (!haveFolder)
        return Fail("no dictionary folder given");
    return std::nullopt;
}

bool FolderReadable(const std::string &folder)
{
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return false;
    std::filesystem::directory_iterator listing(folder, error);
    return !error;
}

// A field never carries the tabs and line ends that separate fields and answers.
std::string Field(std::string text)
{
    for (char &c : text)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return text;
}

std::string Hex(std::uint32_t id)
{
    char text[9];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(id));
    return text;
}

void PrintDictionaries(const Database &database)
{
    for (std::int32_t i = 0; i < database.GetCount(); ++i) {
        const Dictionary &dictionary = *database.GetDictionary(i);
        const DictionaryAttributes &attributes = dictionary.GetAttributes();
        // The folder name is the file system's own spelling and is printed unconverted.
        std::cout << Hex(dictionary.GetId()) << '\t' << Field(dictionary.GetFolderName()) << '\t'
                  << Field(attributes.category) << '\t' << Field(attributes.shortName) << '\t'
                  << dictionary.GetWordCount() << '\t' << Field(attributes.longName) << '\t'
                  << Field(attributes.source) << '\n';
    }
    std::cout.flush();
}

void Answer(const Database &database, const Options &options, const std::string &query)
{
    WordPosition position;
    std::int32_t matchedLength = 0;
    const bool found = database.Find(options.dicId, query, position, &matchedLength);
    std::cout << (found ? 1 : 0) << '\t' << Hex(position.dicId) << '\t' << position.index << '\t'
              << matchedLength << '\t';
    std::cout << (found ? Field(database.GetWord(position)) : std::string());
    if (options.article)
        std::cout << '\t' << (found ? Field(database.GetArticle(position)) : "");
    std::cout << std::endl;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (const auto status = ParseArguments(argc, argv, options))
        return *status;
    if (!FolderReadable(options.folder))
        return Fail("cannot read the folder " + options.folder);
    if (!options.logPath.empty())
        logFile.Open(options.logPath);

    // No program folder: the tool never touches a temporary folder of the program's.
    Database database("", nullptr, options.folder);
    // Folder names are matched byte for byte, so they are taken as the shell passes them.
    database.SetOrder(SplitDictionaryOrder(options.order));
    database.Load();
    if (database.GetCount() == 0) {
        std::cerr << AnsiToUtf8(NO_DICTIONARY) << '\n';
        return EXIT_NO_DICTIONARY;
    }
    if (options.dicId != 0 && database.FindById(options.dicId) == nullptr)
        return Fail("no dictionary has the id " + Hex(options.dicId));
    if (options.list)
        PrintDictionaries(database);

    for (std::string line; std::getline(std::cin, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Answer(database, options, line);
    }
    return 0;
}
