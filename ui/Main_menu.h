#ifndef UI_MAIN_MENU_H
#define UI_MAIN_MENU_H

#include <functional>

#include "ui/Go_menu.h"

class QMainWindow;

// What the main window's menu items ask of the window; each is called from the item alone.
struct MainMenuActions
{
    std::function<void()> search; // "Поиск в статьях...", Ctrl+F
    std::function<void()> exit; // "Выход"
    std::function<void()> dictionaries; // "Словари"
    std::function<void()> settings; // "Настройки..."
    std::function<void()> about; // "О программе"
};

// Builds the main window's menu bar: "Файл", "Настройки", "Переход" and "О программе", in that
// order, with the Russian accelerators from any keyboard layout. Returns the "Переход" menu, a
// child of window, which keeps its favourites in the user's data folder.
TGoMenu *CreateMainMenu(QMainWindow &window, const MainMenuActions &actions, TGoMenu::Window go);

#endif // UI_MAIN_MENU_H
