// Real bytes through a real pseudo-terminal pair, on the serial port the program uses.
#include "frame/configuration.h"
#include "frame/transmitter.h"
#include "serial/devicepath.h"
#include "serial/portopener.h"
#include "serial/qtserialport.h"
#include "support/ptypair.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace std::chrono;

namespace {

frame::SentenceBytes gpRmc(bool md90v13)
{
    frame::SentenceBytes s;
    // GP RMC field 5 at location 3, with KT
    frame::encode({3, frame::Standard{15, 59, 5}, 9}, vocabulary::Products[md90v13 ? 2 : 0], s);
    return s;
}

} // namespace

class tst_PtySend : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exactBytesAndPacing_data();
    void exactBytesAndPacing();
    void lineSettingsDuringASend();
    void farEndVanishing();
    void missingDevice();
    void relativeNameIsUnderDev();
    void oneSenderPerDevice_data();
    void oneSenderPerDevice();
    void anotherProgramsLockIsHonoured();
    void stopRequestEndsAfterTheCurrentByte();
    void openingThroughThePortNumber();
};

void tst_PtySend::initTestCase()
{
    if (!PtyPair::available())
        QFAIL("socat is needed for the serial tests: apt-get install socat");
}

void tst_PtySend::exactBytesAndPacing_data()
{
    QTest::addColumn<bool>("md90v13");
    QTest::addColumn<int>("frameLength");
    QTest::newRow("MD20/MD40: 10 repetitions of 10 bytes") << false << 10;
    QTest::newRow("MD90 1.3 with KT: 10 repetitions of 11 bytes") << true << 11;
}

void tst_PtySend::exactBytesAndPacing()
{
    QFETCH(bool, md90v13);
    QFETCH(int, frameLength);
    PtyPair pty;
    QVERIFY(pty.start());
    serial::QtSerialPort port;
    QVERIFY2(port.open(pty.sendEnd()), qPrintable(port.errorString())); // a pty refuses RTS; still open
    frame::SentenceBytes s = gpRmc(md90v13);
    const auto start = PtyPair::Clock::now();
    QCOMPARE(frame::Transmitter(port).TransmitSentence(s), std::nullopt);
    QVERIFY(pty.waitFor(10 * frameLength, 2000));
    QTest::qWait(200);

    const QByteArray got = pty.received();
    QCOMPARE(got.size(), 10 * frameLength);
    const QByteArray first = got.left(frameLength);
    const QByteArray second = got.mid(frameLength, frameLength);
    QCOMPARE(first, md90v13 ? QByteArray::fromHex("24324750524D430535047F")
                            : QByteArray::fromHex("24324750524D4305357B"));
    QCOMPARE(second, md90v13 ? QByteArray::fromHex("24324750524D430535045F")
                             : QByteArray::fromHex("24324750524D4305355B"));
    QCOMPARE(first.chopped(1), second.chopped(1));
    for (int r = 2; r < 10; ++r)
        QCOMPARE(got.mid(r * frameLength, frameLength), second);

    // On a busy machine the receiver may read any byte late, so only what must always hold is asserted: no
    // byte arrives before its slot, ten pauses of 0.1 s and one 0.05 s slot per byte before it. The sender's
    // own spacing is asserted exactly with a fake clock in the transmitter's test.
    const std::vector<PtyPair::Clock::time_point> at = pty.arrivals();
    for (int i = 0; i < int(at.size()); ++i) {
        const auto due = milliseconds(100) * (i / frameLength + 1) + milliseconds(50) * i;
        QVERIFY2(at[i] - start >= due,
                 qPrintable(QStringLiteral("byte %1 arrived %2 ms after the start, before its slot at %3 ms")
                                .arg(i)
                                .arg(duration_cast<milliseconds>(at[i] - start).count())
                                .arg(due.count())));
    }
}

