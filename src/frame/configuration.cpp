#include "frame/configuration.h"

#include <QJsonValue>

#include <functional>

namespace frame {
namespace {

using vocabulary::List;

std::uint8_t letter(const QString &code, int i)
{
    return std::uint8_t(code.at(i).toLatin1());
}

bool isLocation(int location)
{
    return location >= 1 && location <= vocabulary::MemoryLocationCount;
}

void setMemory(SentenceBytes &s, int location)
{
    s.MemoryChar = std::uint8_t('0' + location - 1);
    s.MemoryKey = memoryKey(location - 1);
}

// The icon byte rule: the chosen icon's code for a product that takes an icon byte ("None" included, so such
// a frame always carries one), otherwise no icon byte.
std::uint8_t iconByte(const Configuration &c, const vocabulary::Product &product)
{
    return product.sendsIconByte ? iconCode(c.icon) : 0;
}

EncodeError encodeStandard(const Configuration &c, const Standard &st, const vocabulary::Product &product,
                           SentenceBytes &out)
{
    const std::optional<QString> talker = vocabulary::talkerCode(st.talker);
    if (!talker)
        return List::Talker;
    const std::optional<QString> sentence = vocabulary::sentenceIDCode(st.sentence);
    if (!sentence)
        return List::Identifier;
    if (st.field < 1 || st.field > vocabulary::CommaCount)
        return List::Commas;
    const bool xdr = c.isXdr();
    const std::optional<QString> type =
        xdr ? vocabulary::xdrCode(st.type) : std::optional<QString>(QString());
    if (!type)
        return List::Xdr;
    if (!isLocation(c.location))
        return List::MemoryLocation1;

    SentenceBytes s = out;
    s.Body1 = letter(*talker, 0);
    s.Body2 = letter(*talker, 1);
    s.Body3 = letter(*sentence, 0);
    s.Body4 = letter(*sentence, 1);
    s.Body5 = letter(*sentence, 2);
    // The comma count byte, or for XDR the type letter; then the field as a character from "1".
    s.Body6 = xdr ? letter(*type, 0) : std::uint8_t(st.field);
    s.Body7 = std::uint8_t('0' + st.field);
    setMemory(s, c.location);
    s.IconCode = iconByte(c, product);
    out = s;
    return std::nullopt;
}

EncodeError encodeInstrument(const Configuration &c, const Instrument &in, const vocabulary::Product &product,
                             SentenceBytes &out)
{
    const std::optional<vocabulary::Instrument> row = vocabulary::instrument(in.instrument);
    if (!row)
        return List::Instrument;
    if (!isLocation(c.location))
        return List::MemoryLocation2;

    SentenceBytes s = out;
    s.Body1 = 'P';
    s.Body2 = 'V';
    s.Body3 = 'L';
    s.Body4 = 'M';
    s.Body5 = row->first;
    s.Body6 = row->second;
    s.Body7 = row->third;
    setMemory(s, c.location);
    s.IconCode = iconByte(c, product);
    out = s;
    return std::nullopt;
}

QString entryText(List list, int position)
{
    const QStringList &shown = vocabulary::entries(list);
    return position >= 0 && position < shown.size() ? shown.at(position) : QStringLiteral("?");
}

QString iconText(int icon)
{
    return icon >= 0 && icon < IconCount ? iconCaptions().at(icon) : QStringLiteral("?");
}

QJsonValue entryOrNull(List list, int position, bool applies)
{
    const QStringList &shown = vocabulary::entries(list);
    return applies && position >= 0 && position < shown.size() ? QJsonValue(shown.at(position))
                                                               : QJsonValue();
}

// A key's text through a lookup that gives a list position, or the reason it gives none.
int positionOf(const QJsonObject &o, const char *key, const std::function<int(const QString &)> &find,
               const QString &valid, QString *error)
{
    const QJsonValue v = o.value(QLatin1String(key));
    const int p = v.isString() ? find(v.toString().trimmed()) : -1;
    if (p < 0 && error)
        *error = QStringLiteral("%1: %2 is not valid; valid values: %3")
                     .arg(QLatin1String(key),
                          v.isString() ? QLatin1Char('"') + v.toString() + QLatin1Char('"')
                                       : QStringLiteral("a missing or non-text value"),
                          valid);
    return p;
}

// A whole number within its range from a key, or the reason it is not one.
int numberOf(const QJsonObject &o, const char *key, int last, QString *error)
{
    const QJsonValue v = o.value(QLatin1String(key));
    const double d = v.toDouble(-1);
    if (!v.isDouble() || d != double(int(d)) || d < 1 || d > last) {
        if (error)
            *error =
                QStringLiteral("%1 is not valid; valid values: 1 to %2").arg(QLatin1String(key)).arg(last);
        return 0;
    }
    return int(d);
}

} // namespace

QString kindName(FrameKind kind)
{
    static const char *const names[] = {"unknown", "standard", "xdr", "proprietary"};
    return QString::fromLatin1(names[int(kind)]);
}

FrameKind kindOf(const Configuration &c)
{
    if (c.instrument())
        return FrameKind::Proprietary;
    return c.isXdr() ? FrameKind::Xdr : FrameKind::Standard;
}

EncodeError encode(const Configuration &c, const vocabulary::Product &product, SentenceBytes &out)
{
    if (const Instrument *in = c.instrument())
        return encodeInstrument(c, *in, product, out);
    return encodeStandard(c, *c.standard(), product, out);
}

int iconSent(const Configuration &c, const vocabulary::Product &product)
{
    return product.sendsIconByte ? c.icon : 0;
}

QString shows(const Configuration &c, bool withIcon)
{
    QString what;
    if (const Instrument *in = c.instrument()) {
        what = entryText(List::Instrument, in->instrument);
    } else {
        const Standard &st = *c.standard();
        what = QStringLiteral("%1 %2 field %3")
                   .arg(entryText(List::Talker, st.talker), entryText(List::Identifier, st.sentence))
                   .arg(st.field);
        if (c.isXdr())
            what += QStringLiteral(" type ") + entryText(List::Xdr, st.type);
    }
    if (withIcon)
        what += QStringLiteral(", icon ") + iconText(c.icon);
    return what;
}

QString shows(const Configuration &c, const vocabulary::Product &product)
{
    return shows(c, product.sendsIconByte);
}

QJsonObject toJson(const Configuration &c, bool withIcon)
{
    const Standard *st = c.standard();
    const Instrument *in = c.instrument();
    QJsonObject o;
    o.insert(QStringLiteral("location"), isLocation(c.location) ? QJsonValue(c.location) : QJsonValue());
    o.insert(QStringLiteral("kind"), kindName(kindOf(c)));
    o.insert(QStringLiteral("talker"), entryOrNull(List::Talker, st ? st->talker : -1, st));
    o.insert(QStringLiteral("sentence"), entryOrNull(List::Identifier, st ? st->sentence : -1, st));
    o.insert(QStringLiteral("field"), st && st->field > 0 ? QJsonValue(st->field) : QJsonValue());
    o.insert(QStringLiteral("type"), entryOrNull(List::Xdr, st ? st->type : -1, c.isXdr()));
    o.insert(QStringLiteral("instrument"), entryOrNull(List::Instrument, in ? in->instrument : -1, in));
    o.insert(QStringLiteral("icon"), withIcon && c.icon >= 0 && c.icon < IconCount
                                         ? QJsonValue(iconCaptions().at(c.icon))
                                         : QJsonValue());
    o.insert(QStringLiteral("shows"), shows(c, withIcon));
    return o;
}

std::optional<Configuration> fromJson(const QJsonObject &o, QString *error)
{
    QString why;
    Configuration c;
    c.location = numberOf(o, "location", vocabulary::MemoryLocationCount, &why);
    const auto entry = [](List list) {
        return [list](const QString &text) { return vocabulary::findEntry(list, text); };
    };
    const auto listed = [](List list) { return vocabulary::entries(list).join(QStringLiteral(", ")); };
    if (why.isEmpty() && o.value(QStringLiteral("instrument")).isString()) {
        c.what =
            Instrument{positionOf(o, "instrument", entry(List::Instrument), listed(List::Instrument), &why)};
    } else if (why.isEmpty()) {
        Standard st;
        st.talker = positionOf(o, "talker", entry(List::Talker), listed(List::Talker), &why);
        if (why.isEmpty())
            st.sentence = positionOf(o, "sentence", entry(List::Identifier), listed(List::Identifier), &why);
        if (why.isEmpty())
            st.field = numberOf(o, "field", vocabulary::CommaCount, &why);
        if (why.isEmpty() && st.sentence == vocabulary::XdrPosition) {
            const auto type = [](const QString &text) {
                const int p = vocabulary::findTransducerLetter(text);
                return p >= 0 ? p : vocabulary::findEntry(List::Xdr, text);
            };
            st.type = positionOf(o, "type", type,
                                 vocabulary::transducerLetters().join(QStringLiteral(", ")) +
                                     QStringLiteral(", or the whole entry text"),
                                 &why);
        }
        c.what = st;
    }
    const QJsonValue icon = o.value(QStringLiteral("icon"));
    if (why.isEmpty() && !icon.isNull() && !icon.isUndefined())
        c.icon = positionOf(o, "icon", findIcon, iconCaptions().join(QStringLiteral(", ")), &why);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return std::nullopt;
    }
    return c;
}

} // namespace frame
