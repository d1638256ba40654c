#include "ui/Startup_load.h"

#include <utility>

#include "storage/Installed_sources.h"
#include "support/Added_dictionaries.h"
#include "support/Dictionary_order.h"
#include "support/Ini_file.h"
#include "ui/Program_paths.h"

StartupLoad::StartupLoad(IDictionaryLoadObserver &observer)
    : observer(observer)
    , ownThread(std::this_thread::get_id())
{
}

StartupLoad::~StartupLoad()
{
    if (worker.joinable())
        worker.join();
}

void StartupLoad::Start(const ProgramPaths &paths, IniFile &settings, Database &database)
{
    settings.Load(paths.settingsFolder + "Kalvora.ini");
    if (!paths.userDicsFolder.empty())
        database.AddDictionaryFolder(paths.userDicsFolder);
    ApplyDictionaryOrder(settings, database);
    database.AddSources(StandardSourceFolders());
    database.AddSources(ReadAddedDictionaries(settings));
    database.SetSourceCache(SourceCacheFolder());
    running = true;
    worker = std::thread([this, &database] {
        std::exception_ptr thrown;
        try {
            database.Load();
        } catch (...) {
            thrown = std::current_exception();
        }
        const std::lock_guard<std::mutex> lock(mutex);
        failure = thrown;
        running = false;
        changed.notify_one();
    });
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
    if (failure)
        std::rethrow_exception(std::exchange(failure, nullptr));
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
    reports.push_back(std::move(report));
    changed.notify_one();
}

void StartupLoad::HandOn(const Report &report)
{
    if (report.loading)
        observer.OnDictionaryLoading(report.name);
    else
        observer.OnLoadProgress(report.total, report.done);
}

void ApplyDictionaryOrder(const IniFile &settings, Database &database)
{
    std::string value;
    settings.GetString("DIC_ORDER", value);
    database.SetOrder(SplitDictionaryOrder(value));
}
