#include "ui/Go_menu.h"

#include <utility>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>

#include "ui/Ansi_text.h"
#include "ui/Form_favourites.h"

TGoMenu::TGoMenu(QMainWindow *window, Window hooks, const std::string &favouritesFile)
    : QObject(window)
    , window(window)
    , hooks(std::move(hooks))
    , favourites(favouritesFile)
{
    QMenu *menu = window->menuBar()->addMenu(QStringLiteral("П&ереход"));
    menu->setObjectName(QStringLiteral("GoMenu"));
    BackAction = menu->addAction(QStringLiteral("&Назад"), this, [this] { GoBack(); });
    BackAction->setObjectName(QStringLiteral("BackAction"));
    BackAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    ForwardAction = menu->addAction(QStringLiteral("&Вперёд"), this, [this] { GoForward(); });
    ForwardAction->setObjectName(QStringLiteral("ForwardAction"));
    ForwardAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    menu->addSeparator();
    FavouriteAction = menu->addAction(
        QStringLiteral("&Добавить в избранное"), this, [this] { ToggleFavourite(); });
    FavouriteAction->setObjectName(QStringLiteral("FavouriteAction"));
    FavouriteAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    menu->addAction(QStringLiteral("&Избранное..."), this, [this] { OpenFavourites(); })
        ->setObjectName(QStringLiteral("FavouritesAction"));
    // The menu names what Ctrl+D will do with the article shown when it opens.
    connect(menu, &QMenu::aboutToShow, this, [this] { UpdateActions(); });
    // The mouse's side buttons reach whatever widget is under the pointer.
    qApp->installEventFilter(this);
    // Nothing is shown yet; the window asked now would have no dictionaries to answer from.
    BackAction->setEnabled(false);
    ForwardAction->setEnabled(false);
    FavouriteAction->setEnabled(false);
}

TGoMenu::~TGoMenu()
{
    qApp->removeEventFilter(this);
}

void TGoMenu::ArticleShown()
{
    if (restoring)
        return;
    history.Record(hooks.capture());
    UpdateActions();
}

void TGoMenu::GoBack()
{
    Go(history.Back());
}

void TGoMenu::GoForward()
{
    Go(history.Forward());
}

void TGoMenu::Go(const ArticleVisit *visit)
{
    if (visit) {
        restoring = true;
        hooks.restore(*visit);
        restoring = false;
    }
    UpdateActions();
}

void TGoMenu::ToggleFavourite()
{
    const QString headword = hooks.headword();
    if (headword.isEmpty())
        return;
    // The user's data folder is made when the first favourite is kept, not at every start.
    const QString file = QFile::decodeName(favourites.Path().c_str());
    if (!file.isEmpty())
        QDir().mkpath(QFileInfo(file).path());
    favourites.Toggle(ToCoreText(headword));
    if (favouritesForm && favouritesForm->isVisible())
        favouritesForm->FillList();
    UpdateActions();
}

void TGoMenu::OpenFavourites()
{
    if (!favouritesForm)
        favouritesForm = std::make_unique<TFavouritesForm>(&favourites, hooks.open, window);
    favouritesForm->show();
    favouritesForm->raise();
    favouritesForm->activateWindow();
}

void TGoMenu::UpdateActions()
{
    BackAction->setEnabled(history.CanGoBack());
    ForwardAction->setEnabled(history.CanGoForward());
    const QString headword = hooks.headword();
    FavouriteAction->setEnabled(!headword.isEmpty());
    FavouriteAction->setText(favourites.Contains(ToCoreText(headword))
            ? QStringLiteral("&Убрать из избранного")
            : QStringLiteral("&Добавить в избранное"));
}

bool TGoMenu::eventFilter(QObject *watched, QEvent *event)
{
    // The search field would take Ctrl+D for deleting a character: the window's keys win.
    if (event->type() == QEvent::ShortcutOverride && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->window() == window) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_D)) {
            event->ignore();
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->window() == window) {
        const Qt::MouseButton button = static_cast<QMouseEvent *>(event)->button();
        if (button == Qt::BackButton || button == Qt::ForwardButton) {
            if (button == Qt::BackButton)
                GoBack();
            else
                GoForward();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
