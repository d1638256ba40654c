#ifndef UI_FORM_POPUP_H
#define UI_FORM_POPUP_H

#include <functional>

#include <QFrame>
#include <QPoint>

class Database;
class QLabel;
class QPushButton;
class QTextEdit;

// A small frameless window with one word's article, opened near the pointer for a quick look. It
// closes on Escape and when another window takes the focus; "Открыть в окне" hands the word to
// the main window. It reads the database it is handed, which outlives it.
class TPopupForm : public QFrame
{
    Q_OBJECT

public:
    using Opener = std::function<void(const QString &word)>;

    static constexpr int POPUP_WIDTH = 380;
    static constexpr int POPUP_HEIGHT = 240;

    TPopupForm(const Database *database, Opener openInWindow, QWidget *parent = nullptr);

    // Looks the word up as the main window's field would and shows the article near pointer, on
    // the screen holding it and inside that screen.
    void ShowWord(const QString &word, const QPoint &pointer);
    // The word as it was asked for.
    QString Word() const { return word; }
    void OpenButtonClick();

signals:
    // After the popup has been painted, for whoever waits to see it.
    void painted();

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void ShowArticle();

    const Database *database;
    Opener openInWindow;
    QString word;
    QLabel *PopupHeadword;
    QTextEdit *PopupArticle;
    QPushButton *OpenButton;
};

#endif // UI_FORM_POPUP_H
