#ifndef UI_STARTUP_LOAD_H
#define UI_STARTUP_LOAD_H

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>

#include "storage/Database.h"

class IniFile;
struct ProgramPaths;

// The dictionaries' load at start-up, on a thread of its own, so that the window is built while
// the indexes are read. The database reports to this object, which hands every report on to the
// observer in order and on the thread that made it: at once when the report comes from that
// thread, else inside Finish.
class StartupLoad : public IDictionaryLoadObserver
{
public:
    explicit StartupLoad(IDictionaryLoadObserver &observer);
    // Waits for a load still running.
    ~StartupLoad() override;

    // Reads the settings file, then starts loading the dictionaries in the order its DIC_ORDER
    // gives: those beside the program, those of the user's folder and the installed ones,
    // converted through the user's cache. Nothing else may use database, nor write to the log,
    // until Finish has returned.
    void Start(const ProgramPaths &paths, IniFile &settings, Database &database);
    // Hands the reports on as they come and returns once the load has ended; what the load threw
    // is thrown here.
    void Finish();

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
    void Put(Report report);
    void HandOn(const Report &report);

    IDictionaryLoadObserver &observer;
    const std::thread::id ownThread;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Report> reports;
    bool running = false;
    std::exception_ptr failure;
};

// DIC_ORDER handed to the database as the order to load in.
void ApplyDictionaryOrder(const IniFile &settings, Database &database);

#endif // UI_STARTUP_LOAD_H
