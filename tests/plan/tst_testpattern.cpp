// The test pattern read back as a listener on the bus reads it: every covered location's field carries the
// location's own value, every sentence's checksum holds, nothing else is filled but a status a display needs,
// and each location the pattern cannot show is named with its reason.
#include "plan/testpattern.h"

#include "bus/sentence.h"
#include "support/recordingport.h"

#include <QTest>

namespace {

plan::Plan parsed(const QByteArray &text)
{
    const plan::ReadResult r = plan::parsePlan(text, QStringLiteral("test"));
    return r.faults.isEmpty() ? r.plan : plan::Plan{};
}

QString standard(int n, const char *talker, const char *sentence, int field, const char *type = nullptr)
{
    QString t = QStringLiteral("[location.%1]\ntalker = \"%2\"\nsentence = \"%3\"\nfield = %4\n")
                    .arg(n)
                    .arg(QLatin1String(talker), QLatin1String(sentence))
                    .arg(field);
    if (type)
        t += QStringLiteral("type = \"%1\"\n").arg(QLatin1String(type));
    return t;
}

// A fake clock that moves only when the runner waits, so a run of many seconds takes none.
struct FakeTime {
    frame::Clock::time_point now{};
    frame::Pacing pacing()
    {
        frame::Pacing p;
        p.now = [this] { return now; };
        p.wait = [this](frame::Clock::time_point until) { now = std::max(now, until); };
        return p;
    }
};

} // namespace

class tst_TestPattern : public QObject {
    Q_OBJECT
private slots:
    void readBackByTheBusParser_data();
    void readBackByTheBusParser();
    void windWithItsReferenceAndStatus();
    void notCovered_data();
    void notCovered();
    void runsUntilStopped();
    void portFailures();
};

using Expected = QList<QPair<int, QString>>; // (location, sentence key) for each covered location

void tst_TestPattern::readBackByTheBusParser_data()
{
    QTest::addColumn<QString>("locations");
    QTest::addColumn<int>("sentences");
    QTest::newRow("three fields of one RMC, built once")
        << standard(1, "GP", "RMC", 7) + standard(3, "GP", "RMC", 8) + standard(10, "GP", "RMC", 5) << 1;
    QTest::newRow("GGA is sent as GGA on the bus, not as the frame's CGA")
        << standard(2, "GP", "GGA", 9) + standard(4, "GP", "GLL", 1) << 2;
    QTest::newRow("one talker, two sentences; one sentence, two talkers")
        << standard(5, "SD", "DBT", 1) + standard(6, "SD", "DPT", 1) + standard(7, "II", "DBT", 3) << 3;
    QTest::newRow("XDR value fields with their types")
        << standard(8, "II", "XDR", 2, "C") + standard(9, "II", "XDR", 6, "P") + standard(1, "VW", "VTG", 5)
        << 2;
    QTest::newRow("field 25, the last the display counts") << standard(10, "ZV", "ZZU", 25) << 1;
}

void tst_TestPattern::readBackByTheBusParser()
{
    QFETCH(QString, locations);
    QFETCH(int, sentences);
    const plan::Plan p = parsed("product = 0\n" + locations.toUtf8());
    QVERIFY(!p.locations.isEmpty());
    const plan::TestPattern pattern = plan::makeTestPattern(p);
    QCOMPARE(pattern.sentences.size(), sentences);
    QVERIFY(pattern.notCovered.isEmpty());
    QCOMPARE(pattern.covered.size(), p.locations.size());

    QHash<QString, bus::Sentence> heard;
    for (const QByteArray &line : pattern.sentences) {
        QVERIFY2(line.endsWith("\r\n") && line.size() <= bus::MaxSentenceLength, line.constData());
        const std::optional<bus::Sentence> s = bus::parseSentence(line.chopped(2));
        QVERIFY2(s, line.constData());
        QCOMPARE(s->checksum, bus::Checksum::Ok);
        QVERIFY2(!heard.contains(s->key()), "a sentence is built once");
        heard.insert(s->key(), *s);
    }
    QSet<QPair<QString, int>> filled;
    for (const plan::Location &l : p.locations) {
        const frame::Standard &st = *l.standard();
        const QString key = vocabulary::entries(vocabulary::List::Talker).at(st.talker) +
                            vocabulary::entries(vocabulary::List::Identifier).at(st.sentence);
        QVERIFY2(heard.contains(key), qPrintable(key));
        // Field N as the display's "Commas" counts it carries the location's number twice over.
        QCOMPARE(heard[key].field(st.field), QStringLiteral("%1.%1").arg(l.location));
        filled.insert({key, st.field});
        if (l.isXdr()) {
            QCOMPARE(heard[key].field(st.field - 1), *vocabulary::xdrCode(st.type));
            filled.insert({key, st.field - 1});
        }
    }
    // Every other field is empty unless it is a status the display needs.
    for (const bus::Sentence &s : heard) {
        for (int f = 1; f <= s.fields.size(); ++f) {
            if (filled.contains({s.key(), f}))
                continue;
            const auto status =
                std::find_if(plan::StatusFields.begin(), plan::StatusFields.end(), [&](auto &sf) {
                    return s.identifier == QLatin1String(sf.sentence) && sf.field == f;
                });
            const QString expected =
                status != plan::StatusFields.end() ? QString::fromLatin1(status->value) : QString();
            QCOMPARE(*s.field(f), expected);
        }
    }
}

