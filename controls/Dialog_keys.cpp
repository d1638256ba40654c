#include "controls/Dialog_keys.h"

#include <vector>

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>

#include "controls/Grad_button.h"

namespace {

class DialogKeyRouter : public QObject
{
public:
    explicit DialogKeyRouter(QWidget *form)
        : QObject(form)
        , form(form)
    {
    }

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::vector<QPointer<TGradButton>> ButtonsInTabOrder() const;
    template <typename Offer> bool OfferToButtons(Offer offer) const;

    QWidget *form;
};

std::vector<QPointer<TGradButton>> DialogKeyRouter::ButtonsInTabOrder() const
{
    std::vector<QPointer<TGradButton>> buttons;
    for (QWidget *widget = form->nextInFocusChain(); widget && widget != form;
         widget = widget->nextInFocusChain()) {
        auto *button = qobject_cast<TGradButton *>(widget);
        // Buttons of a window nested in the form answer to that window's own routing.
        if (button && button->window() == form)
            buttons.emplace_back(button);
    }
    return buttons;
}

// A button's click may rebuild or destroy others, hence the guarded pointers.
template <typename Offer> bool DialogKeyRouter::OfferToButtons(Offer offer) const
{
    for (const QPointer<TGradButton> &button : ButtonsInTabOrder())
        if (button && offer(*button))
            return true;
    return false;
}

bool DialogKeyRouter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (widget->window() != form)
        return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    const QChar character = key->text().isEmpty() ? QChar() : key->text().front();
    const bool printable = character.isPrint() && !character.isSpace();

    // Alt+character is no control's input, so it is offered at once, wherever the focus is. An
    // untaken one travels on to the parents and is offered again, which changes nothing.
    if (printable && (modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier))
        return OfferToButtons([character](TGradButton &b) { return b.CMDialogChar(character); });

    // Everything else only once it has come up to the form unconsumed.
    if (widget != form)
        return false;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return OfferToButtons(
            [key, modifiers](TGradButton &b) { return b.CMDialogKey(key->key(), modifiers); });
    default:
        break;
    }
    if (printable && !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        && qobject_cast<TGradButton *>(form->focusWidget()))
        return OfferToButtons([character](TGradButton &b) { return b.CMDialogChar(character); });
    return false;
}

} // namespace

void InstallDialogKeys(QWidget *form)
{
    // On the application, so that Alt+character is seen before the focused control; the router
    // is the form's child and leaves the application's filters when the form goes.
    qApp->installEventFilter(new DialogKeyRouter(form));
}
