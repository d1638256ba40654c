#ifndef TOOLS_LOOKUP_TEXT_H
#define TOOLS_LOOKUP_TEXT_H

#include <cstdint>
#include <string>

class Database;

// kalvora-lookup --text: prints one line per record whose article holds phrase (UTF-8), in
// collection order: dictionary id in hexadecimal, record index, headword and excerpt, separated
// by tabs, or as one JSON object. dicId 0 searches every dictionary, any other id that one only.
// A dictionary whose data file changed during the search is named on standard error and left
// out.
// Returns the exit status: 0 when something was found, 1 when nothing was.
int PrintArticleMatches(
    const Database &database, std::uint32_t dicId, const std::string &phrase, bool json);

#endif // TOOLS_LOOKUP_TEXT_H
