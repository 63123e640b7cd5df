// The opener the bus listener is given by every front end: a serial device at a speed or at the speed
// found ("Auto"), or a network source, with what the user should hear of it (the speed chosen and why, a
// dropped connection, a silence) handed to the front end as it happens.
#pragma once

#include "bus/listener.h"
#include "source/networksource.h"
#include "source/speedsearch.h"

#include <functional>

namespace source {

// The speed that asks for a search rather than a fixed speed ("--baud auto", "Auto").
inline constexpr int AutoSpeed = 0;

struct BusOpenerEvents {
    // A notice to show, the source named in it; called on the thread that polls the listener.
    std::function<void(const QString &text)> notice;
    // The speed a search chose (0: none, the port would not open) and why.
    std::function<void(int baud, const QString &reason)> speedFound;
    // Asked during a search: true ends it early.
    std::function<bool()> stopRequested;
};

bus::PortOpener busOpener(BusOpenerEvents events = {}, NetworkTiming network = {},
                          SpeedSearchTiming search = {});

} // namespace source
