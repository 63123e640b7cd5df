#include "bus/snapshot.h"

#include <QJsonArray>

#include <cmath>

namespace bus {
namespace {

QJsonObject countsJson(qint64 count, qint64 bad, qint64 missing, qint64 firstMs, qint64 lastMs)
{
    QJsonObject o{{QStringLiteral("count"), count},
                  {QStringLiteral("badChecksum"), bad},
                  {QStringLiteral("missingChecksum"), missing}};
    if (const std::optional<double> rate = rateOf(count, firstMs, lastMs))
        o.insert(QStringLiteral("rate"), std::round(*rate * 100) / 100);
    return o;
}

QJsonObject variantJson(const VariantRow &v)
{
    QJsonObject o = countsJson(v.count, v.badChecksum, v.missingChecksum, v.firstMs, v.lastMs);
    const QString last = QString::fromLatin1(v.last.text);
    o.insert(QStringLiteral("variant"), v.label);
    o.insert(QStringLiteral("last"), last);
    o.insert(QStringLiteral("text"), last);
    o.insert(QStringLiteral("fields"), QJsonArray::fromStringList(v.last.fields));
    return o;
}

QJsonObject rowJson(const SentenceRow &r)
{
    const bool listed = offered(r);
    QJsonObject o = countsJson(r.count, r.badChecksum, r.missingChecksum, r.firstMs, r.lastMs);
    o.insert(QStringLiteral("talker"), r.talker);
    o.insert(QStringLiteral("sentence"), r.identifier);
    o.insert(QStringLiteral("offered"), listed);
    o.insert(QStringLiteral("listed"), listed);
    o.insert(QStringLiteral("lists"), offerText(r));
    o.insert(QStringLiteral("reason"), listed ? QString() : offerText(r));
    o.insert(QStringLiteral("alternates"), r.alternates());
    if (r.alternates())
        o.insert(QStringLiteral("warning"), QString::fromLatin1(AlternatesText));
    QJsonArray variants;
    for (const VariantRow &v : r.variants)
        variants.append(variantJson(v));
    o.insert(QStringLiteral("variants"), variants);
    return o;
}

} // namespace

const SentenceRow *Snapshot::row(const QString &key) const
{
    const auto it = rows.constFind(key);
    return it == rows.cend() ? nullptr : &*it;
}

Snapshot snapshotOf(const Monitor &monitor)
{
    Snapshot s;
    s.rows = monitor.rowMap();
    s.others = monitor.others();
    s.totals = monitor.totals();
    s.wrongSpeed = monitor.speed().looksWrong();
    s.everWrongSpeed = monitor.speed().everLookedWrong();
    s.nowMs = monitor.nowMs();
    return s;
}

QJsonObject toJson(const Snapshot &s)
{
    const Totals &t = s.totals;
    QJsonArray rows;
    for (const SentenceRow &r : s.rows)
        rows.append(rowJson(r));
    const QJsonObject summary{{QStringLiteral("bytes"), t.bytes},
                              {QStringLiteral("sentences"), t.sentences},
                              {QStringLiteral("badChecksum"), t.badChecksum},
                              {QStringLiteral("missingChecksum"), t.missingChecksum},
                              {QStringLiteral("tooLong"), t.tooLong},
                              {QStringLiteral("garbled"), t.garbled},
                              {QStringLiteral("noiseBytes"), t.strayBytes},
                              {QStringLiteral("wrongSpeed"), s.everWrongSpeed},
                              {QStringLiteral("others"), s.others.count}};
    return QJsonObject{
        {QStringLiteral("summary"), summary},       {QStringLiteral("rows"), rows},
        {QStringLiteral("others"), s.others.count}, {QStringLiteral("listening"), s.listening},
        {QStringLiteral("paused"), s.paused},       {QStringLiteral("baud"), s.baud},
        {QStringLiteral("failure"), s.failure},     {QStringLiteral("wrongSpeed"), s.wrongSpeed}};
}

} // namespace bus
