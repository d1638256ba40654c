#ifndef TOOLS_LOOKUP_OPTIONS_H
#define TOOLS_LOOKUP_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a kalvora-lookup command line asks for.
struct LookupOptions
{
    enum class Action
    {
        Lookup,
        Help,
        Version
    };

    Action action = Action::Lookup;
    std::string order; // "a;b;c;", folder names loaded first
    std::uint32_t dicId = 0; // 0: every dictionary
    bool article = false;
    bool list = false;
    bool all = false; // every dictionary's exact match, not just the best answer
    bool json = false;
    bool lines = false; // keep the articles' line breaks instead of writing spaces
    std::optional<std::string> text; // a phrase to find inside the articles instead
    bool count = false; // with text: only how many records each dictionary has
    bool suggest = false; // what each word may stand for, instead of the one answer

    std::string logPath;
    std::string dics; // the first folder of dictionary folders; may be empty with sources
    std::vector<std::string> sources; // installed dictionaries: .index, .ifo or folders
    bool system = false; // the installed dictionaries of the standard folders
    std::vector<std::string> folders; // further ones, loaded after dics
    // Words given after DICS; when there are none, words are read from standard input.
    std::vector<std::string> words;
};

// Fills options from the arguments after the program's name. Returns an empty text when the
// command line is complete, else the reason it is not. --help and --version win over anything
// else on the line, so that they work whatever else was typed.
std::string ParseLookupOptions(const std::vector<std::string> &arguments, LookupOptions &options);

// The usage line and one line per option, for --help and after a usage error.
extern const char LOOKUP_USAGE[];
extern const char LOOKUP_HELP[];

#endif // TOOLS_LOOKUP_OPTIONS_H
