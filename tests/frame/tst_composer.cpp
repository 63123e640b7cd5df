#include "frame/composer.h"

#include <QTest>

using frame::ProprietaryChoices;
using frame::SentenceBytes;
using frame::StandardChoices;
using vocabulary::List;

Q_DECLARE_METATYPE(StandardChoices)
Q_DECLARE_METATYPE(ProprietaryChoices)

namespace {

const vocabulary::Product &MD2040 = vocabulary::Products[0];
const vocabulary::Product &MD90v13 = vocabulary::Products[2];

// Choices by the texts the lists show, as a user picks them.
StandardChoices standard(const char *talker, const char *id, int commas, int location,
                         const char *type = nullptr)
{
    StandardChoices c;
    c.talker = vocabulary::findEntry(List::Talker, talker);
    c.identifier = vocabulary::findEntry(List::Identifier, id);
    c.commas = commas - 1;
    c.memory = location - 1;
    c.xdr = type ? vocabulary::findEntry(List::Xdr, type) : 0;
    return c;
}

QByteArray firstFrame(const SentenceBytes &s)
{
    return frame::sendFrames(s).first();
}

} // namespace

class tst_Composer : public QObject {
    Q_OBJECT
private slots:
    void standardFrames_data();
    void standardFrames();
    void proprietaryFrames_data();
    void proprietaryFrames();
    void noChoice_data();
    void noChoice();
    void transducerIgnoredOutsideXdr();
    void iconIndexResetByOtherProduct();
    void everyFieldWrittenAgain();
};

void tst_Composer::standardFrames_data()
{
    QTest::addColumn<StandardChoices>("choices");
    QTest::addColumn<int>("product"); // 0 MD20/MD40, 1 MD90 1.0 to 1.2, 2 MD90 1.3
    QTest::addColumn<int>("icon");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("repeat");
    QTest::newRow("II XDR C, commas 3, location 1, MD20/MD40")
        << standard("II", "XDR", 3, 1, "C - Temperature, Degrees C") << 0 << 0
        << QByteArray::fromHex("24304949584452433 33E") << QByteArray::fromHex("24304949584452433326");
    QTest::newRow("GP RMC, commas 5, location 3, MD20/MD40")
        << standard("GP", "RMC", 5, 3) << 0 << 0 << QByteArray::fromHex("24324750524D4305357B")
        << QByteArray::fromHex("24324750524D4305355B");
    QTest::newRow("GP RMC, MD90 1.3 with KT")
        << standard("GP", "RMC", 5, 3) << 2 << 9 << QByteArray::fromHex("24324750524D430535047F")
        << QByteArray::fromHex("24324750524D430535045F");
    QTest::newRow("GP RMC, MD90 1.0 with KT chosen: no icon byte")
        << standard("GP", "RMC", 5, 3) << 1 << 9 << QByteArray::fromHex("24324750524D4305357B")
        << QByteArray::fromHex("24324750524D4305355B");
    QTest::newRow("GGA sends CGA") << standard("GP", "GGA", 1, 1) << 0 << 0
                                   << QByteArray::fromHex("2430 4750 434741 01 31 62")
                                   << QByteArray::fromHex("2430 4750 434741 01 31 7A");
    QTest::newRow("GNS sends HNS") << standard("GP", "GNS", 1, 1) << 0 << 0
                                   << QByteArray::fromHex("2430 4750 484E53 01 31 72")
                                   << QByteArray::fromHex("2430 4750 484E53 01 31 6A");
    QTest::newRow("MSK sends HSK") << standard("GP", "MSK", 1, 1) << 0 << 0
                                   << QByteArray::fromHex("2430 4750 48534B 01 31 77")
                                   << QByteArray::fromHex("2430 4750 48534B 01 31 6F");
    QTest::newRow("commas 10: 0x0A and ':'")
        << standard("GP", "RMC", 10, 1) << 0 << 0 << QByteArray::fromHex("2430 4750 524D43 0A 3A 7B")
        << QByteArray::fromHex("2430 4750 524D43 0A 3A 63");
    QTest::newRow("commas 25: 0x19 and 'I'")
        << standard("GP", "RMC", 25, 1) << 0 << 0 << QByteArray::fromHex("2430 4750 524D43 19 49 1B")
        << QByteArray::fromHex("2430 4750 524D43 19 49 03");
    QTest::newRow("XDR V, commas 25") << standard("II", "XDR", 25, 1, "V - Volume, Cubic Meters") << 0 << 0
                                      << QByteArray::fromHex("2430 4949 584452 56 49 51")
                                      << QByteArray::fromHex("2430 4949 584452 56 49 49");
    QTest::newRow("location 10: '9', key 60")
        << standard("GP", "RMC", 5, 10) << 0 << 0 << QByteArray::fromHex("2439 4750 524D43 05 35 7B")
        << QByteArray::fromHex("2439 4750 524D43 05 35 47");
    QTest::newRow("MD90 1.3 with None adds 0xFF")
        << standard("GP", "RMC", 5, 3) << 2 << 0 << QByteArray::fromHex("24324750524D430535FF84")
        << QByteArray::fromHex("24324750524D430535FFA4");
}

