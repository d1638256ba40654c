#ifndef UI_STARTUP_LOAD_H
#define UI_STARTUP_LOAD_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "storage/Database.h"
#include "support/Ini_file.h"
#include "ui/Program_paths.h"

// The dictionaries' load at start-up, on a thread of its own, so that the window is built while
// the indexes are read. The database reports to this object, which hands every report on to the
// observer in order and on the thread that made it: at once when the report comes from that
// thread, else inside Finish.
class StartupLoad : public IDictionaryLoadObserver
{
public:
    explicit StartupLoad(IDictionaryLoadObserver &observer);
    // The observer is given later, before Finish.
    StartupLoad();
    // Abandons a load still running.
    ~StartupLoad() override;

    void SetObserver(IDictionaryLoadObserver &observer);

    // Reads the settings file, then starts loading the dictionaries in the order its DIC_ORDER
    // gives: those beside the program, those of the user's folder and the installed ones,
    // converted through the user's cache. Nothing else may use database, nor write to the log,
    // until Finish has returned.
    void Start(const ProgramPaths &paths, IniFile &settings, Database &database);
    // The same for a load started before it is known whether this process is the window: the
    // settings file too is read on the load's thread, the log holds the load's records back until
    // Finish writes them, and database, made with the dictionary folder alone, is given the
    // program folder (and so its temporary folder) only then.
    // first, when given, runs on the load's thread before anything else.
    void StartAhead(const ProgramPaths &paths, IniFile &settings, Database &database,
        std::function<void()> first = nullptr);
    // Returns once settings has been read, or the load has ended.
    void AwaitSettings();
    // Hands the reports on as they come and returns once the load has ended; what the load threw
    // is thrown here.
    void Finish();
    // Stops the load at its next report and waits for it; the log drops what it held for it.
    void Abandon();

    void OnDictionaryLoading(std::string name) override;
    void OnLoadProgress(std::int32_t total, std::int32_t done) override;

private:
    struct Report
    {
        bool loading; // OnDictionaryLoading rather than OnLoadProgress
        std::string name;
        std::int32_t total;
        std::int32_t done;
    };
    struct Stopped
    {
    };
    void Run(Database &database, const std::function<void()> &prepare);
    void Put(Report report);
    void HandOn(const Report &report);

    IDictionaryLoadObserver *observer = nullptr;
    const std::thread::id ownThread;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Report> reports;
    bool running = false;
    bool settingsRead = false;
    bool stopping = false;
    std::exception_ptr failure;
    // Set for a load started ahead: the log it holds, and the folder its database takes at the end.
    bool holdsLog = false;
    std::string programFolder;
    Database *aheadDatabase = nullptr;
};

// A load started in main before the application object exists, handed to the main window once
// this process turns out to be the window; destroyed unused, it is abandoned.
struct LoadAhead
{
    ProgramPaths paths;
    std::unique_ptr<IniFile> settings;
    std::unique_ptr<Database> database;
    std::unique_ptr<StartupLoad> startup; // the last member: it goes first and stops the load

    void Abandon();
};

LoadAhead StartLoadAhead(const ProgramPaths &paths, std::function<void()> first = nullptr);

// DIC_ORDER handed to the database as the order to load in.
void ApplyDictionaryOrder(const IniFile &settings, Database &database);

#endif // UI_STARTUP_LOAD_H
