#ifndef UI_WORD_SUGGESTIONS_H
#define UI_WORD_SUGGESTIONS_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/Database.h"

class Suggester;
class TSuggestionStrip;
class WordForms;
struct Suggestion;

// The main window's suggestions: what the strip says about a word that was not found as asked,
// the headword shown for an inflected form or a folded spelling, and the headwords a pattern
// matched, which the word list then shows in place of the neighbours.
class WordSuggestions
{
public:
    // database and strip outlive the object; relayout runs whenever the strip may have appeared,
    // changed or gone. Nothing is read here: the morphology and the folded headwords wait for the
    // first miss.
    WordSuggestions(
        const Database &database, TSuggestionStrip &strip, std::function<void()> relayout);
    ~WordSuggestions();

    // The note on word: nothing for an exact match, else what it may be.
    void ShowNote(const std::string &word, bool exact);
    // The note on a query the field refused, once the key is handled, so that a refused key costs
    // the key press nothing; without the morphology, which is never read on a key press.
    void ShowNoteLater(const std::string &query);
    // A key the field took: a note shown goes.
    void HideNote();

    // The headword to show for a word from outside the field that is no headword itself.
    bool FindLemma(const std::string &word, Suggestion &lemma);

    // The headwords pattern matches, at most a word list's worth, kept as the list's rows until
    // ForgetPattern.
    const std::vector<WordPosition> &MatchPattern(const std::string &pattern);
    // The note after a pattern's list: nothing when its first headword is shown, else that
    // nothing matched.
    void ShowPatternNote(const std::string &pattern, bool found);
    void ForgetPattern() { patternRows.clear(); }
    // Whether the word list shows a pattern's headwords rather than neighbours.
    bool ListsPattern() const { return !patternRows.empty(); }
    // The headword on row of the pattern's list; a position naming no word for any other row.
    WordPosition PatternRow(int row) const;

private:
    TSuggestionStrip &strip;
    std::function<void()> relayout;
    std::unique_ptr<WordForms> forms;
    std::unique_ptr<Suggester> suggester;
    std::vector<WordPosition> patternRows;
};

#endif // UI_WORD_SUGGESTIONS_H
