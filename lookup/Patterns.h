#ifndef LOOKUP_PATTERNS_H
#define LOOKUP_PATTERNS_H

#include <string>
#include <string_view>
#include <vector>

// True when word holds a * or a ?, escaped or not: it is written as a pattern, and \? or \* in it
// are asked for as literal characters.
bool IsPattern(std::string_view word);

// A word with * (any run of characters, none included) and ? (one character). A backslash makes
// the next character literal, so \* and \? find headwords that hold those characters themselves
// and \\ a backslash; a backslash at the end stands for itself. Literal characters are folded, so
// a pattern matches whatever the folded headword keys match.
class WordPattern
{
public:
    explicit WordPattern(std::string_view word);

    // Whether a folded headword key matches the whole pattern.
    bool Matches(std::string_view folded) const;
    // The folded literal characters before the first * or ?: every match begins with them.
    const std::string &LiteralStart() const { return literalStart; }

private:
    std::u32string tokens; // literal characters, and ANY_ONE / ANY_RUN
    std::vector<bool> wild; // per token: a wildcard rather than a literal
    std::string literalStart;
};

#endif // LOOKUP_PATTERNS_H
