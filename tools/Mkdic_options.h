#ifndef TOOLS_MKDIC_OPTIONS_H
#define TOOLS_MKDIC_OPTIONS_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Mkdic_builder.h"
#include "storage/Source_reader.h"

// What a kalvora-mkdic command line asks for.
struct MkdicOptions
{
    enum class Action
    {
        Make,
        Help,
        Version
    };

    Action action = Action::Make;
    std::uint32_t id = 0;
    std::string category; // EXP and ENC in capitals, whatever case they were typed in
    std::string shortName;
    std::optional<std::string> longName;
    std::optional<std::string> source;
    std::string version = "1.0";
    std::optional<SourceFormat> format; // from the input's name when not given
    TextEncoding encoding = TextEncoding::Auto;
    // Of the dictionary written; none: Windows-1251 when every character fits, else UTF-8.
    std::optional<DictionaryEncoding> dictionaryEncoding;
    Duplicates duplicates = Duplicates::Merge;
    bool force = false; // replace an existing dictionary folder
    bool forceId = false; // allow an id that an installed dictionary already has
    std::string reportPath; // empty: no report of single entries
    std::string input;
    std::string output;
};

// Fills options from the arguments after the program's name. Returns an empty text when the
// command line is complete, else the reason it is not. --help and --version win over anything
// else on the line.
std::string ParseMkdicOptions(const std::vector<std::string> &arguments, MkdicOptions &options);

extern const char MKDIC_USAGE[];
extern const char MKDIC_HELP[];

#endif // TOOLS_MKDIC_OPTIONS_H
