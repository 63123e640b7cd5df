// The display's receiving side from tables of timed bytes: repetitions cut at their pauses, sends grouped,
// and every breach of length, header and pacing reported, while a late reader raises no false alarm.
#include "sim/receiver.h"

#include "support/sends.h"
#include "support/timedbytes.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

using namespace std::chrono_literals;
using sim::Micros;

namespace {

// Frames of the worked example: GP RMC field 5 at location 3, first and repeat frame.
const QByteArray First = QByteArray::fromHex("24324750524D4305357B");
const QByteArray Repeat = QByteArray::fromHex("24324750524D4305355B");
// Location 4, another send.
const QByteArray OtherFirst = QByteArray::fromHex("24334750524D4305357B");
const QByteArray OtherRepeat = QByteArray::fromHex("24334750524D4305354B");
// With the icon "KT": eleven bytes.
const QByteArray IconFirst = QByteArray::fromHex("24324750524D430535047F");
const QByteArray IconRepeat = QByteArray::fromHex("24324750524D430535045F");

struct Heard {
    QList<sim::Repetition> repetitions;
    QList<sim::Send> sends;
};

Heard hear(const Stream &stream)
{
    Heard h;
    sim::Receiver r({[&](const sim::Repetition &rep) { h.repetitions << rep; },
                     [&](const sim::Send &s) { h.sends << s; }});
    for (const TimedByte &b : stream)
        r.receive(b.byte, b.at);
    r.finish();
    return h;
}

QStringList allProblems(const Heard &h)
{
    QStringList p;
    for (const sim::Repetition &r : h.repetitions) {
        for (const QString &text : r.problems())
            p << QStringLiteral("%1: %2").arg(r.number).arg(text);
    }
    for (const sim::Send &s : h.sends)
        p << s.problems();
    return p;
}

} // namespace

class tst_Receiver : public QObject {
    Q_OBJECT
private slots:
    void goodSends_data();
    void goodSends();
    void lateReadsRaiseNoAlarm();
    void readerHeldUp_data();
    void readerHeldUp();
    void faults_data();
    void faults();
    void earlyByte();
    void silenceClosesRepetitionAndSend();
    void bytesReadTogether();
    void floods_data();
    void floods();
    void readmeQuotesTheFloods();
};

void tst_Receiver::goodSends_data()
{
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QList<int>>("sendSizes");
    QTest::newRow("one send of ten-byte frames") << tenOf(First, Repeat) << QList<int>{10};
    QTest::newRow("one send of eleven-byte frames, with icon")
        << tenOf(IconFirst, IconRepeat) << QList<int>{10};
    QTest::newRow("two sends to two locations back to back")
        << tenOf(First, Repeat) + tenOf(OtherFirst, OtherRepeat) << QList<int>{10, 10};
    QTest::newRow("the same send twice back to back")
        << tenOf(First, Repeat) + tenOf(First, Repeat) << QList<int>{10, 10};
    QTest::newRow("a check byte of 0x24 is no header")
        << tenOf(QByteArray::fromHex("24304949584452433324"), QByteArray::fromHex("24304949584452433326"))
        << QList<int>{10};
}

void tst_Receiver::goodSends()
{
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QList<int>, sendSizes);
    const Heard h = hear(paced(frames));
    QCOMPARE(allProblems(h), QStringList());
    QCOMPARE(h.repetitions.size(), frames.size());
    for (int i = 0; i < frames.size(); ++i) {
        QCOMPARE(h.repetitions[i].bytes, frames[i]);
        QCOMPARE(h.repetitions[i].number, i % 10 + 1);
    }
    QList<int> sizes;
    for (const sim::Send &s : h.sends)
        sizes << int(s.repetitions.size());
    QCOMPARE(sizes, sendSizes);
}

void tst_Receiver::lateReadsRaiseNoAlarm()
{
    // A reader may stamp any byte late by less than the tolerance, and now and then one byte much later;
    // a byte is never stamped before it came.
    QRandomGenerator random(42);
    for (int round = 0; round < 50; ++round) {
        Stream s = paced(tenOf(First, Repeat) + tenOf(OtherFirst, OtherRepeat));
        for (TimedByte &b : s)
            b.at += Micros(random.bounded(int(Micros(sim::Tolerance).count())));
        const int stalled = random.bounded(1, int(s.size()) - 1);
        s[stalled].at += 45ms;
        if (s[stalled].at > s[stalled + 1].at) // read together with the next
            s[stalled].at = s[stalled + 1].at;
        const Heard h = hear(s);
        QCOMPARE(allProblems(h), QStringList());
        QCOMPARE(h.sends.size(), 2);
    }
}

