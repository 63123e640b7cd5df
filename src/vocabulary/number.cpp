#include "vocabulary/number.h"

#include <QRegularExpression>

#include <cmath>

namespace vocabulary {

std::optional<LeadingNumber> leadingNumber(QStringView text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return LeadingNumber{std::nearbyint(match.captured(0).toDouble()), match.capturedLength(0)};
}

} // namespace vocabulary
