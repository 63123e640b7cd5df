// Finding the bus's speed: scripted ports on a clock the test owns, then a real pseudo-terminal fed a real
// capture as a UART at each speed would hear it, and a device another program holds.
#include "source/speedsearch.h"

#include "serial/devicepath.h"
#include "source/opener.h"
#include "support/files.h"
#include "support/ptybus.h"
#include "support/uart.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <atomic>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

// What the bus sends, as heard at a speed: the capture itself at its own speed, garbled at the other.
QByteArray heardAt(const QByteArray &capture, int busBaud, int baud)
{
    if (busBaud == 0)
        return {};
    if (busBaud == baud)
        return capture;
    return baud < busBaud ? receivedAtAnEighthOfTheSpeed(capture) : receivedAtEightTimesTheSpeed(capture);
}

// A port that hands out its bytes at the pace of its speed, on the test's clock.
class ScriptedPort : public serial::ReceivePort {
public:
    ScriptedPort(QByteArray bytes, int baud, qint64 &clock)
        : m_bytes(std::move(bytes)), m_baud(baud), m_clock(clock)
    {
    }
    QByteArray read(int waitMs) override
    {
        m_clock += waitMs;
        const qsizetype n = qsizetype(m_baud / 10) * waitMs / 1000;
        const QByteArray out = m_bytes.mid(m_at, n);
        m_at += n;
        return out;
    }
    bool failed() const override { return false; }
    QString errorString() const override { return {}; }
    void close() override {}

private:
    QByteArray m_bytes;
    int m_baud;
    qint64 &m_clock;
    qsizetype m_at = 0;
};

} // namespace

class tst_SpeedSearch : public QObject {
    Q_OBJECT
private slots:
    void scripted_data();
    void scripted();
    void lockedPortIsLeftAlone();
    void pseudoTerminal_data();
    void pseudoTerminal();
};

void tst_SpeedSearch::scripted_data()
{
    QTest::addColumn<QString>("capture");
    QTest::addColumn<int>("busBaud"); // 0: silent
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("opened");
    QTest::newRow("instruments at 4800") << "captures/chartplotter-bus.nmea" << 4800 << 4800
                                         << "4800 baud: 3 sentences with good checksums in" << 1;
    QTest::newRow("a multiplexer at 38400")
        << "captures/fishfinder.nmea" << 38400 << 38400
        << "sentences with good checksums in 0.1 s; at 4800, no sentence with a good checksum in 3 s (" << 2;
    QTest::newRow("noise at both")
        << "" << 4800 << 4800
        << "4800 baud, the instruments' speed: no speed gave a sentence with a good "
           "checksum (at 4800, no sentence with a good checksum in 3 s"
        << 3;
    QTest::newRow("a silent bus")
        << "captures/depth-sounder.nmea" << 0 << 4800
        << "no speed gave a sentence with a good checksum (at 4800, nothing heard in "
           "3 s; at 38400, nothing heard in 3 s)"
        << 3;
    QTest::newRow("bad checksums only") << "bad" << 4800 << 4800 << "with bad checksums" << 3;
}

void tst_SpeedSearch::scripted()
{
    QFETCH(QString, capture);
    QFETCH(int, busBaud);
    QByteArray bytes;
    if (capture.isEmpty()) {
        for (int i = 0; i < 4000; ++i)
            bytes.append(char((i * 37) % 256));
    } else if (capture == QLatin1String("bad")) {
        for (int i = 0; i < 100; ++i)
            bytes += "$SDDBT,18.0,f,5.4,M,3.0,F*3E\r\n";
    } else {
        bytes = readData(capture);
    }
    qint64 clock = 0;
    QList<int> opened;
    const source::SpeedFound found = source::findSpeed(
        [&](int baud, QString *) -> std::unique_ptr<serial::ReceivePort> {
            opened << baud;
            return std::make_unique<ScriptedPort>(capture.isEmpty() ? bytes : heardAt(bytes, busBaud, baud),
                                                  baud, clock);
        },
        [&] { return clock; });
    QTEST(found.baud, "chosen");
    QFETCH(QString, reason);
    QVERIFY2(found.reason.contains(reason), qPrintable(found.reason));
    QVERIFY(found.port);
    QTEST(int(opened.size()), "opened");
    QCOMPARE(opened.first(), 4800);
    // Two trials of 3 s at most.
    QVERIFY2(clock <= 6000, qPrintable(QString::number(clock)));
}

