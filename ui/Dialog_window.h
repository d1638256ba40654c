#ifndef UI_DIALOG_WINDOW_H
#define UI_DIALOG_WINDOW_H

#include <QDialog>
#include <QFont>
#include <QString>

class QWidget;

// A dialog frame that cannot be resized, with the system menu and the close box only, a client
// area of exactly width x height and the given caption and font.
void SetUpDialogWindow(
    QDialog *dialog, const QString &caption, int width, int height, const QFont &font);
// Over its parent's window while that is shown, else over the screen's free area.
void CentreOnParent(QWidget *dialog);
// An error box with one OK button, waited for. Over the parent while that is shown; before that
// (the main window during start-up has no place yet) over the screen's free area.
void ShowErrorBox(QWidget *parent, const QString &caption, const QString &text);
// Faces missing on this desktop are substituted by the toolkit; the pixel height stays.
QFont PixelFont(const QString &family, int pixels);

// A dialog of the program: centred on its parent each time it is shown.
class TDialogWindow : public QDialog
{
public:
    enum class Keys
    {
        Dialog, // the toolkit's dialog keys
        EscapeOnly // Escape closes the dialog and no other key does anything, Enter included
    };

    TDialogWindow(QWidget *parent, Keys keys);

    // Escape (27) closes the dialog; other keys are left alone.
    void FormKeyPress(char16_t key);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    Keys keys;
};

#endif // UI_DIALOG_WINDOW_H
