#include "Lookup_suggest.h"

#include <iostream>

#include "lookup/Word_forms.h"
#include "storage/Database.h"
#include "tools/Lookup_output.h"

namespace {

bool Answer(Suggester &suggester, const std::string &query, bool json)
{
    const std::vector<Suggestion> suggestions = suggester.Suggest(query);
    std::cout << SuggestionLine(query, suggestions, json) << '\n';
    std::cout.flush();
    return !suggestions.empty();
}

} // namespace

std::string SuggestionLine(
    const std::string &query, const std::vector<Suggestion> &suggestions, bool json)
{
    std::string line;
    if (!json) {
        AppendTsvField(line, query);
        for (const Suggestion &suggestion : suggestions) {
            line += '\t';
            AppendTsvField(line, suggestion.headword);
        }
        return line;
    }
    line = "{\"query\":" + JsonString(query) + ",\"suggestions\":[";
    for (std::size_t i = 0; i < suggestions.size(); ++i) {
        const Suggestion &suggestion = suggestions[i];
        line += std::string(i == 0 ? "" : ",") + "{\"headword\":" + JsonString(suggestion.headword)
            + ",\"id\":" + JsonString(HexId(suggestion.position.dicId))
            + ",\"index\":" + std::to_string(suggestion.position.index)
            + ",\"kind\":" + JsonString(SuggestionKindName(suggestion.kind)) + "}";
    }
    return line + "]}";
}

int PrintSuggestions(const Database &database, const std::vector<std::string> &words, bool json)
{
    WordForms forms;
    Suggester suggester(database, &forms);
    bool allAnswered = true;
    if (!words.empty()) {
        for (const std::string &word : words)
            allAnswered = Answer(suggester, word, json) && allAnswered;
    } else {
        for (std::string line; std::getline(std::cin, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            allAnswered = Answer(suggester, line, json) && allAnswered;
        }
    }
    return allAnswered ? 0 : 1;
}
