// The test pattern: standard NMEA 0183 sentences that make each standard location of a plan show a value made
// from its own number (location 3 shows 3.3), so an installer sees at a glance that every location shows
// the field it was meant to. Sent to a display in normal use, about once a second, until stopped.
#pragma once

#include "frame/transmitter.h"
#include "plan/plan.h"
#include "serial/serialport.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <functional>

namespace plan {

// The value location n shows: "3.3", "10.10".
QString testValue(int location);

// Fields a display needs to hold a valid status before it takes the sentence at all: a receiver's "data
// valid" (RMC, GLL, MWV), its fix quality (GGA), the mode indicator NMEA 0183 2.3 added (RMC, GLL, VTG),
// whose "N" means "not valid", and the wind's reference (MWV). The pattern fills them with the values of a
// working receiver.
struct StatusField {
    const char *sentence;
    int field; // counted as the display's "Commas" counts: 1 is the value after the first comma
    const char *value;
    const char *meaning;
};
inline constexpr std::array StatusFields{
    StatusField{"RMC", 2, "A", "status A: data valid"},
    StatusField{"RMC", 12, "A", "mode A: autonomous fix"},
    StatusField{"GLL", 6, "A", "status A: data valid"},
    StatusField{"GLL", 7, "A", "mode A: autonomous fix"},
    StatusField{"GGA", 6, "1", "fix quality 1: GPS fix"},
    StatusField{"VTG", 9, "A", "mode A: autonomous fix"},
    // Wind: which wind the angle and speed are (relative, as an anemometer sends most), and "data valid".
    StatusField{"MWV", 2, "R", "reference R: relative wind"},
    StatusField{"MWV", 5, "A", "status A: data valid"},
};

struct Covered {
    int location = 0;
    QString sentence; // "GPRMC"
    int field = 0;
    QString value;
};
struct NotCovered {
    int location = 0;
    QString reason;
};

struct TestPattern {
    QList<QByteArray> sentences; // each "$...*hh\r\n", built once, carrying every field of the plan it holds
    QList<Covered> covered;      // in location order
    QList<NotCovered> notCovered;
};

TestPattern makeTestPattern(const Plan &plan);

struct TestRun {
    int rounds = 0;  // times every sentence went out
    QString failure; // why it ended other than by a stop; empty when it was stopped
};

// Opens the device, sends every sentence once a second on the pacing's clock until stopRequested says so
// (checked at least every 50 ms), and closes it. round is told after each round.
TestRun runTestPattern(const TestPattern &pattern, serial::SerialPort &port, const QString &device,
                       const frame::Pacing &pacing, const std::function<bool()> &stopRequested,
                       const std::function<void(int round)> &round = {});

} // namespace plan
