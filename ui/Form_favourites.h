#ifndef UI_FORM_FAVOURITES_H
#define UI_FORM_FAVOURITES_H

#include <functional>

#include <QWidget>

class Favourites;
class QListWidget;
class QPushButton;

// The "Избранное" window: the favourite headwords, one opened in the main window by Enter or a
// double-click, and the list exported as UTF-8 text. It shows the favourites it is handed,
// which outlive it.
class TFavouritesForm : public QWidget
{
    Q_OBJECT

public:
    using Opener = std::function<void(const QString &word)>;
    // Asks where to export; an empty answer exports nothing. Tests replace it so that nothing
    // blocks on a file dialog.
    using FileAsker = std::function<QString(QWidget *parent)>;
    static FileAsker askExportFile;
    // Tells the user that the export failed; tests replace it as well.
    using MessageShower = std::function<void(QWidget *parent, const QString &text)>;
    static MessageShower showErrorMessage;

    TFavouritesForm(Favourites *favourites, Opener open, QWidget *parent = nullptr);

    // Reads the favourites again and lists them, keeping the selected word where it stays.
    void FillList();
    void OpenSelected();
    void RemoveSelected();
    void ExportButtonClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    Favourites *favourites;
    Opener open;
    QListWidget *FavouritesList;
    QPushButton *OpenButton;
    QPushButton *RemoveButton;
    QPushButton *ExportButton;
};

#endif // UI_FORM_FAVOURITES_H