void tst_SpeedSearch::lockedPortIsLeftAlone()
{
    // The device is held under another's lock: the first opening says so and nothing else is tried.
    qint64 clock = 0;
    int opened = 0;
    const source::SpeedFound found = source::findSpeed(
        [&](int, QString *why) -> std::unique_ptr<serial::ReceivePort> {
            ++opened;
            *why = QStringLiteral(
                "/dev/ttyUSB0: busy: another program, or another mdconfig, is using this device.");
            return nullptr;
        },
        [&] { return clock; });
    QCOMPARE(found.baud, 0);
    QVERIFY(!found.port);
    QCOMPARE(opened, 1);
    QVERIFY(found.reason.contains(QStringLiteral("busy")));
}

void tst_SpeedSearch::pseudoTerminal_data()
{
    QTest::addColumn<int>("busBaud");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<bool>("held"); // another program holds the device's lock
    QTest::newRow("a capture at 4800") << 4800 << 4800 << false;
    QTest::newRow("a capture at 38400") << 38400 << 38400 << false;
    QTest::newRow("noise") << -1 << 4800 << false;
    QTest::newRow("a capture at 4800, the device held by another") << 4800 << 0 << true;
}

void tst_SpeedSearch::pseudoTerminal()
{
    QFETCH(int, busBaud);
    PtyBus bus;
    QString notStarted;
    QVERIFY2(bus.start(&notStarted), qPrintable(notStarted));
    QFETCH(bool, held);
    const int holder =
        held ? ::open(QFile::encodeName(bus.device()).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK) : -1;
    if (held)
        QVERIFY(holder >= 0 && serial::lockDevice(holder));

    // The talker writes what a UART at the speed the port was last opened at would hear, at that pace.
    const QByteArray capture = readData(QStringLiteral("captures/chartplotter-bus.nmea"));
    QByteArray noise;
    for (int i = 0; i < 4000; ++i)
        noise.append(char((i * 37) % 256));
    std::atomic<int> portBaud{0};
    std::atomic<bool> stop{false};
    std::thread talker([&] {
        qsizetype at = 0;
        while (!stop) {
            const int baud = portBaud;
            const QByteArray heard = busBaud < 0 ? noise : heardAt(capture, busBaud, baud);
            const qsizetype n = baud / 100; // a tenth of a second's bytes
            if (baud > 0 && n > 0) {
                const QByteArray chunk = heard.mid(at % heard.size(), n);
                at += chunk.size();
                if (!bus.talk(chunk))
                    break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    QElapsedTimer clock;
    clock.start();
    const source::SpeedFound found = source::findSpeed(
        [&](int baud, QString *why) {
            std::unique_ptr<serial::ReceivePort> port = source::openReceiver(bus.device(), baud, why);
            portBaud = baud;
            return port;
        },
        [&] { return clock.elapsed(); });
    const qint64 took = clock.elapsed();
    stop = true;
    talker.join();
    if (holder >= 0)
        ::close(holder);
    QTEST(found.baud, "chosen");
    if (held) {
        QVERIFY2(found.reason.contains(QStringLiteral("busy")), qPrintable(found.reason));
        QVERIFY(!found.port);
        return;
    }
    QVERIFY2(found.reason.startsWith(QStringLiteral("%1 baud").arg(found.baud)), qPrintable(found.reason));
    if (busBaud > 0)
        QVERIFY2(found.reason.contains(QStringLiteral("sentences with good checksums")),
                 qPrintable(found.reason));
    else
        QVERIFY2(found.reason.contains(QStringLiteral("no speed gave")), qPrintable(found.reason));
    // Two trials of 3 s and the openings: generous for a busy machine.
    QVERIFY2(took < 15000, qPrintable(QString::number(took)));
}

QTEST_GUILESS_MAIN(tst_SpeedSearch)
#include "tst_speedsearch.moc"
