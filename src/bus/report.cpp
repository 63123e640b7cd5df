#include "bus/report.h"

#include "bus/models.h"
#include "vocabulary/fields.h"

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

// Text cut to a width, with '>' where it was cut.
QString fit(const QString &text, int width)
{
    if (width <= 0)
        return {};
    if (text.size() <= width)
        return text;
    return text.left(width - 1) + QLatin1Char('>');
}

// Text broken into lines of at most width characters, at blanks where there are any.
QStringList wrap(const QString &text, int width, const QString &indent = QString())
{
    QStringList lines;
    QString rest = text;
    QString lead;
    while (!rest.isEmpty()) {
        const int room = std::max(8, width - int(lead.size()));
        if (rest.size() <= room) {
            lines << lead + rest;
            break;
        }
        qsizetype cut = rest.lastIndexOf(QLatin1Char(' '), room);
        if (cut <= 0)
            cut = room;
        lines << lead + rest.left(cut);
        rest = rest.mid(cut).trimmed();
        lead = indent;
    }
    return lines;
}

QString rowLine(const SentenceRow &r, const QString &label, qint64 count, std::optional<double> rate,
                qint64 ageMs, qint64 bad, qint64 missing, const Sentence &last, int width)
{
    const QString head = QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 ")
                             .arg(r.talker, -2)
                             .arg(fit(r.identifier, 5), -5)
                             .arg(fit(label, 6), -6)
                             .arg(count, 6)
                             .arg(rateText(rate), 6)
                             .arg(ageText(ageMs), 5)
                             .arg(bad, 3)
                             .arg(missing, 3)
                             .arg(offered(r) ? QStringLiteral("yes") : QStringLiteral("no"), -3);
    return fit(head + QString::fromLatin1(last.text), width);
}

QString variantLine(const SentenceRow &r, const VariantRow &v, qint64 nowMs, int width)
{
    return rowLine(r, v.label, v.count, rateOf(v.count, v.firstMs, v.lastMs), nowMs - v.lastMs, v.badChecksum,
                   v.missingChecksum, v.last, width);
}

// One line for the whole sentence, its variants named together ("R|T").
QString sentenceLine(const SentenceRow &r, qint64 nowMs, int width)
{
    QStringList labels;
    for (const VariantRow &v : r.variants)
        labels << v.label;
    return rowLine(r, labels.join(QLatin1Char('|')), r.count, rateOf(r.count, r.firstMs, r.lastMs),
                   nowMs - r.lastMs, r.badChecksum, r.missingChecksum, r.last, width);
}

QString headLine(int width)
{
    return fit(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9 last")
                   .arg(QStringLiteral("tk"), -2)
                   .arg(QStringLiteral("sent"), -5)
                   .arg(QStringLiteral("kind"), -6)
                   .arg(QStringLiteral("count"), 6)
                   .arg(QStringLiteral("rate"), 6)
                   .arg(QStringLiteral("age"), 5)
                   .arg(QStringLiteral("bad"), 3)
                   .arg(QStringLiteral("no*"), 3)
                   .arg(QStringLiteral("ok"), -3),
               width);
}

// A network source has no line speed of its own: its bytes come as the bridge sends them.
QString speedText(int baud)
{
    return baud > 0 ? QStringLiteral("%1 baud").arg(baud) : QStringLiteral("from the network");
}

QString statusLine(const Snapshot &table, int seconds, int baud)
{
    return QStringLiteral("%1, %2 s, %3 sentences")
        .arg(speedText(baud))
        .arg(seconds)
        .arg(table.totals.sentences);
}

// The same without the count, for a narrow screen.
QString shortStatusLine(int seconds, int baud)
{
    return QStringLiteral("%1, %2 s").arg(speedText(baud)).arg(seconds);
}

// What went wrong on the line, or empty when nothing did.
QString problemsLine(const Snapshot &table)
{
    const Totals t = table.totals;
    QString line;
    const qint64 problems = t.badChecksum + t.missingChecksum + t.tooLong + t.garbled + t.strayBytes;
    if (problems > 0)
        line = QStringLiteral("bad checksum %1, no checksum %2, over-long %3, garbled %4, noise bytes %5")
                   .arg(t.badChecksum)
                   .arg(t.missingChecksum)
                   .arg(t.tooLong)
                   .arg(t.garbled)
                   .arg(t.strayBytes);
    return line;
}

// The notes under the live table: what is not offered and why (each reason once), what alternates.
QStringList notes(const Snapshot &table, int width)
{
    QStringList lines;
    QStringList reasons;
    QStringList alternating;
    for (const SentenceRow &r : table.rows) {
        if (!offered(r) && !reasons.contains(offerText(r)))
            reasons << offerText(r);
        if (r.alternates())
            alternating << r.talker + r.identifier;
    }
    for (const QString &reason : reasons)
        lines << wrap(QStringLiteral("no: ") + reason, width, QStringLiteral("    "));
    if (!alternating.isEmpty()) {
        lines << wrap(alternating.join(QLatin1Char(' ')) + QStringLiteral(" ") +
                          QLatin1String(AlternatesText),
                      width, QStringLiteral("    "));
    }
    return lines;
}

} // namespace

