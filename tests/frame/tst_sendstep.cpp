// The send step every front end runs, on a recording port and a clock the test owns: what it opens, what
// it reports after a whole, a stopped and a failed send, and the events it gives on the way.
#include "frame/sendstep.h"
#include "support/goldenframes.h"
#include "support/recordingport.h"
#include "support/sends.h"

#include <QTest>

using namespace std::chrono;
using frame::SendOutcome;

namespace {

const frame::Configuration GpRmc{3, frame::Standard{15, 59, 5}, 9}; // GP RMC field 5 at location 3, KT

frame::SentenceBytes composed(bool md90v13)
{
    frame::SentenceBytes s;
    frame::encode(GpRmc, vocabulary::Products[md90v13 ? 2 : 0], s);
    return s;
}

// The real pause and slot on a clock that moves only when the send waits.
struct FakeClock {
    frame::Clock::time_point now{hours(1)};
    frame::Pacing pacing()
    {
        frame::Pacing p;
        p.now = [this] { return now; };
        p.wait = [this](frame::Clock::time_point deadline) { now = std::max(now, deadline); };
        return p;
    }
};

} // namespace

Q_DECLARE_METATYPE(frame::SendOutcome)

class tst_SendStep : public QObject {
    Q_OBJECT
private slots:
    void init() { qputenv("MDCONFIG_COM3", "/dev/fake3"), qputenv("MDCONFIG_COM5", "/dev/fake5"); }
    void cleanup() { qunsetenv("MDCONFIG_COM3"), qunsetenv("MDCONFIG_COM5"); }
    void stopsAfterTheByteOnTheWire_data();
    void stopsAfterTheByteOnTheWire();
    void failedWriteReportsWholeRepetitions_data();
    void failedWriteReportsWholeRepetitions();
    void eventsInOrder_data();
    void eventsInOrder();
    void opening_data();
    void opening();
    void configurationWithoutAnEntryOpensNothing();
};

void tst_SendStep::stopsAfterTheByteOnTheWire_data()
{
    QTest::addColumn<int>("stopAt"); // bytes written when the stop is asked for
    QTest::addColumn<SendOutcome>("outcome");
    QTest::addColumn<int>("repetitions");
    QTest::addColumn<QString>("failure");
    QTest::newRow("before the first byte")
        << 0 << SendOutcome::Stopped << 0 << "interrupted after 0 of 100 bytes";
    QTest::newRow("mid frame") << 37 << SendOutcome::Stopped << 3 << "interrupted after 37 of 100 bytes";
    QTest::newRow("between two repetitions")
        << 40 << SendOutcome::Stopped << 4 << "interrupted after 40 of 100 bytes";
    QTest::newRow("before the last byte")
        << 99 << SendOutcome::Stopped << 9 << "interrupted after 99 of 100 bytes";
    QTest::newRow("after the last byte: nothing left to stop") << 100 << SendOutcome::Sent << 10 << "";
}

void tst_SendStep::stopsAfterTheByteOnTheWire()
{
    QFETCH(int, stopAt);
    QFETCH(SendOutcome, outcome);
    FakeClock clock;
    RecordingPort port;
    port.clock = [&] { return clock.now; };
    frame::Clock::time_point askedAt{};
    frame::SendEvents events;
    events.stopRequested = [&] {
        if (port.written.size() < stopAt)
            return false;
        askedAt = clock.now;
        return true;
    };
    frame::SentenceBytes s = composed(false);
    const frame::SendReport report = frame::send(port, frame::Device{"/dev/fake"}, s, events, clock.pacing());

    QCOMPARE(report.outcome, outcome);
    QCOMPARE(report.bytes, stopAt);
    QCOMPARE(port.written.size(), stopAt);
    QTEST(report.repetitions, "repetitions");
    QTEST(report.failure(), "failure");
    QCOMPARE(report.bytesTotal, 100);
    QCOMPARE(port.isOpen(), outcome == SendOutcome::Sent); // a stopped send leaves no port half-used
    if (stopAt > 0 && outcome == SendOutcome::Stopped)     // the byte on the wire had its whole slot
        QVERIFY(askedAt >= port.times.last() + milliseconds(50));
}