void tst_PtySend::lineSettingsDuringASend()
{
    PtyPair pty;
    QVERIFY(pty.start());
    serial::QtSerialPort port;
    QVERIFY2(port.open(pty.sendEnd()), qPrintable(port.errorString()));
    // The terminal's settings belong to the device, so a second descriptor reads what the port set.
    const int fd = ::open(QFile::encodeName(pty.sendEnd()).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QList<termios> seen;
    frame::SentenceBytes s = gpRmc(false);
    const frame::Pacing fast{microseconds(1000), microseconds(1000)};
    QCOMPARE(frame::Transmitter(port, fast)
                 .TransmitSentence(s,
                                   [&](int) {
                                       termios t{};
                                       if (::tcgetattr(fd, &t) == 0)
                                           seen << t;
                                   }),
             std::nullopt);
    ::close(fd);
    QCOMPARE(seen.size(), 10);
    for (const termios &t : std::as_const(seen)) {
        QCOMPARE(::cfgetospeed(&t), speed_t(B4800));
        QCOMPARE(::cfgetispeed(&t), speed_t(B4800));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QVERIFY2(!(t.c_cflag & PARENB), "parity is on");
        QVERIFY2(!(t.c_cflag & CSTOPB), "two stop bits");
        QVERIFY2(!(t.c_cflag & CRTSCTS), "hardware flow control is on");
        QVERIFY2(!(t.c_iflag & (IXON | IXOFF)), "software flow control is on");
    }
}

void tst_PtySend::farEndVanishing()
{
    PtyPair pty;
    QVERIFY(pty.start());
    serial::QtSerialPort port;
    QVERIFY(port.open(pty.sendEnd()));
    QTimer::singleShot(1200, [&] { pty.killSocat(); });
    frame::SentenceBytes s = gpRmc(false);
    QElapsedTimer clock;
    clock.start();
    const std::optional<QString> failure = frame::Transmitter(port).TransmitSentence(s);
    QVERIFY2(failure, "a send into a vanished device reported success");
    QVERIFY(!failure->isEmpty());
    // The real cause, in the system's words, not the leftover of some later call.
    QVERIFY2(failure->contains("went away"), qPrintable(*failure));
    QVERIFY2(failure->contains(QString::fromLocal8Bit(std::strerror(EIO))), qPrintable(*failure));
    QVERIFY2(!failure->contains("ioctl"), qPrintable(*failure));
    QVERIFY(!port.isOpen());
    // It stopped at the failure instead of running the full six seconds.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(pty.received().size() < 100);
}

void tst_PtySend::missingDevice()
{
    serial::QtSerialPort port;
    QVERIFY(!port.open("/dev/mdconfig-no-such-device"));
    QVERIFY(!port.isOpen());
    QVERIFY2(port.errorString().contains("no such device"), qPrintable(port.errorString()));
    QVERIFY(!port.writeByte(0x24));
}

void tst_PtySend::relativeNameIsUnderDev()
{
    serial::QtSerialPort port;
    QVERIFY(!port.open("mdconfig-no-such-device"));
    QVERIFY2(port.errorString().startsWith("/dev/mdconfig-no-such-device: no such device"),
             qPrintable(port.errorString()));
}

void tst_PtySend::oneSenderPerDevice_data()
{
    QTest::addColumn<bool>("firstThroughTheLink");
    QTest::addColumn<bool>("secondThroughTheLink");
    QTest::newRow("link, then the device node") << true << false;
    QTest::newRow("device node, then the link") << false << true;
    QTest::newRow("the same link twice") << true << true;
}

void tst_PtySend::oneSenderPerDevice()
{
    QFETCH(bool, firstThroughTheLink);
    QFETCH(bool, secondThroughTheLink);
    PtyPair pty;
    QVERIFY(pty.start());
    const QString node = QFileInfo(pty.sendEnd()).canonicalFilePath();
    QVERIFY(node.startsWith("/dev/"));
    serial::QtSerialPort first;
    serial::QtSerialPort second;
    QVERIFY2(first.open(firstThroughTheLink ? pty.sendEnd() : node), qPrintable(first.errorString()));
    QVERIFY2(!second.open(secondThroughTheLink ? pty.sendEnd() : node), "two senders hold one device");
    QVERIFY2(second.errorString().contains("busy"), qPrintable(second.errorString()));
    QVERIFY2(second.errorString().contains(node), qPrintable(second.errorString()));
    QVERIFY(!second.isOpen());
    QVERIFY(!second.writeByte(0x41));
    // The holder is untouched by the refusal, and once it lets go the device is free again.
    QVERIFY(first.writeByte(0x24));
    QVERIFY(pty.waitFor(1, 2000));
    QCOMPARE(pty.received(), QByteArray("$"));
    first.close();
    QVERIFY2(second.open(node), qPrintable(second.errorString()));
}

void tst_PtySend::anotherProgramsLockIsHonoured()
{
    // Another program that locks the device but takes neither the exclusive-open flag nor a lock file, as
    // root may: its lock on the device itself is what keeps a second sender out.
    PtyPair pty;
    QVERIFY(pty.start());
    const QString node = QFileInfo(pty.sendEnd()).canonicalFilePath();
    const int fd = ::open(QFile::encodeName(node).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    serial::QtSerialPort port;
    const bool opened = port.open(pty.sendEnd());
    ::close(fd);
    QVERIFY2(!opened, "opened a device another program holds locked");
    QVERIFY2(port.errorString().contains("busy"), qPrintable(port.errorString()));
    QVERIFY2(port.open(pty.sendEnd()), qPrintable(port.errorString()));
}

void tst_PtySend::stopRequestEndsAfterTheCurrentByte()
{
    PtyPair pty;
    QVERIFY(pty.start());
    serial::QtSerialPort port;
    QVERIFY(port.open(pty.sendEnd()));
    frame::Transmitter transmitter(port, {milliseconds(1), milliseconds(2)});
    int asked = 0;
    transmitter.setStopRequested([&] { return ++asked > 13; });
    frame::SentenceBytes s = gpRmc(false);
    const std::optional<QString> failure = transmitter.TransmitSentence(s);
    QVERIFY(failure);
    QCOMPARE(*failure, QStringLiteral("interrupted after 13 of 100 bytes"));
    QCOMPARE(transmitter.bytesSent(), 13);
    QCOMPARE(transmitter.bytesTotal(), 100);
    QVERIFY(!port.isOpen());
    QVERIFY(pty.waitFor(13, 2000));
    QTest::qWait(100);
    QCOMPARE(pty.received().size(), 13);
}

void tst_PtySend::openingThroughThePortNumber()
{
    PtyPair pty;
    QVERIFY(pty.start());
    qputenv("MDCONFIG_COM4", QFile::encodeName(pty.sendEnd()));
    serial::QtSerialPort port;
    std::int16_t number = 9;
    QStringList prompts;
    QList<int> changes;
    // COM9 names a device that is not there; the answer 4 names the pseudo-terminal.
    qputenv("MDCONFIG_COM9", "/dev/mdconfig-no-such-device");
    const bool opened = serial::OpenComPort(
        port, number,
        [&](const QString &prompt) {
            prompts << prompt;
            return std::optional<QString>(" 4 ");
        },
        [&](std::int16_t n) { changes << n; });
    qunsetenv("MDCONFIG_COM4");
    qunsetenv("MDCONFIG_COM9");
    QVERIFY(opened);
    QVERIFY(port.isOpen());
    QCOMPARE(changes, QList<int>{4});
    QCOMPARE(prompts.size(), 1);
    QVERIFY(prompts[0].startsWith("Error encountered while trying to open COM 9."));
    QVERIFY(prompts[0].contains("/dev/mdconfig-no-such-device: no such device"));
    QVERIFY(port.writeByte(0x24));
    QVERIFY(pty.waitFor(1, 2000));
    QCOMPARE(pty.received(), QByteArray("$"));
}

QTEST_GUILESS_MAIN(tst_PtySend)
#include "tst_ptysend.moc"
