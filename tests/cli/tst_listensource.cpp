// mdconfig-cli listen on the bus from the network and at the speed found, and a send to a network address
// refused: the programs as a user runs them, against a loopback server and a socat pseudo-terminal.
#include "support/files.h"
#include "support/loopbackserver.h"
#include "support/ptybus.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

class tst_ListenSource : public QObject {
    Q_OBJECT
private slots:
    void tcpSource();
    void autoSpeed();
    void refused_data();
    void refused();
};

void tst_ListenSource::tcpSource()
{
    // Each connection: a real capture in two packets cut mid-sentence, then the server drops it.
    const QByteArray capture = readData(QStringLiteral("captures/fishfinder.nmea"));
    LoopbackServer server;
    QVERIFY(server.start(
        [&](int fd, int, const std::atomic<bool> &) {
            LoopbackServer::send(fd, capture.constData(), 1000);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            LoopbackServer::send(fd, capture.constData() + 1000, size_t(capture.size() - 1000));
        },
        false));
    const QString name = QStringLiteral("tcp://127.0.0.1:%1").arg(server.port());
    QProcess listen;
    listen.start(QStringLiteral(MDCONFIG_CLI), {"listen", "--device", name, "--seconds", "3", "--json"});
    QVERIFY(listen.waitForFinished(30000));
    const QByteArray err = listen.readAllStandardError();
    const QList<QByteArray> lines = listen.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(listen.exitCode(), 0);
    QVERIFY2(err.contains("listening on " + name.toUtf8() + ", read-only"), err.constData());
    QVERIFY2(err.contains(name.toUtf8() + ": connected (127.0.0.1)"), err.constData());
    QVERIFY2(err.contains(name.toUtf8() + ": the connection was lost"), err.constData());
    // The capture's 98 sentences at least twice, every one whole: none cut between packets or connections.
    const QJsonObject summary = QJsonDocument::fromJson(lines.last()).object().value("summary").toObject();
    QVERIFY2(summary.value("sentences").toInt() >= 2 * 98, lines.last().constData());
    QCOMPARE(summary.value("garbled").toInt(), 0);
    QCOMPARE(summary.value("badChecksum").toInt(), 0);
}

void tst_ListenSource::autoSpeed()
{
    PtyBus bus;
    QString why;
    QVERIFY2(bus.start(&why), qPrintable(why));
    QProcess listen;
    listen.start(QStringLiteral(MDCONFIG_CLI),
                 {"listen", "--device", bus.device(), "--baud", "auto", "--seconds", "2"});
    QVERIFY(listen.waitForStarted(5000));
    // A real capture at 4800-baud pacing, 48 characters a tenth of a second, until listen ends.
    const QByteArray capture = readData(QStringLiteral("captures/chartplotter-bus.nmea"));
    for (qsizetype at = 0; listen.state() != QProcess::NotRunning && at < capture.size(); at += 48) {
        bus.talk(capture.mid(at, 48));
        listen.waitForFinished(100);
    }
    QVERIFY(listen.state() == QProcess::NotRunning || listen.waitForFinished(20000));
    const QByteArray err = listen.readAllStandardError();
    QCOMPARE(listen.exitCode(), 0);
    QVERIFY2(err.contains("speed found: 4800 baud: "), err.constData());
    QVERIFY2(err.contains("sentences with good checksums in"), err.constData());
    QVERIFY2(err.contains("at 4800 baud, 8N1"), err.constData());
}

void tst_ListenSource::refused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    const QString why =
        QStringLiteral("a byte every 50 ms on the wire, and a network bridge bunches and delays");
    QTest::newRow("send to tcp") << QStringList{"send",       "standard",
                                                "--talker",   "GP",
                                                "--sentence", "RMC",
                                                "--field",    "5",
                                                "--memory",   "3",
                                                "--product",  "0",
                                                "--device",   "tcp://127.0.0.1:10110"}
                                 << 1 << why;
    QTest::newRow("send to udp") << QStringList{"send",       "standard",   "--talker",  "GP",
                                                "--sentence", "RMC",        "--field",   "5",
                                                "--memory",   "3",          "--product", "0",
                                                "--device",   "udp://10110"}
                                 << 1 << why;
    QTest::newRow("listen without a port") << QStringList{"listen", "--device", "tcp://gateway"} << 2
                                           << "--device: tcp://gateway: the port is missing";
    QTest::newRow("listen to IPv6 without brackets")
        << QStringList{"listen", "--device", "tcp://::1:10110"} << 2 << "goes between brackets";
}

void tst_ListenSource::refused()
{
    QFETCH(QStringList, arguments);
    QProcess p;
    p.start(QStringLiteral(MDCONFIG_CLI), arguments);
    QVERIFY(p.waitForFinished(20000));
    const QByteArray err = p.readAllStandardError();
    QTEST(p.exitCode(), "exitCode");
    QFETCH(QString, says);
    QVERIFY2(err.contains(says.toUtf8()), err.constData());
}

QTEST_GUILESS_MAIN(tst_ListenSource)
#include "tst_listensource.moc"
