// The bus from the network against servers on the loopback interface, each bounded in time and stopped by
// the test: a TCP server that drops and comes back, one that never answers with data, one that floods, and
// UDP datagrams that split sentences.
#include "source/networksource.h"
#include "source/opener.h"
#include "support/loopbackserver.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTest>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// A sentence of a real capture.
const QByteArray Rmc = "$GPRMC,094737,A,5251.0093,N,00518.8170,E,5.6,230.5,200818,1.4,E,A*1F\r\n";

void pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Waits until the peer closes or the test stops.
void holdOpen(int fd, const std::atomic<bool> &stop)
{
    char b[256];
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0 && ::read(fd, b, sizeof b) <= 0)
            return;
    }
}

source::NetworkTiming fast()
{
    source::NetworkTiming t;
    t.quietMs = 500;
    t.reconnectQuietMs = 1500;
    t.connectMs = 2000;
    t.firstRetryMs = 100;
    t.lastRetryMs = 400;
    return t;
}

QString tcpAddress(bool ipv6, quint16 port)
{
    return ipv6 ? QStringLiteral("tcp://[::1]:%1").arg(port) : QStringLiteral("tcp://127.0.0.1:%1").arg(port);
}

std::unique_ptr<serial::ReceivePort> openSource(const QString &name)
{
    QString why;
    std::unique_ptr<serial::ReceivePort> port = source::openReceiver(name, 4800, &why, fast());
    if (!port)
        qWarning("%s", qPrintable(why));
    return port;
}

} // namespace

class tst_NetworkSource : public QObject {
    Q_OBJECT
private slots:
    void retryDelay_data();
    void retryDelay();
    void joiner_data();
    void joiner();
    void dropsAndReturns_data();
    void dropsAndReturns();
    void backOffNeverStorms();
    void acceptsAndNeverSends();
    void connectsAcrossReadsThatNeverWait();
    void floodStaysBounded();
    void udpSplitMidSentence();
    void udpCannotListen();
};

void tst_NetworkSource::retryDelay_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("ms");
    QTest::newRow("first failure") << 0 << 1000;
    QTest::newRow("second") << 1 << 2000;
    QTest::newRow("third") << 2 << 4000;
    QTest::newRow("fifth") << 4 << 16000;
    QTest::newRow("sixth is capped") << 5 << 30000;
    QTest::newRow("hundredth is capped") << 99 << 30000;
}

void tst_NetworkSource::retryDelay()
{
    QFETCH(int, failures);
    QTEST(source::retryDelayMs(failures, {}), "ms");
}

void tst_NetworkSource::joiner_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<int>("held");
    QTest::newRow("split mid-sentence") << QList<QByteArray>{"$SDDBT,18.0,f,5.4,", "M,3.0,F*3D\r\n"}
                                        << QByteArray("$SDDBT,18.0,f,5.4,M,3.0,F*3D\r\n") << 0;
    QTest::newRow("a whole line and the start of the next")
        << QList<QByteArray>{"$A*00\r\n$SDD"} << QByteArray("$A*00\r\n") << 4;
    QTest::newRow("garbage without a line end is let go past the limit")
        << QList<QByteArray>{QByteArray(source::MaxHeldBytes, 'x'), "yy"}
        << QByteArray(source::MaxHeldBytes, 'x') + "yy" << 0;
}

void tst_NetworkSource::joiner()
{
    QFETCH(QList<QByteArray>, pieces);
    source::LineJoiner joiner;
    QByteArray out;
    for (const QByteArray &p : pieces)
        out += joiner.feed(p);
    QTEST(out, "out");
    QTEST(int(joiner.held()), "held");
}

void tst_NetworkSource::dropsAndReturns_data()
{
    QTest::addColumn<bool>("ipv6");
    QTest::newRow("127.0.0.1") << false;
    QTest::newRow("::1") << true;
}

