#include "ui/Startup_load.h"

#include <utility>

#include "storage/Installed_sources.h"
#include "support/Added_dictionaries.h"
#include "support/Dictionary_order.h"
#include "support/Log_file.h"

namespace {

void Prepare(const ProgramPaths &paths, IniFile &settings, Database &database)
{
    settings.Load(paths.settingsFolder + "Kalvora.ini");
    if (!paths.userDicsFolder.empty())
        database.AddDictionaryFolder(paths.userDicsFolder);
    ApplyDictionaryOrder(settings, database);
    database.AddSources(StandardSourceFolders());
    database.AddSources(ReadAddedDictionaries(settings));
    database.SetSourceCache(SourceCacheFolder());
}

} // namespace

StartupLoad::StartupLoad(IDictionaryLoadObserver &observer)
    : StartupLoad()
{
    this->observer = &observer;
}

StartupLoad::StartupLoad()
    : ownThread(std::this_thread::get_id())
{
}

StartupLoad::~StartupLoad()
{
    Abandon();
}

void StartupLoad::SetObserver(IDictionaryLoadObserver &observer)
{
    this->observer = &observer;
}

void StartupLoad::Start(const ProgramPaths &paths, IniFile &settings, Database &database)
{
    Prepare(paths, settings, database);
    settingsRead = true;
    Run(database, nullptr);
}

void StartupLoad::StartAhead(
    const ProgramPaths &paths, IniFile &settings, Database &database, std::function<void()> first)
{
    holdsLog = true;
    programFolder = paths.programFolder;
    aheadDatabase = &database;
    logFile.HoldOtherThreads();
    Run(database, [paths, &settings, &database, first] {
        if (first)
            first();
        Prepare(paths, settings, database);
    });
}

void StartupLoad::Run(Database &database, const std::function<void()> &prepare)
{
    running = true;
    try {
        worker = std::thread([this, &database, prepare] {
            std::exception_ptr thrown;
            try {
                if (prepare) {
                    prepare();
                    const std::lock_guard<std::mutex> lock(mutex);
                    settingsRead = true;
                    changed.notify_all();
                }
                database.Load();
            } catch (...) {
                thrown = std::current_exception();
            }
            const std::lock_guard<std::mutex> lock(mutex);
            failure = thrown;
            running = false;
            changed.notify_all();
        });
    } catch (...) {
        running = false;
        Abandon();
        throw;
    }
}

void StartupLoad::AwaitSettings()
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return settingsRead || !running; });
}

void StartupLoad::Finish()
{
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [this] { return !reports.empty() || !running; });
        if (reports.empty())
            break;
        const Report report = std::move(reports.front());
        reports.pop_front();
        // The observer paints; the load goes on meanwhile.
        lock.unlock();
        HandOn(report);
    }
    if (worker.joinable())
        worker.join();
    if (std::exchange(holdsLog, false))
        logFile.Release();
    if (aheadDatabase)
        std::exchange(aheadDatabase, nullptr)->TakeProgramFolder(programFolder);
    if (failure)
        std::rethrow_exception(std::exchange(failure, nullptr));
}

void StartupLoad::Abandon()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    if (worker.joinable())
        worker.join();
    reports.clear();
    failure = nullptr;
    if (std::exchange(holdsLog, false))
        logFile.Discard();
    aheadDatabase = nullptr;
}

void StartupLoad::OnDictionaryLoading(std::string name)
{
    Put({true, std::move(name), 0, 0});
}

void StartupLoad::OnLoadProgress(std::int32_t total, std::int32_t done)
{
    Put({false, std::string(), total, done});
}

void StartupLoad::Put(Report report)
{
    if (std::this_thread::get_id() == ownThread) {
        HandOn(report);
        return;
    }
    const std::lock_guard<std::mutex> lock(mutex);
    // Database::Load has nothing to undo: the abandoned database goes unused.
    if (stopping)
        throw Stopped();
    reports.push_back(std::move(report));
    changed.notify_all();
}

void StartupLoad::HandOn(const Report &report)
{
    if (!observer)
        return;
    if (report.loading)
        observer->OnDictionaryLoading(report.name);
    else
        observer->OnLoadProgress(report.total, report.done);
}

void ApplyDictionaryOrder(const IniFile &settings, Database &database)
{
    std::string value;
    settings.GetString("DIC_ORDER", value);
    database.SetOrder(SplitDictionaryOrder(value));
}

void LoadAhead::Abandon()
{
    startup.reset();
    database.reset();
    settings.reset();
}

LoadAhead StartLoadAhead(const ProgramPaths &paths, std::function<void()> first)
{
    LoadAhead ahead;
    ahead.paths = paths;
    ahead.settings = std::make_unique<IniFile>();
    ahead.startup = std::make_unique<StartupLoad>();
    std::string folder = paths.programFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    // The same folder scanned, without the program folder the window cleans: this process may
    // still hand its word to a running window whose folder it is.
    ahead.database =
        std::make_unique<Database>(std::string(), ahead.startup.get(), folder + "dics");
    ahead.startup->StartAhead(ahead.paths, *ahead.settings, *ahead.database, std::move(first));
    return ahead;
}
