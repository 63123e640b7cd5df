// Waiting without freezing the windows: the process sleeps in Qt's event loop until a deadline on the
// monotonic clock, so a send that runs across midnight or a clock change pauses exactly as long as any other.
#pragma once

#include <chrono>

namespace frame {

using Clock = std::chrono::steady_clock;

// Processes events until the clock reaches the deadline; never returns before it.
void waitUntil(Clock::time_point deadline);

} // namespace frame
