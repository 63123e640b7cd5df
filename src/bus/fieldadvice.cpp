#include "bus/fieldadvice.h"

#include "bus/monitor.h"
#include "vocabulary/fields.h"

namespace bus {

QString alternationWarning(const QString &identifier)
{
    for (const KindField &k : KindFields) {
        if (identifier == QLatin1String(k.identifier))
            return QStringLiteral("%1 %2 (field %3 says which: %4)")
                .arg(identifier, QLatin1String(AlternatesText))
                .arg(k.field)
                .arg(QLatin1String(k.meaning));
    }
    return {};
}

QString pastLastWarning(const QString &identifier)
{
    const int count = vocabulary::fieldCount(identifier);
    if (count == 0)
        return {};
    return QStringLiteral("past the last field of %1 (field %2: %3): most talkers send nothing there")
        .arg(identifier)
        .arg(count)
        .arg(vocabulary::fieldName(identifier, count));
}

QStringList fieldWarnings(const QString &identifier, int field)
{
    QStringList warnings;
    if (const QString alternates = alternationWarning(identifier); !alternates.isEmpty())
        warnings << alternates;
    if (field > vocabulary::fieldCount(identifier) && vocabulary::fieldCount(identifier) > 0)
        warnings << pastLastWarning(identifier);
    return warnings;
}

QString pickText(const Pick &p)
{
    QString text = QStringLiteral("%1 %2 field %3").arg(p.talker, p.identifier).arg(p.field);
    if (!p.xdrType.isEmpty())
        text += QStringLiteral(" type %1").arg(p.xdrType);
    return text;
}

std::optional<QString> whyNotUsable(const std::optional<Pick> &pick)
{
    if (!pick)
        return QStringLiteral("Choose a sentence, then a field (for XDR a transducer), to use it.");
    if (pick->field == 0 && !pick->proprietary)
        return pick->identifier == QLatin1String("XDR")
                   ? QStringLiteral("Choose a transducer of %1 %2 to use it.")
                         .arg(pick->talker, pick->identifier)
                   : QStringLiteral("Choose a field of %1 %2 to use it.").arg(pick->talker, pick->identifier);
    if (const std::optional<QString> notOffered = whyNotOffered(*pick))
        return QStringLiteral("Not in the lists: ") + *notOffered;
    return std::nullopt;
}

} // namespace bus
