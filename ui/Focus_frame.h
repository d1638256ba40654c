#ifndef UI_FOCUS_FRAME_H
#define UI_FOCUS_FRAME_H

#include <initializer_list>

class QWidget;

// A ring around whichever of these widgets has the keyboard focus, for the controls whose own
// look does not show it. The widgets must share one window; the ring is a child of it.
void FrameFocusOf(std::initializer_list<QWidget *> widgets);

#endif // UI_FOCUS_FRAME_H
