#ifndef SUPPORT_FAVOURITES_H
#define SUPPORT_FAVOURITES_H

#include <string>
#include <vector>

// The user's favourite headwords, in the order they were added, kept in a file of their own: UTF-8
// text, one headword a line, LF line ends.
//
// The file is read again before every change and written whole, atomically, so a change made
// elsewhere since is not lost. A damaged file (a line that is not UTF-8 text, or holds a control
// character, or is far too long to be a headword) counts up to its first damaged line; before it is
// first written, its bytes are kept beside it as "<file>.damaged" (numbered when that name is
// taken), so the user can recover the rest. A file that exists but cannot be read is never
// written.
class Favourites
{
public:
    explicit Favourites(std::string path);

    // Reads the file; a missing file is an empty list.
    void Load();

    const std::string &Path() const { return path; }
    const std::vector<std::string> &Words() const { return words; }
    bool Contains(const std::string &word) const;
    // Adds the word when it is not a favourite and removes it when it is, then saves. The list
    // changes even when the file cannot be written. Returns whether the word is a favourite now.
    bool Toggle(const std::string &word);
    bool Remove(const std::string &word);

    // Whether the last Load found the file damaged or unreadable.
    bool Damaged() const { return damaged; }
    // Whether the last change reached the file.
    bool Saved() const { return saved; }

    // Writes the list to another file for the user: UTF-8, one headword a line.
    bool Export(const std::string &path) const;

    static constexpr std::size_t MAX_LINE = 1024;

private:
    bool Save();

    std::string path;
    std::vector<std::string> words;
    bool damaged = false;
    bool unreadable = false;
    bool saved = true;
    // The damaged file's bytes, not yet kept aside.
    std::string damagedBytes;
};

#endif // SUPPORT_FAVOURITES_H
