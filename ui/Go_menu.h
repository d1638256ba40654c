#ifndef UI_GO_MENU_H
#define UI_GO_MENU_H

#include <functional>
#include <memory>
#include <string>

#include <QObject>
#include <QString>

#include "lookup/Article_history.h"
#include "support/Favourites.h"

class QAction;
class QMainWindow;
class TFavouritesForm;

// The main window's "Переход" menu: back and forward through the articles shown in this run
// (Alt+Left, Alt+Right and the mouse's back and forward buttons), and the favourites (Ctrl+D adds
// or removes the shown headword; "Избранное" opens their window). The window tells it what it
// shows and how to show an entry again.
class TGoMenu : public QObject
{
    Q_OBJECT

public:
    struct Window
    {
        std::function<ArticleVisit()> capture; // what the window shows now
        std::function<void(const ArticleVisit &)> restore; // shows it again, as it was
        std::function<QString()> headword; // the shown article's headword; empty for none
        std::function<void(const QString &)> open; // looks a word up as Enter does
    };

    // Adds the menu to window's menu bar. The favourites are kept in favouritesFile.
    TGoMenu(QMainWindow *window, Window hooks, const std::string &favouritesFile);
    ~TGoMenu() override;

    // The window has shown an article, which is recorded; showing an entry again records nothing.
    void ArticleShown();
    void GoBack();
    void GoForward();
    void ToggleFavourite();
    void OpenFavourites();

    const ArticleHistory &History() const { return history; }
    Favourites &GetFavourites() { return favourites; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Go(const ArticleVisit *visit);
    void UpdateActions();

    QMainWindow *window;
    Window hooks;
    ArticleHistory history;
    Favourites favourites;
    bool restoring = false;
    QAction *BackAction;
    QAction *ForwardAction;
    QAction *FavouriteAction;
    std::unique_ptr<TFavouritesForm> favouritesForm;
};

#endif // UI_GO_MENU_H
