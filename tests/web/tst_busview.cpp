// The page's bus view fed with a real yacht's bus: sentences whose meaning alternates are kept per variant
// with the warning, sentences our lists do not offer say why, and the table stays bounded. On a fake line:
// a send pauses it and the table is kept, and a failure is said in the page's words.
#include "web/busview.h"

#include <QFile>
#include <QJsonArray>
#include <QTest>
#include <QThread>

#include <mutex>

namespace {

// A line the test puts sentences on; a port on it hands them over and may be unplugged.
struct FakeLine {
    std::mutex mutex;
    QList<QByteArray> waiting;
    bool unplugged = false;
    int opens = 0;
};

class FakePort : public serial::ReceivePort {
public:
    explicit FakePort(std::shared_ptr<FakeLine> line) : m_line(std::move(line)) {}
    QByteArray read(int waitMs) override
    {
        {
            const std::lock_guard lock(m_line->mutex);
            if (!m_line->waiting.isEmpty())
                return m_line->waiting.takeFirst();
        }
        QThread::msleep(std::min(waitMs, 5));
        return {};
    }
    bool failed() const override
    {
        const std::lock_guard lock(m_line->mutex);
        return m_line->unplugged;
    }
    QString errorString() const override { return QStringLiteral("fake: unplugged."); }
    void close() override {}

private:
    std::shared_ptr<FakeLine> m_line;
};

qint64 sentencesOf(const web::BusListener &bus)
{
    return bus.toJson()
        .value(QStringLiteral("summary"))
        .toObject()
        .value(QStringLiteral("sentences"))
        .toInteger();
}

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
    void sendPausesAndTheTableStays();
    void failuresInThePagesWords();
};

// The page shows the bus monitor's own rows: MWV's two meanings with the warning, a multi-GNSS talker with
// the advice the window gives.
void tst_BusView::yachtBus()
{
    QFile capture(QStringLiteral(TEST_DATA_DIR "/captures/chartplotter-bus.nmea"));
    QVERIFY(capture.open(QIODevice::ReadOnly));
    bus::Monitor monitor;
    monitor.feed(capture.readAll());
    const QJsonObject json = bus::toJson(bus::snapshotOf(monitor));
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
    const QJsonObject json = bus::toJson(bus::snapshotOf(monitor));
    QCOMPARE(json.value(QStringLiteral("rows")).toArray().size(), bus::Monitor::MaxRows);
    QVERIFY(json.value(QStringLiteral("others")).toInteger() > 90000);
}

void tst_BusView::sendPausesAndTheTableStays()
{
    auto line = std::make_shared<FakeLine>();
    web::BusListener bus(QStringLiteral("fake"), {}, [line](const QString &, int, QString *) {
        const std::lock_guard lock(line->mutex);
        ++line->opens;
        line->waiting.clear(); // a port opened anew starts empty
        return std::make_unique<FakePort>(line);
    });
    QString failure;
    QVERIFY(bus.start(38400, &failure));
    const auto put = [&](const QByteArray &bytes) {
        const std::lock_guard lock(line->mutex);
        line->waiting << bytes;
    };
    put("$SDDBT,18.0,f,5.4,M,3.0,F*3D\r\n");
    QTRY_COMPARE(sentencesOf(bus), qint64(1));
    bus.pause();
    QCOMPARE(bus.toJson().value(QStringLiteral("paused")).toBool(), true);
    QCOMPARE(bus.toJson().value(QStringLiteral("listening")).toBool(), false);
    put("$XXSND,1\r\n"); // the send's own, never counted
    QTest::qWait(50);
    bus.resume();
    QCOMPARE(line->opens, 2);
    put("$SDMTW,,C*1A\r\n");
    QTRY_COMPARE(sentencesOf(bus), qint64(2));
    const QJsonObject json = bus.toJson();
    QCOMPARE(json.value(QStringLiteral("rows")).toArray().size(), 2); // DBT kept across the send, MTW
    QCOMPARE(json.value(QStringLiteral("baud")).toInt(), 38400);
    QVERIFY(json.value(QStringLiteral("listening")).toBool());
}

void tst_BusView::failuresInThePagesWords()
{
    auto line = std::make_shared<FakeLine>();
    bool refuse = true;
    web::BusListener bus(QStringLiteral("fake"), {},
                         [&](const QString &, int, QString *why) -> std::unique_ptr<serial::ReceivePort> {
                             if (refuse) {
                                 *why = QStringLiteral("fake: busy.");
                                 return nullptr;
                             }
                             return std::make_unique<FakePort>(line);
                         });
    QString failure;
    QVERIFY(!bus.start(4800, &failure));
    QCOMPARE(failure, QStringLiteral("cannot open fake: busy."));
    QCOMPARE(bus.toJson().value(QStringLiteral("failure")).toString(), failure);
    refuse = false;
    QVERIFY(bus.start(4800, &failure));
    QCOMPARE(bus.toJson().value(QStringLiteral("failure")).toString(), QString());
    {
        const std::lock_guard lock(line->mutex);
        line->unplugged = true;
    }
    QTRY_COMPARE(bus.toJson().value(QStringLiteral("failure")).toString(),
                 QStringLiteral("the port went away: fake: unplugged."));
    QVERIFY(!bus.running());
}

QTEST_GUILESS_MAIN(tst_BusView)
#include "tst_busview.moc"
