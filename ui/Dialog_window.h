#ifndef UI_DIALOG_WINDOW_H
#define UI_DIALOG_WINDOW_H

#include <QFont>
#include <QString>

class QDialog;
class QWidget;

// A dialog frame that cannot be resized, with the system menu and the close box only, a client
// area of exactly width x height and the given caption and font.
void SetUpDialogWindow(
    QDialog *dialog, const QString &caption, int width, int height, const QFont &font);
// Over the main window when there is one, else over the screen's free area.
void CentreOnMainWindow(QWidget *dialog);
// An error box with one OK button, waited for. Over the parent while that is shown; before that
// (the main window during start-up has no place yet) over the screen's free area.
void ShowErrorBox(QWidget *parent, const QString &caption, const QString &text);
// Faces missing on this desktop are substituted by the toolkit; the pixel height stays.
QFont PixelFont(const QString &family, int pixels);

#endif // UI_DIALOG_WINDOW_H
