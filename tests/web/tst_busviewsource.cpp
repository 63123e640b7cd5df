// The page's bus view on the bus from the network: a loopback TCP server's capture fills the table, the
// source's notices reach the page, and a send to the same address would be refused.
#include "web/busview.h"

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
    web::BusListener bus(name, {});
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
    QVERIFY2(o.value("notice").toString().startsWith(name + ": connected"),
             qPrintable(o.value("notice").toString()));
    QCOMPARE(o.value("failure").toString(), QString());
    QVERIFY(o.value("network").toBool());
}

QTEST_GUILESS_MAIN(tst_BusViewSource)
#include "tst_busviewsource.moc"
