#include "web/planjson.h"

#include "frame/sentencebytes.h"
#include "serial/devicepath.h"
#include "vocabulary/vocabulary.h"

#include <QJsonValue>

namespace web {

namespace {

// Half of a UTF-16 pair without the other half: no character at all, which JSON's \uD800 can carry.
bool hasLoneSurrogate(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

// A TOML basic string: quotes, backslashes and control characters escaped; a character outside the BMP
// kept whole (both halves of its pair), a lone half written as U+FFFD (checkPage refuses it).
QByteArray quoted(const QString &value)
{
    QByteArray out = "\"";
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t u = value[i].unicode();
        if (u == '"' || u == '\\')
            out += '\\' + QByteArray(1, char(u));
        else if (u < 0x20 || u == 0x7f)
            out += QStringLiteral("\\u%1").arg(int(u), 4, 16, QLatin1Char('0')).toLatin1();
        else if (value[i].isHighSurrogate() && i + 1 < value.size() && value[i + 1].isLowSurrogate())
            out += value.mid(i++, 2).toUtf8();
        else if (value[i].isSurrogate())
            out += "\xEF\xBF\xBD";
        else
            out += QString(value[i]).toUtf8();
    }
    return out + '"';
}

QString textOf(const QJsonValue &v)
{
    if (v.isDouble())
        return QString::number(v.toDouble());
    return v.toString();
}

// A value the reader is to judge: numbers stay numbers, anything else becomes a string.
QByteArray valueText(const QJsonValue &v)
{
    if (v.isDouble()) {
        const double d = v.toDouble();
        if (d == double(qint64(d)) && d > -1e9 && d < 1e9)
            return QByteArray::number(qint64(d));
    }
    return quoted(textOf(v));
}

} // namespace

QByteArray planText(const QJsonObject &page)
{
    QByteArray text = "product = " + valueText(page.value(QStringLiteral("product"))) + '\n';
    const QJsonArray rows = page.value(QStringLiteral("locations")).toArray();
    for (const QJsonValue &rowValue : rows) {
        const QJsonObject row = rowValue.toObject();
        text += "\n[location." + QByteArray::number(row.value(QStringLiteral("location")).toInt()) + "]\n";
        // The configuration's own keys: an instrument when one is named, else a standard sentence.
        const bool instrument = row.value(QStringLiteral("instrument")).isString() &&
                                !row.value(QStringLiteral("instrument")).toString().isEmpty();
        const QStringList keys = instrument
                                     ? QStringList{"instrument", "icon", "note"}
                                     : QStringList{"talker", "sentence", "field", "type", "icon", "note"};
        for (const QString &key : keys) {
            const QJsonValue v = row.value(key);
            if (v.isUndefined() || v.isNull() || (v.isString() && v.toString().isEmpty()))
                continue;
            if (key == QLatin1String("icon") && v.toString() == QLatin1String("None"))
                continue;
            text += key.toLatin1() + " = " + valueText(v) + '\n';
        }
    }
    return text;
}

PageCheck checkPage(const QJsonObject &page)
{
    PageCheck check;
    check.text = planText(page);
    const plan::ReadResult r = plan::parsePlan(check.text, QStringLiteral("plan"));
    check.plan = r.plan;
    // Each location's table starts on a line of its own; a fault belongs to the table it falls in.
    QList<std::pair<int, int>> starts; // line, location
    const QList<QByteArray> lines = check.text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith("[location."))
            starts.append({i + 1, lines[i].mid(10, lines[i].size() - 11).toInt()});
    }
    for (const QJsonValue &rowValue : page.value(QStringLiteral("locations")).toArray()) {
        const QJsonObject row = rowValue.toObject();
        for (auto it = row.begin(); it != row.end(); ++it) {
            if (it->isString() && hasLoneSurrogate(it->toString()))
                check.faults.append(QJsonObject{
                    {QStringLiteral("location"), row.value(QStringLiteral("location")).toInt()},
                    {QStringLiteral("message"),
                     QStringLiteral("%1 holds a broken character (half of a UTF-16 pair); type it again")
                         .arg(serial::printable(it.key()))}});
        }
    }
    for (const plan::Fault &f : r.faults) {
        int location = 0;
        for (const auto &[line, number] : starts)
            if (f.line >= line)
                location = number;
        check.faults.append(
            QJsonObject{{QStringLiteral("location"), location}, {QStringLiteral("message"), f.message}});
    }
    // A clean plan is saved as the plan window's writer keeps it, notes included.
    if (check.clean())
        check.text = plan::planText(check.plan);
    return check;
}

QJsonObject pageOf(const QByteArray &text, const QString &fileName)
{
    const plan::ReadResult r = plan::parsePlan(text, fileName);
    if (!r.faults.isEmpty()) {
        QJsonArray faults;
        for (const plan::Fault &f : r.faults)
            faults.append(f.text());
        return {{QStringLiteral("faults"), faults}};
    }
    QJsonArray locations;
    for (const plan::Location &l : r.plan.locations) {
        QJsonObject row = frame::toJson(l, vocabulary::showsIcons(r.plan.product));
        row.insert(QStringLiteral("note"), l.note);
        locations.append(row);
    }
    return {{QStringLiteral("product"), r.plan.product}, {QStringLiteral("locations"), locations}};
}

} // namespace web
