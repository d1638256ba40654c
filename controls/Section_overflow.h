#ifndef CONTROLS_SECTION_OVERFLOW_H
#define CONTROLS_SECTION_OVERFLOW_H

#include <functional>
#include <vector>

#include <QObject>
#include <QPointer>

#include "controls/Grad_button.h"

// The button at the right end of a row of buttons that is wider than its form. The buttons that
// do not end left of it are hidden and offered in its menu instead, as a toolbar does; every
// button that fits keeps its place and look. The button exists only once a row has overflowed,
// as a child of the form.
class SectionOverflow : public QObject
{
public:
    // `refit` is called whenever the form is shown or changes its size; it is expected to call
    // Fit with the row as it then stands.
    SectionOverflow(QWidget *form, std::function<void()> refit);
    ~SectionOverflow() override;

    // `row` holds the buttons the layout shows, left to right; each is shown or hidden here.
    // `scheme` colours the overflow button when it has to be made.
    void Fit(const std::vector<TGradButton *> &row, TColorScheme scheme);
    // Destroys the overflow button; the row's buttons are left alone.
    void Remove();

    TGradButton *Button() const { return button; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ShowMenu();

    QPointer<QWidget> form;
    std::function<void()> refit;
    QPointer<TGradButton> button;
    std::vector<QPointer<TGradButton>> hidden;
};

#endif // CONTROLS_SECTION_OVERFLOW_H
