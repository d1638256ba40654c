#include "ui/Focus_frame.h"

#include <algorithm>
#include <vector>

#include <QApplication>
#include <QFocusFrame>
#include <QWidget>

void FrameFocusOf(std::initializer_list<QWidget *> widgets)
{
    if (widgets.size() == 0)
        return;
    QWidget *window = (*widgets.begin())->window();
    auto *frame = new QFocusFrame(window);
    frame->setObjectName(QStringLiteral("FocusFrame"));
    std::vector<QWidget *> framed(widgets);
    QObject::connect(qApp, &QApplication::focusChanged, frame,
        [frame, framed = std::move(framed)](QWidget *, QWidget *now) {
            const bool ours = std::find(framed.begin(), framed.end(), now) != framed.end();
            frame->setWidget(ours ? now : nullptr);
        });
}
