#include "lookup/Patterns.h"

#include "lookup/Folding.h"
#include "lookup/Spelling.h"

namespace {

constexpr char32_t ANY_ONE = '?';
constexpr char32_t ANY_RUN = '*';

} // namespace

bool IsPattern(std::string_view word)
{
    return word.find_first_of("*?") != std::string_view::npos;
}

WordPattern::WordPattern(std::string_view word)
{
    const std::u32string text = DecodeText(word);
    bool seenWild = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        bool escaped = false;
        if (code == '\\' && i + 1 < text.size()) {
            code = text[++i];
            escaped = true;
        }
        if (!escaped && (code == ANY_ONE || code == ANY_RUN)) {
            // Two * in a row match what one does; keeping one keeps the matching linear.
            if (code == ANY_RUN && !tokens.empty() && wild.back() && tokens.back() == ANY_RUN)
                continue;
            tokens += code;
            wild.push_back(true);
            seenWild = true;
            continue;
        }
        std::string folded;
        AppendFolded(folded, code);
        for (const char32_t c : DecodeText(folded)) {
            tokens += c;
            wild.push_back(false);
        }
        if (!seenWild)
            literalStart += folded;
    }
}

bool WordPattern::Matches(std::string_view folded) const
{
    const std::u32string key = DecodeText(folded);
    // Greedy matching with one step back to the last *: linear in practice, and exact for
    // patterns of literals, ? and *.
    std::size_t p = 0;
    std::size_t k = 0;
    std::size_t starP = std::u32string::npos;
    std::size_t starK = 0;
    while (k < key.size()) {
        if (p < tokens.size() && wild[p] && tokens[p] == ANY_RUN) {
            starP = p++;
            starK = k;
        } else if (p < tokens.size()
            && ((wild[p] && tokens[p] == ANY_ONE) || (!wild[p] && tokens[p] == key[k]))) {
            ++p;
            ++k;
        } else if (starP != std::u32string::npos) {
            p = starP + 1;
            k = ++starK;
        } else {
            return false;
        }
    }
    while (p < tokens.size() && wild[p] && tokens[p] == ANY_RUN)
        ++p;
    return p == tokens.size();
}
