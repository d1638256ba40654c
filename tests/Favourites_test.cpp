#include "support/Favourites.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tuple>

#include "Test_folder.h"

using Words = std::vector<std::string>;

namespace {

const std::string MIR = "\xD0\xBC\xD0\xB8\xD1\x80";

} // namespace

TEST(FavouritesTest, ToggleAddsAndRemovesAndKeepsTheFile)
{
    // toggled in turn, what is left, the file then
    const std::tuple<const char *, Words, Words, std::string> rows[] = {
        {"one added", {MIR}, {MIR}, MIR + "\n"},
        {"in the order added", {"b", "a"}, {"b", "a"}, "b\na\n"},
        {"toggled twice is gone", {"a", "b", "a"}, {"b"}, "b\n"},
        {"all removed", {"a", "a"}, {}, ""},
        {"spaces belong to the word", {"a b", " a"}, {"a b", " a"}, "a b\n a\n"},
    };
    for (const auto &[name, toggled, words, file] : rows) {
        TestFolder folder;
        Favourites favourites(folder.Path() + "favourites.txt");
        favourites.Load();
        for (const std::string &word : toggled)
            favourites.Toggle(word);
        EXPECT_EQ(favourites.Words(), words) << name;
        EXPECT_TRUE(favourites.Saved()) << name;
        EXPECT_EQ(folder.ReadFile("favourites.txt"), file) << name;
        Favourites restarted(folder.Path() + "favourites.txt");
        restarted.Load();
        EXPECT_EQ(restarted.Words(), words) << name;
    }
}

TEST(FavouritesTest, AChangeKeepsWhatWasWrittenElsewhereMeanwhile)
{
    TestFolder folder;
    Favourites favourites(folder.Path() + "favourites.txt");
    favourites.Load();
    favourites.Toggle("a");
    folder.WriteFile("favourites.txt", "a\nfrom elsewhere\n");
    EXPECT_TRUE(favourites.Toggle("b"));
    EXPECT_EQ(folder.ReadFile("favourites.txt"), "a\nfrom elsewhere\nb\n");
    EXPECT_TRUE(favourites.Remove("a"));
    EXPECT_FALSE(favourites.Remove("a"));
    EXPECT_EQ(folder.ReadFile("favourites.txt"), "from elsewhere\nb\n");
}

TEST(FavouritesTest, ADamagedFileIsReadAsFarAsSoundAndKeptAside)
{
    // file, the words read, the file after toggling "new"
    const std::tuple<const char *, std::string, Words, std::string> rows[] = {
        {"not UTF-8", "a\nb\xFF\nc\n", {"a"}, "a\nnew\n"},
        {"a NUL byte", std::string("a\nb\0c\nd\n", 8), {"a"}, "a\nnew\n"},
        {"a control character", "a\nb\x01\n", {"a"}, "a\nnew\n"},
        {"a line far too long", "a\n" + std::string(Favourites::MAX_LINE + 1, 'x') + "\nb\n", {"a"},
            "a\nnew\n"},
        {"damaged on the first line", "\xC0\xAF\na\n", {}, "new\n"},
    };
    for (const auto &[name, bytes, words, file] : rows) {
        TestFolder folder;
        folder.WriteFile("favourites.txt", bytes);
        Favourites favourites(folder.Path() + "favourites.txt");
        favourites.Load();
        EXPECT_TRUE(favourites.Damaged()) << name;
        EXPECT_EQ(favourites.Words(), words) << name;
        // Reading writes nothing.
        EXPECT_EQ(folder.List(), Words{"favourites.txt"}) << name;
        favourites.Toggle("new");
        EXPECT_EQ(folder.ReadFile("favourites.txt"), file) << name;
        EXPECT_EQ(folder.ReadFile("favourites.txt.damaged"), bytes) << name;
    }
}

TEST(FavouritesTest, EarlierDamagedCopiesAreNeverReplaced)
{
    TestFolder folder;
    folder.WriteFile("favourites.txt.damaged", "first");
    folder.WriteFile("favourites.txt", "second\xFF");
    Favourites favourites(folder.Path() + "favourites.txt");
    favourites.Toggle("a");
    folder.WriteFile("favourites.txt", "third\xFF");
    favourites.Toggle("a");
    EXPECT_EQ(folder.ReadFile("favourites.txt.damaged"), "first");
    EXPECT_EQ(folder.ReadFile("favourites.txt.damaged.1"), "second\xFF");
    EXPECT_EQ(folder.ReadFile("favourites.txt.damaged.2"), "third\xFF");
    EXPECT_EQ(folder.ReadFile("favourites.txt"), "a\n");
}

TEST(FavouritesTest, AFileThatCannotBeReadIsNeverWritten)
{
    TestFolder folder;
    folder.MakeFolder("favourites.txt");
    Favourites favourites(folder.Path() + "favourites.txt");
    favourites.Load();
    EXPECT_TRUE(favourites.Damaged());
    EXPECT_TRUE(favourites.Toggle("a"));
    EXPECT_FALSE(favourites.Saved());
    EXPECT_EQ(favourites.Words(), Words{"a"});
    EXPECT_EQ(folder.List(), Words{"favourites.txt"});
}

TEST(FavouritesTest, ExportsUtf8Lines)
{
    TestFolder folder;
    folder.WriteFile("favourites.txt", MIR + "\r\nb\n\n" + MIR + "\n");
    Favourites favourites(folder.Path() + "favourites.txt");
    favourites.Load();
    EXPECT_FALSE(favourites.Damaged());
    ASSERT_TRUE(favourites.Export(folder.Path() + "list.txt"));
    EXPECT_EQ(folder.ReadFile("list.txt"), MIR + "\nb\n");
    EXPECT_FALSE(favourites.Export(folder.Path() + "missing/list.txt"));
}
