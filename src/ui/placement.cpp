#include "ui/placement.h"

#include "ui/showhook.h"

#include <QApplication>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <cmath>
#include <limits>

namespace ui {

namespace {

int keepInsideAxis(int start, int length, int areaStart, int areaLength)
{
    if (length >= areaLength)
        return areaStart;
    return qBound(areaStart, start, areaStart + areaLength - length);
}

qint64 distanceSquared(const QPoint &p, const QRect &r)
{
    const qint64 dx = p.x() < r.left() ? r.left() - p.x() : (p.x() > r.right() ? p.x() - r.right() : 0);
    const qint64 dy = p.y() < r.top() ? r.top() - p.y() : (p.y() > r.bottom() ? p.y() - r.bottom() : 0);
    return dx * dx + dy * dy;
}

} // namespace

QPoint keepInside(const QRect &frame, const QRect &area)
{
    if (area.isEmpty() || area.contains(frame))
        return frame.topLeft();
    return {keepInsideAxis(frame.x(), frame.width(), area.x(), area.width()),
            keepInsideAxis(frame.y(), frame.height(), area.y(), area.height())};
}

QRect screenAreaFor(const QRect &frame, const QList<QRect> &areas)
{
    for (const QRect &area : areas) {
        if (area.contains(frame.topLeft()))
            return area;
    }
    QRect best;
    qint64 bestOverlap = 0;
    for (const QRect &area : areas) {
        const QRect common = area.intersected(frame);
        const qint64 overlap = qint64(common.width()) * common.height();
        if (overlap > bestOverlap) {
            bestOverlap = overlap;
            best = area;
        }
    }
    if (!best.isEmpty())
        return best;
    qint64 nearest = std::numeric_limits<qint64>::max();
    for (const QRect &area : areas) {
        const qint64 d = distanceSquared(frame.topLeft(), area);
        if (d < nearest) {
            nearest = d;
            best = area;
        }
    }
    return best;
}

bool keepOnScreen(QWidget *window)
{
    QRect frame;
    if (window->isVisible()) {
        frame = window->frameGeometry();
    } else {
        // Not shown yet: its size is what its layout makes it, and the window system has not framed it yet;
        // allow for a title bar so the frame it will get still fits.
        if (QLayout *layout = window->layout())
            layout->activate();
        const int titleBar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
        frame = QRect(window->pos(), window->size()).adjusted(0, 0, 0, titleBar);
    }
    QList<QRect> areas;
    for (const QScreen *screen : QGuiApplication::screens()) {
        QRect area = screen->availableGeometry();
        // At a scale such as 1.5 the area in window units is rounded (1366 pixels give 911 units for 910.67),
        // and a window against the far edge would hang a pixel off the screen: keep one unit in from it.
        const qreal ratio = screen->devicePixelRatio();
        if (ratio != std::floor(ratio))
            area.adjust(0, 0, -1, -1);
        areas.append(area);
    }
    const QPoint corner = keepInside(frame, screenAreaFor(frame, areas));
    if (corner == frame.topLeft())
        return false;
    window->move(window->pos() + (corner - frame.topLeft()));
    return true;
}

void keepOnScreenWhenShown(QWidget *window)
{
    onEachShow(window, [](QWidget *w) {
        keepOnScreen(w);
        onceShown(w, [w] { keepOnScreen(w); }); // again once the window system has framed it
    });
}

} // namespace ui
