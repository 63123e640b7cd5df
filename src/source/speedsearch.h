// Finding the bus's speed instead of guessing it: instruments talk at 4800 baud, AIS and multiplexers at
// 38400. Each speed is listened to for a short while and judged by whole sentences whose checksums hold;
// the port is opened through the caller's opener each time, so a device another program holds is never
// taken. No widget, no clock of its own: the caller gives both.
#pragma once

#include "serial/receiveport.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <memory>

namespace source {

// The speeds tried, in this order.
inline constexpr std::array SearchedSpeeds{4800, 38400};

struct SpeedSearchTiming {
    int trialMs = 3000;      // the longest a speed is listened to
    int enoughSentences = 3; // this many good sentences decide at once
    int readMs = 100;
};

// Opens the device at a speed; nothing, with why, when it will not open.
using SpeedOpener = std::function<std::unique_ptr<serial::ReceivePort>(int baud, QString *why)>;
// Milliseconds on a steady clock.
using Clock = std::function<qint64()>;

// What one speed gave.
struct SpeedTrial {
    int baud = 0;
    qint64 ms = 0; // how long it was listened to
    qint64 bytes = 0;
    int good = 0;      // whole sentences whose checksum holds
    int bad = 0;       // whole sentences whose checksum does not hold
    int unchecked = 0; // whole sentences without a checksum
    int noise = 0;     // lines garbled, cut short or too long
};
// "3 sentences with good checksums in 0.4 s", "nothing heard in 3 s", "no sentence with a good checksum in
// 3 s (412 bytes, mostly noise)".
QString trialText(const SpeedTrial &trial);

struct SpeedFound {
    int baud = 0;   // the speed chosen; 0 when the port would not open or the search was stopped
    QString reason; // which speed and why, or why none
    QList<SpeedTrial> trials;
    std::unique_ptr<serial::ReceivePort> port; // open at baud
    QByteArray heard;                          // what was read at that speed while judging it
};

// Tries each of SearchedSpeeds until one gives enough good sentences; failing that, the one that gave the
// most; failing that, 4800, the instruments' speed, with the reason that none did. Returns at once when
// the port will not open (why in reason) or stopRequested says so.
SpeedFound findSpeed(const SpeedOpener &open, const Clock &now,
                     const std::function<bool()> &stopRequested = {}, const SpeedSearchTiming &timing = {});

} // namespace source
