// Plans as text: the frames a location sends, the text the writer keeps for a plan, and the comments a
// rewrite would drop.
#include "plan/plan.h"

#include "bus/fieldadvice.h"
#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

#include <algorithm>

namespace plan {

using vocabulary::List;
using vocabulary::productCaption;
using vocabulary::showsIcons;

namespace {

// A TOML basic string: quotes and backslashes escaped, and any control character as \uXXXX, so whatever
// the text holds reads back as it was.
QString quoted(const QString &text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            escaped += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            escaped += QStringLiteral("\\u%1").arg(uint(c.unicode()), 4, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace

frame::EncodeError compose(int product, const Location &l, frame::SentenceBytes &out)
{
    frame::SentenceBytes s;
    if (const frame::EncodeError missing = frame::encode(l, vocabulary::product(product), s))
        return missing;
    frame::fillCheckBytes(s);
    out = s;
    return std::nullopt;
}

QList<QByteArray> frames(int product, const Location &location)
{
    frame::SentenceBytes s;
    if (compose(product, location, s))
        return {};
    return frame::sendFrames(s);
}

QString productText(int product)
{
    return QStringLiteral("# Display plan for mdconfig-cli: check it with \"mdconfig-cli plan check FILE\"\n"
                          "product = %1                 # %2\n")
        .arg(product)
        .arg(productCaption(product));
}

QString locationText(const Location &l, int product)
{
    QString t = QStringLiteral("[location.%1]\n").arg(l.location);
    if (!l.note.isEmpty())
        t += QStringLiteral("note = %1\n").arg(quoted(l.note));
    if (const frame::Instrument *in = l.instrument()) {
        t += QStringLiteral("instrument = %1\n")
                 .arg(quoted(vocabulary::entries(List::Instrument).value(in->instrument)));
    } else {
        const frame::Standard &st = *l.standard();
        t += QStringLiteral("talker = %1\n").arg(quoted(vocabulary::entries(List::Talker).value(st.talker)));
        t += QStringLiteral("sentence = %1\n")
                 .arg(quoted(vocabulary::entries(List::Identifier).value(st.sentence)));
        t += QStringLiteral("field = %1\n").arg(st.field);
        if (l.isXdr())
            t += QStringLiteral("type = %1\n").arg(quoted(vocabulary::xdrCode(st.type).value_or(QString())));
    }
    if (showsIcons(product) && l.icon != 0)
        t += QStringLiteral("icon = %1\n").arg(quoted(frame::iconCaptions().value(l.icon)));
    return t;
}

QByteArray planText(const Plan &plan)
{
    QString t = productText(plan.product);
    QList<Location> sorted = plan.locations;
    std::sort(sorted.begin(), sorted.end(),
              [](const Location &a, const Location &b) { return a.location < b.location; });
    for (const Location &l : sorted)
        t += QLatin1Char('\n') + locationText(l, plan.product);
    return t.toUtf8();
}

QStringList warnings(const frame::Configuration &c)
{
    const frame::Standard *s = c.standard();
    const QStringList &identifiers = vocabulary::entries(vocabulary::List::Identifier);
    if (!s || s->sentence < 0 || s->sentence >= identifiers.size())
        return {};
    return bus::fieldWarnings(identifiers[s->sentence], s->field);
}

std::optional<QString> noteProblem(const QString &note)
{
    for (const QChar c : note) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("a note is one line of text, without line breaks or control characters");
    }
    if (note.size() > MaxNoteLength)
        return QStringLiteral("a note is at most %1 characters; this one has %2")
            .arg(MaxNoteLength)
            .arg(note.size());
    return std::nullopt;
}

QStringList comments(const QByteArray &text)
{
    // A '#' starts a comment only outside strings; strings may span lines when their quotes are tripled.
    QStringList found;
    const QString t = QString::fromUtf8(text);
    QString open; // the quotes of the string being read, empty outside one
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (!open.isEmpty()) {
            if (c == QLatin1Char('\\') && open.startsWith(QLatin1Char('"'))) {
                ++i; // the escaped character cannot end the string
            } else if (QStringView(t).mid(i).startsWith(open)) {
                i += open.size() - 1;
                open.clear();
            } else if (c == QLatin1Char('\n') && open.size() == 1) {
                open.clear(); // an unended one-line string; the reader reports it
            }
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const QString triple(3, c);
            open = QStringView(t).mid(i).startsWith(triple) ? triple : QString(c);
            i += open.size() - 1;
        } else if (c == QLatin1Char('#')) {
            qsizetype end = t.indexOf(QLatin1Char('\n'), i);
            if (end < 0)
                end = t.size();
            found << t.mid(i + 1, end - i - 1).trimmed();
            i = end;
        }
    }
    return found;
}

QStringList droppedComments(const QByteArray &existing, const QByteArray &replacement)
{
    QStringList kept = comments(replacement);
    QStringList dropped;
    for (const QString &c : comments(existing)) {
        if (c.isEmpty())
            continue;
        // Each comment of the new text accounts for one alike in the old.
        if (!kept.removeOne(c))
            dropped << c;
    }
    return dropped;
}

} // namespace plan