void tst_Receiver::readerHeldUp_data()
{
    // Bytes a busy reader stamps late (never early), then catches up: bytes 10 to 19 are repetition 2.
    QTest::addColumn<QList<int>>("late");
    QTest::addColumn<int>("byMs");
    QTest::newRow("two bytes late, the next on time") << QList<int>{13, 14} << 30;
    QTest::newRow("three bytes late, the next on time") << QList<int>{3, 4, 5} << 45;
    QTest::newRow("a repetition's last two bytes late, the next repetition on time")
        << QList<int>{18, 19} << 40;
    QTest::newRow("a whole repetition late, the next on time")
        << QList<int>{10, 11, 12, 13, 14, 15, 16, 17, 18, 19} << 35;
}

void tst_Receiver::readerHeldUp()
{
    QFETCH(QList<int>, late);
    QFETCH(int, byMs);
    Stream s = paced(tenOf(First, Repeat));
    for (const int i : late)
        s[i].at += Micros(byMs * 1000);
    const Heard h = hear(s);
    QCOMPARE(allProblems(h), QStringList());
    QCOMPARE(h.sends.size(), 1);
    QCOMPARE(h.sends[0].repetitions.size(), 10);
}

void tst_Receiver::faults_data()
{
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<Pauses>("pauses");
    QTest::addColumn<Micros>("slot");
    QTest::addColumn<QStringList>("problems");
    QTest::addColumn<QList<int>>("sendSizes");

    const QList<QByteArray> ten = tenOf(First, Repeat);
    QList<QByteArray> nine = ten;
    nine.removeAt(4);
    QTest::newRow("a missing repetition")
        << nine << Pauses{} << sim::Slot << QStringList{"9 repetitions where a send has 10"} << QList<int>{9};
    QTest::newRow("an eleventh repetition")
        << ten + QList<QByteArray>{Repeat} << Pauses{} << sim::Slot
        << QStringList{"11 repetitions where a send has 10"} << QList<int>{11};
    QTest::newRow("repetition 5 without its pause")
        << ten << Pauses{{4, 0ms}} << sim::Slot
        << QStringList{"5: came without its 100 ms pause (50 ms after the byte before)"} << QList<int>{10};
    QTest::newRow("repetition 5 with a pause of 30 ms")
        << ten << Pauses{{4, 30ms}} << sim::Slot
        << QStringList{"5: came without its 100 ms pause (80 ms after the byte before)"} << QList<int>{10};
    QTest::newRow("repetition 5 with a pause of 60 ms")
        << ten << Pauses{{4, 60ms}} << sim::Slot
        << QStringList{"5: came without its 100 ms pause (110 ms after the byte before)"} << QList<int>{10};
    QTest::newRow("a pause of 90 ms is within the tolerance")
        << ten << Pauses{{4, 90ms}} << sim::Slot << QStringList{} << QList<int>{10};
    QTest::newRow("every pause missing: frames cut by length")
        << ten
        << Pauses{{1, 0ms}, {2, 0ms}, {3, 0ms}, {4, 0ms}, {5, 0ms}, {6, 0ms}, {7, 0ms}, {8, 0ms}, {9, 0ms}}
        << sim::Slot
        << QStringList{"2: came without its 100 ms pause (50 ms after the byte before)",
                       "3: came without its 100 ms pause (50 ms after the byte before)",
                       "4: came without its 100 ms pause (50 ms after the byte before)",
                       "5: came without its 100 ms pause (50 ms after the byte before)",
                       "6: came without its 100 ms pause (50 ms after the byte before)",
                       "7: came without its 100 ms pause (50 ms after the byte before)",
                       "8: came without its 100 ms pause (50 ms after the byte before)",
                       "9: came without its 100 ms pause (50 ms after the byte before)",
                       "10: came without its 100 ms pause (50 ms after the byte before)"}
        << QList<int>{10};
    QStringList close;
    for (int b = 2; b <= 10; ++b)
        close << QStringLiteral(
                     "%1: byte %2 came 10 ms after the one before, closer than the display's 50 ms")
                     .arg(1)
                     .arg(b);
    QTest::newRow("bytes 10 ms apart")
        << QList<QByteArray>{First} << Pauses{} << Micros(10ms)
        << close + QStringList{"1 repetitions where a send has 10"} << QList<int>{1};
    QList<QByteArray> shortOne = ten;
    shortOne[5].remove(3, 1);
    QTest::newRow("a byte lost from repetition 6")
        << shortOne << Pauses{} << sim::Slot
        << QStringList{"6: 9 bytes where a frame has 10, or 11 with an icon byte"} << QList<int>{10};
    QList<QByteArray> badHeader = ten;
    badHeader[6][0] = '#';
    QTest::newRow("repetition 7 starts with #")
        << badHeader << Pauses{} << sim::Slot
        << QStringList{"7: header 0x23 where a frame starts with \"$\" (0x24)"} << QList<int>{10};
    QList<QByteArray> badCheck = ten;
    badCheck[4][9] = 0x5C;
    QTest::newRow("a wrong check byte stays in its send for the decoder to judge")
        << badCheck << Pauses{} << sim::Slot << QStringList{} << QList<int>{10};
    QTest::newRow("a stray noise byte")
        << QList<QByteArray>{QByteArray("\xff", 1)} << Pauses{} << sim::Slot
        << QStringList{"1: header 0xFF where a frame starts with \"$\" (0x24)",
                       "1: 1 bytes where a frame has 10, or 11 with an icon byte",
                       "1 repetitions where a send has 10"}
        << QList<int>{1};
}

