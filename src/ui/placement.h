// Where a window goes on the screen. The corners the start-up and the Send steps set are kept whenever the
// whole window fits on the screen there; on a small screen (or a large scale factor) the window is moved just
// enough to be seen whole, so no button ends up out of reach.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

class QWidget;

namespace ui {

// The top-left corner for a window whose outer rectangle is `frame` on a screen whose usable area is `area`:
// `frame`'s own corner when all of it lies inside, else moved the least distance that brings it inside. A
// window larger than the area keeps its top-left corner (title bar and first controls) on the screen.
QPoint keepInside(const QRect &frame, const QRect &area);

// The usable area of the screen a window with this outer rectangle opens on: the screen that holds its
// top-left corner, else the one it overlaps most, else the one nearest to that corner. Empty without screens.
QRect screenAreaFor(const QRect &frame, const QList<QRect> &areas);

// Applies the rule to a top-level window at its current position, with its frame when the window system has
// given it one. Returns whether the window was moved.
bool keepOnScreen(QWidget *window);

// Applies the rule each time the window is shown, and once more as soon as the window system has framed it.
void keepOnScreenWhenShown(QWidget *window);

} // namespace ui
