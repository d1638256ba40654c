#include "ui/Word_suggestions.h"

#include <utility>

#include <QTimer>

#include "lookup/Suggestion_note.h"
#include "lookup/Suggestions.h"
#include "lookup/Word_forms.h"
#include "lookup/Word_lookup.h"
#include "ui/Suggestion_strip.h"

WordSuggestions::WordSuggestions(
    const Database &database, TSuggestionStrip &strip, std::function<void()> relayout)
    : strip(strip)
    , relayout(std::move(relayout))
    , forms(std::make_unique<WordForms>())
    , suggester(std::make_unique<Suggester>(database, forms.get()))
{
}

WordSuggestions::~WordSuggestions() = default;

void WordSuggestions::ShowNote(const std::string &word, bool exact)
{
    if (exact)
        strip.ShowNote(SuggestionNote());
    else
        strip.ShowSuggestions(*suggester, word);
    relayout();
}

void WordSuggestions::ShowNoteLater(const std::string &query)
{
    QTimer::singleShot(0, &strip, [this, query] {
        strip.ShowSuggestions(*suggester, query, false);
        relayout();
    });
}

void WordSuggestions::HideNote()
{
    if (!strip.isVisible())
        return;
    strip.ShowNote(SuggestionNote());
    relayout();
}

bool WordSuggestions::FindLemma(const std::string &word, Suggestion &lemma)
{
    return suggester->FindLemma(word, lemma);
}

const std::vector<WordPosition> &WordSuggestions::MatchPattern(const std::string &pattern)
{
    patternRows =
        suggester->MatchPattern(pattern, 0, WordLookup::WORDS_BEFORE + 1 + WordLookup::WORDS_AFTER);
    return patternRows;
}

void WordSuggestions::ShowPatternNote(const std::string &pattern, bool found)
{
    strip.ShowNote(found ? SuggestionNote() : NoteFor(pattern, {}));
    relayout();
}

WordPosition WordSuggestions::PatternRow(int row) const
{
    if (row < 0 || row >= static_cast<int>(patternRows.size()))
        return WordPosition();
    return patternRows[static_cast<std::size_t>(row)];
}