void tst_SendStep::failedWriteReportsWholeRepetitions_data()
{
    QTest::addColumn<bool>("md90v13");
    QTest::addColumn<int>("failAfter");
    QTest::addColumn<int>("repetitions");
    QTest::addColumn<QString>("failure");
    QTest::newRow("first byte: nothing went out") << false << 0 << 0 << "the device was removed.";
    QTest::newRow("last byte of repetition 1") << false << 9 << 0 << "the device was removed.";
    QTest::newRow("first byte of repetition 2")
        << false << 10 << 1
        << "the device was removed after 1 of 10 repetitions; the display may have taken the location";
    QTest::newRow("icon frames, mid repetition 6")
        << true << 60 << 5
        << "the device was removed after 5 of 10 repetitions; the display may have taken the location";
    QTest::newRow("last byte")
        << false << 99 << 9
        << "the device was removed after 9 of 10 repetitions; the display may have taken the location";
}

void tst_SendStep::failedWriteReportsWholeRepetitions()
{
    QFETCH(bool, md90v13);
    QFETCH(int, failAfter);
    FakeClock clock;
    RecordingPort port;
    port.failAfter = failAfter;
    int progressEvents = 0;
    frame::SendEvents events;
    events.progress = [&](const frame::SendProgress &) { ++progressEvents; };
    frame::SentenceBytes s = composed(md90v13);
    const frame::SendReport report = frame::send(port, frame::Device{"/dev/fake"}, s, events, clock.pacing());

    QCOMPARE(report.outcome, SendOutcome::Failed);
    QCOMPARE(report.bytes, failAfter);
    QCOMPARE(report.bytesTotal, md90v13 ? 110 : 100);
    QTEST(report.repetitions, "repetitions");
    QTEST(progressEvents, "repetitions");
    QTEST(report.failure(), "failure");
    QVERIFY(!port.isOpen());
    QCOMPARE(port.closes, 1);
}

void tst_SendStep::eventsInOrder_data()
{
    QTest::addColumn<bool>("md90v13");
    QTest::newRow("10-byte frames") << false;
    QTest::newRow("11-byte frames") << true;
}

void tst_SendStep::eventsInOrder()
{
    QFETCH(bool, md90v13);
    const int length = md90v13 ? 11 : 10;
    FakeClock clock;
    RecordingPort port;
    QStringList seen; // "event repetitions/total bytes/total bar, bytes on the port"
    const auto note = [&](const char *what) {
        return [&, what](const frame::SendProgress &p) {
            seen << QStringLiteral("%1 %2/%3 %4/%5 bar %6, %7 written")
                        .arg(what)
                        .arg(p.repetitions)
                        .arg(p.repetitionsTotal)
                        .arg(p.bytes)
                        .arg(p.bytesTotal)
                        .arg(p.barValue())
                        .arg(port.written.size());
        };
    };
    frame::SendEvents events;
    events.started = note("started");
    events.progress = note("progress");
    const frame::SendReport report =
        frame::send(port, frame::Device{"/dev/fake"}, GpRmc, vocabulary::Products[md90v13 ? 2 : 0], events,
                    clock.pacing());

    QStringList expected{QStringLiteral("started 0/10 0/%1 bar 0, 0 written").arg(10 * length)};
    for (int r = 1; r <= 10; ++r)
        expected << QStringLiteral("progress %1/10 %2/%3 bar %4, %2 written")
                        .arg(r)
                        .arg(r * length)
                        .arg(10 * length)
                        .arg(r % 10);
    QCOMPARE(seen, expected);
    QVERIFY(report.sent());
    QCOMPARE(report.bytes, 10 * length);
    QCOMPARE(report.repetitions, 10);
    QCOMPARE(report.failure(), QString());
    QVERIFY(port.isOpen());                                    // until the next send or Quit
    const GoldenFrame &golden = GoldenFrames[md90v13 ? 2 : 1]; // GP RMC field 5 at 3, with KT or without
    QCOMPARE(port.written, tenTimes(golden.first(), golden.repeat()));
}

