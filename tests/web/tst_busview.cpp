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
    void yachtBus();
    void bounded();
};

// The page shows the bus monitor's own rows: MWV's two meanings with the warning, a multi-GNSS talker with
// the advice the window gives.
void tst_BusView::yachtBus()
{
    QFile capture(QStringLiteral(TEST_DATA_DIR "/captures/chartplotter-bus.nmea"));
    QVERIFY(capture.open(QIODevice::ReadOnly));
    bus::Monitor monitor;
    monitor.feed(capture.readAll());
    const QJsonObject json = web::busJson(monitor);
    const QJsonObject mwv = rowOf(json, QStringLiteral("WI"), QStringLiteral("MWV"));
    QStringList variants;
    for (const QJsonValue &v : mwv.value(QStringLiteral("variants")).toArray())
        variants << v.toObject().value(QStringLiteral("variant")).toString();
    variants.sort();
    QCOMPARE(variants, (QStringList{"R", "T"}));
    QVERIFY(mwv.value(QStringLiteral("warning")).toString().contains(QLatin1String("in turn")));
    QVERIFY(mwv.value(QStringLiteral("listed")).toBool());
    const QJsonObject rmc = rowOf(json, QStringLiteral("GP"), QStringLiteral("RMC"));
    QCOMPARE(rmc.value(QStringLiteral("variants")).toArray().size(), 1);
    QVERIFY(!rmc.contains(QStringLiteral("warning")));
    QCOMPARE(rmc.value(QStringLiteral("reason")).toString(), QString());
}

// However many made-up names arrive, the page's table keeps the monitor's bound and counts the rest.
void tst_BusView::bounded()
{
    bus::Monitor monitor;
    QByteArray lines;
    for (int i = 0; i < 100000; ++i)
        lines += "$Q" + QByteArray::number(i, 36).rightJustified(4, 'A').toUpper().right(4) + ",1\r\n";
    monitor.feed(lines);
    const QJsonObject json = web::busJson(monitor);
    QCOMPARE(json.value(QStringLiteral("rows")).toArray().size(), bus::Monitor::MaxRows);
    QVERIFY(json.value(QStringLiteral("others")).toInteger() > 90000);
}

QTEST_GUILESS_MAIN(tst_BusView)
#include "tst_busview.moc"
