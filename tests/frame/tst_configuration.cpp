// The one value for what a location shows: encoded against the hand-written golden frames, decoded back,
// described, carried through JSON, and refused when a list has no chosen entry.
#include "frame/configuration.h"
#include "frame/decoder.h"
#include "support/goldenframes.h"

#include <QJsonDocument>
#include <QTest>

using frame::Configuration;
using frame::SentenceBytes;
using vocabulary::List;

Q_DECLARE_METATYPE(Configuration)

namespace {

const vocabulary::Product &MD2040 = vocabulary::Products[0];
const vocabulary::Product &MD90v13 = vocabulary::Products[2];

// A row's configuration by the texts the lists show, as a user picks them.
Configuration configurationOf(const GoldenFrame &g)
{
    Configuration c;
    c.location = g.location;
    if (g.instrument) {
        c.what =
            frame::Instrument{vocabulary::findEntry(List::Instrument, QString::fromLatin1(g.instrument))};
    } else {
        frame::Standard st;
        st.talker = vocabulary::findEntry(List::Talker, QString::fromLatin1(g.talker));
        st.sentence = vocabulary::findEntry(List::Identifier, QString::fromLatin1(g.sentence));
        st.field = g.field;
        st.type = g.type ? vocabulary::findEntry(List::Xdr, QString::fromLatin1(g.type)) : -1;
        c.what = st;
    }
    c.icon = frame::findIcon(QString::fromLatin1(g.icon));
    return c;
}

Configuration gpRmc5At3()
{
    return configurationOf(GoldenFrames[1]);
}

QByteArray json(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void addGoldenRows()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(GoldenFrames.size()); ++i)
        QTest::newRow(GoldenFrames[std::size_t(i)].name) << i;
}

} // namespace

class tst_Configuration : public QObject {
    Q_OBJECT
private slots:
    void encode_data() { addGoldenRows(); }
    void encode();
    void decode_data() { addGoldenRows(); }
    void decode();
    void throughJson_data() { addGoldenRows(); }
    void throughJson();
    void pageRequest();
    void refusedJson_data();
    void refusedJson();
    void noChoice_data();
    void noChoice();
    void transducerIgnoredOutsideXdr();
    void everyFieldWrittenAgain();
    void brokenFrame_data();
    void brokenFrame();
};

void tst_Configuration::encode()
{
    QFETCH(int, row);
    const GoldenFrame &g = GoldenFrames[std::size_t(row)];
    SentenceBytes s;
    QCOMPARE(frame::encode(configurationOf(g), vocabulary::Products[std::size_t(g.product)], s),
             std::nullopt);
    const QList<QByteArray> frames = frame::sendFrames(s);
    QCOMPARE(frames[0], g.first());
    for (int r = 1; r < frame::Repetitions; ++r)
        QCOMPARE(frames[r], g.repeat());
}

void tst_Configuration::decode()
{
    QFETCH(int, row);
    const GoldenFrame &g = GoldenFrames[std::size_t(row)];
    const vocabulary::Product &product = vocabulary::Products[std::size_t(g.product)];
    Configuration sent = configurationOf(g);
    sent.icon = frame::iconSent(sent, product);
    for (const QByteArray &bytes : {g.first(), g.repeat()}) {
        const frame::DecodedFrame d = frame::decodeFrame(bytes);
        QVERIFY2(d.valid(), qPrintable(d.problems.join("; ")));
        QCOMPARE(d.configuration, sent);
        QCOMPARE(d.hasIconByte, product.sendsIconByte);
        QCOMPARE(d.shows(), QString::fromLatin1(g.shows));
    }
    // The same text from the value alone, as a plan for the row's product prints it.
    QCOMPARE(frame::shows(sent, product), QString::fromLatin1(g.shows));
    QCOMPARE(frame::decodeFrame(g.first()).check, frame::CheckMatch::First);
    QCOMPARE(frame::decodeFrame(g.repeat()).check, frame::CheckMatch::Repeat);
}

void tst_Configuration::throughJson()
{
    QFETCH(int, row);
    const GoldenFrame &g = GoldenFrames[std::size_t(row)];
    const vocabulary::Product &product = vocabulary::Products[std::size_t(g.product)];
    Configuration sent = configurationOf(g);
    sent.icon = frame::iconSent(sent, product);
    const QJsonObject o = frame::toJson(sent, product.sendsIconByte);
    QCOMPARE(o.value("shows").toString(), QString::fromLatin1(g.shows));
    QCOMPARE(o.value("location").toInt(), g.location);
    QCOMPARE(o.value("instrument").toString(), QString::fromLatin1(g.instrument ? g.instrument : ""));
    QCOMPARE(o.value("talker").toString(), QString::fromLatin1(g.talker ? g.talker : ""));
    QCOMPARE(o.value("sentence").toString(), QString::fromLatin1(g.sentence ? g.sentence : ""));
    QCOMPARE(o.value("type").toString(), QString::fromLatin1(g.type ? g.type : ""));
    QCOMPARE(o.value("icon").toString(), QString::fromLatin1(product.sendsIconByte ? g.icon : ""));
    // The decoder's object for the frame is the same object.
    QCOMPARE(json(frame::decodeFrame(g.first()).configurationJson()), json(o));
    QString error;
    const std::optional<Configuration> back = frame::fromJson(o, &error);
    QVERIFY2(back, qPrintable(error));
    QCOMPARE(*back, sent);
}

