// The keyboard as the windows' users meet it: Return and Enter press the push button that has the focus, as
// Space does, and a window that appears takes the keyboard focus, with or without a window manager.
#pragma once

class QAbstractButton;
class QWidget;

namespace ui {

// Return and Enter press this button while it has the focus; nothing else changes (no default button, so
// with the focus elsewhere they press nothing).
void pressWithEnter(QAbstractButton *button);

// Makes `window` the active window and puts the keyboard focus on `control`, or, without one, on the
// window's first keyboard stop. Asking for the activation outright is what gets a window the focus where
// no window manager hands it over.
void takeFocus(QWidget *window, QWidget *control = nullptr);

// The keyboard stop inside `area` that has the focus now (Tab reaches it), or none.
QWidget *focusedStop(QWidget *area);

// The same for a window that is being shown now (from its show event).
void takeFocusOnceShown(QWidget *window, QWidget *control = nullptr);

// Each time `window` is shown it takes the focus as takeFocus does, on the control that has the focus
// within it then (a box's default button), or its first stop.
void takeFocusWhenShown(QWidget *window);

} // namespace ui
