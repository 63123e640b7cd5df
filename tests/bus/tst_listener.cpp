// The one bus listener on a fake line and a clock the test owns: nothing read and nothing counted twice
// around a send, the recording holds the bytes as heard, the table stays bounded, and a port that fails
// mid-read leaves what was heard.
#include "bus/listener.h"
#include "support/files.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// The line the fake ports read: what the test puts on it, whether a port has it open, and what happened.
struct FakeLine {
    QList<QByteArray> waiting;
    bool open = false;
    int opens = 0;
    int reads = 0;
    int failAtRead = -1; // the read (1, 2, ...) that hands over its bytes and then fails
    QList<int> bauds;
};

class FakePort : public serial::ReceivePort {
public:
    explicit FakePort(std::shared_ptr<FakeLine> line) : m_line(std::move(line)) {}
    QByteArray read(int) override
    {
        if (!m_line->open)
            return {};
        ++m_line->reads;
        m_failed = m_line->reads == m_line->failAtRead;
        return m_line->waiting.isEmpty() ? QByteArray() : m_line->waiting.takeFirst();
    }
    bool failed() const override { return m_failed; }
    QString errorString() const override { return QStringLiteral("fake: unplugged."); }
    void close() override { m_line->open = false; }

private:
    std::shared_ptr<FakeLine> m_line;
    bool m_failed = false;
};

bus::PortOpener openerFor(const std::shared_ptr<FakeLine> &line)
{
    return [line](const QString &, int baud, QString *) -> std::unique_ptr<serial::ReceivePort> {
        line->open = true;
        ++line->opens;
        line->bauds << baud;
        return std::make_unique<FakePort>(line);
    };
}

// The lines of a capture, each with its ending.
QList<QByteArray> linesOf(const QByteArray &capture)
{
    QList<QByteArray> lines;
    for (const QByteArray &l : capture.split('\n'))
        if (!l.trimmed().isEmpty())
            lines << l + '\n';
    return lines;
}

qint64 totalOf(const bus::Snapshot &s)
{
    qint64 n = 0;
    for (const bus::SentenceRow &r : s.rows)
        n += r.count;
    return n;
}

} // namespace

class tst_Listener : public QObject {
    Q_OBJECT
private slots:
    void pauseAroundASend_data();
    void pauseAroundASend();
    void recording();
    void recordingLimit();
    void bounded();
    void portFailsMidRead();
    void openRefused();
};

void tst_Listener::pauseAroundASend_data()
{
    QTest::addColumn<int>("pauseAt"); // the line of the capture before which a send takes the line
    QTest::addColumn<int>("sendLines");
    QTest::newRow("at the start") << 0 << 3;
    QTest::newRow("in the middle") << 7 << 5;
    QTest::newRow("before the last line") << 39 << 1;
}

void tst_Listener::pauseAroundASend()
{
    QFETCH(int, pauseAt);
    QFETCH(int, sendLines);
    const QList<QByteArray> lines = linesOf(readData(QStringLiteral("captures/chartplotter-bus.nmea")));
    QVERIFY(lines.size() > 40);
    auto line = std::make_shared<FakeLine>();
    qint64 now = 0;
    bus::Listener listener(openerFor(line), [&] { return now; });
    QVERIFY(listener.start(QStringLiteral("fake"), 38400, nullptr));
    for (int i = 0; i < 40; ++i) {
        if (i == pauseAt) {
            listener.pause();
            // What comes while the send holds the line is the send's own: never read, never counted.
            const int readsBefore = line->reads;
            for (int n = 0; n < sendLines; ++n) {
                line->waiting << "$XXSND,1,2,3\r\n";
                QVERIFY(listener.poll(0).bytes.isEmpty());
            }
            QCOMPARE(line->reads, readsBefore);
            QVERIFY(!line->open);
            QVERIFY(listener.snapshot().paused);
            line->waiting.clear(); // a port opened anew starts with an empty buffer
            QVERIFY(listener.resume(nullptr));
        }
        line->waiting << lines[i];
        now += 100;
        QCOMPARE(listener.poll(0).bytes, lines[i]);
    }
    const bus::Snapshot s = listener.snapshot();
    QCOMPARE(line->opens, 2);
    QCOMPARE(line->bauds, (QList<int>{38400, 38400}));
    QVERIFY(!s.row(QStringLiteral("XXSND")));
    // Every line counted once, none lost: the pause fell between whole lines.
    QCOMPARE(totalOf(s), qint64(40));
    QCOMPARE(s.totals.sentences, qint64(40));
    QCOMPARE(s.nowMs, qint64(4000));
    QVERIFY(s.listening && !s.paused);
}

