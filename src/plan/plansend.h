// Sending a whole plan: location after location on one open port, with a pause (or the user's go-ahead)
// between them, stopping at the first failure and telling which locations reached the display.
#pragma once

#include "frame/sendstep.h"
#include "plan/plan.h"
#include "serial/serialport.h"

#include <chrono>
#include <functional>

namespace plan {

struct SendOptions {
    frame::Pacing pacing;
    std::chrono::milliseconds gap{1000}; // between two locations, not before the first
    int from = FirstLocation;            // locations below this one are skipped
    // Asked before every byte and during the gap: true stops the send after the byte on the wire (Ctrl-C).
    std::function<bool()> stopRequested;
};

struct SendEvents {
    // Before each location; returning false stops the send there (the user gave up).
    std::function<bool(const Location &)> confirm;
    std::function<void(const Location &)> starting;
    // After each repetition of the location: 1 to 10.
    std::function<void(const Location &, int repetition)> repetition;
    std::function<void(const Location &)> sent;
};

struct SendReport {
    QList<int> sent;
    QList<int> notSent;
    QList<int> skipped;   // before the location the send resumed at
    QString failure;      // why it stopped; empty when every location was sent
    bool stopped = false; // by the user or a signal, not by a fault
    int cut = 0; // the location a stop or a fault cut in the middle (the display may hold a part); 0: none

    bool complete() const { return notSent.isEmpty(); }
};

// Opens the device, sends the plan's locations from options.from on, in location order, and closes it.
// The plan must be clean (no faults).
SendReport sendPlan(const Plan &plan, serial::SerialPort &port, const QString &device,
                    const SendOptions &options, const SendEvents &events = {});

// Lists locations as installers read them: "1-3, 5, 7-10".
QString locationRanges(const QList<int> &numbers);

// "location 4 was not sent" or "locations 4-6, 9 were not sent".
QString notSentText(const QList<int> &numbers);

} // namespace plan
