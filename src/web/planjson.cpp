#include "web/planjson.h"

#include "frame/sentencebytes.h"
#include "serial/devicepath.h"
#include "vocabulary/vocabulary.h"

#include <QJsonValue>

#include <algorithm>

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

QString textOf(const QJsonValue &v)
{
    if (v.isDouble())
        return QString::number(v.toDouble());
    return v.toString();
}

QJsonObject fault(int location, const QString &message)
{
    return {{QStringLiteral("location"), location}, {QStringLiteral("message"), message}};
}

// The product as the plan reader takes it: its number or its caption.
void readProduct(const QJsonValue &v, PageCheck &check)
{
    const QString text = textOf(v);
    if (const std::optional<int> p = plan::lookup(plan::Value::Product, text, nullptr)) {
        check.plan.product = *p;
        return;
    }
    check.plan.unread.insert(QStringLiteral("product"));
    check.faults.append(fault(0, plan::notValidMessage({}, plan::Value::Product, text)));
}

// One row into the plan; a row the codec cannot read is a fault on it and stays out of the plan.
void readRow(const QJsonObject &row, PageCheck &check)
{
    const int location = row.value(QStringLiteral("location")).toInt();
    bool broken = false;
    for (auto it = row.begin(); it != row.end(); ++it) {
        if (it->isString() && hasLoneSurrogate(it->toString())) {
            broken = true;
            check.faults.append(fault(
                location, QStringLiteral("%1 holds a broken character (half of a UTF-16 pair); type it again")
                              .arg(serial::printable(it.key()))));
        }
    }
    QString why;
    const std::optional<frame::Configuration> c = frame::fromJson(row, &why);
    if (!c) {
        const bool numbered = location >= plan::FirstLocation && location <= plan::LastLocation;
        check.faults.append(
            fault(location, numbered ? QStringLiteral("location %1: %2").arg(location).arg(why) : why));
        return;
    }
    plan::Location l;
    static_cast<frame::Configuration &>(l) = *c;
    const QJsonValue note = row.value(QStringLiteral("note"));
    if (note.isString()) {
        l.note = note.toString();
    } else if (!note.isNull() && !note.isUndefined()) {
        l.unread.insert(QStringLiteral("note"));
        check.faults.append(
            fault(location, QStringLiteral("location %1: note: a note is text in quotes").arg(location)));
    }
    if (!broken)
        check.plan.locations << l;
}

} // namespace

PageCheck checkPage(const QJsonObject &page)
{
    PageCheck check;
    readProduct(page.value(QStringLiteral("product")), check);
    for (const QJsonValue &row : page.value(QStringLiteral("locations")).toArray())
        readRow(row.toObject(), check);
    for (const plan::Fault &f : plan::check(check.plan))
        check.faults.append(fault(f.location, f.message));
    // Plan-wide faults first, then row by row, as a plan file lists them.
    QList<QJsonValue> sorted(check.faults.begin(), check.faults.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const QJsonValue &a, const QJsonValue &b) {
        return a[QStringLiteral("location")].toInt() < b[QStringLiteral("location")].toInt();
    });
    check.faults = QJsonArray();
    for (const QJsonValue &f : sorted)
        check.faults.append(f);
    if (check.plan.product >= 0)
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
