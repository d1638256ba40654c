// kalvora-lookup: looks words up in folders of dictionaries from the command line, the words
// given as arguments or one query per line of standard input, one answer line per query.
// Answers are flushed at once so that another program can hold a conversation with it through
// a pipe.

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "lookup/Word_lookup.h"
#include "storage/Article_markup.h"
#include "storage/Database.h"
#include "storage/Installed_sources.h"
#include "support/Code_page.h"
#include "support/Dictionary_order.h"
#include "support/Log_file.h"
#include "tools/Lookup_options.h"
#include "tools/Lookup_output.h"
#include "tools/Lookup_suggest.h"
#include "tools/Lookup_text.h"

namespace {

constexpr int EXIT_ALL_FOUND = 0;
constexpr int EXIT_NOT_ALL_FOUND = 1;
constexpr int EXIT_BAD_ARGUMENTS = 2;

const char NO_DICTIONARY[] =
    "\xCD\xE5 \xED\xE0\xE9\xE4\xE5\xED\xEE \xED\xE8 \xEE\xE4\xED\xEE\xE3\xEE "
    "\xF1\xEB\xEE\xE2\xE0\xF0\xFF";

int Fail(const std::string &message)
{
    std::cerr << "kalvora-lookup: " << message << '\n' << LOOKUP_USAGE << '\n';
    return EXIT_BAD_ARGUMENTS;
}

bool FolderReadable(const std::string &folder)
{
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        return false;
    std::filesystem::directory_iterator listing(folder, error);
    return !error;
}

// The usual mistake is to name a dictionary's own folder instead of the folder holding it.
bool IsDictionaryFolder(const std::string &folder)
{
    const std::filesystem::path path = std::filesystem::path(folder).lexically_normal();
    const std::filesystem::path clean = path.has_filename() ? path : path.parent_path();
    std::error_code error;
    return std::filesystem::is_regular_file(DictionaryFiles(clean.string()).attributes, error);
}

int FailNoDictionary(const std::vector<std::string> &folders)
{
    std::cerr << AnsiToUtf8(NO_DICTIONARY) << '\n';
    for (const std::string &folder : folders) {
        std::cerr << "kalvora-lookup: no dictionary loaded from " << folder
                  << ": a dictionary is a folder of its own inside it (" << folder
                  << "/NAME/NAME.inf, NAME.idx, NAME.dat)";
        if (IsDictionaryFolder(folder))
            std::cerr << "; " << folder
                      << " is itself a dictionary folder: give the folder that holds it";
        std::cerr << '\n';
    }
    return EXIT_BAD_ARGUMENTS;
}

void PrintDictionaries(const Database &database, bool json)
{
    for (std::int32_t i = 0; i < database.GetCount(); ++i) {
        const Dictionary &dictionary = *database.GetDictionary(i);
        const DictionaryAttributes &attributes = dictionary.GetAttributes();
        // Texts are UTF-8; the folder name is the file system's own spelling, printed as it is.
        const std::string fields[] = {HexId(dictionary.GetId()), dictionary.GetFolderName(),
            attributes.category, attributes.shortName, std::to_string(dictionary.GetWordCount()),
            attributes.longName, attributes.source};
        if (json) {
            const char *names[] = {
                "id", "folder", "category", "short_name", "words", "long_name", "source"};
            std::string object;
            for (std::size_t k = 0; k < std::size(fields); ++k)
                object += std::string(k == 0 ? "{" : ",") + JsonString(names[k]) + ":"
                    + (k == 4 ? fields[k] : JsonString(fields[k]));
            std::cout << object << "}\n";
        } else {
            for (std::size_t k = 0; k < std::size(fields); ++k)
                std::cout << (k == 0 ? "" : "\t") << TsvField(fields[k]);
            std::cout << '\n';
        }
    }
    std::cout.flush();
}

LookupAnswer MakeAnswer(const Database &database, const Match &match, bool withArticle)
{
    LookupAnswer answer;
    answer.found = match.Found();
    answer.exact = match.exact;
    answer.dicId = match.position.dicId;
    answer.index = match.position.index;
    answer.matchedLength = match.exact ? -1 : match.sharedCharacters;
    if (answer.found) {
        answer.shortName = database.FindById(match.position.dicId)->GetAttributes().shortName;
        answer.headword = match.headword;
    }
    if (withArticle && answer.found) {
        const Dictionary *dictionary = database.FindById(match.position.dicId);
        answer.article = PlainText(database.GetArticle(match.position), dictionary->Markup());
    } else if (withArticle) {
        answer.article = std::string();
    }
    return answer;
}

// Every loaded dictionary that holds the query exactly, in search order; when none does, the
// answer of a search over all of them.
std::vector<LookupAnswer> AnswersOfEveryDictionary(
    const Database &database, const LookupOptions &options, const std::string &query)
{
    WordLookup lookup(database);
    std::vector<LookupAnswer> answers;
    for (std::int32_t i = 0; i < database.GetCount(); ++i) {
        const std::uint32_t id = database.GetDictionary(i)->GetId();
        if (options.dicId != 0 && id != options.dicId)
            continue;
        const Match match = lookup.Find(query, id);
        if (match.exact)
            answers.push_back(MakeAnswer(database, match, true));
    }
    if (answers.empty())
        answers.push_back(MakeAnswer(database, lookup.Find(query, options.dicId), true));
    return answers;
}

// Prints the answers to one query; true when it was found exactly.
bool Answer(const Database &database, const LookupOptions &options, const std::string &query)
{
    std::vector<LookupAnswer> answers;
    if (options.all) {
        answers = AnswersOfEveryDictionary(database, options, query);
    } else {
        WordLookup lookup(database);
        answers.push_back(MakeAnswer(database, lookup.Find(query, options.dicId), options.article));
    }
    for (LookupAnswer &answer : answers) {
        answer.query = query;
        if (answer.article)
            answer.article = ArticleForAnswer(*answer.article, options.lines, options.json);
        std::cout << (options.json ? JsonAnswer(answer) : TsvAnswer(answer, options.all)) << '\n';
    }
    // A blank line ends the answers to one query, which may be several.
    if (options.all && !options.json)
        std::cout << '\n';
    std::cout.flush();
    return answers.front().exact;
}

} // namespace

