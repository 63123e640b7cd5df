#include "bus/report.h"

#include <QJsonArray>

namespace bus {
namespace {

QString listMark(const SentenceRow &r)
{
    if (r.talkerListed && r.identifierListed)
        return QStringLiteral("offered");
    if (r.proprietary)
        return QStringLiteral("proprietary, not offered");
    if (!r.talkerListed && !r.identifierListed)
        return QStringLiteral("talker and sentence not in our lists");
    return r.talkerListed ? QStringLiteral("sentence not in our lists")
                          : QStringLiteral("talker not in our lists");
}

QString checksumText(Checksum c)
{
    switch (c) {
    case Checksum::Ok:
        return QStringLiteral("ok");
    case Checksum::Bad:
        return QStringLiteral("bad");
    case Checksum::Missing:
        break;
    }
    return QStringLiteral("missing");
}

} // namespace

QString numberedFields(const Sentence &s)
{
    QStringList parts;
    for (int n = 1; n <= s.fields.size(); ++n) {
        if (n == MaxCommas + 1)
            parts << QStringLiteral("| beyond Commas %1:").arg(MaxCommas);
        parts << QStringLiteral("%1=%2").arg(n).arg(s.fields[n - 1]);
    }
    return parts.join(QLatin1Char(' '));
}

QString formatTable(const Monitor &monitor, int seconds, int baud)
{
    QString t;
    const Totals totals = monitor.totals();
    t += QStringLiteral("Listening at %1 baud for %2 s: %3 sentences, %4 bytes\n\n")
             .arg(baud)
             .arg(seconds)
             .arg(totals.sentences)
             .arg(totals.bytes);
    t += QStringLiteral("%1 %2 %3 %4 %5  %6\n")
             .arg(QStringLiteral("talker"), -6)
             .arg(QStringLiteral("sentence"), -8)
             .arg(QStringLiteral("count"), 7)
             .arg(QStringLiteral("bad cs"), 7)
             .arg(QStringLiteral("no cs"), 7)
             .arg(QStringLiteral("in our lists"));
    for (const SentenceRow &r : monitor.rows()) {
        t += QStringLiteral("%1 %2 %3 %4 %5  %6\n")
                 .arg(r.talker, -6)
                 .arg(r.identifier, -8)
                 .arg(r.count, 7)
                 .arg(r.badChecksum, 7)
                 .arg(r.missingChecksum, 7)
                 .arg(listMark(r));
        t += QStringLiteral("    last:   %1\n").arg(QString::fromLatin1(r.last.text));
        if (!r.last.fields.isEmpty())
            t += QStringLiteral("    fields: %1\n").arg(numberedFields(r.last));
    }
    t += QStringLiteral(
             "\nbad checksum %1, no checksum %2, over-long lines %3, garbled lines %4, noise bytes %5\n")
             .arg(totals.badChecksum)
             .arg(totals.missingChecksum)
             .arg(totals.tooLong)
             .arg(totals.garbled)
             .arg(totals.strayBytes);
    if (monitor.speed().looksWrong() || (totals.sentences == 0 && monitor.speed().everLookedWrong()))
        t += QStringLiteral("%1 (try --baud %2)\n")
                 .arg(QLatin1String(WrongSpeedText))
                 .arg(baud == 4800 ? 38400 : 4800);
    return t;
}

QJsonObject toJson(const Sentence &s, const QDateTime &received)
{
    QJsonObject o;
    o.insert(QStringLiteral("time"), received.toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("talker"), s.talker);
    o.insert(QStringLiteral("sentence"), s.identifier);
    o.insert(QStringLiteral("proprietary"), s.proprietary);
    o.insert(QStringLiteral("text"), QString::fromLatin1(s.text));
    o.insert(QStringLiteral("fields"), QJsonArray::fromStringList(s.fields));
    o.insert(QStringLiteral("checksum"), checksumText(s.checksum));
    o.insert(QStringLiteral("checksumOk"), s.checksum == Checksum::Ok);
    o.insert(QStringLiteral("talkerListed"), talkerListed(s));
    o.insert(QStringLiteral("sentenceListed"), identifierListed(s));
    return o;
}

QJsonObject summaryJson(const Monitor &monitor)
{
    const Totals t = monitor.totals();
    QJsonArray rows;
    for (const SentenceRow &r : monitor.rows()) {
        rows.append(QJsonObject{{QStringLiteral("talker"), r.talker},
                                {QStringLiteral("sentence"), r.identifier},
                                {QStringLiteral("count"), r.count},
                                {QStringLiteral("badChecksum"), r.badChecksum},
                                {QStringLiteral("missingChecksum"), r.missingChecksum}});
    }
    QJsonObject totals{{QStringLiteral("bytes"), t.bytes},
                       {QStringLiteral("sentences"), t.sentences},
                       {QStringLiteral("badChecksum"), t.badChecksum},
                       {QStringLiteral("missingChecksum"), t.missingChecksum},
                       {QStringLiteral("tooLong"), t.tooLong},
                       {QStringLiteral("garbled"), t.garbled},
                       {QStringLiteral("noiseBytes"), t.strayBytes},
                       {QStringLiteral("wrongSpeed"), monitor.speed().everLookedWrong()}};
    return QJsonObject{{QStringLiteral("summary"), totals}, {QStringLiteral("rows"), rows}};
}

} // namespace bus