void tst_Composer::standardFrames()
{
    QFETCH(StandardChoices, choices);
    QFETCH(int, product);
    QFETCH(int, icon);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, repeat);
    SentenceBytes s;
    std::int16_t iconIndex = std::int16_t(icon);
    QCOMPARE(frame::composeStandard(choices, vocabulary::Products[std::size_t(product)], iconIndex, s),
             std::nullopt);
    const QList<QByteArray> frames = frame::sendFrames(s);
    QCOMPARE(frames[0], first);
    QCOMPARE(frames[1], repeat);
    QCOMPARE(frames[9], repeat);
}

void tst_Composer::proprietaryFrames_data()
{
    QTest::addColumn<ProprietaryChoices>("choices");
    QTest::addColumn<int>("product"); // 0 MD20/MD40, 1 MD90 1.0 to 1.2, 2 MD90 1.3
    QTest::addColumn<int>("icon");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("repeat");
    QTest::newRow("engine RPM at location 2, MD20/MD40")
        << ProprietaryChoices{10, 1} << 0 << 0 << QByteArray::fromHex("243150564C4D29047258")
        << QByteArray::fromHex("243150564C4D29047244");
    QTest::newRow("engine RPM, MD90 1.0 gives the same frame")
        << ProprietaryChoices{10, 1} << 1 << 5 << QByteArray::fromHex("243150564C4D29047258")
        << QByteArray::fromHex("243150564C4D29047244");
    QTest::newRow("engine RPM, MD90 1.3 with VOLTS")
        << ProprietaryChoices{10, 1} << 2 << 14 << QByteArray::fromHex("243150564C4D290472560E")
        << QByteArray::fromHex("243150564C4D2904725612");
    QTest::newRow("pressure: 0x1B sent raw")
        << ProprietaryChoices{6, 0} << 0 << 0 << QByteArray::fromHex("243050564C4D1B04746C")
        << QByteArray::fromHex("243050564C4D1B047474");
    QTest::newRow("engine hours: 0x1B with 2")
        << ProprietaryChoices{9, 0} << 0 << 0 << QByteArray::fromHex("243050564C4D1B02726C")
        << QByteArray::fromHex("243050564C4D1B027274");
    QTest::newRow("temperature at location 10")
        << ProprietaryChoices{11, 9} << 0 << 0 << QByteArray::fromHex("243950564C4D1B04756D")
        << QByteArray::fromHex("243950564C4D1B047551");
    QTest::newRow("windlass: 1 and q")
        << ProprietaryChoices{0, 0} << 0 << 0 << QByteArray::fromHex("243050564C4D01047173")
        << QByteArray::fromHex("243050564C4D0104716B");
    QTest::newRow("consumption: 1 and v")
        << ProprietaryChoices{5, 0} << 0 << 0 << QByteArray::fromHex("243050564C4D01047674")
        << QByteArray::fromHex("243050564C4D0104766C");
}

void tst_Composer::proprietaryFrames()
{
    QFETCH(ProprietaryChoices, choices);
    QFETCH(int, product);
    QFETCH(int, icon);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, repeat);
    SentenceBytes s;
    std::int16_t iconIndex = std::int16_t(icon);
    QCOMPARE(frame::composeProprietary(choices, vocabulary::Products[std::size_t(product)], iconIndex, s),
             std::nullopt);
    const QList<QByteArray> frames = frame::sendFrames(s);
    QCOMPARE(frames[0], first);
    QCOMPARE(frames[1], repeat);
}

