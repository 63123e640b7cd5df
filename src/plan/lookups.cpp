// The values a plan and the command line take, looked up as the window's lists show them, and what a
// message says is valid when a value names nothing.
#include "plan/planparts.h"

#include "frame/sentencebytes.h"
#include "plan/wording.h"
#include "serial/devicepath.h"
#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

namespace plan {

using vocabulary::List;
using vocabulary::productCaption;

namespace parts {

std::optional<int> number(const QString &text, int first, int last)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < first || n > last)
        return std::nullopt;
    return n;
}

const char *keyName(Value kind)
{
    switch (kind) {
    case Value::Product:
        return "product";
    case Value::Talker:
        return "talker";
    case Value::Sentence:
        return "sentence";
    case Value::Field:
        return "field";
    case Value::Type:
        return "type";
    case Value::Instrument:
        return "instrument";
    case Value::Icon:
        return "icon";
    case Value::Location:
        return "location";
    }
    return "";
}

QString shownText(const QString &text)
{
    return QLatin1Char('"') + serial::printableAscii(text).replace(QLatin1Char('"'), QStringLiteral("\\\"")) +
           QLatin1Char('"');
}

QString missingMessage(const QString &where, Value kind)
{
    return QStringLiteral("%1%2 is missing; valid values: %3")
        .arg(where, QString::fromLatin1(keyName(kind)), briefValues(kind));
}

QString locationPrefix(int location)
{
    return QStringLiteral("location %1: ").arg(location);
}

} // namespace parts

using parts::number;

QString notValidMessage(const QString &where, Value kind, const std::optional<QString> &text)
{
    return QStringLiteral("%1%2: %3 is not valid; %4")
        .arg(where, QString::fromLatin1(parts::keyName(kind)),
             text ? parts::shownText(*text) : QStringLiteral("this kind of value"),
             text ? notValidHint(kind, *text) : QStringLiteral("valid values: ") + briefValues(kind));
}

QString validValues(Value kind)
{
    switch (kind) {
    case Value::Product: {
        QStringList products;
        for (int p = 0; p < ProductCount; ++p)
            products << QStringLiteral("%1 (%2)").arg(p).arg(productCaption(p));
        return products.join(QStringLiteral(", ")) + QStringLiteral(", or the caption");
    }
    case Value::Talker:
        return vocabulary::entries(List::Talker).join(QStringLiteral(", "));
    case Value::Sentence:
        return vocabulary::entries(List::Identifier).join(QStringLiteral(", "));
    case Value::Field:
        return QStringLiteral("1 to %1").arg(vocabulary::CommaCount);
    case Value::Type:
        return vocabulary::transducerLetters().join(QStringLiteral(", ")) +
               QStringLiteral(", or the whole entry text");
    case Value::Instrument:
        return QStringLiteral("1 to %1, or one of: ").arg(vocabulary::InstrumentCount) +
               vocabulary::entries(List::Instrument).join(QStringLiteral(", "));
    case Value::Icon:
        return frame::iconCaptions().join(QStringLiteral(", "));
    case Value::Location:
        return QStringLiteral("%1 to %2").arg(FirstLocation).arg(LastLocation);
    }
    return {};
}

QString briefValues(Value kind)
{
    const auto ends = [](List list, const char *what) {
        const QStringList &all = vocabulary::entries(list);
        return QStringLiteral("one of the %1 %2 of the window's list, %3 to %4")
            .arg(all.size())
            .arg(QLatin1String(what), all.first(), all.last());
    };
    switch (kind) {
    case Value::Talker:
        return ends(List::Talker, "talker IDs");
    case Value::Sentence:
        return ends(List::Identifier, "sentence identifiers");
    case Value::Instrument:
        return QStringLiteral("1 to %1, or an instrument's name as the window's list shows it")
            .arg(vocabulary::InstrumentCount);
    default:
        return validValues(kind);
    }
}

QString notValidHint(Value kind, const QString &text)
{
    QStringList entries;
    switch (kind) {
    case Value::Talker:
        entries = vocabulary::entries(List::Talker);
        break;
    case Value::Sentence:
        entries = vocabulary::entries(List::Identifier);
        break;
    case Value::Instrument:
        entries = vocabulary::entries(List::Instrument);
        break;
    case Value::Type:
        entries = vocabulary::entries(List::Xdr);
        break;
    case Value::Icon:
        entries = frame::iconCaptions();
        break;
    default:
        break;
    }
    const QString near = didYouMean(text, entries);
    if (near.isEmpty())
        return QStringLiteral("valid values: ") + briefValues(kind);
    // A short list is still given whole after the guess; a long one would bury it.
    if (kind == Value::Type || kind == Value::Icon)
        return near + QStringLiteral(" valid values: ") + validValues(kind);
    return near;
}

std::optional<int> lookup(Value kind, const QString &raw, QString *valid)
{
    const QString text = raw.trimmed();
    std::optional<int> found;
    int p = -1;
    switch (kind) {
    case Value::Product:
        found = number(text, 0, ProductCount - 1);
        for (int i = 0; i < ProductCount && !found; ++i) {
            if (productCaption(i).simplified().compare(text.simplified(), Qt::CaseInsensitive) == 0)
                found = i;
        }
        break;
    case Value::Talker:
        p = vocabulary::findEntry(List::Talker, text);
        break;
    case Value::Sentence:
        p = vocabulary::findEntry(List::Identifier, text);
        break;
    case Value::Field:
        found = number(text, 1, vocabulary::CommaCount);
        break;
    case Value::Type:
        p = vocabulary::findTransducerLetter(text);
        if (p < 0)
            p = vocabulary::findEntry(List::Xdr, text);
        break;
    case Value::Instrument:
        if (const std::optional<int> n = number(text, 1, int(vocabulary::entries(List::Instrument).size())))
            p = *n - 1;
        else
            p = vocabulary::findEntry(List::Instrument, text);
        break;
    case Value::Icon:
        p = frame::findIcon(text);
        break;
    case Value::Location:
        found = number(text, FirstLocation, LastLocation);
        break;
    }
    if (!found && p >= 0)
        found = p;
    if (!found && valid)
        *valid = validValues(kind);
    return found;
}

} // namespace plan
