#ifndef UI_SUGGESTION_STRIP_H
#define UI_SUGGESTION_STRIP_H

#include <functional>
#include <string>

#include <QLabel>

#include "lookup/Suggestion_note.h"

class QTimer;
class Suggester;

// The strip above the article that says what a word not found as asked may be: its text and
// one link per suggestion, reached by a click or by Tab and Enter. Hidden while there is nothing
// to say.
class TSuggestionStrip : public QLabel
{
    Q_OBJECT

public:
    explicit TSuggestionStrip(QWidget *parent = nullptr);

    // Called with the suggestion whose link was followed.
    std::function<void(const Suggestion &suggestion)> onChoose;

    // Shows the note, or hides the strip for an empty one.
    void ShowNote(const SuggestionNote &note);
    const SuggestionNote &Note() const { return note; }

    // Says what word may be as suggester finds it now (Suggester::Suggest), and says it again
    // once the word forms it is still reading in the background are there: a miss never waits
    // for them. Starts that reading if nothing has yet, also for a note without the word forms
    // (a key the field refused), so that the misses after it have them. The suggester must
    // outlive the strip.
    void ShowSuggestions(Suggester &suggester, const std::string &word, bool withForms = true);

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    void ShowWhenFormsAreRead();

    SuggestionNote note;
    // The word whose note is to be said again once its suggester's word forms are read.
    Suggester *waitingSuggester = nullptr;
    std::string waitingWord;
    QTimer *formsWait = nullptr;
};

#endif // UI_SUGGESTION_STRIP_H
