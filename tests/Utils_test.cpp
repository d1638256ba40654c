#include "support/Utils.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <tuple>
#include <unistd.h>

#include "Test_folder.h"
#include "support/User_folders.h"

TEST(ErrorTextTest, JoinsCodeTextPlaceAndLine)
{
    const std::tuple<const char *, VoException, std::string> rows[] = {
        {"not found", {"Dictionary::LoadIndexFile", 461, RC_NOT_FOUND},
            "Not found, Dictionary::LoadIndexFile, 461"},
        {"data corrupt", {"Dictionary::LoadAttributes", 397, RC_DATA_CORRUPT},
            "Data corrupt, Dictionary::LoadAttributes, 397"},
        {"success", {"X", 0, RC_SUCCESS}, "Success, X, 0"},
        {"write failed", {"X", 1, RC_WRITE_FAILED}, "Failed to write, X, 1"},
        {"negative line", {"X", -12, RC_NOT_FOUND}, "Not found, X, -12"},
        {"unknown code", {"Dictionary::Load", 5, 7}, ", Dictionary::Load, 5"},
        {"largest code", {"", 2147483647, 255}, ", , 2147483647"},
    };
    for (const auto &[name, exception, text] : rows)
        EXPECT_EQ(ErrorText(exception), text) << name;
}

TEST(ToUpperTest, ChangesLatinAndCyrillicLettersOnly)
{
    std::string smallCyrillic, capitalCyrillic, untouched;
    for (int c = 0xE0; c <= 0xFF; ++c) {
        smallCyrillic += static_cast<char>(c);
        capitalCyrillic += static_cast<char>(c - 0x20);
    }
    for (int c = 0x80; c <= 0xBF; ++c)
        untouched += static_cast<char>(c);

    const std::tuple<const char *, std::string, std::string> rows[] = {
        {"latin", "word z", "WORD Z"},
        {"cyrillic a-ya", smallCyrillic, capitalCyrillic},
        {"capitals kept", "ABC\xC0\xDF", "ABC\xC0\xDF"},
        {"yo unchanged", "\xB8\xA8", "\xB8\xA8"},
        {"bytes 0x80-0xBF unchanged", untouched, untouched},
        {"digits and punctuation", "0-9 {}`~@[", "0-9 {}`~@["},
        {"empty", "", ""},
        {"embedded zero", std::string("a\0b", 3), std::string("A\0B", 3)},
    };
    for (const auto &[name, in, out] : rows)
        EXPECT_EQ(ToUpper(in), out) << name;
}

TEST(RemoveFolderTest, RemovesPlainFilesAndTheFolderWhateverItsEnding)
{
    const char *const endings[] = {"", "/", "\\", "//"};
    for (const char *ending : endings) {
        TestFolder root;
        root.WriteFile("temp/a.txt", "a");
        root.WriteFile("temp/.hidden", "b");
        root.WriteFile("temp/empty", "");
        RemoveFolder(root.Path() + "temp" + ending);
        EXPECT_FALSE(root.Exists("temp")) << '"' << ending << '"';
    }
}

TEST(RemoveFolderTest, MissingFolderIsPassedOver)
{
    TestFolder root;
    RemoveFolder(root.Path() + "missing");
    RemoveFolder(root.Path() + "missing/");
    RemoveFolder("");
    EXPECT_TRUE(root.List().empty());
}

TEST(RemoveFolderTest, KeepsSubfoldersAndLinksAndWhatTheyReach)
{
    TestFolder root;
    root.WriteFile("outside.txt", "keep me");
    root.WriteFile("temp/plain.txt", "x");
    root.WriteFile("temp/sub/inner.txt", "inner");
    ASSERT_EQ(
        symlink((root.Path() + "outside.txt").c_str(), (root.Path() + "temp/link").c_str()), 0);
    ASSERT_EQ(
        symlink((root.Path() + "temp/sub").c_str(), (root.Path() + "temp/dirlink").c_str()), 0);

    RemoveFolder(root.Path() + "temp");

    EXPECT_EQ(root.List("temp"), (std::vector<std::string>{"dirlink", "link", "sub"}));
    EXPECT_EQ(root.ReadFile("temp/sub/inner.txt"), "inner");
    EXPECT_EQ(root.ReadFile("outside.txt"), "keep me");
}

TEST(RemoveFolderTest, FolderThatIsALinkIsNotFollowed)
{
    const char *const endings[] = {"", "/", "//"};
    for (const char *ending : endings) {
        TestFolder root;
        root.WriteFile("elsewhere/precious.txt", "keep me");
        ASSERT_EQ(symlink((root.Path() + "elsewhere").c_str(), (root.Path() + "temp").c_str()), 0);

        RemoveFolder(root.Path() + "temp" + ending);

        EXPECT_EQ(root.ReadFile("elsewhere/precious.txt"), "keep me") << '"' << ending << '"';
        EXPECT_EQ(root.List(), (std::vector<std::string>{"elsewhere", "temp"})) << ending;
    }
}

TEST(RemoveFolderTest, PathThatIsAFileIsLeftAlone)
{
    TestFolder root;
    root.WriteFile("file", "data");
    RemoveFolder(root.Path() + "file");
    EXPECT_EQ(root.ReadFile("file"), "data");
}

// The base directories' rule for each folder: the variable when it is an absolute path, else
// under the home folder; a relative variable or home counts as unset.
TEST(UserFoldersTest, VariableWhenAbsoluteElseUnderTheHomeFolder)
{
    TestFolder home;
    const std::string root = home.Path().substr(0, home.Path().size() - 1);
    // name, HOME, XDG_DATA_HOME, XDG_CACHE_HOME, data folder, cache folder
    const std::tuple<const char *, const char *, const char *, const char *, std::string,
        std::string>
        rows[] = {
            {"both set", "/h", "/d/", "/c", "/d", "/c"},
            {"neither set", "/h", nullptr, nullptr, "/h/.local/share", "/h/.cache"},
            {"relative values", "/h", "d", "c", "/h/.local/share", "/h/.cache"},
            {"empty values", "/h", "", "", "/h/.local/share", "/h/.cache"},
            {"dots resolved", "/h/x/..", "/d/./e", nullptr, "/d/e", "/h/.cache"},
            {"a real folder", root.c_str(), nullptr, nullptr, root + "/.local/share",
                root + "/.cache"},
        };
    const auto Set = [](const char *variable, const char *value) {
        if (value)
            setenv(variable, value, 1);
        else
            unsetenv(variable);
    };
    const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    for (const auto &[name, homeValue, data, cache, dataFolder, cacheFolder] : rows) {
        Set("HOME", homeValue);
        Set("XDG_DATA_HOME", data);
        Set("XDG_CACHE_HOME", cache);
        EXPECT_EQ(UserDataFolder(), dataFolder) << name;
        EXPECT_EQ(UserCacheFolder(), cacheFolder) << name;
    }
    setenv("HOME", savedHome.c_str(), 1);
}