void tst_Composer::noChoice_data()
{
    QTest::addColumn<StandardChoices>("choices");
    QTest::addColumn<List>("missing");
    const StandardChoices good = standard("GP", "RMC", 5, 3);
    auto with = [&](auto change) {
        StandardChoices c = good;
        change(c);
        return c;
    };
    QTest::newRow("talker typed over") << with([](auto &c) { c.talker = -1; }) << List::Talker;
    QTest::newRow("talker past the list, the empty slot 50")
        << with([](auto &c) { c.talker = 49; }) << List::Talker;
    QTest::newRow("identifier typed over") << with([](auto &c) { c.identifier = -1; }) << List::Identifier;
    QTest::newRow("identifier past the list")
        << with([](auto &c) { c.identifier = 120; }) << List::Identifier;
    QTest::newRow("commas typed over") << with([](auto &c) { c.commas = -1; }) << List::Commas;
    QTest::newRow("commas past 25") << with([](auto &c) { c.commas = 25; }) << List::Commas;
    QTest::newRow("memory typed over") << with([](auto &c) { c.memory = -1; }) << List::MemoryLocation1;
    QTest::newRow("memory past 10") << with([](auto &c) { c.memory = 10; }) << List::MemoryLocation1;
    QTest::newRow("XDR without a type") << with([](auto &c) {
        c.identifier = vocabulary::XdrPosition;
        c.xdr = -1;
    }) << List::Xdr;
}

void tst_Composer::noChoice()
{
    QFETCH(StandardChoices, choices);
    QFETCH(List, missing);
    SentenceBytes s;
    s.Body1 = 0x55;
    const SentenceBytes before = s;
    std::int16_t iconIndex = 7;
    QCOMPARE(frame::composeStandard(choices, MD2040, iconIndex, s), std::optional<List>(missing));
    // Nothing half-composed is left behind, and the chosen icon is kept.
    QCOMPARE(s, before);
    QCOMPARE(iconIndex, std::int16_t(7));

    std::int16_t icon = 3;
    QCOMPARE(frame::composeProprietary({-1, 0}, MD90v13, icon, s), std::optional<List>(List::Instrument));
    QCOMPARE(frame::composeProprietary({12, 0}, MD90v13, icon, s), std::optional<List>(List::Instrument));
    QCOMPARE(frame::composeProprietary({0, -1}, MD90v13, icon, s),
             std::optional<List>(List::MemoryLocation2));
    QCOMPARE(s, before);
}

void tst_Composer::transducerIgnoredOutsideXdr()
{
    SentenceBytes a, b;
    std::int16_t icon = 0;
    StandardChoices c = standard("GP", "RMC", 5, 3);
    c.xdr = 0;
    QVERIFY(!frame::composeStandard(c, MD2040, icon, a));
    c.xdr = 13;
    QVERIFY(!frame::composeStandard(c, MD2040, icon, b));
    QCOMPARE(a, b);
    c.xdr = -1; // not read at all when the identifier is not XDR
    QVERIFY(!frame::composeStandard(c, MD2040, icon, b));
    QCOMPARE(a, b);
}

void tst_Composer::iconIndexResetByOtherProduct()
{
    SentenceBytes s;
    std::int16_t icon = 14;
    QVERIFY(!frame::composeStandard(standard("GP", "RMC", 5, 3), MD90v13, icon, s));
    QCOMPARE(firstFrame(s).size(), 11);
    QCOMPARE(icon, std::int16_t(14));
    QVERIFY(!frame::composeProprietary({10, 1}, MD2040, icon, s));
    QCOMPARE(icon, std::int16_t(0));
    QCOMPARE(firstFrame(s).size(), 10);
}

void tst_Composer::everyFieldWrittenAgain()
{
    SentenceBytes s;
    std::int16_t icon = 0;
    QVERIFY(!frame::composeProprietary({10, 1}, MD2040, icon, s));
    const QByteArray proprietary = firstFrame(s);
    QVERIFY(!frame::composeStandard(standard("II", "XDR", 3, 7, "U - Volts"), MD90v13, icon, s));
    QVERIFY(!frame::composeProprietary({10, 1}, MD2040, icon, s));
    QCOMPARE(firstFrame(s), proprietary);
}

QTEST_APPLESS_MAIN(tst_Composer)
#include "tst_composer.moc"
