#include "ui/Startup_load.h"

#include <string>

#include "storage/Database.h"
#include "storage/Installed_sources.h"
#include "support/Added_dictionaries.h"
#include "support/Dictionary_order.h"
#include "support/Ini_file.h"
#include "ui/Program_paths.h"

void LoadAtStart(const ProgramPaths &paths, IniFile &settings, Database &database)
{
    settings.Load(paths.settingsFolder + "Kalvora.ini");
    if (!paths.userDicsFolder.empty())
        database.AddDictionaryFolder(paths.userDicsFolder);
    ApplyDictionaryOrder(settings, database);
    database.AddSources(StandardSourceFolders());
    database.AddSources(ReadAddedDictionaries(settings));
    database.SetSourceCache(SourceCacheFolder());
    database.Load();
}

void ApplyDictionaryOrder(const IniFile &settings, Database &database)
{
    std::string value;
    settings.GetString("DIC_ORDER", value);
    database.SetOrder(SplitDictionaryOrder(value));
}
