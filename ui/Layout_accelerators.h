#ifndef UI_LAYOUT_ACCELERATORS_H
#define UI_LAYOUT_ACCELERATORS_H

#include <QObject>

class QKeyEvent;
class QMenu;
class QMenuBar;

// The menus' Russian accelerators from any keyboard layout: with a Latin layout, Alt and the key
// where the accelerator's letter sits in the Russian layout opens that menu (Alt+A opens "&Файл"
// as Alt+Ф does), and in an open menu that key alone chooses the item. F10 opens the first menu.
// Likewise the menu items' Ctrl shortcuts work from a Russian layout (Ctrl+Й quits as Ctrl+Q).
// Watches the whole application while it lives, for the keys of the menu bar's window only; a
// child of the menu bar.
class TLayoutAccelerators : public QObject
{
    Q_OBJECT

public:
    explicit TLayoutAccelerators(QMenuBar *menuBar);

    // True when the key was taken for the menu bar or one of its menus.
    bool KeyPress(QObject *receiver, const QKeyEvent &key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool ChooseInMenu(QMenu *menu, const QKeyEvent &key, char32_t letter);

    QMenuBar *menuBar;
};

#endif // UI_LAYOUT_ACCELERATORS_H
