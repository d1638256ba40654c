#ifndef TOOLS_LOOKUP_SUGGEST_H
#define TOOLS_LOOKUP_SUGGEST_H

#include <string>
#include <vector>

#include "lookup/Suggestions.h"

class Database;

// One answer line of kalvora-lookup --suggest, without the line end: the query, then the
// headwords, TAB-separated; with json, an object with query and suggestions (headword, id,
// index, kind).
std::string SuggestionLine(
    const std::string &query, const std::vector<Suggestion> &suggestions, bool json);

// Answers each word, or each line of standard input when there are none, one line each, flushed
// at once. Word forms come from the system's Hunspell and WordNet folders, or those named by
// KALVORA_HUNSPELL_PATH and KALVORA_WORDNET_PATH. Returns the exit status: 0 when every word got
// a suggestion, else 1.
int PrintSuggestions(const Database &database, const std::vector<std::string> &words, bool json);

#endif // TOOLS_LOOKUP_SUGGEST_H
