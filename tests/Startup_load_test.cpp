#include "ui/Startup_load.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "support/Ini_file.h"
#include "support/Log_file.h"
#include "ui/Program_paths.h"

namespace {

// What the load reports, and whether each report came on the test's own thread.
class Recorder : public IDictionaryLoadObserver
{
public:
    void OnDictionaryLoading(std::string name) override { Record("loading " + name); }
    void OnLoadProgress(std::int32_t total, std::int32_t done) override
    {
        Record("progress " + std::to_string(total) + " " + std::to_string(done));
    }
    std::vector<std::string> calls;

private:
    void Record(const std::string &call)
    {
        calls.push_back(std::this_thread::get_id() == ownThread ? call : call + " elsewhere");
    }
    const std::thread::id ownThread = std::this_thread::get_id();
};

// The log without its times, which differ from run to run.
std::string Untimed(const std::string &text)
{
    std::string lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const std::size_t space = text.find(' ', start);
        lines += text.substr(space + 1, end - space);
        start = end + 1;
    }
    return lines;
}

// What a window started as today writes: the log created, then the load's records.
void LogCreated(const std::string &path)
{
    logFile.Open(path);
    logFile.WriteHeader(LOG_INFO, "TForm1::TForm1");
    logFile.Printf("Log created");
}

} // namespace

TEST(StartupLoadTest, HandsOnWhatADirectLoadReportsInOrderOnItsOwnThread)
{
    TestFolder folder;
    for (const char *name : {"a", "b", "c"})
        WriteDictionary(folder, {name, std::string("1") + name, "EXP", name, {{"A", "a"}}});
    folder.WriteFile("Kalvora.ini", "DIC_ORDER=c;a;\r\n");

    Recorder direct;
    IniFile settings;
    Database expected(folder.Path(), &direct);
    settings.Load(folder.Path() + "Kalvora.ini");
    ApplyDictionaryOrder(settings, expected);
    expected.Load();

    Recorder relayed;
    StartupLoad startup(relayed);
    Database loaded(folder.Path(), &startup);
    IniFile read;
    startup.Start(ProgramPathsIn(folder.Path()), read, loaded);
    startup.Finish();

    EXPECT_EQ(relayed.calls, direct.calls);
    EXPECT_EQ(relayed.calls.size(), 7u);
    ASSERT_EQ(loaded.GetCount(), 3);
    EXPECT_EQ(loaded.GetDictionary(0)->GetAttributes().shortName, "c");
}

TEST(StartupLoadTest, ALoadAheadLogsAndCleansOnlyForTheWindow)
{
    for (const bool window : {true, false}) {
        TestFolder folder;
        for (const char *name : {"a", "b"})
            WriteDictionary(folder, {name, std::string("1") + name, "EXP", name, {{"A", "a"}}});
        folder.WriteFile("Kalvora.ini", "DIC_ORDER=b;a;\r\n");
        const ProgramPaths paths = ProgramPathsIn(folder.Path());

        Recorder direct;
        {
            LogCreated(folder.Path() + "direct.log");
            StartupLoad startup(direct);
            Database database(folder.Path(), &startup);
            IniFile settings;
            startup.Start(paths, settings, database);
            startup.Finish();
        }
        folder.WriteFile("data/temp/kept", "");

        LoadAhead ahead = StartLoadAhead(paths);
        LogCreated(folder.Path() + "file.log");
        Recorder relayed;
        if (window) {
            ahead.startup->SetObserver(relayed);
            ahead.startup->AwaitSettings();
            std::string order;
            ahead.settings->GetString("DIC_ORDER", order);
            EXPECT_EQ(order, "b;a;");
            ahead.startup->Finish();
            ASSERT_EQ(ahead.database->GetCount(), 2);
            EXPECT_EQ(ahead.database->GetDictionary(0)->GetAttributes().shortName, "b");
        } else {
            ahead.Abandon();
        }
        logFile.Open(std::string());
        const std::string log = Untimed(folder.ReadFile("file.log"));
        EXPECT_EQ(log,
            window ? Untimed(folder.ReadFile("direct.log")) : "(I) [TForm1::TForm1] Log created\n");
        EXPECT_EQ(relayed.calls, window ? direct.calls : std::vector<std::string>());
        // The temporary folder is the window's: a start that hands its word over leaves it.
        EXPECT_EQ(folder.Exists("data/temp"), !window);
    }
}