void tst_Receiver::faults()
{
    QFETCH(QList<QByteArray>, frames);
    QFETCH(Pauses, pauses);
    QFETCH(Micros, slot);
    QFETCH(QList<int>, sendSizes);
    const Heard h = hear(paced(frames, 0ms, slot, pauses));
    QTEST(allProblems(h), "problems");
    QList<int> sizes;
    for (const sim::Send &s : h.sends)
        sizes << int(s.repetitions.size());
    QCOMPARE(sizes, sendSizes);
    QByteArray all;
    for (const sim::Repetition &r : h.repetitions)
        all += r.bytes;
    QCOMPARE(all, frames.join()); // nothing lost, nothing invented
}

void tst_Receiver::earlyByte()
{
    // Byte 6 of repetition 3 leaves 40 ms early; the rest keep their slots.
    Stream s = paced(tenOf(First, Repeat));
    s[2 * 10 + 5].at -= 40ms;
    const Heard h = hear(s);
    QCOMPARE(h.repetitions[2].earlyBytes,
             (QList<sim::Repetition::EarlyByte>{{5, std::chrono::duration_cast<Micros>(10ms)}}));
    QCOMPARE(allProblems(h).size(), 1);
}

void tst_Receiver::silenceClosesRepetitionAndSend()
{
    QList<sim::Repetition> reps;
    QList<sim::Send> sends;
    sim::Receiver r(
        {[&](const sim::Repetition &rep) { reps << rep; }, [&](const sim::Send &s) { sends << s; }});
    const Stream s = paced(tenOf(First, Repeat));
    for (const TimedByte &b : s)
        r.receive(b.byte, b.at);
    const Micros last = s.last().at;
    QCOMPARE(reps.size(), 9);
    r.advanceTo(last + sim::RepetitionGap - 1ms);
    QCOMPARE(reps.size(), 9);
    r.advanceTo(last + sim::RepetitionGap);
    QCOMPARE(reps.size(), 10);
    QCOMPARE(sends.size(), 0);
    r.advanceTo(last + sim::SendGap);
    QCOMPARE(sends.size(), 1);
    // The same frames after a long silence are another send, and its first repetition is judged afresh.
    for (const TimedByte &b : paced(tenOf(First, Repeat), last + 2s))
        r.receive(b.byte, b.at);
    r.finish();
    QCOMPARE(sends.size(), 2);
    QCOMPARE(sends[1].repetitions.size(), 10);
    QVERIFY(!sends[1].repetitions[0].withoutPause);
}

void tst_Receiver::bytesReadTogether()
{
    // A reader that sleeps through a whole repetition gets its ten bytes at once: they came too close.
    Heard h;
    sim::Receiver r({[&](const sim::Repetition &rep) { h.repetitions << rep; }, {}});
    r.receive(First, 0ms);
    r.finish();
    QCOMPARE(h.repetitions.size(), 1);
    QCOMPARE(h.repetitions[0].bytes, First);
    QCOMPARE(h.repetitions[0].earlyBytes.size(), 9);
}

