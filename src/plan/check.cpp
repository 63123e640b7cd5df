// A plan checked as a value: whichever front end built it (the file reader, the plan window's rows, the
// page's JSON), one set of rules finds its faults and says which location and key each belongs to.
#include "plan/planparts.h"

#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

#include <QHash>

#include <algorithm>
#include <array>

namespace plan {

using parts::locationPrefix;
using parts::missingMessage;
using vocabulary::List;

namespace {

constexpr std::array StandardKeys{"talker", "sentence", "field", "type"};

class Checker {
public:
    explicit Checker(const Plan &plan) : m_plan(plan) {}

    QList<Fault> run()
    {
        checkProduct();
        QList<Location> sorted = m_plan.locations;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const Location &a, const Location &b) { return a.location < b.location; });
        QHash<int, const Location *> first;
        for (const Location &l : sorted) {
            if (l.location < FirstLocation || l.location > LastLocation) {
                add(0, QStringLiteral("location"),
                    QStringLiteral("location %1 is out of range; valid locations: 1 to 10")
                        .arg(parts::shownText(QString::number(l.location))));
            } else if (const Location *before = first.value(l.location)) {
                // A location given again is told once, as given twice; what it holds is not read.
                add(l.location, {},
                    QStringLiteral("location %1 is given twice%2; each location is given at most once")
                        .arg(l.location)
                        .arg(before->line > 0 ? QStringLiteral(" (first at line %1)").arg(before->line)
                                              : QString()));
            } else {
                first.insert(l.location, &l);
                checkLocation(l);
            }
        }
        return m_faults;
    }

private:
    void add(int location, const QString &key, const QString &message)
    {
        m_faults << Fault{{}, 0, 0, message, location, key};
    }

    void checkProduct()
    {
        const int p = m_plan.product;
        if (m_plan.unread.contains(QStringLiteral("product")) || (p >= 0 && p < ProductCount))
            return;
        if (p < 0)
            add(0, QStringLiteral("product"),
                QStringLiteral("product is missing; valid values: ") + validValues(Value::Product));
        else
            add(0, QStringLiteral("product"), notValidMessage({}, Value::Product, QString::number(p)));
    }

    void checkLocation(const Location &l)
    {
        if (const frame::Instrument *in = l.instrument())
            entry(l, Value::Instrument, in->instrument, vocabulary::InstrumentCount);
        else
            checkStandard(l, *l.standard());
        if (const std::optional<QString> problem = noteProblem(l.note))
            add(l.location, QStringLiteral("note"),
                QStringLiteral("%1note: %2").arg(locationPrefix(l.location), *problem));
        const int p = m_plan.product;
        if (l.icon != 0 && p >= 0 && p < ProductCount && !vocabulary::showsIcons(p))
            add(l.location, QStringLiteral("icon"),
                QStringLiteral("location %1 has an icon, but product %2 (%3) shows none; icons are for "
                               "product %4 only")
                    .arg(l.location)
                    .arg(p)
                    .arg(vocabulary::productCaption(p), vocabulary::iconProducts()));
    }

    void checkStandard(const Location &l, const frame::Standard &st)
    {
        // A location that shows nothing at all has that one fault of its entries.
        const bool unreadEntry = std::any_of(StandardKeys.begin(), StandardKeys.end(), [&](const char *key) {
            return l.unread.contains(QLatin1String(key));
        });
        if (!unreadEntry && st.talker < 0 && st.sentence < 0 && st.field <= 0 && st.type < 0) {
            add(l.location, {},
                QStringLiteral("%1shows nothing; give talker, sentence and field, or instrument")
                    .arg(locationPrefix(l.location)));
            return;
        }
        entry(l, Value::Talker, st.talker, vocabulary::TalkerCount);
        entry(l, Value::Sentence, st.sentence, int(vocabulary::entries(List::Identifier).size()));
        entry(l, Value::Field, st.field - 1, vocabulary::CommaCount);
        const bool sentenceKnown = st.sentence >= 0 && !l.unread.contains(QStringLiteral("sentence"));
        const bool xdr = st.sentence == vocabulary::XdrPosition;
        if (sentenceKnown && !xdr && st.type >= 0)
            add(l.location, QStringLiteral("type"),
                QStringLiteral("%1type applies only to the sentence XDR, not %2")
                    .arg(locationPrefix(l.location),
                         vocabulary::entries(List::Identifier).value(st.sentence)));
        else if (xdr)
            entry(l, Value::Type, st.type, int(vocabulary::entries(List::Xdr).size()));
    }

    // An entry's position (the field's, counted from 0) must name one of count entries; a wrong one is
    // shown as users count fields and instruments.
    void entry(const Location &l, Value kind, int position, int count)
    {
        const QString key = QString::fromLatin1(parts::keyName(kind));
        if (l.unread.contains(key) || (position >= 0 && position < count))
            return;
        const QString where = locationPrefix(l.location);
        if (position < 0)
            add(l.location, key, missingMessage(where, kind));
        else
            add(l.location, key,
                notValidMessage(where, kind,
                                QString::number(kind == Value::Field || kind == Value::Instrument
                                                    ? position + 1
                                                    : position)));
    }

    const Plan &m_plan;
    QList<Fault> m_faults;
};

} // namespace

QList<Fault> check(const Plan &plan)
{
    return Checker(plan).run();
}

} // namespace plan