void tst_Configuration::pageRequest()
{
    // What a page sends: texts in any case, the type as its letter, no shows or kind.
    const QJsonObject request = QJsonDocument::fromJson(R"({"location": 1, "talker": "ii", "sentence": "xdr",
        "field": 3, "type": "c"})")
                                    .object();
    QString error;
    const std::optional<Configuration> c = frame::fromJson(request, &error);
    QVERIFY2(c, qPrintable(error));
    SentenceBytes s;
    QCOMPARE(frame::encode(*c, MD2040, s), std::nullopt);
    QCOMPARE(frame::sendFrames(s).first(), GoldenFrames[0].first());

    const QJsonObject rpm = QJsonDocument::fromJson(R"({"location": 2, "instrument": "NX20/40 ENGINE RPM",
        "icon": "volts"})")
                                .object();
    const std::optional<Configuration> r = frame::fromJson(rpm, &error);
    QVERIFY2(r, qPrintable(error));
    QCOMPARE(frame::encode(*r, MD90v13, s), std::nullopt);
    QCOMPARE(frame::sendFrames(s).first(), QByteArray::fromHex("243150564C4D290472560E"));
}

void tst_Configuration::refusedJson_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("reason");
    QTest::newRow("location 0") << QByteArray(
                                       R"({"location": 0, "talker": "GP", "sentence": "RMC", "field": 5})")
                                << "location is not valid; valid values: 1 to 10";
    QTest::newRow("location 11") << QByteArray(R"({"location": 11, "instrument": "NX20/40 ENGINE RPM"})")
                                 << "valid values: 1 to 10";
    QTest::newRow("location as text")
        << QByteArray(R"({"location": "3", "talker": "GP"})") << "location is not";
    QTest::newRow("half a field")
        << QByteArray(R"({"location": 3, "talker": "GP", "sentence": "RMC", "field": 2.5})")
        << "field is not valid; valid values: 1 to 25";
    QTest::newRow("field 26") << QByteArray(
                                     R"({"location": 3, "talker": "GP", "sentence": "RMC", "field": 26})")
                              << "field is not valid";
    QTest::newRow("talker missing") << QByteArray(R"({"location": 3, "sentence": "RMC", "field": 5})")
                                    << "talker: a missing or non-text value is not valid";
    QTest::newRow("unknown talker")
        << QByteArray(R"({"location": 3, "talker": "XX", "sentence": "RMC", "field": 5})")
        << "talker: \"XX\" is not valid; valid values: AG, AP";
    QTest::newRow("the sent code is not the entry")
        << QByteArray(R"({"location": 3, "talker": "GP", "sentence": "CGA", "field": 5})")
        << "sentence: \"CGA\"";
    QTest::newRow("XDR without a type")
        << QByteArray(R"({"location": 3, "talker": "II", "sentence": "XDR", "field": 5})")
        << "type: a missing";
    QTest::newRow("unknown instrument")
        << QByteArray(R"({"location": 3, "instrument": "WX99"})") << "instrument: \"WX99\" is not valid";
    QTest::newRow("unknown icon")
        << QByteArray(R"({"location": 3, "instrument": "NX20/40 ENGINE RPM", "icon": "W"})")
        << "icon: \"W\" is not valid; valid values: None, AH";
}

void tst_Configuration::refusedJson()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, reason);
    QString error;
    QCOMPARE(frame::fromJson(QJsonDocument::fromJson(request).object(), &error), std::nullopt);
    QVERIFY2(error.contains(reason), qPrintable(error));
}

