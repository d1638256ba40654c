#include "ui/Layout_accelerators.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "support/Key_positions.h"

namespace {

// The Russian letter on the pressed key when the layout gave a Latin character; 0 otherwise.
char32_t RussianLetterOf(const QKeyEvent &key)
{
    const QString text = key.text();
    char32_t latin = text.size() == 1 ? text.front().toLower().unicode() : 0;
    // With Alt held some desktops give no text: the key code of a letter says which key it was.
    if (text.isEmpty() && key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z)
        latin = static_cast<char32_t>(key.key() - Qt::Key_A + 'a');
    return RussianLetterOnKey(latin);
}

// The Latin letter on the key when the layout gave a Russian letter (й gives q), else the Latin
// letter of the key's native code; 0 when neither is there or the key is a Latin letter already.
char32_t LatinLetterOf(const QKeyEvent &key)
{
    if (key.key() >= Qt::Key_A && key.key() <= Qt::Key_Z)
        return 0;
    const QString text = key.text();
    if (text.size() == 1) {
        const char32_t russian = text.front().toLower().unicode();
        for (char32_t latin = 'a'; latin <= 'z'; ++latin)
            if (RussianLetterOnKey(latin) == russian)
                return latin;
    }
    const quint32 native = key.nativeVirtualKey();
    if (native >= 'a' && native <= 'z')
        return native;
    return native >= 'A' && native <= 'Z' ? native - 'A' + 'a' : 0;
}

// The usable menu item, in these menus or their submenus, that has this shortcut.
QAction *ActionWithShortcut(const QList<QAction *> &actions, const QKeySequence &wanted)
{
    for (QAction *action : actions) {
        if (!action->isVisible() || !action->isEnabled())
            continue;
        if (action->menu()) {
            if (QAction *found = ActionWithShortcut(action->menu()->actions(), wanted))
                return found;
        } else if (action->shortcuts().contains(wanted)) {
            return action;
        }
    }
    return nullptr;
}

// Whether the action's text marks letter as its accelerator.
bool HasAccelerator(const QAction *action, char32_t letter)
{
    const QKeySequence wanted(Qt::ALT | QChar(letter).toUpper().unicode());
    return action->isVisible() && action->isEnabled()
        && QKeySequence::mnemonic(action->text()) == wanted;
}

} // namespace

TLayoutAccelerators::TLayoutAccelerators(QMenuBar *menuBar)
    : QObject(menuBar)
    , menuBar(menuBar)
{
    qApp->installEventFilter(this);
}

bool TLayoutAccelerators::KeyPress(QObject *receiver, const QKeyEvent &key)
{
    if (auto *menu = qobject_cast<QMenu *>(receiver)) {
        const char32_t letter = RussianLetterOf(key);
        // Only the menus of this menu bar, and only a plain key, as in the menu itself.
        const bool ours =
            menu->parentWidget() && menu->parentWidget()->window() == menuBar->window();
        return ours && letter && !(key.modifiers() & ~Qt::ShiftModifier)
            && ChooseInMenu(menu, key, letter);
    }
    auto *widget = qobject_cast<QWidget *>(receiver);
    if (!widget || widget->window() != menuBar->window() || QApplication::activePopupWidget())
        return false;
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (key.key() == Qt::Key_F10 && modifiers == Qt::NoModifier) {
        for (QAction *action : menuBar->actions()) {
            if (action->isVisible() && action->isEnabled()) {
                menuBar->setActiveAction(action);
                return true;
            }
        }
        return false;
    }
    if (modifiers == Qt::ControlModifier) {
        // The shortcuts are Latin letters, which a Russian layout does not give (Ctrl+Й for
        // Ctrl+Q): the item is found by the letter on the same key.
        const char32_t latin = LatinLetterOf(key);
        QAction *action = latin ? ActionWithShortcut(menuBar->actions(),
                              QKeySequence(Qt::CTRL | QChar(latin).toUpper().unicode()))
                                : nullptr;
        if (action)
            action->trigger();
        return action != nullptr;
    }
    if (modifiers != Qt::AltModifier)
        return false;
    const char32_t letter = RussianLetterOf(key);
    if (!letter)
        return false;
    for (QAction *action : menuBar->actions()) {
        if (!HasAccelerator(action, letter))
            continue;
        if (action->menu())
            menuBar->setActiveAction(action);
        else
            action->trigger();
        return true;
    }
    return false;
}

bool TLayoutAccelerators::ChooseInMenu(QMenu *menu, const QKeyEvent &key, char32_t letter)
{
    // The menu chooses by the key's text: handed the Russian letter, it does what it does for
    // a Russian layout.
    QKeyEvent russian(QEvent::KeyPress, key.key(), key.modifiers(), QString::fromUcs4(&letter, 1),
        key.isAutoRepeat(), static_cast<quint16>(key.count()));
    for (const QAction *action : menu->actions())
        if (HasAccelerator(action, letter)) {
            QCoreApplication::sendEvent(menu, &russian);
            return true;
        }
    return false;
}

bool TLayoutAccelerators::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()
        && KeyPress(watched, *static_cast<QKeyEvent *>(event)))
        return true;
    return QObject::eventFilter(watched, event);
}
