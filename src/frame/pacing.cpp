#include "frame/pacing.h"

#include <QEventLoop>
#include <QTimer>

#include <thread>

namespace frame {

void waitUntil(Clock::time_point deadline)
{
    using namespace std::chrono;
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return;
        // Qt's timers count whole milliseconds; the last fraction is slept, too short to hold up a window.
        if (left < milliseconds(1)) {
            std::this_thread::sleep_until(deadline);
            return;
        }
        // A precise one-shot timer per wait: a repeating timer would catch up and send bytes early.
        const auto ms = floor<milliseconds>(left);
        QEventLoop loop;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(ms);
        loop.exec();
    }
}

} // namespace frame
