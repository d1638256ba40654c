#include "ui/Word_input.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "ui/Ansi_text.h"

namespace {

// Control characters are never typed: Delete, for one, comes with the text "\x7F" on X and must
// keep its ordinary effect in the field.
bool IsTypedCharacter(const QString &text)
{
    if (text.isEmpty())
        return false;
    const char16_t first = text.front().unicode();
    return first >= 0x20 && first != 0x7F;
}

} // namespace

TWordInput::TWordInput(QWidget *parent)
    : QComboBox(parent)
{
    setObjectName(QStringLiteral("WordInput"));
    setAccessibleName(QStringLiteral("Слово для поиска"));
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    // Keys reach the combo box, which hands them to its edit field directly; the edit field sees
    // them only when it is sent keys itself.
    installEventFilter(this);
    lineEdit()->installEventFilter(this);
}

std::string TWordInput::Text() const
{
    return ToCoreText(lineEdit()->text());
}

std::string TWordInput::TypedText() const
{
    const QLineEdit *edit = lineEdit();
    const int start = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    return ToCoreText(edit->text().left(start));
}

void TWordInput::ShowCompletion(const std::string &word, int typedCharacters)
{
    QLineEdit *edit = lineEdit();
    const QString text = ToQString(word);
    const int typed = UnitsOfCharacters(text, typedCharacters);
    edit->setText(text);
    if (typed < text.size())
        edit->setSelection(typed, static_cast<int>(text.size()) - typed);
    else
        edit->setCursorPosition(typed);
}

void TWordInput::ShowWord(const QString &word)
{
    lineEdit()->setText(word);
    lineEdit()->setCursorPosition(static_cast<int>(lineEdit()->text().size()));
}

void TWordInput::AddToHistory(const QString &word)
{
    // Changing the items can change the field's text; the field must keep what the search put
    // there, selection included.
    QLineEdit *edit = lineEdit();
    const QString text = edit->text();
    const int selectionStart = edit->selectionStart();
    const int selectionLength = static_cast<int>(edit->selectedText().size());
    const int cursor = edit->cursorPosition();

    const int index = findText(word, Qt::MatchFixedString);
    const bool moved = index > 0;
    if (index != 0) {
        if (moved)
            removeItem(index);
        insertItem(0, word);
    }
    if (count() > HISTORY_SIZE)
        removeItem(HISTORY_SIZE);
    setCurrentIndex(-1);

    // A word moved up leaves the field's text without its selection, as picking the item would.
    if (moved) {
        edit->setText(text);
    } else {
        edit->setText(text);
        if (selectionStart >= 0)
            edit->setSelection(selectionStart, selectionLength);
        else
            edit->setCursorPosition(cursor);
    }
    if (onHistoryChange)
        onHistoryChange();
}

bool TWordInput::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == this || watched == lineEdit()) && event->type() == QEvent::KeyPress
        && TakeKey(*static_cast<QKeyEvent *>(event)))
        return true;
    return QComboBox::eventFilter(watched, event);
}

bool TWordInput::TakeKey(const QKeyEvent &key)
{
    if (!onKeyPress)
        return false;
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        onKeyPress(KEY_ENTER);
        return true;
    case Qt::Key_Backspace:
        onKeyPress(KEY_BACKSPACE);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        return false;
    default:
        break;
    }
    // Shortcuts with Ctrl (copy, paste, undo...) are not typed characters.
    const Qt::KeyboardModifiers shortcut = Qt::ControlModifier | Qt::MetaModifier;
    if ((key.modifiers() & shortcut) || !IsTypedCharacter(key.text()))
        return false;
    // Alt+letter that no menu took is nobody's input, but the field would insert the letter.
    if (!(key.modifiers() & Qt::AltModifier))
        onKeyPress(key.text().toUcs4().value(0));
    return true;
}

std::vector<std::string> TWordInput::History() const
{
    std::vector<std::string> words;
    for (int i = 0; i < count(); ++i)
        words.push_back(ToCoreText(itemText(i)));
    return words;
}

void TWordInput::SetHistory(const std::vector<std::string> &words)
{
    const QString text = lineEdit()->text();
    clear();
    for (const std::string &word : words) {
        if (count() < HISTORY_SIZE)
            addItem(ToQString(word));
    }
    setCurrentIndex(-1);
    lineEdit()->setText(text);
}
