#include "controls/Section_overflow.h"

#include <algorithm>
#include <limits>
#include <utility>

#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QPixmap>

#include "controls/Button_section_bar.h"

namespace {

// Headers show only their glyph, drawn with its top-left colour transparent as on the button.
QIcon GlyphIcon(const QImage &glyph)
{
    if (glyph.isNull())
        return {};
    QPixmap pixmap = QPixmap::fromImage(glyph);
    pixmap.setMask(pixmap.createMaskFromColor(glyph.pixelColor(0, 0)));
    return QIcon(pixmap);
}

} // namespace

SectionOverflow::SectionOverflow(QWidget *form, std::function<void()> refit)
    : form(form)
    , refit(std::move(refit))
{
    form->installEventFilter(this);
}

SectionOverflow::~SectionOverflow()
{
    if (form)
        form->removeEventFilter(this);
}

bool SectionOverflow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == form && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        refit();
    return false;
}

void SectionOverflow::Fit(const std::vector<TGradButton *> &row, TColorScheme scheme)
{
    hidden.clear();
    int rowEnd = 0;
    for (const TGradButton *shown : row)
        rowEnd = std::max(rowEnd, shown->x() + shown->width());
    // An unshown form has no width of its own yet; it is fitted again when it is shown.
    const bool overflowing = form && form->isVisible() && rowEnd > form->width();
    const int limit =
        overflowing ? form->width() - SectionBar::OVERFLOW_WIDTH : std::numeric_limits<int>::max();
    for (TGradButton *shown : row) {
        const bool fits = shown->x() + shown->width() <= limit;
        shown->setVisible(fits);
        if (!fits)
            hidden.emplace_back(shown);
    }
    if (!overflowing) {
        if (button)
            button->hide();
        return;
    }
    if (!button) {
        button = new TGradButton(form);
        button->setObjectName(QStringLiteral("SectionOverflow"));
        button->SetCaption(QStringLiteral("\u00BB"));
        button->setToolTip(QStringLiteral("Остальные кнопки"));
        button->setAccessibleName(QStringLiteral("Остальные кнопки"));
        button->SetColorScheme(scheme);
        connect(button, &TGradButton::clicked, this, &SectionOverflow::ShowMenu);
    }
    button->setGeometry(limit, 0, SectionBar::OVERFLOW_WIDTH, SectionBar::BUTTON_HEIGHT);
    button->raise();
    button->show();
}

void SectionOverflow::Remove()
{
    delete button;
    hidden.clear();
}

void SectionOverflow::ShowMenu()
{
    auto *menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("SectionOverflowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const QPointer<TGradButton> &target : hidden) {
        if (!target)
            continue;
        const bool header = target->Caption().isEmpty() && !target->Glyph().isNull();
        QAction *action = menu->addAction(header ? GlyphIcon(target->Glyph()) : QIcon(),
            header ? target->toolTip() : target->Caption());
        // A selected item is disabled on the bar and takes no click here either.
        action->setEnabled(target->isEnabled());
        connect(action, &QAction::triggered, target, [target] {
            if (target && target->isEnabled())
                target->Click();
        });
    }
    menu->popup(button->mapToGlobal(QPoint(0, button->height())));
    // Opened from the keyboard as well as with the mouse: Enter takes the first entry at once.
    for (QAction *action : menu->actions()) {
        if (action->isEnabled()) {
            menu->setActiveAction(action);
            break;
        }
    }
}