QString wrongSpeedLine(const Snapshot &table, int baud)
{
    if (baud > 0 && (table.wrongSpeed || (table.totals.sentences == 0 && table.everWrongSpeed)))
        return QStringLiteral("%1 (try --baud %2)").arg(QLatin1String(WrongSpeedText)).arg(otherSpeed(baud));
    return {};
}

QString formatLive(const Snapshot &table, int seconds, int baud, qint64 nowMs, const Screen &screen)
{
    const int width = std::max(screen.width, 40);
    const int height = std::max(screen.height, 8);
    // The column heads and the status share the top line, so the rows start on the second.
    const QString head = headLine(width);
    QString first = head + QStringLiteral(" | ") + statusLine(table, seconds, baud);
    if (first.size() > width)
        first = head + QStringLiteral(" | ") + shortStatusLine(seconds, baud);
    const QStringList top{fit(first, width)};
    QStringList bottom = notes(table, width);
    const QString problems = problemsLine(table);
    if (!problems.isEmpty())
        bottom.prepend(fit(problems, width));
    const QString speed = wrongSpeedLine(table, baud);
    if (!speed.isEmpty())
        bottom.prepend(fit(speed, width));
    // Notes give way to rows when there are many of both; the rows keep at least half the screen.
    const int maxBottom = std::max(1, (height - int(top.size())) / 2);
    if (bottom.size() > maxBottom) {
        bottom.resize(maxBottom);
        bottom.last() =
            fit(QStringLiteral("... more notes: --fields NAME says all about one sentence"), width);
    }
    QStringList rows;
    QStringList names;
    for (const SentenceRow &r : table.rows) {
        rows << sentenceLine(r, nowMs, width);
        names << r.talker + r.identifier;
    }
    const SentenceRow &o = table.others;
    if (o.count > 0) {
        rows << fit(QStringLiteral("others (past %1 names): %2 sentences").arg(Monitor::MaxRows).arg(o.count),
                    width);
        names << QStringLiteral("others");
    }
    const int room = height - int(top.size()) - int(bottom.size());
    if (rows.size() > room) {
        const int shown = std::max(0, room - 1);
        const QStringList hidden = names.mid(shown);
        rows.resize(shown);
        rows << fit(QStringLiteral("+%1 more: %2").arg(hidden.size()).arg(hidden.join(QLatin1Char(' '))),
                    width);
    }
    // No line ending after the last line: on a screen filled to its last line, one would scroll the top away.
    return (top + rows + bottom).join(QLatin1Char('\n'));
}

