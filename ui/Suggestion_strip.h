#ifndef UI_SUGGESTION_STRIP_H
#define UI_SUGGESTION_STRIP_H

#include <functional>

#include <QLabel>

#include "lookup/Suggestion_note.h"

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

protected:
    void focusInEvent(QFocusEvent *event) override;

private:
    SuggestionNote note;
};

#endif // UI_SUGGESTION_STRIP_H
