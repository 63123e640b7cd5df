// What the plan's own units share and its users need not see: how a value or key is shown in a message,
// the key each kind of value is given under, and the size pre-scan the reader runs first.
#pragma once

#include "plan/plan.h"

#include <optional>

namespace plan::parts {

// The key a value is given under in a plan ("talker"); "location" for a location number.
const char *keyName(Value kind);

// A value or key from the plan as a fault message shows it: quoted, with anything but printable ASCII
// escaped, so that no byte of the file reaches the terminal as a control and no look-alike passes for a
// valid text.
QString shownText(const QString &text);

// "location 3: talker is missing; valid values: ..."
QString missingMessage(const QString &where, Value kind);

// "location 3: ", as each location's fault starts.
QString locationPrefix(int location);

// A whole number from first to last, nothing otherwise.
std::optional<int> number(const QString &text, int first, int last);

// Where the text first crosses a plan's limits (size, nesting), and why; nothing when it keeps within
// them.
struct Overrun {
    Position at;
    QString message;
};
std::optional<Overrun> overLimits(const QByteArray &text);

} // namespace plan::parts
