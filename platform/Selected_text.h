#ifndef PLATFORM_SELECTED_TEXT_H
#define PLATFORM_SELECTED_TEXT_H

#include <QString>

// The text the user selected in any program: the X primary selection, or the clipboard when
// nothing is selected. Trimmed as TrimSelection does; empty when neither holds a word, and when
// the program holding the selection does not answer within two seconds. Needs the application
// object.
QString SelectedText();

// Cuts blanks, invisible formatting characters and punctuation off both ends, and turns each run
// of blanks inside (line breaks too) into one space: a selection made by a double click or a
// drag often takes the comma or the quotation marks beside the word. A selection too long for a
// word keeps its first line, or its first word when that line is long too.
QString TrimSelection(const QString &text);

#endif // PLATFORM_SELECTED_TEXT_H