void tst_NetworkSource::dropsAndReturns()
{
    QFETCH(bool, ipv6);
    // Each connection: a sentence in two packets, then the start of one the drop cuts.
    LoopbackServer server;
    const bool started = server.start(
        [](int fd, int, const std::atomic<bool> &) {
            LoopbackServer::send(fd, Rmc.constData(), 30);
            pause(50);
            LoopbackServer::send(fd, Rmc.constData() + 30, Rmc.size() - 30);
            LoopbackServer::send(fd, "$SDDBT,1", 8);
            pause(50);
        },
        ipv6);
    if (!started && ipv6)
        QSKIP("no IPv6 loopback here");
    QVERIFY(started);
    const QString name = tcpAddress(ipv6, server.port());
    const std::unique_ptr<serial::ReceivePort> port = openSource(name);
    QVERIFY(port);
    QByteArray got;
    QStringList notices;
    QElapsedTimer clock;
    clock.start();
    while (server.accepted() < 3 && clock.elapsed() < 20000) {
        got += port->read(100);
        notices += port->takeNotices();
        QVERIFY(!port->failed());
    }
    got += port->read(100);
    QVERIFY2(server.accepted() >= 3, qPrintable(notices.join('\n')));
    QVERIFY2(got.count(Rmc) >= 2, got.constData());
    QVERIFY2(got.replace(Rmc, "").isEmpty(), got.constData()); // the cut sentence is never handed on
    QVERIFY2(notices.filter(QStringLiteral("the connection was lost")).size() >= 2,
             qPrintable(notices.join('\n')));
    QVERIFY2(notices.filter(QStringLiteral("trying again in 0.1 s")).size() >= 2, // data came: no growth
             qPrintable(notices.join('\n')));
    for (const QString &n : notices)
        QVERIFY2(n.startsWith(name + QStringLiteral(": ")), qPrintable(n));
}

void tst_NetworkSource::backOffNeverStorms()
{
    // Accepts and closes at once: every attempt fails, and each pause is twice the last, up to the cap.
    LoopbackServer server;
    QVERIFY(server.start([](int, int, const std::atomic<bool> &) {}, false));
    const std::unique_ptr<serial::ReceivePort> port = openSource(tcpAddress(false, server.port()));
    QVERIFY(port);
    QStringList notices;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000) {
        port->read(50);
        notices += port->takeNotices();
    }
    const QStringList retries = notices.filter(QStringLiteral("trying again"));
    QVERIFY2(retries.size() >= 4, qPrintable(notices.join('\n')));
    const char *expected[] = {"in 0.1 s", "in 0.2 s", "in 0.4 s", "in 0.4 s"};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(retries.at(i).endsWith(QLatin1String(expected[i])), qPrintable(retries.at(i)));
    // 0.1 + 0.2 + 0.4 + 0.4 ... s apart: a storm would be hundreds.
    QVERIFY2(server.accepted() <= 8, qPrintable(QString::number(server.accepted())));
}

void tst_NetworkSource::acceptsAndNeverSends()
{
    LoopbackServer server;
    QVERIFY(server.start([](int fd, int, const std::atomic<bool> &stop) { holdOpen(fd, stop); }, false));
    const QString name = tcpAddress(false, server.port());
    const std::unique_ptr<serial::ReceivePort> port = openSource(name);
    QVERIFY(port);
    QStringList notices;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 6000 && notices.filter(QStringLiteral("disconnected")).isEmpty()) {
        QElapsedTimer one;
        one.start();
        QVERIFY(port->read(100).isEmpty());
        QVERIFY2(one.elapsed() < 3000, "a read hung"); // a wait of 0.1 s, however busy the machine
        notices += port->takeNotices();
    }
    QVERIFY2(notices.contains(name + QStringLiteral(": no data for 0.5 s")), qPrintable(notices.join('\n')));
    QVERIFY2(!notices.filter(QStringLiteral("no data for 1.5 s, disconnected; trying again")).isEmpty(),
             qPrintable(notices.join('\n')));
}

void tst_NetworkSource::connectsAcrossReadsThatNeverWait()
{
    // A reader that only looks in now and then, as a link slower than its waits: the connection under way
    // is kept between the reads, never given up by one of them.
    LoopbackServer server;
    QVERIFY(server.start(
        [](int fd, int, const std::atomic<bool> &stop) {
            LoopbackServer::send(fd, Rmc.constData(), size_t(Rmc.size()));
            holdOpen(fd, stop);
        },
        false));
    const std::unique_ptr<serial::ReceivePort> port = openSource(tcpAddress(false, server.port()));
    QVERIFY(port);
    QByteArray got;
    QStringList notices;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000 && !got.contains(Rmc)) {
        got += port->read(0);
        notices += port->takeNotices();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    QVERIFY2(got.contains(Rmc), qPrintable(notices.join('\n')));
    QVERIFY2(notices.filter(QStringLiteral("cannot connect")).isEmpty(), qPrintable(notices.join('\n')));
}

