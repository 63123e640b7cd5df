// One line of NMEA 0183 as a listener sees it: who sent it, which sentence, its fields numbered the way the
// display's "Commas" counts them, and whether its checksum holds.
#pragma once

#include "vocabulary/vocabulary.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

namespace bus {

// The longest sentence NMEA 0183 allows: start character through CR LF.
inline constexpr int MaxSentenceLength = 82;
// The highest field position the "Commas" list offers.
inline constexpr int MaxCommas = vocabulary::CommaCount;

enum class Checksum { Missing, Ok, Bad };

struct Sentence {
    QByteArray text;    // as received, without the line ending
    QString talker;     // "GP"; "P" for a proprietary sentence
    QString identifier; // "RMC"; for a proprietary sentence the rest of its address ("VLM", "GRME")
    bool proprietary = false;
    // fields[0] is field 1: the value after the first comma, the number to choose in "Commas".
    QStringList fields;
    Checksum checksum = Checksum::Missing;

    QString key() const { return talker + identifier; }
    // Field n (1-based) or nothing when the sentence has fewer fields.
    std::optional<QString> field(int n) const;
};

// Parses a line that starts with '$' or '!' (no line ending); nothing when it is no sentence at all (no
// address, or an address that is not letters and digits).
std::optional<Sentence> parseSentence(QByteArrayView line);

// The checksum NMEA 0183 puts after '*': the XOR of every character between the start character and '*'.
quint8 checksumOf(QByteArrayView body);

} // namespace bus
