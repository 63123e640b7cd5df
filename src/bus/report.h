// How a listener shows what it has seen: the table for a terminal and the end summary, and one JSON object
// per sentence for scripts.
#pragma once

#include "bus/monitor.h"

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
QString formatTable(const Monitor &monitor, int seconds, int baud);

// One sentence for --json: time, talker, sentence, proprietary, text (as received), fields, checksum ("ok",
// "bad", "missing"), checksumOk, and whether our lists offer the talker and sentence.
QJsonObject toJson(const Sentence &s, const QDateTime &received);
// The totals and the rows for the last line of --json.
QJsonObject summaryJson(const Monitor &monitor);

} // namespace bus
