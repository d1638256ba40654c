#include "lookup/Suggestion_note.h"

namespace {

bool LeadsToLemma(const Suggestion &suggestion)
{
    return suggestion.kind == SuggestionKind::Form || suggestion.kind == SuggestionKind::Folded;
}

} // namespace

SuggestionNote NoteFor(const std::string &word, const std::vector<Suggestion> &suggestions)
{
    SuggestionNote note;
    if (word.empty() || (!suggestions.empty() && suggestions.front().kind == SuggestionKind::Exact))
        return note;
    const bool lemma = !suggestions.empty() && LeadsToLemma(suggestions.front());
    note.lead = "«" + word + "»" + (lemma ? " → " : " нет в словарях.");
    if (!lemma && !suggestions.empty())
        note.lead += " Возможно: ";
    for (const Suggestion &suggestion : suggestions) {
        // After a lemma only the other lemmas: a spelling of a word that is a form is no answer.
        if (lemma && !LeadsToLemma(suggestion))
            break;
        if (note.links.size() == SuggestionNote::MAX_LINKS) {
            note.more = true;
            break;
        }
        note.links.push_back(suggestion);
    }
    return note;
}
