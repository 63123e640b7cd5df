// What to tell a user who chooses a field of a sentence for a display: that the sentence alternates, so the
// display shows each of its kinds in turn, or that the field lies past the sentence's last. Warnings only:
// talkers differ, and the user decides.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace bus {

struct Pick;

// Empty when the sentence (its identifier as the lists show it) has one meaning.
QString alternationWarning(const QString &identifier);
// Empty when the field table does not count the sentence's fields; otherwise what a field past its last
// would show, whichever field that is.
QString pastLastWarning(const QString &identifier);
// The warnings that apply to this field of this sentence, in that order.
QStringList fieldWarnings(const QString &identifier, int field);

// A field picked on the bus as a user reads it: "GP RMC field 7", "II XDR field 6 type A".
QString pickText(const Pick &pick);
// Why a pick (nothing: none made yet) cannot be put into the lists yet, in words that say what to do;
// nothing when it can.
std::optional<QString> whyNotUsable(const std::optional<Pick> &pick);

} // namespace bus
