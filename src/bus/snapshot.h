// What a listener's table holds at one moment, with the listener's state: the one value the Qt models, the
// terminal's tables and the JSON answer of `listen --json` and the page are all made from.
#pragma once

#include "bus/linespeeds.h"
#include "bus/monitor.h"

#include <QJsonObject>
#include <QMap>
#include <QString>

namespace bus {

struct Snapshot {
    QMap<QString, SentenceRow> rows; // by talker and sentence, in the order shown
    SentenceRow others;              // sentences under names past Monitor::MaxRows
    Totals totals;
    bool wrongSpeed = false;     // most of what comes in now is not text
    bool everWrongSpeed = false; // it looked so at some time since listening began
    qint64 nowMs = 0;            // the time of the last bytes fed
    int baud = DefaultSpeed;
    bool listening = false;
    bool paused = false;   // stepped aside while a send holds the line
    QString failure;       // why the port would not open or went away; empty when it did neither
    bool wentAway = false; // the failure came while reading, not on opening

    const SentenceRow *row(const QString &key) const;
};

// The monitor's table now; the listener's state is left as a stopped listener's.
Snapshot snapshotOf(const Monitor &monitor);

// The one JSON shape of the table, for `listen --json`'s last line and the page's bus answer:
// {"summary": {"bytes", "sentences", "badChecksum", "missingChecksum", "tooLong", "garbled", "noiseBytes",
// "wrongSpeed" (ever), "others"}, "others", "listening", "paused", "baud", "failure", "wrongSpeed" (now),
// "rows": [{"talker", "sentence", "count", "badChecksum", "missingChecksum", "rate", "offered" and "listed"
// (the same), "lists" (why or "offered"), "reason" (why, empty when offered), "alternates", "warning" (only
// when it alternates), "variants": [{"variant", "count", "badChecksum", "missingChecksum", "rate", "last" and
// "text" (the same), "fields"}]}]}. "rate" is left out until two sentences came a second apart.
QJsonObject toJson(const Snapshot &snapshot);

} // namespace bus