void tst_SendStep::opening_data()
{
    QTest::addColumn<int>("comPort"); // -1: the device /dev/fake3 itself
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<bool>("refuseFirst");
    QTest::addColumn<QStringList>("opened");
    QTest::addColumn<QList<int>>("changes");
    QTest::addColumn<QString>("why"); // empty: sent
    QTest::newRow("COM 3 opens") << 3 << QStringList{} << false << QStringList{"/dev/fake3"} << QList<int>{}
                                 << "";
    QTest::newRow("COM 3 refused, the answer 5 opens")
        << 3 << QStringList{"5"} << true << QStringList{"/dev/fake3", "/dev/fake5"} << QList<int>{5} << "";
    QTest::newRow("COM 3 refused, no prompt to ask")
        << 3 << QStringList{} << true << QStringList{"/dev/fake3"} << QList<int>{}
        << "Tried /dev/fake3: permission denied.";
    QTest::newRow("COM 0 names no port, the prompt cancelled")
        << 0 << QStringList{""} << false << QStringList{} << QList<int>{} << "No port is chosen (\"None\").";
    QTest::newRow("a device opens") << -1 << QStringList{} << false << QStringList{"/dev/fake3"}
                                    << QList<int>{} << "";
    QTest::newRow("a device refused: no prompt for a device")
        << -1 << QStringList{"5"} << true << QStringList{"/dev/fake3"} << QList<int>{}
        << "cannot open /dev/fake3: permission denied.";
}

void tst_SendStep::opening()
{
    QFETCH(int, comPort);
    QFETCH(QStringList, answers);
    QFETCH(bool, refuseFirst);
    QFETCH(QString, why);
    FakeClock clock;
    RecordingPort port;
    if (refuseFirst)
        port.refused << "/dev/fake3";
    QList<int> changes;
    bool started = false;
    frame::SendEvents events;
    if (!answers.isEmpty())
        events.askPort = [&](const QString &) { return std::optional<QString>(answers.takeFirst()); };
    events.portChanged = [&](std::int16_t n) { changes << n; };
    events.started = [&](const frame::SendProgress &) { started = true; };
    const frame::Destination to = comPort >= 0 ? frame::Destination(frame::ComPort{std::int16_t(comPort)})
                                               : frame::Destination(frame::Device{"/dev/fake3"});
    frame::SentenceBytes s = composed(false);
    const frame::SendReport report = frame::send(port, to, s, events, clock.pacing());

    QTEST(port.opened, "opened");
    QTEST(changes, "changes");
    QCOMPARE(report.failure(), why);
    QCOMPARE(report.outcome, why.isEmpty() ? SendOutcome::Sent : SendOutcome::NotOpened);
    QCOMPARE(started, why.isEmpty()); // nothing shows a send that never began
    QCOMPARE(port.written.size(), why.isEmpty() ? 100 : 0);
    QCOMPARE(report.bytes, int(port.written.size()));
}

void tst_SendStep::configurationWithoutAnEntryOpensNothing()
{
    RecordingPort port;
    bool started = false;
    frame::SendEvents events;
    events.started = [&](const frame::SendProgress &) { started = true; };
    const frame::Configuration noTalker{3, frame::Standard{-1, 59, 5}, 0};
    const frame::SendReport report =
        frame::send(port, frame::Device{"/dev/fake"}, noTalker, vocabulary::Products[0], events);
    QCOMPARE(report.outcome, SendOutcome::Incomplete);
    QCOMPARE(report.missing, std::optional(vocabulary::List::Talker));
    QCOMPARE(report.failure(), QStringLiteral("no entry is chosen in the \"Talker ID\" list"));
    QVERIFY(port.opened.isEmpty());
    QVERIFY(!started);
}

QTEST_GUILESS_MAIN(tst_SendStep)
#include "tst_sendstep.moc"
