// How a listener shows what it has seen: the table for a terminal and the end summary, and one JSON object
// per sentence for scripts.
#pragma once

#include "bus/snapshot.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

namespace bus {

inline constexpr char WrongSpeedText[] = "this looks like the wrong speed";

// "1=094737 2=A 3=5251.0093 ...": each field after its comma count, the number to choose in "Commas".
// Fields past the last count the list offers are set apart after " | beyond Commas 25: ".
QString numberedFields(const Sentence &s);

// The table: one row per talker and sentence with counts, list marks, the last sentence and its fields,
// then the totals and, when it applies, the wrong-speed warning.
QString formatTable(const Snapshot &table, int seconds, int baud);

// The size of the terminal a live table is drawn on.
struct Screen {
    int width = 80;
    int height = 24;
};

// The live table, made to fit the screen: a status line and the column heads always on top, then one line
// per sentence and variant (those that do not fit are named on one line at the end), then what is not
// offered and why, which sentences alternate, and the wrong-speed warning. nowMs is the clock the monitor
// was fed with.
QString formatLive(const Snapshot &table, int seconds, int baud, qint64 nowMs, const Screen &screen);

// One sentence in full: its rows, why our lists do not offer it, the alternation warning, and its fields
// numbered as "Commas" counts them, side by side per variant (XDR as its transducers), each with what it
// holds. key is talker and sentence, "GPRMC", in any case; a sentence alone, "MWV", shows it from every
// talker that sends it.
QString formatFields(const Snapshot &table, const QString &key, qint64 nowMs, int width);

// The wrong-speed warning with the other speed to try, or empty while the speed looks right.
QString wrongSpeedLine(const Snapshot &table, int baud);

// One sentence for --json: time, talker, sentence, proprietary, text (as received), fields, checksum ("ok",
// "bad", "missing"), checksumOk, and whether our lists offer the talker and sentence; "field", the fields
// keyed by their numbers as "Commas" counts them ("7" is field 7), "variant" for a sentence whose meaning
// alternates, and "transducers" for XDR.
QJsonObject toJson(const Sentence &s, const QDateTime &received);

} // namespace bus