// Bytes from a bus, with when each came: count bytes spaced by gap, in bursts of burst bytes (0: one), each
// burst after a silence of silence.
Stream bus(int count, Micros gap, int burst = 0, Micros silence = 0ms, Micros start = 0ms)
{
    Stream s;
    Micros t = start;
    for (int i = 0; i < count; ++i) {
        if (burst > 0 && i > 0 && i % burst == 0)
            t += silence;
        s.append({std::uint8_t("$GPRMC,1,2*7F\r\n\xff"[i % 16]), t});
        t += gap;
    }
    return s;
}

void tst_Receiver::floods_data()
{
    QTest::addColumn<Stream>("stream");
    QTest::addColumn<QList<qint64>>("floodBytes"); // per send heard: its bytes if a flood, else 0
    QTest::addColumn<QString>("firstText");        // what the first send's flood says, in part

    // 4800 baud brings a byte every 2 ms.
    QTest::newRow("noise read all at once")
        << bus(1 << 20, 0ms) << QList<qint64>{1 << 20} << "1048576 bytes without the 100 ms pause";
    QTest::newRow("a bus at full speed")
        << bus(28800, 2ms) << QList<qint64>{28800} << "28800 bytes without the 100 ms pause";
    QTest::newRow("a bus in bursts, 400 ms apart")
        << bus(3000, 2ms, 300, 400ms) << QList<qint64>{3000}
        << "3000 bytes in 9.6 s without the 1 s of silence that ends a send";
    QTest::newRow("sends of ten after one another, never a silence")
        << paced(tenOf(First, Repeat) + tenOf(First, Repeat) + tenOf(First, Repeat)) << QList<qint64>{0, 0, 0}
        << QString();
    QTest::newRow("the longest send unpaced, twice")
        << bus(2 * sim::LongestSend, 0ms) << QList<qint64>{0} << QString();
    QTest::newRow("one byte more") << bus(2 * sim::LongestSend + 1, 0ms) << QList<qint64>{221}
                                   << "221 bytes without the 100 ms pause (a send is 110 bytes at most)";
    Stream after = bus(500, 2ms);
    after += paced(tenOf(First, Repeat), after.last().at + sim::SendGap);
    QTest::newRow("a send after the bus falls silent")
        << after << QList<qint64>{500, 0} << "500 bytes without the 100 ms pause";
}

void tst_Receiver::floods()
{
    QFETCH(Stream, stream);
    QFETCH(QList<qint64>, floodBytes);
    QFETCH(QString, firstText);
    const Heard h = hear(stream);
    QList<qint64> got;
    int kept = 0;
    for (const sim::Send &s : h.sends) {
        got << (s.flood ? s.flood->bytes : 0);
        QVERIFY(!s.flood || s.repetitions.isEmpty());
        for (const sim::Repetition &r : s.repetitions) {
            kept += int(r.bytes.size());
            QVERIFY2(r.problems().size() <= 3 + sim::EarlyBytesListed + 1,
                     qPrintable(r.problems().join('\n')));
        }
    }
    QCOMPARE(got, floodBytes);
    QVERIFY(kept <= 2 * sim::LongestSend * int(h.sends.size()));
    if (!firstText.isEmpty()) {
        const sim::Flood &f = *h.sends.first().flood;
        QVERIFY2(f.text().contains(firstText), qPrintable(f.text()));
        QVERIFY2(f.text().endsWith("is this a bus rather than a sender?"), qPrintable(f.text()));
        QCOMPARE(f.first.size(), sim::Flood::FirstBytes);
        QCOMPARE(f.first.front(), '$');
    }
}

void tst_Receiver::readmeQuotesTheFloods()
{
    // The README quotes both of a flood's texts as simulate prints them, whatever the line breaks.
    QFile readme(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll()).simplified();
    sim::Flood unpaced{28800, false, 0ms, 6s, {}};
    sim::Flood pausing{9600, true, 0ms, 20s, {}};
    for (const sim::Flood &f : {unpaced, pausing}) {
        const QString said = QStringLiteral("\"send 1 rejected: %1\"").arg(f.text());
        QVERIFY2(text.contains(said), qPrintable(said));
    }
}

QTEST_GUILESS_MAIN(tst_Receiver)
#include "tst_receiver.moc"
