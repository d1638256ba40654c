#ifndef TESTS_TEST_FOLDER_H
#define TESTS_TEST_FOLDER_H

#include <string>
#include <vector>

// A fresh temporary folder for one test, removed with everything in it when the object goes.
class TestFolder
{
public:
    TestFolder();
    TestFolder(const TestFolder &) = delete;
    TestFolder &operator=(const TestFolder &) = delete;
    ~TestFolder();

    // The folder with a trailing "/".
    const std::string &Path() const { return path; }
    // Writes bytes to Path() + relative, creating the folders on the way.
    void WriteFile(const std::string &relative, const std::string &bytes) const;
    std::string ReadFile(const std::string &relative) const;
    void MakeFolder(const std::string &relative) const;
    bool Exists(const std::string &relative) const;
    // Names of the entries in Path() + relative, sorted; empty when it is not a folder.
    std::vector<std::string> List(const std::string &relative = "") const;

private:
    std::string path;
};

// Kills the test program after a minute, so that a call blocking on a FIFO fails the run
// instead of hanging it; slow sanitizer builds on a busy machine stay well inside it.
class AlarmGuard
{
public:
    AlarmGuard();
    AlarmGuard(const AlarmGuard &) = delete;
    AlarmGuard &operator=(const AlarmGuard &) = delete;
    ~AlarmGuard();
};

// UTF-16LE bytes of an ASCII or Windows-1251 text (through the program's own conversion).
std::string Utf16le(const std::string &ansi);

#endif // TESTS_TEST_FOLDER_H
