#include "support/Word_history.h"

#include <algorithm>

#include "support/Code_page.h"
#include "support/Ini_file.h"

namespace {

const char *const HISTORY_KEY = "WORD_HISTORY";

} // namespace

std::string JoinWordHistory(const std::vector<std::string> &words)
{
    std::string value;
    for (std::size_t i = 0; i < words.size() && i < HISTORY_SIZE; ++i) {
        if (i > 0)
            value += '\t';
        for (const char c : words[i]) {
            switch (c) {
            case '\\':
                value += "\\\\";
                break;
            case '\t':
                value += "\\t";
                break;
            case '\r':
                value += "\\r";
                break;
            case '\n':
                value += "\\n";
                break;
            default:
                value += c;
            }
        }
    }
    return value;
}

std::vector<std::string> SplitWordHistory(const std::string &value)
{
    std::vector<std::string> words;
    std::string word;
    const auto keep = [&] {
        if (!word.empty() && IsWellFormedUtf8(word) && words.size() < HISTORY_SIZE
            && std::find(words.begin(), words.end(), word) == words.end())
            words.push_back(word);
        word.clear();
    };
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\t') {
            keep();
        } else if (c == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            word += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
        } else {
            word += c;
        }
    }
    keep();
    return words;
}

std::vector<std::string> ReadWordHistory(const IniFile &settings)
{
    std::string value;
    settings.GetString(HISTORY_KEY, value);
    return SplitWordHistory(value);
}

void SaveWordHistory(IniFile &settings, const std::vector<std::string> &words)
{
    settings.SetString(HISTORY_KEY, JoinWordHistory(words));
    settings.Save();
}
