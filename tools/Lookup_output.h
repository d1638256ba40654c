#ifndef TOOLS_LOOKUP_OUTPUT_H
#define TOOLS_LOOKUP_OUTPUT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One answer of kalvora-lookup, its texts already in UTF-8.
struct LookupAnswer
{
    std::string query;
    bool found = false;
    bool exact = false; // the headword equals the query, letter case aside
    std::uint32_t dicId = 0;
    std::string shortName;
    std::int32_t index = 0;
    std::int32_t matchedLength = 0; // -1 exact, else the characters shared from the start
    std::string headword;
    std::optional<std::string> article; // only when asked for
};

// found, id, index, matched length, headword, then the article when there is one, then the short
// name when asked: fields separated by TAB, without the line end. A TAB or line end inside a
// text becomes a space, so that one answer stays one line.
std::string TsvAnswer(const LookupAnswer &answer, bool withShortName);

// One JSON object on one line, without the line end. A not-found answer names no dictionary or
// word (null).
std::string JsonAnswer(const LookupAnswer &answer);

// A text as a quoted JSON string. Bytes that are not well-formed UTF-8 become U+FFFD, so the
// result is always valid JSON whatever a dictionary holds.
std::string JsonString(const std::string &utf8);

// A text as one tab-separated field: tabs and line ends separate fields and answers, so a field
// never carries them (they become spaces). For a terminal, the other control characters, which
// a hostile dictionary could use to drive it, are written as the visible escapes \e (ESC) and
// \xNN (the C1 controls by their code), and a backslash as \\.
std::string TsvField(const std::string &text);
// The same appended to line, for output written in bulk.
void AppendTsvField(std::string &line, std::string_view text);
// Whether the fields go to a terminal; set once, before any output.
void SetTsvForTerminal(bool terminal);

// An article as an answer carries it: its stored line breaks as spaces, so that answers read as
// they always did, or kept (as "\n" for JSON, whose strings escape it).
std::string ArticleForAnswer(std::string article, bool keepLines, bool json);

// The id as the attribute files spell it, in small letters ("7a1c0001").
std::string HexId(std::uint32_t id);

#endif // TOOLS_LOOKUP_OUTPUT_H
