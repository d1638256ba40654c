#include "ui/Main_tray.h"

#include <utility>

#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>
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
