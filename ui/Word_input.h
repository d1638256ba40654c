#ifndef UI_WORD_INPUT_H
#define UI_WORD_INPUT_H

#include <functional>
#include <string>
#include <vector>

#include <QComboBox>

class QKeyEvent;

// The search field: an editable box whose items are the last 30 words found, newest first. Keys
// that type a character, Backspace and Enter are handed to onKeyPress instead of editing the
// text; every other key (Delete, the arrows, Ctrl shortcuts) keeps its ordinary effect.
class TWordInput : public QComboBox
{
    Q_OBJECT

public:
    static constexpr char32_t KEY_BACKSPACE = 8;
    static constexpr char32_t KEY_ENTER = 13;
    static constexpr int HISTORY_SIZE = 30;

    explicit TWordInput(QWidget *parent = nullptr);

    // A typed character, KEY_BACKSPACE or KEY_ENTER.
    std::function<void(char32_t key)> onKeyPress;
    // The history changed: it is kept at once, so that a killed program loses none of it.
    std::function<void()> onHistoryChange;

    // The whole text, as the core takes it (UTF-8).
    std::string Text() const;
    // What the user has typed of the word: the text before the selected completion, or before
    // the cursor.
    std::string TypedText() const;
    // The word with all but its first typedCharacters characters selected, so that the next key
    // replaces the completion; the cursor after them when nothing is left to select.
    void ShowCompletion(const std::string &word, int typedCharacters);
    // The word with the cursor at its end.
    void ShowWord(const QString &word);
    // Puts word first in the history; an equal item (letter case aside) is moved rather than
    // repeated, and the oldest beyond HISTORY_SIZE goes. The field keeps its text and selection.
    void AddToHistory(const QString &word);
    // The history's words, newest first, as the core keeps them (UTF-8); and the same put back.
    std::vector<std::string> History() const;
    void SetHistory(const std::vector<std::string> &words);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Whether the key is the field's own business rather than the edit field's.
    bool TakeKey(const QKeyEvent &key);
};

#endif // UI_WORD_INPUT_H
