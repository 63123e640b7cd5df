// The page's bus view on the bus from the network: a loopback TCP server's capture fills the table, and the
// answer says the source is the network.
#include "web/busview.h"

#include "source/busopener.h"

#include "support/files.h"
#include "support/loopbackserver.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTest>

class tst_BusViewSource : public QObject {
    Q_OBJECT
private slots:
    void tcpSource();
};

void tst_BusViewSource::tcpSource()
{
    const QByteArray capture = readData(QStringLiteral("captures/depth-sounder.nmea"));
    LoopbackServer server;
    QVERIFY(server.start(
        [&](int fd, int, const std::atomic<bool> &stop) {
            ::write(fd, capture.constData(), size_t(capture.size()));
            while (!stop)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        },
        false));
    const QString name = QStringLiteral("tcp://127.0.0.1:%1").arg(server.port());
    web::BusListener bus(name, {}, source::busOpener());
    QString failure;
    QVERIFY2(bus.start(4800, &failure), qPrintable(failure));
    QElapsedTimer clock;
    clock.start();
    QJsonObject o;
    while (clock.elapsed() < 10000) {
        o = bus.toJson();
        if (o.value("rows").toArray().size() >= 2)
            break;
        QTest::qWait(50);
    }
    bus.stop();
    server.stop();
    QCOMPARE(o.value("rows").toArray().size(), 2); // SDDBT and ECGLL
    QCOMPARE(o.value("failure").toString(), QString());
    QVERIFY(o.value("network").toBool());
}

QTEST_GUILESS_MAIN(tst_BusViewSource)
#include "tst_busviewsource.moc"
