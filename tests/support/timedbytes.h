// Bytes with the moment they arrive, as a simulated display hears them, and sends paced as the transmitter
// paces them, so the receiving side can be tested without waiting for real time.
#pragma once

#include "sim/receiver.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <chrono>
#include <cstdint>

struct TimedByte {
    std::uint8_t byte;
    sim::Micros at;
};
using Stream = QList<TimedByte>;
using Pauses = QHash<int, sim::Micros>;

// A pause before each repetition and one slot per byte; pauses[i] overrides the pause before repetition i.
inline Stream paced(const QList<QByteArray> &frames, sim::Micros start = sim::Micros(0),
                    sim::Micros slot = sim::Slot, const Pauses &pauses = {}, sim::Micros pause = sim::Pause)
{
    Stream s;
    sim::Micros t = start;
    for (int r = 0; r < frames.size(); ++r) {
        t += pauses.value(r, pause);
        for (const char c : frames[r]) {
            s.append({std::uint8_t(c), t});
            t += slot;
        }
    }
    return s;
}
