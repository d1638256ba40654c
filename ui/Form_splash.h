#ifndef UI_FORM_SPLASH_H
#define UI_FORM_SPLASH_H

#include <QWidget>

class QLabel;
class QProgressBar;

// The borderless window shown while the dictionaries load. Nothing processes events during the
// load, so every change is painted at once.
class TSplashForm : public QWidget
{
    Q_OBJECT

public:
    explicit TSplashForm(QWidget *owner = nullptr);

    // Shows the window and paints it before returning.
    void ShowAtOnce();

    void SetDictionaryText(const QString &text);
    // The counts as they are, except that nothing to load (a maximum of 0) is an empty bar.
    void SetProgress(int max, int position);

private:
    QLabel *Label1;
    QProgressBar *ProgressBar1;
    QLabel *DicLabel;
};

#endif // UI_FORM_SPLASH_H
