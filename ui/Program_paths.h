#ifndef UI_PROGRAM_PATHS_H
#define UI_PROGRAM_PATHS_H

#include <string>

// Where the program keeps what it reads and writes. Every folder ends in "/".
struct ProgramPaths
{
    std::string programFolder; // holds dics/ and data/temp
    std::string settingsFolder; // holds Kalvora.ini
    std::string logFolder; // holds file.log
    std::string userDicsFolder; // further dictionary folders; empty for none
};

bool operator==(const ProgramPaths &a, const ProgramPaths &b);

// Everything beside the program when it may write there, as it always has. An installed
// program's folder (one it may not write, or any under /usr, whoever runs the program) belongs to
// the system: then the settings, the log and the user's own dictionaries live in the user's
// configuration, state and data folders, which are created.
ProgramPaths LocateProgramPaths(const std::string &programFolder, bool programFolderWritable);
bool IsWritableFolder(const std::string &folder);

// The running program's folder with a trailing "/", as QCoreApplication::applicationDirPath
// names it but known before the application object exists; empty when it cannot be told.
std::string ExecutableFolder();

// All of it in one folder.
ProgramPaths ProgramPathsIn(const std::string &programFolder);

#endif // UI_PROGRAM_PATHS_H
