#ifndef PLATFORM_SELECTED_TEXT_H
#define PLATFORM_SELECTED_TEXT_H

#include <QString>

// The text the user selected in any program: the X primary selection, or the clipboard when
// nothing is selected. Trimmed as TrimSelection does; empty when neither holds a word. Needs the
// application object.
QString SelectedText();

// Cuts blanks, invisible formatting characters and punctuation off both ends, and turns each run
// of blanks inside (line breaks too) into one space: a selection made by a double click or a
// drag often takes the comma or the quotation marks beside the word.
QString TrimSelection(const QString &text);

#endif // PLATFORM_SELECTED_TEXT_H
