#include "Lookup_options.h"

#include <sys/stat.h>

#include "Dictionary_id.h"

const char LOOKUP_USAGE[] = "usage: kalvora-lookup [OPTION...] DICS [WORD...]\n"
                            "       kalvora-lookup [OPTION...] {--source PATH | --system}... "
                            "[DICS] [WORD...]";

const char LOOKUP_HELP[] =
    "Looks words up in the dictionaries of the folder DICS (a folder holding dictionary\n"
    "folders, such as the program's dics folder). Each WORD is answered in turn; without\n"
    "words, one query is read from each line of standard input.\n"
    "\n"
    "  --folder FOLDER   also load the dictionaries of FOLDER, after those of DICS (repeatable)\n"
    "  --source PATH     also read an installed dictd (.index) or StarDict (.ifo) dictionary,\n"
    "                    or those of a folder and its subfolders (repeatable)\n"
    "  --system          also read the installed dictionaries of the standard folders, or of\n"
    "                    KALVORA_DICTIONARY_PATH when it is set\n"
    "  --order \"a;b;\"    consult the named dictionary folders first, in this order\n"
    "  --dic HEXID       search only the dictionary with this id\n"
    "  --article         add the article to each answer\n"
    "  --lines           keep the article's line breaks: as U+2028 in tab-separated answers\n"
    "                    (an answer stays one line), as \\n in JSON; without it they are spaces\n"
    "  --all             answer with every dictionary's exact match, in search order\n"
    "  --json            one JSON object per answer instead of tab-separated fields\n"
    "  --list            list the loaded dictionaries before the answers\n"
    "  --text PHRASE     print every record whose article holds PHRASE, letter case aside:\n"
    "                    dictionary id, word index, headword, excerpt (an article that\n"
    "                    several headwords share once, its headwords joined by \", \"); exit\n"
    "                    status 0 when something was found, 1 when nothing was\n"
    "  --count           with --text, print only how many records each dictionary has:\n"
    "                    its id, TAB, the count, one line per dictionary searched\n"
    "  --suggest         one line per word: the word, then up to 10 headwords it may stand\n"
    "                    for, best first (exact, inflected form, without accents, misspelt,\n"
    "                    or matching * and ?); with --json, an object with query and\n"
    "                    suggestions (headword, id, index, kind); exit status 0 when every\n"
    "                    word got a suggestion, 1 when some did not\n"
    "  --log FILE        write the program's log of the loading to FILE\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n"
    "\n"
    "With --source or --system, DICS may be left out: the first argument is DICS only when\n"
    "it names a folder.\n"
    "Answer fields: found (1/0), dictionary id, word index, matched length (-1 exact),\n"
    "headword [, article] [, short name with --all]. On a terminal, control characters\n"
    "in a text are shown as \\e (ESC) or \\xNN, and a backslash as \\\\.\n"
    "Exit status: 0 every word found exactly, 1 some word not, 2 a usage error or no\n"
    "dictionary loaded.\n";

namespace {

using Apply = std::string (*)(LookupOptions &, const std::string &);

struct OptionRule
{
    const char *name;
    bool takesValue;
    Apply apply;
};

// One row per option; a new option is one more row.
const OptionRule RULES[] = {
    {"--order", true,
        [](LookupOptions &o, const std::string &value) {
            o.order = value;
            return std::string();
        }},
    {"--dic", true,
        [](LookupOptions &o, const std::string &value) {
            const auto id = ParseDictionaryId(value);
            if (!id)
                return "--dic needs a non-zero hexadecimal id, not \"" + value + "\"";
            o.dicId = *id;
            return std::string();
        }},
    {"--log", true,
        [](LookupOptions &o, const std::string &value) {
            o.logPath = value;
            return std::string();
        }},
    {"--folder", true,
        [](LookupOptions &o, const std::string &value) {
            o.folders.push_back(value);
            return std::string();
        }},
    {"--source", true,
        [](LookupOptions &o, const std::string &value) {
            o.sources.push_back(value);
            return std::string();
        }},
    {"--system", false,
        [](LookupOptions &o, const std::string &) {
            o.system = true;
            return std::string();
        }},
    {"--text", true,
        [](LookupOptions &o, const std::string &value) {
            // Every article holds the empty phrase: a search for it is a slip, not a question.
            if (value.empty())
                return std::string("--text needs a phrase, not an empty text");
            o.text = value;
            return std::string();
        }},
    {"--count", false,
        [](LookupOptions &o, const std::string &) {
            o.count = true;
            return std::string();
        }},
    {"--article", false,
        [](LookupOptions &o, const std::string &) {
            o.article = true;
            return std::string();
        }},
    {"--lines", false,
        [](LookupOptions &o, const std::string &) {
            o.lines = true;
            return std::string();
        }},
    {"--list", false,
        [](LookupOptions &o, const std::string &) {
            o.list = true;
            return std::string();
        }},
    {"--all", false,
        [](LookupOptions &o, const std::string &) {
            o.all = true;
            return std::string();
        }},
    {"--suggest", false,
        [](LookupOptions &o, const std::string &) {
            o.suggest = true;
            return std::string();
        }},
    {"--json", false,
        [](LookupOptions &o, const std::string &) {
            o.json = true;
            return std::string();
        }},
};

const OptionRule *FindRule(const std::string &name)
{
    for (const OptionRule &rule : RULES)
        if (name == rule.name)
            return &rule;
    return nullptr;
}

} // namespace

std::string ParseLookupOptions(const std::vector<std::string> &arguments, LookupOptions &options)
{
    options = LookupOptions();
    for (const std::string &argument : arguments) {
        if (argument == "--")
            break;
        if (argument == "--help" || argument == "--version") {
            options.action =
                argument == "--help" ? LookupOptions::Action::Help : LookupOptions::Action::Version;
            return std::string();
        }
    }

    bool optionsEnded = false;
    bool haveDics = false;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        // A lone "-" is a word, as is anything after "--" (a word that starts with "-").
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
            continue;
        }
        const OptionRule *rule = FindRule(argument);
        if (!rule)
            return "unknown option " + argument;
        std::string value;
        if (rule->takesValue) {
            if (i + 1 >= arguments.size())
                return argument + " needs a value";
            value = arguments[++i];
        }
        const std::string error = rule->apply(options, value);
        if (!error.empty())
            return error;
    }
    // Installed dictionaries need no DICS; a first argument that names a folder still is one.
    const bool sources = options.system || !options.sources.empty();
    struct stat info;
    haveDics = !positional.empty()
        && (!sources || (stat(positional[0].c_str(), &info) == 0 && S_ISDIR(info.st_mode)));
    if (haveDics)
        options.dics = positional[0];
    options.words.assign(positional.begin() + (haveDics ? 1 : 0), positional.end());
    if (!haveDics && !sources)
        return "no dictionary folder given";
    if (options.count && !options.text)
        return "--count goes with --text";
    return std::string();
}
