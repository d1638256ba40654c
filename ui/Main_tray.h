#ifndef UI_MAIN_TRAY_H
#define UI_MAIN_TRAY_H

#include <functional>

#include <QObject>

class QEvent;
class QSystemTrayIcon;
class QWidget;

// The main window's notification-area icon and what it does to the window: minimising hides the
// window into the icon, and a click on the icon shows it again as it was. Without a notification
// area the window minimises as any other.
class TMainTray : public QObject
{
    Q_OBJECT

public:
    // window outlives the tray.
    explicit TMainTray(QWidget *window);

    // Puts the icon into the notification area: a click or double-click calls onClick, its menu's
    // "Показать" onShow and "Выход" onExit. Once; later calls change nothing.
    void ShowIcon(
        std::function<void()> onClick, std::function<void()> onShow, std::function<void()> onExit);
    // The same once the shown window is first exposed on the screen; at once for a window that
    // has no native window yet or is exposed already.
    void ShowIconWhenExposed(
        std::function<void()> onClick, std::function<void()> onShow, std::function<void()> onExit);

    // Whether event is the window being minimised with a notification area to hide it in; the
    // state it had before is kept for ShowAgain.
    bool Minimising(const QEvent &event);
    // Hides the minimised window, once the window system has finished minimising it.
    void HideMinimised();
    // The hidden or minimised window shown in the state it had before; a shown one stays as it is.
    void ShowAgain();
    // The window shown from any state, then raised and activated.
    void BringToFront();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window;
    std::function<void()> showIcon; // waits for the window's first exposure
    QSystemTrayIcon *TrayIcon1 = nullptr;
    Qt::WindowStates stateBeforeMinimise = Qt::WindowNoState;
};

#endif // UI_MAIN_TRAY_H
