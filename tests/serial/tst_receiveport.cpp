// The read side of the serial layer: a pseudo-terminal pair made here carries every byte value unchanged
// from the senders' own port, survives a sender that closes and reopens it, and hands a real paced send to
// the display's receiving side, every byte in order and none before its slot.
#include "frame/transmitter.h"
#include "serial/pseudoterminal.h"
#include "serial/qtserialport.h"
#include "serial/receiveport.h"
#include "sim/receiver.h"
#include "support/timedbytes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

QByteArray readFor(serial::ReceivePort &port, int expected, int ms)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.size() < expected && t.elapsed() < ms)
        got += port.read(20);
    return got;
}

} // namespace

class tst_ReceivePort : public QObject {
    Q_OBJECT
private slots:
    void pseudoTerminalCarriesEveryByte();
    void rawForASenderThatSetsNothing();
    void senderMayCloseAndReopen();
    void readWaitsNoLongerThanAsked();
    void realSendReachesTheReceiver();
    void oneHolderWhateverTheName_data();
    void oneHolderWhateverTheName();
    void listeningPortThatWillNotOpen();
};

void tst_ReceivePort::pseudoTerminalCarriesEveryByte()
{
    serial::PseudoTerminal pty;
    QVERIFY2(pty.open(), qPrintable(pty.errorString()));
    QVERIFY(QFileInfo(pty.farEnd()).exists());
    serial::QtSerialPort sender;
    QVERIFY2(sender.open(pty.farEnd()), qPrintable(sender.errorString()));
    // Every value, CR, LF, XON/XOFF, ^C and DEL among them: raw mode must neither translate nor swallow any.
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    for (const char c : all)
        QVERIFY(sender.writeByte(std::uint8_t(c)));
    QCOMPARE(readFor(pty, all.size(), 10000), all);
    QVERIFY(!pty.failed());
}

