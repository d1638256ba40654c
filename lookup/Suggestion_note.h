#ifndef LOOKUP_SUGGESTION_NOTE_H
#define LOOKUP_SUGGESTION_NOTE_H

#include <cstddef>
#include <string>
#include <vector>

#include "lookup/Suggestions.h"

// What the window says above the article about a word it could not show as asked: a lead and
// the suggestions to follow it as links, in this order.
struct SuggestionNote
{
    static constexpr std::size_t MAX_LINKS = 5;

    std::string lead; // UTF-8; empty: nothing to say, no note
    std::vector<Suggestion> links;
    bool more = false; // further suggestions left out: the links end with "…"

    bool Empty() const { return lead.empty(); }
};

// The note for a word whose lookup was not exact, from its suggestions best first. A word that is
// a form or a folded spelling of headwords gets «word» → lemma, …; any other word «word» нет в
// словарях, then Возможно: and at most MAX_LINKS suggestions when there are any. An exact
// suggestion (the word is a headword) leaves nothing to say.
SuggestionNote NoteFor(const std::string &word, const std::vector<Suggestion> &suggestions);

#endif // LOOKUP_SUGGESTION_NOTE_H