int main(int argc, char **argv)
{
    LookupOptions options;
    const std::string error =
        ParseLookupOptions(std::vector<std::string>(argv + 1, argv + argc), options);
    if (!error.empty())
        return Fail(error);
    if (options.action == LookupOptions::Action::Help) {
        std::cout << LOOKUP_USAGE << "\n\n" << LOOKUP_HELP;
        return 0;
    }
    if (options.action == LookupOptions::Action::Version) {
        std::cout << "kalvora-lookup " KALVORA_VERSION "\n";
        return 0;
    }
    std::vector<std::string> folders;
    if (!options.dics.empty())
        folders.push_back(options.dics);
    folders.insert(folders.end(), options.folders.begin(), options.folders.end());
    for (const std::string &folder : folders)
        if (!FolderReadable(folder))
            return Fail("cannot read the folder " + folder);
    if (!options.logPath.empty())
        logFile.Open(options.logPath);
    SetTsvForTerminal(isatty(STDOUT_FILENO) == 1);

    // No program folder: the tool never touches a temporary folder of the program's.
    Database database("", nullptr, options.dics);
    for (const std::string &folder : options.folders)
        database.AddDictionaryFolder(folder);
    database.AddSources(options.sources);
    if (options.system)
        database.AddSources(StandardSourceFolders());
    database.SetSourceCache(SourceCacheFolder());
    // Folder names are matched byte for byte, so they are taken as the shell passes them.
    database.SetOrder(SplitDictionaryOrder(options.order));
    database.Load();
    if (database.GetCount() == 0)
        return FailNoDictionary(folders);
    if (options.dicId != 0 && database.FindById(options.dicId) == nullptr)
        return Fail("no dictionary has the id " + HexId(options.dicId));
    if (options.list)
        PrintDictionaries(database, options.json);
    if (options.text)
        return PrintArticleMatches(
            database, options.dicId, *options.text, options.json, options.count);
    if (options.suggest)
        return PrintSuggestions(database, options.words, options.json);

    bool allFound = true;
    if (!options.words.empty()) {
        for (const std::string &word : options.words)
            allFound = Answer(database, options, word) && allFound;
    } else {
        for (std::string line; std::getline(std::cin, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            allFound = Answer(database, options, line) && allFound;
        }
    }
    return allFound ? EXIT_ALL_FOUND : EXIT_NOT_ALL_FOUND;
}
