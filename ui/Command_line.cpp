#include "ui/Command_line.h"

#include <utility>

namespace {

const char USAGE[] = "usage: kalvora [WORD...]\n"
                     "       kalvora --selection\n"
                     "       kalvora --popup\n"
                     "       kalvora --help | --version\n";

const char DESCRIPTION[] =
    "\n"
    "Shows the Kalvora window and looks WORD up in all dictionaries, as if it had been typed\n"
    "and Enter pressed; several words are looked up together, separated by spaces. When Kalvora\n"
    "already runs in this session, its window is shown and does the lookup instead, and this\n"
    "start ends at once.\n"
    "\n"
    "  --selection  look up the text selected in any program (the primary selection, else the\n"
    "               clipboard), without blanks and punctuation at its ends; the window is only\n"
    "               shown when the program holding it does not answer within 2 seconds\n"
    "  --popup      show the selected text's article in a small window near the pointer\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the version and exit\n"
    "  --           end of options: what follows is a word even when it starts with '-'\n"
    "\n"
    "Exit status: 0 when the window ran or the running one took the request; 1 when the\n"
    "running Kalvora did not answer within 5 seconds; 2 on a usage error.\n";

CommandLine Fail(std::string message)
{
    CommandLine line;
    line.action = CommandLine::Action::Error;
    line.error = std::move(message);
    return line;
}

} // namespace

std::string WindowUsage()
{
    return USAGE;
}

std::string WindowHelp()
{
    return std::string(USAGE) + DESCRIPTION;
}

CommandLine ParseCommandLine(int argc, const char *const *argv)
{
    CommandLine line;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "--help" || argument == "-h")) {
            line.action = CommandLine::Action::Help;
            return line;
        } else if (options && argument == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        } else if (options && argument == "--selection") {
            line.selection = true;
        } else if (options && argument == "--popup") {
            line.popup = true;
            line.selection = true;
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            return Fail("unknown option " + argument);
        } else {
            line.word += (line.word.empty() ? "" : " ") + argument;
        }
    }
    if (line.selection && !line.word.empty())
        return Fail(line.popup ? "--popup takes no word" : "--selection takes no word");
    return line;
}
