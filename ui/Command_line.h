#ifndef UI_COMMAND_LINE_H
#define UI_COMMAND_LINE_H

#include <string>

// What the window program was asked to do. Read before the application object exists, so that
// --help and --version need no display.
struct CommandLine
{
    enum class Action
    {
        Window, // show the window, then look word up when it is not empty
        Help,
        Version,
        Error, // error says what was wrong
    };
    Action action = Action::Window;
    std::string word; // the arguments joined by single spaces, as the terminal gave them
    bool selection = false; // look up the text selected in any program instead of word
    bool popup = false; // show the selected text's article in a popup; implies selection
    std::string error;
};

CommandLine ParseCommandLine(int argc, const char *const *argv);

// The usage lines, after a usage error.
std::string WindowUsage();
// The usage lines and what the options do, for --help.
std::string WindowHelp();

#endif // UI_COMMAND_LINE_H
