#include "plan/testpattern.h"

#include "bus/sentence.h"

#include <QMap>

namespace plan {

using vocabulary::List;

namespace {

// XDR carries measurements as groups of four fields (type, value, unit, name); only a value field is one
// whose meaning is known for a display to show.
constexpr int XdrGroup = 4;
bool isXdrValueField(int field)
{
    return field >= 2 && (field - 2) % XdrGroup == 0;
}

const StatusField *statusField(const QString &sentence, int field)
{
    for (const StatusField &s : StatusFields) {
        if (sentence == QLatin1String(s.sentence) && field == s.field)
            return &s;
    }
    return nullptr;
}

struct Building {
    QString key;               // "GPRMC"
    QString identifier;        // "RMC"
    QMap<int, QString> fields; // field -> value
    QMap<int, int> owners;     // field -> location whose value it is
};

QByteArray sentenceText(const Building &b)
{
    int last = 0;
    for (const StatusField &s : StatusFields) {
        if (b.identifier == QLatin1String(s.sentence))
            last = std::max(last, s.field);
    }
    if (!b.fields.isEmpty())
        last = std::max(last, b.fields.lastKey());
    QByteArray body = b.key.toLatin1();
    for (int f = 1; f <= last; ++f) {
        body += ',';
        if (b.fields.contains(f))
            body += b.fields.value(f).toLatin1();
        else if (const StatusField *s = statusField(b.identifier, f))
            body += s->value;
    }
    return '$' + body + '*' + QByteArray::number(bus::checksumOf(body), 16).toUpper().rightJustified(2, '0') +
           "\r\n";
}

} // namespace

QString testValue(int location)
{
    return QStringLiteral("%1.%1").arg(location);
}

// Why no test sentence can cover a location, whatever the other locations show; nothing when one may.
std::optional<QString> uncoverable(const Location &location)
{
    if (const frame::Instrument *in = location.instrument())
        return QStringLiteral(
                   "shows the maker's instrument %1, whose sentences only the instrument itself sends")
            .arg(vocabulary::entries(List::Instrument).value(in->instrument));
    const frame::Standard &l = *location.standard();
    if (location.isXdr() && !isXdrValueField(l.field))
        return QStringLiteral("shows XDR field %1; only fields 2, 6, 10, 14, 18 and 22 carry a measurement's "
                              "value, and what a display shows of field %1 is not known")
            .arg(l.field);
    const QString identifier = vocabulary::entries(List::Identifier).value(l.sentence);
    if (const StatusField *s = statusField(identifier, l.field))
        return QStringLiteral(
                   "shows %1 field %2, which must hold %3 for the display to take the sentence at all")
            .arg(vocabulary::entries(List::Talker).value(l.talker) + identifier)
            .arg(l.field)
            .arg(QString::fromLatin1(s->meaning));
    return std::nullopt;
}

TestPattern makeTestPattern(const Plan &plan)
{
    TestPattern pattern;
    QList<Building> building;
    const auto sentenceFor = [&](const QString &key, const QString &identifier) -> Building & {
        for (Building &b : building) {
            if (b.key == key)
                return b;
        }
        building.append(Building{key, identifier, {}, {}});
        return building.last();
    };
    for (const Location &location : plan.locations) {
        const int number = location.location;
        if (const std::optional<QString> why = uncoverable(location)) {
            pattern.notCovered << NotCovered{number, *why};
            continue;
        }
        const frame::Standard &l = *location.standard();
        const QString identifier = vocabulary::entries(List::Identifier).value(l.sentence);
        const QString key = vocabulary::entries(List::Talker).value(l.talker) + identifier;
        const bool xdr = location.isXdr();
        Building &b = sentenceFor(key, identifier);
        if (b.owners.contains(l.field)) {
            pattern.notCovered << NotCovered{
                number, QStringLiteral("shows %1 field %2, as location %3 does; one field carries one value, "
                                       "%4")
                            .arg(key)
                            .arg(l.field)
                            .arg(b.owners.value(l.field))
                            .arg(testValue(b.owners.value(l.field)))};
            continue;
        }
        const QString type = xdr ? vocabulary::xdrCode(l.type).value_or(QString()) : QString();
        if (xdr && b.fields.contains(l.field - 1) && b.fields.value(l.field - 1) != type) {
            pattern.notCovered << NotCovered{
                number, QStringLiteral("shows XDR field %1 of type %2, but location %3 needs type %4 there")
                            .arg(l.field)
                            .arg(type)
                            .arg(b.owners.value(l.field - 1))
                            .arg(b.fields.value(l.field - 1))};
            continue;
        }
        const Building before = b;
        b.fields.insert(l.field, testValue(number));
        b.owners.insert(l.field, number);
        if (xdr) {
            b.fields.insert(l.field - 1, type);
            b.owners.insert(l.field - 1, number);
        }
        if (sentenceText(b).size() > bus::MaxSentenceLength) {
            b = before;
            pattern.notCovered << NotCovered{
                number,
                QStringLiteral("%1 would grow past the 82 characters NMEA 0183 allows a sentence").arg(key)};
            continue;
        }
        pattern.covered << Covered{number, key, l.field, testValue(number)};
    }
    for (const Building &b : building)
        pattern.sentences << sentenceText(b);
    return pattern;
}

TestRun runTestPattern(const TestPattern &pattern, serial::SerialPort &port, const QString &device,
                       const frame::Pacing &pacing, const std::function<bool()> &stopRequested,
                       const std::function<void(int round)> &round)
{
    TestRun run;
    const auto stopped = [&] { return stopRequested && stopRequested(); };
    if (!port.open(device)) {
        run.failure = QStringLiteral("cannot open %1").arg(port.errorString());
        return run;
    }
    const frame::Clock::time_point start = pacing.now();
    while (!stopped()) {
        for (const QByteArray &sentence : pattern.sentences) {
            for (const char c : sentence) {
                if (!port.writeByte(std::uint8_t(c))) {
                    run.failure = port.errorString();
                    if (run.failure.isEmpty())
                        run.failure = QStringLiteral("the port closed while sending.");
                    port.close();
                    return run;
                }
            }
        }
        ++run.rounds;
        if (round)
            round(run.rounds);
        // The next round starts a whole second after the last one did, on the send's clock, so rounds do not
        // drift; a stop is heard within a twentieth of a second.
        const frame::Clock::time_point next = start + std::chrono::seconds(run.rounds);
        while (pacing.now() < next && !stopped())
            pacing.wait(std::min(next, pacing.now() + std::chrono::milliseconds(50)));
    }
    port.close();
    return run;
}

} // namespace plan
