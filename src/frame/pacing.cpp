#include "frame/pacing.h"

#include <QEventLoop>
#include <QTimer>

namespace frame {

void waitUntil(Clock::time_point deadline)
{
    using namespace std::chrono;
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return;
        // A precise one-shot timer per wait: a repeating timer would catch up and send bytes early.
        const auto ms = ceil<milliseconds>(left);
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
