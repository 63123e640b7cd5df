// Work a window does when it appears. A window is told it is shown before the window system has it on the
// screen; some things (an activation, the frame's size) only hold once the event loop has shown it.
#pragma once

#include <functional>

class QWidget;

namespace ui {

// Runs act on the window each time it is shown, from its show event.
void onEachShow(QWidget *window, std::function<void(QWidget *)> act);

// Runs act as soon as the event loop has shown the window, if it is still shown then.
void onceShown(QWidget *window, std::function<void()> act);

} // namespace ui
