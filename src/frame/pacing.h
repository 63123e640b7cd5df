// Waiting without freezing the windows: the process sleeps in Qt's event loop until a deadline on the
// monotonic clock, so a send that runs across midnight or a clock change pauses exactly as long as any other.
#pragma once

#include <chrono>

namespace frame {

using Clock = std::chrono::steady_clock;

// The display's pacing, for sending and for the simulated display alike: each byte has a 50 ms slot from the
// start of its write, and each repetition is preceded by 100 ms of silence.
inline constexpr std::chrono::microseconds ByteSlot = std::chrono::milliseconds(50);
inline constexpr std::chrono::microseconds RepetitionPause = std::chrono::milliseconds(100);

// Processes events until the clock reaches the deadline; never returns before it.
void waitUntil(Clock::time_point deadline);

} // namespace frame
