#include "ui/Startup_load.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

#include "Dictionary_fixture.h"
#include "Test_folder.h"
#include "support/Ini_file.h"
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
