// The page's bus view on the bus from the network: a loopback TCP server's capture fills the table of a page
// that sends to a serial line, and the answer says the source is the network.
#include "web/busview.h"
#include "web/site.h"

#include "source/busopener.h"

#include "support/files.h"
#include "support/loopbackserver.h"
#include "support/ptybus.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class tst_BusViewSource : public QObject {
    Q_OBJECT
private slots:
    void tcpSource();
    void autoSpeed();
};

void tst_BusViewSource::tcpSource()
{
    // Qt warns of a socket used away from the thread that made it; the listener's thread owns its socket.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("thread")));
    const QByteArray capture = readData(QStringLiteral("captures/depth-sounder.nmea"));
    LoopbackServer server;
    QVERIFY(server.start(
        [&](int fd, int, const std::atomic<bool> &stop) {
            LoopbackServer::send(fd, capture.constData(), size_t(capture.size()));
            while (!stop)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        },
        false));
    const QString name = QStringLiteral("tcp://127.0.0.1:%1").arg(server.port());
    // As `serve --device <the display's line> --bus tcp://...` makes it: the bus view reads the network.
    const QTemporaryDir dir;
    web::PageSite site(dir.filePath(QStringLiteral("ttyUSB-display")), {}, name);
    const web::Reply started = site.answer("POST", "/api/bus/start", R"({"baud":4800})");
    QVERIFY2(started.status == 200, started.body.constData());
    QElapsedTimer clock;
    clock.start();
    QJsonObject o;
    while (clock.elapsed() < 10000) {
        o = QJsonDocument::fromJson(site.answer("GET", "/api/status", {}).body)
                .object()
                .value("bus")
                .toObject();
        if (o.value("rows").toArray().size() >= 2)
            break;
        QTest::qWait(50);
    }
    site.answer("POST", "/api/bus/stop", {});
    site.close();
    server.stop();
    QCOMPARE(o.value("rows").toArray().size(), 2); // SDDBT and ECGLL
    QCOMPARE(o.value("failure").toString(), QString());
    QVERIFY(o.value("network").toBool());
}

void tst_BusViewSource::autoSpeed()
{
    // "Auto" on a pseudo-terminal fed a real capture at 4800-baud pacing.
    PtyBus pty;
    QString why;
    QVERIFY2(pty.start(&why), qPrintable(why));
    const QByteArray capture = readData(QStringLiteral("captures/chartplotter-bus.nmea"));
    std::atomic<bool> stop{false};
    std::thread talker([&] {
        for (qsizetype at = 0; !stop && at < capture.size(); at += 48) {
            if (!pty.talk(capture.mid(at, 48)))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    web::BusListener bus(pty.device(), {}, source::busOpener());
    QString failure;
    const bool started = bus.start(0, &failure);
    const QJsonObject o = bus.toJson();
    bus.stop();
    stop = true;
    talker.join();
    QVERIFY2(started, qPrintable(failure));
    QCOMPARE(o.value("baud").toInt(), 4800);
    QVERIFY2(o.value("speedFound").toString().startsWith("4800 baud: "),
             qPrintable(o.value("speedFound").toString()));
    QVERIFY(!o.value("network").toBool());
}

QTEST_GUILESS_MAIN(tst_BusViewSource)
#include "tst_busviewsource.moc"
