// The one way the program reads a number that a user typed or its settings file holds: an optional sign and
// decimal digits with an optional point ("4", "+4.", "4.5", ".5"), rounded half to the even neighbour.
#pragma once

#include <QStringView>

#include <optional>

namespace vocabulary {

struct LeadingNumber {
    double value;     // rounded half to even: 4.5 gives 4, 5.5 gives 6
    qsizetype length; // how many characters the number took
};

// The number text starts with; nothing when it starts with none.
std::optional<LeadingNumber> leadingNumber(QStringView text);

} // namespace vocabulary