namespace {

QString rowFields(const SentenceRow *r, qint64 nowMs, int width)
{
    QStringList lines{headLine(width)};
    for (const VariantRow &v : r->variants)
        lines << variantLine(*r, v, nowMs, width);
    lines << wrap((offered(*r) ? QStringLiteral("in our lists: ") : QStringLiteral("not in our lists: ")) +
                      offerText(*r),
                  width, QStringLiteral("    "));
    if (r->alternates())
        lines << wrap(r->talker + r->identifier + QLatin1Char(' ') + QLatin1String(AlternatesText), width,
                      QStringLiteral("    "));
    if (isXdr(r->last)) {
        for (const VariantRow &v : r->variants) {
            if (r->alternates())
                lines << QStringLiteral("variant %1:").arg(fit(v.label, width - 9));
            for (const Quadruplet &q : quadrupletsOf(v.last)) {
                lines << fit(QStringLiteral("  fields %1-%2: type %3, value %4 (field %5), units %6, name %7")
                                 .arg(q.firstField)
                                 .arg(q.firstField + 3)
                                 .arg(q.type, q.value)
                                 .arg(q.valueField())
                                 .arg(q.units, q.name),
                             width);
            }
        }
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    // One column per variant, as wide as the screen allows; a sentence whose fields have names keeps room
    // for them after the values.
    const bool named = !r->proprietary && vocabulary::sentenceFields(r->identifier);
    const int columns = int(r->variants.size());
    int columnWidth = std::max(6, (width - 7) / std::max(columns, 1) - 1);
    if (named)
        columnWidth = std::min(columnWidth, 12);
    qsizetype most = 0;
    for (const VariantRow &v : r->variants)
        most = std::max(most, v.last.fields.size());
    QString head = QStringLiteral("field  ");
    for (const VariantRow &v : r->variants)
        head +=
            fit(columns > 1 ? v.label : QStringLiteral("value"), columnWidth).leftJustified(columnWidth + 1);
    if (named)
        head += QStringLiteral("holds");
    lines << fit(head.trimmed(), width);
    for (int n = 1; n <= most; ++n) {
        if (n == MaxCommas + 1)
            lines << QStringLiteral("beyond \"Commas\" %1:").arg(MaxCommas);
        QString line = QString::number(n).leftJustified(7);
        for (const VariantRow &v : r->variants)
            line += fit(v.last.field(n).value_or(QString()), columnWidth).leftJustified(columnWidth + 1);
        if (named)
            line += vocabulary::fieldName(r->identifier, n);
        lines << fit(line.trimmed(), width);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

QString formatFields(const Snapshot &table, const QString &key, qint64 nowMs, int width)
{
    const QString name = key.toUpper();
    if (const SentenceRow *r = table.row(name))
        return rowFields(r, nowMs, width);
    // A sentence named without its talker: whichever talkers send it, each in turn.
    QList<const SentenceRow *> rows;
    QStringList talkers;
    for (const SentenceRow &r : table.rows) {
        if (!r.proprietary && r.identifier == name) {
            rows << &r;
            talkers << r.talker;
        }
    }
    if (rows.isEmpty())
        return QStringLiteral("%1: not heard yet\n").arg(name);
    QString text = fit(QStringLiteral("%1 from %2 %3: %4")
                           .arg(name)
                           .arg(talkers.size())
                           .arg(talkers.size() == 1 ? QStringLiteral("talker") : QStringLiteral("talkers"))
                           .arg(talkers.join(QStringLiteral(", "))),
                       width) +
                   QLatin1Char('\n');
    for (const SentenceRow *r : rows)
        text += (rows.size() > 1 ? QStringLiteral("\n%1:\n").arg(r->key()) : QString()) +
                rowFields(r, nowMs, width);
    return text;
}

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

QString formatTable(const Snapshot &table, int seconds, int baud)
{
    QString t;
    const Totals totals = table.totals;
    t += QStringLiteral("Listening %1 for %2 s: %3 sentences, %4 bytes\n\n")
             .arg(baud > 0 ? QStringLiteral("at %1 baud").arg(baud) : speedText(baud))
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
    for (const SentenceRow &r : table.rows) {
        t += QStringLiteral("%1 %2 %3 %4 %5  %6\n")
                 .arg(r.talker, -6)
                 .arg(r.identifier, -8)
                 .arg(r.count, 7)
                 .arg(r.badChecksum, 7)
                 .arg(r.missingChecksum, 7)
                 .arg(listMark(r));
        if (!offered(r))
            t += QStringLiteral("    why:    %1\n").arg(offerText(r));
        if (r.alternates()) {
            t += QStringLiteral("    %1\n").arg(QLatin1String(AlternatesText));
            for (const VariantRow &v : r.variants) {
                t += QStringLiteral("    variant %1: %2 sentences\n").arg(v.label).arg(v.count);
                t += QStringLiteral("      last:   %1\n").arg(QString::fromLatin1(v.last.text));
                if (!v.last.fields.isEmpty())
                    t += QStringLiteral("      fields: %1\n").arg(numberedFields(v.last));
            }
            continue;
        }
        t += QStringLiteral("    last:   %1\n").arg(QString::fromLatin1(r.last.text));
        if (!r.last.fields.isEmpty())
            t += QStringLiteral("    fields: %1\n").arg(numberedFields(r.last));
    }
    if (table.others.count > 0)
        t += QStringLiteral("others (past %1 names, not kept): %2 sentences\n")
                 .arg(Monitor::MaxRows)
                 .arg(table.others.count);
    t += QStringLiteral(
             "\nbad checksum %1, no checksum %2, over-long lines %3, garbled lines %4, noise bytes %5\n")
             .arg(totals.badChecksum)
             .arg(totals.missingChecksum)
             .arg(totals.tooLong)
             .arg(totals.garbled)
             .arg(totals.strayBytes);
    const QString speed = wrongSpeedLine(table, baud);
    if (!speed.isEmpty())
        t += speed + QLatin1Char('\n');
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
    QJsonObject numbered;
    for (int n = 1; n <= s.fields.size(); ++n)
        numbered.insert(QString::number(n), s.fields[n - 1]);
    o.insert(QStringLiteral("field"), numbered);
    if (isXdr(s)) {
        QJsonArray transducers;
        for (const Quadruplet &q : quadrupletsOf(s)) {
            transducers.append(QJsonObject{{QStringLiteral("type"), q.type},
                                           {QStringLiteral("value"), q.value},
                                           {QStringLiteral("units"), q.units},
                                           {QStringLiteral("name"), q.name},
                                           {QStringLiteral("typeField"), q.firstField},
                                           {QStringLiteral("valueField"), q.valueField()},
                                           {QStringLiteral("unitsField"), q.firstField + 2},
                                           {QStringLiteral("nameField"), q.firstField + 3}});
        }
        o.insert(QStringLiteral("transducers"), transducers);
    }
    if (isXdr(s) || kindFieldOf(s))
        o.insert(QStringLiteral("variant"), variantOf(s));
    return o;
}

} // namespace bus
