#include "frame/configuration.h"
#include "support/goldenframes.h"

#include <QTest>

using frame::SentenceBytes;

namespace {

SentenceBytes gpRmc5AtLocation3()
{
    SentenceBytes s;
    s.MemoryChar = 0x32;
    s.MemoryKey = 32;
    s.Body1 = 'G';
    s.Body2 = 'P';
    s.Body3 = 'R';
    s.Body4 = 'M';
    s.Body5 = 'C';
    s.Body6 = 5;
    s.Body7 = 0x35;
    return s;
}

} // namespace

class tst_SentenceBytes : public QObject {
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void iconRule_data();
    void iconRule();
    void iconCodeTable();
    void repeatCheckAlwaysDiffers();
};

void tst_SentenceBytes::frames_data()
{
    QTest::addColumn<int>("iconCode");
    QTest::addColumn<int>("memoryKey");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("repeat");
    // GP RMC field 5 at location 3 with each icon byte, as the golden frames give it.
    QTest::newRow("GP RMC 5 at location 3") << 0 << 32 << GoldenFrames[1].first() << GoldenFrames[1].repeat();
    QTest::newRow("with the icon KT") << 0x04 << 32 << GoldenFrames[2].first() << GoldenFrames[2].repeat();
    QTest::newRow("icon None is 0xFF, in both checks")
        << 0xFF << 32 << GoldenFrames[4].first() << GoldenFrames[4].repeat();
    QTest::newRow("icon MILES puts 0x24 in the icon byte, sent raw")
        << 0x24 << 32 << GoldenFrames[5].first() << GoldenFrames[5].repeat();
    QTest::newRow("location 1: repeat is first XOR 0x18")
        << 0 << 24 << QByteArray::fromHex("24324750524D4305357B")
        << QByteArray::fromHex("24324750524D43053563");
}

void tst_SentenceBytes::frames()
{
    QFETCH(int, iconCode);
    QFETCH(int, memoryKey);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, repeat);
    SentenceBytes s = gpRmc5AtLocation3();
    s.IconCode = std::uint8_t(iconCode);
    s.MemoryKey = std::uint8_t(memoryKey);
    const QList<QByteArray> frames = frame::sendFrames(s);
    QCOMPARE(frames.size(), 10);
    QCOMPARE(frames[0], first);
    for (int r = 1; r < 10; ++r)
        QCOMPARE(frames[r], repeat);
}

void tst_SentenceBytes::iconRule_data()
{
    QTest::addColumn<bool>("md90v13");
    QTest::addColumn<int>("iconIndexBefore");
    QTest::addColumn<int>("iconCode");
    QTest::addColumn<int>("iconIndexAfter");
    QTest::newRow("MD90 1.3 with KT") << true << 9 << 0x04 << 9;
    QTest::newRow("MD90 1.3 with None") << true << 0 << 0xFF << 0;
    QTest::newRow("MD90 1.3 with VOLTS") << true << 14 << 0x56 << 14;
    QTest::newRow("other product resets the icon") << false << 9 << 0 << 0;
    QTest::newRow("out of range icon is taken as None") << true << 15 << 0xFF << 15;
}

void tst_SentenceBytes::iconRule()
{
    QFETCH(bool, md90v13);
    QFETCH(int, iconIndexBefore);
    QFETCH(int, iconCode);
    QFETCH(int, iconIndexAfter);
    SentenceBytes s;
    s.IconCode = 0x77;
    const frame::Configuration c{3, frame::Standard{15, 59, 5}, iconIndexBefore}; // GP RMC field 5
    const vocabulary::Product &product = vocabulary::Products[md90v13 ? 2 : 0];
    QCOMPARE(frame::encode(c, product, s), std::nullopt);
    QCOMPARE(int(s.IconCode), iconCode);
    QCOMPARE(frame::iconSent(c, product), iconIndexAfter);
}

void tst_SentenceBytes::iconCodeTable()
{
    const QByteArray codes = QByteArray::fromHex("FF726471776344321604312448 0856");
    QCOMPARE(frame::iconCaptions().size(), frame::IconCount);
    for (int i = 0; i < frame::IconCount; ++i)
        QCOMPARE(frame::iconCode(i), std::uint8_t(codes[i]));
    QCOMPARE(frame::findIcon("volts"), 14);
    QCOMPARE(frame::findIcon("DegC"), 4);
    QCOMPARE(frame::findIcon("Watts"), -1);
}

void tst_SentenceBytes::repeatCheckAlwaysDiffers()
{
    SentenceBytes s = gpRmc5AtLocation3();
    for (int m = 0; m < 10; ++m) {
        s.MemoryKey = std::uint8_t(24 + 4 * m);
        const frame::CheckBytes c = frame::checkBytes(s);
        QVERIFY(c.first != c.repeat);
        const QList<QByteArray> frames = frame::sendFrames(s);
        // Repetitions 1 and 2 differ in their last byte alone.
        QCOMPARE(frames[0].chopped(1), frames[1].chopped(1));
        QVERIFY(frames[0].back() != frames[1].back());
    }
}

QTEST_APPLESS_MAIN(tst_SentenceBytes)
#include "tst_sentencebytes.moc"
