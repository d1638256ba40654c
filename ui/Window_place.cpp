#include "ui/Window_place.h"

#include <vector>

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>

#include "support/Window_geometry.h"

void PlaceWindow(
    QMainWindow &window, QSplitter &splitter, const IniFile &settings, const QSize &clientSize)
{
    window.resize(clientSize.width(), clientSize.height() + window.menuBar()->sizeHint().height());
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    RestoreWindowPlace(window, splitter, settings);
}

std::vector<ScreenRect> AvailableScreens()
{
    std::vector<ScreenRect> screens;
    QList<QScreen *> all = QGuiApplication::screens();
    if (QScreen *primary = QGuiApplication::primaryScreen()) {
        all.removeAll(primary);
        all.prepend(primary);
    }
    for (const QScreen *screen : all) {
        const QRect area = screen->availableGeometry();
        screens.push_back({area.x(), area.y(), area.width(), area.height()});
    }
    return screens;
}

void RestoreWindowPlace(QMainWindow &window, QSplitter &splitter, const IniFile &settings)
{
    const std::optional<WindowGeometry> kept = ReadWindowGeometry(settings);
    if (!kept)
        return;
    const ScreenRect place = PlaceRestoredWindow(kept->frame, AvailableScreens());
    window.setGeometry(place.x, place.y, place.width, place.height);
    if (kept->listWidth > 0) {
        const int total = splitter.width() - splitter.handleWidth();
        splitter.setSizes({kept->listWidth, std::max(1, total - kept->listWidth)});
    }
    if (kept->maximised)
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void KeepWindowPlace(const QMainWindow &window, const QSplitter &splitter, IniFile &settings)
{
    const QRect normal = window.normalGeometry();
    if (!normal.isValid())
        return;
    WindowGeometry geometry;
    geometry.frame = {normal.x(), normal.y(), normal.width(), normal.height()};
    geometry.maximised = window.isMaximized();
    const QList<int> sizes = splitter.sizes();
    geometry.listWidth = sizes.isEmpty() ? 0 : sizes.front();
    WriteWindowGeometry(settings, geometry);
}
