#ifndef TOOLS_LOOKUP_TEXT_H
#define TOOLS_LOOKUP_TEXT_H

#include <cstdint>
#include <string>

class Database;

// kalvora-lookup --text: prints one line per article that holds phrase (UTF-8), in collection
// order and then by its first record in index order: dictionary id in hexadecimal, record index,
// headword and excerpt, separated by tabs, or as one JSON object. Records that share an article
// are listed once, with their headwords joined by ", ". With count, only one line per
// dictionary searched: its id and how many articles hold the phrase. dicId 0 searches every
// dictionary, any other id that one only. A dictionary whose data file changed during the search
// is named on standard error and left out. Returns the exit status: 0 when something was found,
// 1 when nothing was.
int PrintArticleMatches(const Database &database, std::uint32_t dicId, const std::string &phrase,
    bool json, bool count = false);

#endif // TOOLS_LOOKUP_TEXT_H