void tst_ReceivePort::rawForASenderThatSetsNothing()
{
    // A program that writes to the far end without setting up the line (cat, a shell redirect) gets the
    // pair's own raw mode: no LF turned into CR LF, nothing held back.
    serial::PseudoTerminal pty;
    QVERIFY(pty.open());
    QFile far(pty.farEnd());
    QVERIFY(far.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QCOMPARE(far.write(all), all.size());
    QCOMPARE(readFor(pty, all.size(), 10000), all);
}

void tst_ReceivePort::senderMayCloseAndReopen()
{
    serial::PseudoTerminal pty;
    QVERIFY(pty.open());
    for (int round = 0; round < 2; ++round) {
        serial::QtSerialPort sender;
        QVERIFY2(sender.open(pty.farEnd()), qPrintable(sender.errorString()));
        QVERIFY(sender.writeByte('$'));
        QVERIFY(sender.writeByte(std::uint8_t('0' + round)));
        QCOMPARE(readFor(pty, 2, 10000), QByteArray("$") + char('0' + round));
        sender.close();
        QCOMPARE(pty.read(50), QByteArray());
        QVERIFY2(!pty.failed(), qPrintable(pty.errorString()));
    }
}

void tst_ReceivePort::readWaitsNoLongerThanAsked()
{
    serial::PseudoTerminal pty;
    QVERIFY(pty.open());
    QElapsedTimer t;
    t.start();
    QCOMPARE(pty.read(30), QByteArray());
    QVERIFY(t.elapsed() >= 25); // it did wait; an upper bound would only measure the machine
    pty.close();
    QCOMPARE(pty.read(10), QByteArray());
}

void tst_ReceivePort::realSendReachesTheReceiver()
{
    // One real six-second send, GP RMC field 5 at location 3, through the pair to the receiving side. What
    // must hold however busy the machine: every byte arrives, in order, and none before its slot counted from
    // the start of the send. How late a byte comes measures the machine, not the send (see bench/).
    serial::PseudoTerminal pty;
    QVERIFY(pty.open());
    using Clock = std::chrono::steady_clock;
    std::atomic<bool> stop{false};
    std::atomic<Clock::rep> origin{Clock::time_point::max().time_since_epoch().count()};
    QByteArray heard;
    QList<sim::Micros> arrivals; // of each byte, from the start of the send
    QByteArray kept;             // the bytes of the repetitions the receiver hands over, in order
    sim::Receiver receiver({[&](const sim::Repetition &r) { kept += r.bytes; }, {}});
    std::thread reader([&] {
        while (!stop) {
            const QByteArray bytes = pty.read(10);
            const sim::Micros now = std::chrono::duration_cast<sim::Micros>(
                Clock::now() - Clock::time_point(Clock::duration(origin.load())));
            heard += bytes;
            for (qsizetype i = 0; i < bytes.size(); ++i)
                arrivals << now;
            receiver.receive(bytes, now);
        }
    });

    frame::SentenceBytes s;
    s.MemoryChar = '2';
    s.MemoryKey = 32;
    s.Body1 = 'G';
    s.Body2 = 'P';
    s.Body3 = 'R';
    s.Body4 = 'M';
    s.Body5 = 'C';
    s.Body6 = 5;
    s.Body7 = '5';
    serial::QtSerialPort sender;
    QVERIFY(sender.open(pty.farEnd()));
    frame::Transmitter transmitter(sender);
    origin = Clock::now().time_since_epoch().count();
    const std::optional<QString> failure = transmitter.TransmitSentence(s);
    QTest::qWait(200);
    stop = true;
    reader.join();
    receiver.finish();
    QVERIFY(!failure);

    QList<QByteArray> frames{QByteArray::fromHex("24324750524D4305357B")};
    for (int r = 1; r < 10; ++r)
        frames << QByteArray::fromHex("24324750524D4305355B");
    QCOMPARE(heard, frames.join());
    QCOMPARE(kept, heard);
    const QList<sim::Micros> due = [&] {
        QList<sim::Micros> d;
        for (const TimedByte &b : paced(frames))
            d << b.at;
        return d;
    }();
    for (qsizetype i = 0; i < due.size(); ++i)
        QVERIFY2(arrivals[i] >= due[i] - sim::Micros(1000),
                 qPrintable(QStringLiteral("byte %1 came %2 us after the start, before its slot at %3 us")
                                .arg(i)
                                .arg(arrivals[i].count())
                                .arg(due[i].count())));
}

void tst_ReceivePort::oneHolderWhateverTheName_data()
{
    QTest::addColumn<bool>("listenerByLink");
    QTest::newRow("listening through a link, sending to the device") << true;
    QTest::newRow("listening on the device, sending through a link") << false;
}

// A listener holds the device as a sender does: under any name a sender is refused, and told the device is
// in use, not that someone is sending.
void tst_ReceivePort::oneHolderWhateverTheName()
{
    QFETCH(bool, listenerByLink);
    serial::PseudoTerminal pty;
    QVERIFY2(pty.open(), qPrintable(pty.errorString()));
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("adapter"));
    QVERIFY(QFile::link(pty.farEnd(), link));

    serial::QtReceivePort listener;
    QVERIFY2(listener.open(listenerByLink ? link : pty.farEnd(), 4800), qPrintable(listener.errorString()));
    serial::QtSerialPort sender;
    QVERIFY(!sender.open(listenerByLink ? pty.farEnd() : link));
    QVERIFY2(sender.errorString().contains(QLatin1String("busy")), qPrintable(sender.errorString()));
    QVERIFY2(!sender.errorString().contains(QLatin1String("sending")), qPrintable(sender.errorString()));
    serial::QtReceivePort second;
    QVERIFY(!second.open(listenerByLink ? pty.farEnd() : link, 4800));
    QVERIFY2(second.errorString().contains(QLatin1String("busy")), qPrintable(second.errorString()));

    listener.close();
    QVERIFY2(sender.open(listenerByLink ? pty.farEnd() : link), qPrintable(sender.errorString()));
}

void tst_ReceivePort::listeningPortThatWillNotOpen()
{
    serial::QtReceivePort port;
    QVERIFY(!port.open(QStringLiteral("/nonexistent/ttyUSB9"), 4800));
    QVERIFY(port.errorString().contains(QLatin1String("/nonexistent/ttyUSB9")));
    QCOMPARE(port.read(10), QByteArray());
}

QTEST_GUILESS_MAIN(tst_ReceivePort)
#include "tst_receiveport.moc"
