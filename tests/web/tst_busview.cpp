// The page's bus view fed with a real yacht's bus: sentences whose meaning alternates are kept per variant
// with the warning, sentences our lists do not offer say why, and the table stays bounded.
#include "web/busview.h"

#include <QFile>
#include <QJsonArray>
#include <QTest>

namespace {

QJsonObject rowOf(const QJsonObject &table, const QString &talker, const QString &sentence)
{
    for (const QJsonValue &v : table.value(QStringLiteral("rows")).toArray()) {
        const QJsonObject row = v.toObject();
        if (row.value(QStringLiteral("talker")).toString() == talker &&
            row.value(QStringLiteral("sentence")).toString() == sentence)
            return row;
    }
    return {};
}

} // namespace

class tst_BusView : public QObject {
    Q_OBJECT
private slots:
    void variants_data();
    void variants();
    void bounded();
};

void tst_BusView::variants_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("variant");
    QTest::newRow("MWV relative") << QByteArray("$WIMWV,57.5,R,6.6,N,A*2D") << "R";
    QTest::newRow("MWV true") << QByteArray("$WIMWV,96.6,T,4.9,N,A") << "T";
    QTest::newRow("RPM engine 1") << QByteArray("$IIRPM,E,1,2000,,A") << "E1";
    QTest::newRow("XDR two transducers")
        << QByteArray("$IIXDR,C,19.5,C,AIR,P,1.02,B,BARO") << "C AIR, P BARO";
    QTest::newRow("RMC has no variants")
        << QByteArray("$GPRMC,094737,A,5251.0093,N,00526.0159,E,5.2,113.5,,,,A") << "";
}

void tst_BusView::variants()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, variant);
    const std::optional<bus::Sentence> s = bus::parseSentence(line);
    QVERIFY(s);
    QCOMPARE(web::variantOf(*s), variant);
}

void tst_BusView::bounded()
{
    QFile capture(QStringLiteral(TEST_DATA_DIR "/captures/chartplotter-bus.nmea"));
    QVERIFY(capture.open(QIODevice::ReadOnly));
    web::BusTable table;
    bus::Monitor monitor([&](const bus::Sentence &s) { table.add(s); });
    monitor.feed(capture.readAll());
    QJsonObject json = table.toJson();
    const QJsonObject mwv = rowOf(json, QStringLiteral("WI"), QStringLiteral("MWV"));
    QCOMPARE(mwv.value(QStringLiteral("variants")).toArray().size(), 2);
    QVERIFY(mwv.value(QStringLiteral("warning")).toString().contains(QLatin1String("in turn")));
    QVERIFY(mwv.value(QStringLiteral("listed")).toBool());
    const QJsonObject rmc = rowOf(json, QStringLiteral("GP"), QStringLiteral("RMC"));
    QCOMPARE(rmc.value(QStringLiteral("variants")).toArray().size(), 1);
    QVERIFY(!rmc.contains(QStringLiteral("warning")));
    // Made-up sentence names past the limit are counted, not kept.
    for (int i = 0; i < 100000; ++i) {
        const QByteArray name = "$Q" + QByteArray::number(i, 36).rightJustified(4, 'A').toUpper().right(4);
        const std::optional<bus::Sentence> s = bus::parseSentence(name + ",1");
        if (s)
            table.add(*s);
    }
    json = table.toJson();
    QCOMPARE(json.value(QStringLiteral("rows")).toArray().size(), web::BusTable::MaxRows);
    QVERIFY(json.value(QStringLiteral("others")).toInteger() > 90000);
}

QTEST_GUILESS_MAIN(tst_BusView)
#include "tst_busview.moc"
