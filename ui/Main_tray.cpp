#include "ui/Main_tray.h"

#include <utility>

#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include "ui/Resources.h"

TMainTray::TMainTray(QWidget *window)
    : QObject(window)
    , window(window)
{
}

void TMainTray::ShowIcon(
    std::function<void()> onClick, std::function<void()> onShow, std::function<void()> onExit)
{
    if (TrayIcon1)
        return;
    TrayIcon1 = new QSystemTrayIcon(ProgramIcon(), window);
    TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
    TrayIcon1->setToolTip(QStringLiteral("Kalvora"));
    connect(TrayIcon1, &QSystemTrayIcon::activated, this,
        [onClick = std::move(onClick)](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                onClick();
        });
    auto *trayMenu = new QMenu(window);
    trayMenu->setObjectName(QStringLiteral("TrayMenu"));
    trayMenu->addAction(QStringLiteral("Показать"), this, std::move(onShow))
        ->setObjectName(QStringLiteral("TrayShow"));
    trayMenu->addAction(QStringLiteral("Выход"), this, std::move(onExit))
        ->setObjectName(QStringLiteral("TrayExit"));
    TrayIcon1->setContextMenu(trayMenu);
    TrayIcon1->show();
}

void TMainTray::ShowIconWhenExposed(
    std::function<void()> onClick, std::function<void()> onShow, std::function<void()> onExit)
{
    if (TrayIcon1 || showIcon)
        return;
    showIcon = [this, onClick = std::move(onClick), onShow = std::move(onShow),
                   onExit = std::move(onExit)] { ShowIcon(onClick, onShow, onExit); };
    QWindow *handle = window->windowHandle();
    if (handle && !handle->isExposed())
        handle->installEventFilter(this);
    else
        std::exchange(showIcon, nullptr)();
}

bool TMainTray::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
        // The window is mapped by now; whoever waits for it to be exposed finds the icon there.
        watched->removeEventFilter(this);
        std::exchange(showIcon, nullptr)();
    }
    return false;
}

bool TMainTray::Minimising(const QEvent &event)
{
    if (event.type() != QEvent::WindowStateChange || !window->isMinimized())
        return false;
    // Without a notification area a hidden window could not be brought back: it stays an
    // ordinary minimised window then.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    stateBeforeMinimise = static_cast<const QWindowStateChangeEvent &>(event).oldState();
    return true;
}

void TMainTray::HideMinimised()
{
    // Posted, so the window system has finished minimising before the window is hidden.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (window->isMinimized())
                window->hide();
        },
        Qt::QueuedConnection);
}

void TMainTray::ShowAgain()
{
    if (window->isVisible() && !window->isMinimized())
        return;
    window->setWindowState(stateBeforeMinimise & ~Qt::WindowMinimized);
    window->show();
}

void TMainTray::BringToFront()
{
    if (window->isHidden())
        ShowAgain();
    else if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->raise();
    window->activateWindow();
}