void tst_Listener::recording()
{
    // Whole lines with a time each on the test's clock; the recording starts at the first line's start.
    auto line = std::make_shared<FakeLine>();
    qint64 now = 5000;
    bus::Listener listener(openerFor(line), [&] { return now; });
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bus.nmea"));
    QVERIFY(listener.start(QStringLiteral("fake"), 4800, nullptr));
    QCOMPARE(listener.record(path, QStringLiteral("fake device"), bus::DefaultRecordingLimit, true),
             std::nullopt);
    const QList<QByteArray> pieces{",00*6A\r\n$SDDBT,18.0,f,5.4,", "M,3.0,F*3D\r\n$SDMTW,,C*1A\r\n",
                                   "$WIMWV,57.5,R,13.0,N,A*26\r\n$SDDPT"};
    for (const QByteArray &piece : pieces) {
        line->waiting << piece;
        now += 250;
        listener.poll(0);
    }
    listener.pause(); // the line under way is cut by the send and not recorded
    listener.stopRecording();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QString why;
    const std::optional<bus::Recording> r = bus::parseRecording(f.readAll(), &why);
    QVERIFY2(r, qPrintable(why));
    QCOMPARE(r->baud, 4800);
    QList<QByteArray> bytes;
    QList<qint64> times;
    for (const bus::Recording::Line &l : r->lines) {
        bytes << l.bytes;
        times << l.atMs;
    }
    QCOMPARE(bytes, (QList<QByteArray>{"$SDDBT,18.0,f,5.4,M,3.0,F*3D\r\n", "$SDMTW,,C*1A\r\n",
                                       "$WIMWV,57.5,R,13.0,N,A*26\r\n"}));
    QCOMPARE(times, (QList<qint64>{0, 250, 500}));
    QCOMPARE(listener.recorder().written(), QFileInfo(path).size());
}

void tst_Listener::recordingLimit()
{
    // The file fills up: said once, counting goes on, and the file ends on a whole line within the limit.
    auto line = std::make_shared<FakeLine>();
    bus::Listener listener(openerFor(line));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bus.nmea"));
    QVERIFY(listener.start(QStringLiteral("fake"), 4800, nullptr));
    QCOMPARE(listener.record(path, QStringLiteral("fake"), 1024, false), std::nullopt);
    int told = 0;
    for (int i = 0; i < 100; ++i) {
        line->waiting << "$SDDBT,18.0,f,5.4,M,3.0,F*3D\r\n";
        told += listener.poll(0).recordingFailed;
    }
    QCOMPARE(told, 1);
    QVERIFY(listener.recorder().error().contains(QLatin1String("size limit of 1024 bytes")));
    QCOMPARE(listener.snapshot().totals.sentences, qint64(100));
    listener.stopRecording();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray file = f.readAll();
    QVERIFY(file.size() <= 1024 && file.size() > 1024 - 31);
    QVERIFY(file.endsWith("*3D\r\n"));
}

void tst_Listener::bounded()
{
    // However many names come, the table keeps at most MaxRows rows; the rest are counted as others.
    auto line = std::make_shared<FakeLine>();
    bus::Listener listener(openerFor(line));
    QVERIFY(listener.start(QStringLiteral("fake"), 4800, nullptr));
    const int names = bus::Monitor::MaxRows + 57;
    for (int i = 0; i < names; ++i) {
        line->waiting << QStringLiteral("$P%1,1\r\n").arg(i, 4, 36, QLatin1Char('0')).toUpper().toLatin1();
        listener.poll(0);
    }
    const bus::Snapshot s = listener.snapshot();
    QCOMPARE(s.rows.size(), bus::Monitor::MaxRows);
    QCOMPARE(s.others.count, qint64(57));
    QCOMPARE(s.totals.sentences, qint64(names));
}

void tst_Listener::portFailsMidRead()
{
    // The third read brings a sentence and then the port is gone: the sentence counts, the listener stops,
    // says why, and reads nothing more.
    auto line = std::make_shared<FakeLine>();
    line->failAtRead = 3;
    bus::Listener listener(openerFor(line));
    QVERIFY(listener.start(QStringLiteral("fake"), 4800, nullptr));
    QList<bool> failed;
    for (int i = 0; i < 5; ++i) {
        line->waiting << "$SDMTW,,C*1A\r\n";
        failed << listener.poll(0).failed;
    }
    QCOMPARE(failed, (QList<bool>{false, false, true, false, false}));
    QCOMPARE(line->reads, 3);
    QVERIFY(!line->open);
    const bus::Snapshot s = listener.snapshot();
    QCOMPARE(s.totals.sentences, qint64(3));
    QVERIFY(!s.listening);
    QCOMPARE(s.failure, QStringLiteral("fake: unplugged."));
}

void tst_Listener::openRefused()
{
    bus::Listener listener([](const QString &source, int baud, QString *why) {
        *why = QStringLiteral("%1 refuses %2 baud").arg(source).arg(baud);
        return std::unique_ptr<serial::ReceivePort>();
    });
    QString why;
    QVERIFY(!listener.start(QStringLiteral("dev"), 38400, &why));
    QCOMPARE(why, QStringLiteral("dev refuses 38400 baud"));
    QVERIFY(!listener.listening());
    QVERIFY(listener.poll(0).bytes.isEmpty());
    QCOMPARE(listener.snapshot().failure, why);
}

QTEST_GUILESS_MAIN(tst_Listener)
#include "tst_listener.moc"