void tst_TestPattern::windWithItsReferenceAndStatus()
{
    // A wind display takes MWV only with its reference (R or T) and status A: written out by hand here.
    const plan::TestPattern pattern =
        plan::makeTestPattern(parsed("product = 0\n" + standard(4, "WI", "MWV", 1).toUtf8()));
    QCOMPARE(pattern.sentences, QList<QByteArray>{"$WIMWV,4.4,R,,,A*43\r\n"});
    const plan::TestPattern reference =
        plan::makeTestPattern(parsed("product = 0\n" + standard(4, "WI", "MWV", 2).toUtf8()));
    QCOMPARE(reference.covered.size(), 0);
}

void tst_TestPattern::notCovered_data()
{
    QTest::addColumn<QString>("locations");
    QTest::addColumn<int>("location");
    QTest::addColumn<QString>("reason");
    QTest::newRow("the maker's instrument") << QStringLiteral("[location.4]\ninstrument = 11\n") << 4
                                            << "whose sentences only the instrument itself sends";
    QTest::newRow("an XDR unit field") << standard(2, "II", "XDR", 3, "C") << 2 << "is not known";
    QTest::newRow("the RMC status itself") << standard(6, "GP", "RMC", 2) << 6 << "status A: data valid";
    QTest::newRow("GGA fix quality") << standard(6, "GP", "GGA", 6) << 6 << "fix quality";
    QTest::newRow("a field another location shows")
        << standard(1, "GP", "RMC", 7) + standard(9, "GP", "RMC", 7) << 9 << "as location 1 does";
    QTest::newRow("an XDR field whose type another location set otherwise")
        << standard(1, "II", "XDR", 2, "C") + standard(3, "II", "XDR", 2, "P") << 3 << "as location 1 does";
}

void tst_TestPattern::notCovered()
{
    QFETCH(QString, locations);
    QFETCH(int, location);
    QFETCH(QString, reason);
    const plan::TestPattern pattern = plan::makeTestPattern(parsed("product = 0\n" + locations.toUtf8()));
    QCOMPARE(pattern.notCovered.size(), 1);
    QCOMPARE(pattern.notCovered.first().location, location);
    QVERIFY2(pattern.notCovered.first().reason.contains(reason),
             qPrintable(pattern.notCovered.first().reason));
    for (const plan::Covered &c : pattern.covered)
        QVERIFY(c.location != location);
}

void tst_TestPattern::runsUntilStopped()
{
    const plan::TestPattern pattern = plan::makeTestPattern(
        parsed("product = 0\n" + (standard(1, "GP", "RMC", 7) + standard(2, "SD", "DBT", 3)).toUtf8()));
    RecordingPort port;
    FakeTime time;
    port.clock = [&] { return time.now; };
    const frame::Clock::time_point start = time.now;
    int rounds = 0;
    const plan::TestRun run = plan::runTestPattern(
        pattern, port, QStringLiteral("/dev/ttyS0"), time.pacing(), [&] { return rounds == 5; },
        [&](int r) { rounds = r; });
    QCOMPARE(run.rounds, 5);
    QVERIFY(run.failure.isEmpty());
    QCOMPARE(port.written, pattern.sentences.join().repeated(5));
    QCOMPARE(port.closes, 1);
    // Each round begins a whole second after the one before it.
    const qsizetype perRound = pattern.sentences.join().size();
    for (int r = 0; r < 5; ++r)
        QCOMPARE(port.times[r * perRound] - start, std::chrono::seconds(r));
}

void tst_TestPattern::portFailures()
{
    const plan::TestPattern pattern =
        plan::makeTestPattern(parsed("product = 0\n" + standard(1, "GP", "RMC", 7).toUtf8()));
    FakeTime time;
    RecordingPort busy;
    busy.refused << QStringLiteral("/dev/ttyUSB0");
    plan::TestRun run = plan::runTestPattern(pattern, busy, QStringLiteral("/dev/ttyUSB0"), time.pacing(),
                                             [] { return false; });
    QVERIFY2(run.failure.startsWith(QStringLiteral("cannot open /dev/ttyUSB0")), qPrintable(run.failure));
    QCOMPARE(busy.written.size(), 0);

    RecordingPort pulled;
    pulled.failAfter = 100; // the adapter goes in the second round
    run = plan::runTestPattern(pattern, pulled, QStringLiteral("/dev/ttyUSB0"), time.pacing(),
                               [] { return false; }); // would never stop: the failure must end it
    QCOMPARE(run.failure, QStringLiteral("the device was removed."));
    QCOMPARE(run.rounds, 100 / int(pattern.sentences.join().size()));
    QVERIFY(!pulled.isOpen());
}

QTEST_GUILESS_MAIN(tst_TestPattern)
#include "tst_testpattern.moc"
