#include "ui/Main_menu.h"

#include <string>
#include <utility>

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "support/User_folders.h"
#include "ui/Layout_accelerators.h"

TGoMenu *CreateMainMenu(QMainWindow &window, const MainMenuActions &actions, TGoMenu::Window go)
{
    QMenuBar *bar = window.menuBar();
    QMenu *N4 = bar->addMenu(QStringLiteral("&Файл"));
    N4->setObjectName(QStringLiteral("N4"));
    QAction *N7 = N4->addAction(QStringLiteral("&Поиск в статьях..."), &window, actions.search);
    N7->setObjectName(QStringLiteral("N7"));
    N7->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    QAction *N5 = N4->addAction(QStringLiteral("&Выход"), &window, actions.exit);
    N5->setObjectName(QStringLiteral("N5"));
    N5->setShortcut(QKeySequence::Quit);

    QMenu *N1 = bar->addMenu(QStringLiteral("&Настройки"));
    N1->setObjectName(QStringLiteral("N1"));
    QAction *N2 = N1->addAction(QStringLiteral("&Словари"), &window, actions.dictionaries);
    N2->setObjectName(QStringLiteral("N2"));
    QAction *N6 = N1->addAction(QStringLiteral("Н&астройки..."), &window, actions.settings);
    N6->setObjectName(QStringLiteral("N6"));

    const std::string dataFolder = UserDataFolder();
    auto *goMenu = new TGoMenu(&window, std::move(go),
        dataFolder.empty() ? std::string() : dataFolder + "/kalvora/favourites.txt");
    QAction *N3 = bar->addAction(QStringLiteral("&О программе"), &window, actions.about);
    N3->setObjectName(QStringLiteral("N3"));
    new TLayoutAccelerators(bar);
    return goMenu;
}
