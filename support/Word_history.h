#ifndef SUPPORT_WORD_HISTORY_H
#define SUPPORT_WORD_HISTORY_H

#include <cstddef>
#include <string>
#include <vector>

class IniFile;

// The search field's drop-down history, newest first, kept in the settings under one key that
// older versions ignore. Words are UTF-8.
constexpr std::size_t HISTORY_SIZE = 30;

// The kept words: empty ones, ones that are not UTF-8, repeats and any beyond HISTORY_SIZE are
// left out. Nothing kept gives an empty list.
std::vector<std::string> ReadWordHistory(const IniFile &settings);
// Puts the words (at most HISTORY_SIZE of them) into the settings and saves the file at once, so
// that a program killed a moment later has lost nothing.
void SaveWordHistory(IniFile &settings, const std::vector<std::string> &words);

// One settings value: the words separated by tabs, with "\\", "\t", "\r" and "\n" standing for a
// backslash, a tab, CR and LF inside a word, so that no value breaks the file's lines.
std::string JoinWordHistory(const std::vector<std::string> &words);
std::vector<std::string> SplitWordHistory(const std::string &value);

#endif // SUPPORT_WORD_HISTORY_H
