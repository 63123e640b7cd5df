#include "frame/configuration.h"
#include "frame/transmitter.h"
#include "support/recordingport.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

using namespace std::chrono;
using frame::SentenceBytes;

namespace {

SentenceBytes composed(bool md90v13)
{
    SentenceBytes s;
    const frame::Configuration c{3, frame::Standard{15, 59, 5}, 9}; // GP RMC field 5, location 3, KT
    frame::encode(c, vocabulary::Products[md90v13 ? 2 : 0], s);
    return s;
}

// Short slots keep these tests quick; the pacing rules do not depend on the lengths.
const frame::Pacing Quick{microseconds(20'000), microseconds(10'000)};

} // namespace

class tst_Transmitter : public QObject {
    Q_OBJECT
private slots:
    void writesTenRepetitions_data();
    void writesTenRepetitions();
    void progressCountsRepetitions();
    void scheduleOnAFakeClock_data();
    void scheduleOnAFakeClock();
    void eventsRunDuringTheWaits();
    void failedWriteStopsAndClosesOnce_data();
    void failedWriteStopsAndClosesOnce();
    void closedPortIsAFailure();
};

void tst_Transmitter::writesTenRepetitions_data()
{
    QTest::addColumn<bool>("md90v13");
    QTest::addColumn<int>("bytes");
    QTest::newRow("MD20/MD40: 100 bytes") << false << 100;
    QTest::newRow("MD90 1.3: 110 bytes") << true << 110;
}

void tst_Transmitter::writesTenRepetitions()
{
    QFETCH(bool, md90v13);
    QFETCH(int, bytes);
    RecordingPort port;
    QVERIFY(port.open("/dev/fake"));
    SentenceBytes s = composed(md90v13);
    frame::Transmitter transmitter(port, Quick);
    QCOMPARE(transmitter.TransmitSentence(s), std::nullopt);
    QCOMPARE(port.written.size(), bytes);
    QByteArray expected;
    for (const QByteArray &f : frame::sendFrames(s))
        expected += f;
    QCOMPARE(port.written, expected);
    // The record now holds the check bytes it was sent with.
    QCOMPARE(s.FirstCheck, std::uint8_t(md90v13 ? 0x7F : 0x7B));
    QCOMPARE(s.RepeatCheck, std::uint8_t(md90v13 ? 0x5F : 0x5B));
    QVERIFY(port.isOpen()); // stays open until the next send or Quit
    QCOMPARE(port.closes, 0);
}

void tst_Transmitter::progressCountsRepetitions()
{
    RecordingPort port;
    port.open("/dev/fake");
    SentenceBytes s = composed(false);
    QList<int> values;
    QList<int> bytesAtProgress;
    frame::Transmitter transmitter(port, Quick);
    transmitter.TransmitSentence(s, [&](int v) {
        values << v;
        bytesAtProgress << int(port.written.size());
    });
    QCOMPARE(values, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
    QCOMPARE(bytesAtProgress, (QList<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
}

void tst_Transmitter::scheduleOnAFakeClock_data()
{
    QTest::addColumn<bool>("md90v13");
    QTest::addColumn<int>("lateMicroseconds");
    QTest::newRow("10-byte frames, every wait ends on time") << false << 0;
    QTest::newRow("11-byte frames, every wait ends on time") << true << 0;
    QTest::newRow("10-byte frames, every wait ends 3 ms late") << false << 3000;
    QTest::newRow("11-byte frames, every wait ends 7 ms late") << true << 7000;
}

// The sender's own schedule, on a clock the test owns: each byte starts its 50 ms slot, each repetition
// follows the last slot and 100 ms of silence. A late wake-up delays what follows and never shortens it.
void tst_Transmitter::scheduleOnAFakeClock()
{
    QFETCH(bool, md90v13);
    QFETCH(int, lateMicroseconds);
    const microseconds late(lateMicroseconds);
    const frame::Clock::time_point start{hours(1)};
    frame::Clock::time_point now = start;
    frame::Pacing pacing; // the real pause and slot
    pacing.now = [&] { return now; };
    pacing.wait = [&](frame::Clock::time_point deadline) { now = std::max(now, deadline) + late; };

    RecordingPort port;
    port.clock = [&] { return now; };
    port.open("/dev/fake");
    SentenceBytes s = composed(md90v13);
    frame::Transmitter transmitter(port, pacing);
    QCOMPARE(transmitter.TransmitSentence(s), std::nullopt);

    const int length = md90v13 ? 11 : 10;
    QCOMPARE(port.times.size(), 10 * length);
    auto expected = start + milliseconds(100) + late; // the pause before the first repetition
    for (int i = 0; i < port.times.size(); ++i) {
        if (i > 0) // the byte before keeps its whole slot; a new repetition adds its pause
            expected += milliseconds(50) + late + (i % length == 0 ? milliseconds(100) + late : 0us);
        QVERIFY2(port.times[i] == expected,
                 qPrintable(QStringLiteral("byte %1 went out %2 us from the start, expected %3 us")
                                .arg(i)
                                .arg(duration_cast<microseconds>(port.times[i] - start).count())
                                .arg(duration_cast<microseconds>(expected - start).count())));
    }
    // The last byte keeps its whole slot before the send returns.
    QCOMPARE(now, port.times.last() + milliseconds(50) + late);
}

void tst_Transmitter::eventsRunDuringTheWaits()
{
    RecordingPort port;
    port.open("/dev/fake");
    SentenceBytes s = composed(false);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    frame::Transmitter(port, Quick).TransmitSentence(s);
    QVERIFY2(ticks > 10, "the window would freeze during a send");
}

void tst_Transmitter::failedWriteStopsAndClosesOnce_data()
{
    QTest::addColumn<int>("failAfter");
    QTest::addColumn<QString>("told"); // what the failure says, once the send's progress is added
    QTest::newRow("first byte") << 0 << "the device was removed.";
    QTest::newRow("mid frame") << 15
                               << "the device was removed after 1 of 10 repetitions; the display may have "
                                  "taken the location";
    QTest::newRow("last byte") << 99
                               << "the device was removed after 9 of 10 repetitions; the display may have "
                                  "taken the location";
}

void tst_Transmitter::failedWriteStopsAndClosesOnce()
{
    QFETCH(int, failAfter);
    RecordingPort port;
    port.open("/dev/fake");
    port.failAfter = failAfter;
    SentenceBytes s = composed(false);
    QList<int> values;
    frame::Transmitter transmitter(port, Quick);
    const std::optional<QString> failure = transmitter.TransmitSentence(s, [&](int v) { values << v; });
    QVERIFY(failure);
    QTEST(frame::failedAfter(*failure, transmitter.repetitionsSent()), "told");
    QCOMPARE(port.written.size(), failAfter);
    QCOMPARE(values.size(), failAfter / 10); // only the repetitions that went out whole
    QVERIFY(!port.isOpen());
    QCOMPARE(port.closes, 1);
}

void tst_Transmitter::closedPortIsAFailure()
{
    RecordingPort port;
    SentenceBytes s = composed(false);
    const std::optional<QString> failure = frame::Transmitter(port, Quick).TransmitSentence(s);
    QVERIFY(failure);
    QVERIFY(port.written.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Transmitter)
#include "tst_transmitter.moc"
