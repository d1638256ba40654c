#ifndef UI_STARTUP_LOAD_H
#define UI_STARTUP_LOAD_H

class Database;
class IniFile;
struct ProgramPaths;

// Reads the settings file, then loads the dictionaries in the order its DIC_ORDER gives: those
// beside the program, those of the user's folder and the installed ones, converted through the
// user's cache.
void LoadAtStart(const ProgramPaths &paths, IniFile &settings, Database &database);

// DIC_ORDER handed to the database as the order to load in.
void ApplyDictionaryOrder(const IniFile &settings, Database &database);

#endif // UI_STARTUP_LOAD_H