void tst_Configuration::noChoice_data()
{
    QTest::addColumn<Configuration>("configuration");
    QTest::addColumn<List>("missing");
    const auto with = [](auto change) {
        Configuration c = gpRmc5At3();
        frame::Standard st = *c.standard();
        change(c, st);
        c.what = st;
        return c;
    };
    QTest::newRow("talker typed over") << with([](auto &, auto &s) { s.talker = -1; }) << List::Talker;
    QTest::newRow("talker past the list, the empty slot 50")
        << with([](auto &, auto &s) { s.talker = 49; }) << List::Talker;
    QTest::newRow("sentence typed over")
        << with([](auto &, auto &s) { s.sentence = -1; }) << List::Identifier;
    QTest::newRow("sentence past the list")
        << with([](auto &, auto &s) { s.sentence = 120; }) << List::Identifier;
    QTest::newRow("field typed over") << with([](auto &, auto &s) { s.field = 0; }) << List::Commas;
    QTest::newRow("field past 25") << with([](auto &, auto &s) { s.field = 26; }) << List::Commas;
    QTest::newRow("location typed over")
        << with([](auto &c, auto &) { c.location = 0; }) << List::MemoryLocation1;
    QTest::newRow("location past 10")
        << with([](auto &c, auto &) { c.location = 11; }) << List::MemoryLocation1;
    QTest::newRow("XDR without a type") << with([](auto &, auto &s) {
        s.sentence = vocabulary::XdrPosition;
        s.type = -1;
    }) << List::Xdr;
    QTest::newRow("instrument typed over") << Configuration{3, frame::Instrument{-1}, 0} << List::Instrument;
    QTest::newRow("instrument past the list")
        << Configuration{3, frame::Instrument{12}, 0} << List::Instrument;
    QTest::newRow("instrument's location typed over")
        << Configuration{0, frame::Instrument{0}, 0} << List::MemoryLocation2;
}

void tst_Configuration::noChoice()
{
    QFETCH(Configuration, configuration);
    QFETCH(List, missing);
    SentenceBytes s;
    s.Body1 = 0x55;
    const SentenceBytes before = s;
    for (const vocabulary::Product &product : vocabulary::Products) {
        QCOMPARE(frame::encode(configuration, product, s), std::optional<List>(missing));
        QCOMPARE(s, before); // nothing half-composed is left behind
    }
}

void tst_Configuration::transducerIgnoredOutsideXdr()
{
    Configuration c = gpRmc5At3();
    SentenceBytes a, b;
    QVERIFY(!frame::encode(c, MD2040, a));
    for (int type : {0, 13, -1}) { // -1: the hidden type list is not read at all
        frame::Standard st = *c.standard();
        st.type = type;
        c.what = st;
        QVERIFY(!frame::encode(c, MD2040, b));
        QCOMPARE(b, a);
    }
    QCOMPARE(frame::shows(c, MD2040), QStringLiteral("GP RMC field 5"));
    QVERIFY(frame::toJson(c, false).value("type").isNull());
}

void tst_Configuration::everyFieldWrittenAgain()
{
    const Configuration rpm = configurationOf(GoldenFrames[13]);
    SentenceBytes s;
    QVERIFY(!frame::encode(rpm, MD2040, s));
    const QByteArray proprietary = frame::sendFrames(s).first();
    QVERIFY(!frame::encode(configurationOf(GoldenFrames[11]), MD90v13, s));
    QVERIFY(!frame::encode(rpm, MD2040, s));
    QCOMPARE(frame::sendFrames(s).first(), proprietary);
}

void tst_Configuration::brokenFrame_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shows");
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("talker not in the list: the rest still read")
        << QByteArray::fromHex("24 32 58 58 52 4D 43 05 35 7B") << "? RMC field 5"
        << QByteArray(R"({"field":5,"icon":null,"instrument":null,"kind":"standard","location":3,)"
                      R"("sentence":"RMC","shows":"? RMC field 5","talker":null,"type":null})");
    QTest::newRow("icon byte of no icon")
        << QByteArray::fromHex("24 32 47 50 52 4D 43 05 35 05 7F") << "GP RMC field 5, icon ?"
        << QByteArray(R"({"field":5,"icon":null,"instrument":null,"kind":"standard","location":3,)"
                      R"("sentence":"RMC","shows":"GP RMC field 5, icon ?","talker":"GP","type":null})");
    QTest::newRow("memory byte and type letter of nothing")
        << QByteArray::fromHex("24 3A 49 49 58 44 52 5A 33 3E") << "II XDR field 3 type ?"
        << QByteArray(R"({"field":3,"icon":null,"instrument":null,"kind":"xdr","location":null,)"
                      R"("sentence":"XDR","shows":"II XDR field 3 type ?","talker":"II","type":null})");
    QTest::newRow("nine bytes: nothing recognisable")
        << QByteArray::fromHex("24 32 47 50 52 4D 43 05 35") << "nothing recognisable"
        << QByteArray(R"({"field":null,"icon":null,"instrument":null,"kind":"unknown","location":null,)"
                      R"("sentence":null,"shows":"nothing recognisable","talker":null,"type":null})");
}

void tst_Configuration::brokenFrame()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shows);
    QFETCH(QByteArray, json);
    const frame::DecodedFrame d = frame::decodeFrame(bytes);
    QVERIFY(!d.valid());
    QCOMPARE(d.shows(), shows);
    QCOMPARE(::json(d.configurationJson()), json);
}

QTEST_APPLESS_MAIN(tst_Configuration)
#include "tst_configuration.moc"