void tst_NetworkSource::floodStaysBounded()
{
    // The server writes as fast as the network takes it; the reader takes a little now and then.
    constexpr qint64 Flood = 64 * 1024 * 1024;
    std::atomic<qint64> sent{0};
    LoopbackServer server;
    QVERIFY(server.start(
        [&sent](int fd, int, const std::atomic<bool> &stop) {
            QByteArray lines;
            while (lines.size() < 64 * 1024)
                lines += Rmc;
            while (!stop && sent < Flood) {
                pollfd p{fd, POLLOUT, 0};
                if (::poll(&p, 1, 20) <= 0)
                    continue;
                const ssize_t n = ::send(fd, lines.constData(), lines.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
                if (n < 0 && errno != EAGAIN)
                    return;
                if (n > 0)
                    sent += n;
            }
        },
        false));
    const std::unique_ptr<serial::ReceivePort> port = openSource(tcpAddress(false, server.port()));
    QVERIFY(port);
    qint64 got = 0;
    for (int i = 0; i < 20; ++i) {
        const QByteArray bytes = port->read(100);
        QVERIFY(bytes.size() <= source::MaxReadBytes + source::MaxHeldBytes);
        got += bytes.size();
        pause(50);
    }
    QVERIFY(got > 0);
    // What the reader did not take waits in the network's buffers, not in the reader: the server is held up.
    QVERIFY2(sent < Flood / 2, qPrintable(QString::number(sent)));
    server.stop();
}

void tst_NetworkSource::udpSplitMidSentence()
{
    QUdpSocket probe; // a free port
    QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
    const quint16 portNumber = probe.localPort();
    probe.close();
    const QString name = QStringLiteral("udp://127.0.0.1:%1").arg(portNumber);
    const std::unique_ptr<serial::ReceivePort> port = openSource(name);
    QVERIFY(port);
    // Two senders, each splitting its sentence, their datagrams interleaved.
    QUdpSocket one;
    QUdpSocket two;
    const QByteArray dbt = "$SDDBT,18.0,f,5.4,M,3.0,F*3D\r\n";
    QCOMPARE(one.writeDatagram(Rmc.left(20), QHostAddress::LocalHost, portNumber), 20);
    QCOMPARE(two.writeDatagram(dbt.left(9), QHostAddress::LocalHost, portNumber), 9);
    QCOMPARE(one.writeDatagram(Rmc.mid(20), QHostAddress::LocalHost, portNumber), Rmc.size() - 20);
    QCOMPARE(two.writeDatagram(dbt.mid(9), QHostAddress::LocalHost, portNumber), dbt.size() - 9);
    QUdpSocket &sender = one;
    // A flood of noise without line ends is handed on in bounded pieces, never kept whole.
    const QByteArray noise(1000, '\x80');
    for (int i = 0; i < 200; ++i)
        sender.writeDatagram(noise, QHostAddress::LocalHost, portNumber);
    QByteArray got;
    QStringList notices;
    for (int i = 0; i < 30 && got.size() < Rmc.size() + dbt.size() + 100 * noise.size(); ++i) {
        const QByteArray bytes = port->read(100);
        QVERIFY(bytes.size() <= source::MaxReadBytes + source::MaxHeldBytes);
        got += bytes;
        notices += port->takeNotices();
    }
    QVERIFY2(got.startsWith(Rmc + dbt), got.left(200).constData());
    QVERIFY(notices.contains(name + QStringLiteral(": data from 127.0.0.1")));
}

void tst_NetworkSource::udpCannotListen()
{
    // 192.0.2.1 is kept for documentation: no computer has it, so nothing can listen on it.
    QString why;
    QVERIFY(!source::openReceiver(QStringLiteral("udp://192.0.2.1:10110"), 4800, &why));
    QVERIFY2(why.startsWith(QStringLiteral("udp://192.0.2.1:10110: cannot listen: ")), qPrintable(why));
}

QTEST_GUILESS_MAIN(tst_NetworkSource)
#include "tst_networksource.moc"
