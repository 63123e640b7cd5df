// Recording and replay end to end through pseudo-terminals: mdconfig-cli replay plays a recording and a
// capture with their bytes unchanged and paced as recorded, listen --log records them back as they came, and
// listen --json numbers the fields as "Commas" counts them.
//
// What must hold on any machine, however busy: every byte arrives, in order, and no line before it is due.
#include "support/files.h"
#include "support/output.h"
#include "support/ptypair.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <csignal>
#include <sys/resource.h>

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The first n lines of a capture.
QByteArray firstLines(const QByteArray &capture, int n)
{
    qsizetype at = 0;
    for (int i = 0; i < n && at >= 0; ++i)
        at = capture.indexOf('\n', at) + 1;
    return capture.left(at);
}

using Ms = std::chrono::milliseconds;

} // namespace

class tst_Replay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void playsAsRecorded_data();
    void playsAsRecorded();
    void ptyWaitsForItsReader();
    void listenRecordsAndNumbers();
    void bigFileInBoundedMemory();
    void timestampsThatAreNoTimePlayNothing_data();
    void timestampsThatAreNoTimePlayNothing();
    void listenOutlivesTheFileSizeLimit();
    void badArguments_data();
    void badArguments();
};

void tst_Replay::initTestCase()
{
    if (!PtyPair::available())
        QSKIP("socat is needed for pseudo-terminal pairs");
}

void tst_Replay::playsAsRecorded_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("body"); // as played: timestamps, if any, in front of each line
    QTest::addColumn<QByteArray>("wire"); // what must arrive
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QList<int>>("dueMs"); // when each line is due; empty: the wire rate of the baud

    const QByteArray fish = firstLines(readData(QStringLiteral("captures/fishfinder.nmea")), 60);
    QTest::newRow("a capture as it is, at 4800 baud's wire rate, twice as fast")
        << QByteArray() << fish << fish << QStringList{"--speed", "2"} << QList<int>{};
    QTest::newRow("a recording at 38400 baud's wire rate")
        << QByteArray("# mdconfig-cli recording\n# line 38400 baud, 8 data bits, no parity, 1 stop bit\n")
        << readData(QStringLiteral("listen/mixed-bus.nmea"))
        << readData(QStringLiteral("listen/mixed-bus.nmea")) << QStringList{} << QList<int>{};
    const QByteArray a = "$SDDBT,7.7,f,2.3,M,1.3,F*05\r\n",
                     b = "$ECGLL,5119.881,N,00125.169,E,164326,A,D*52\r\n";
    QTest::newRow("by timestamps, noise kept")
        << QByteArray("# line 4800 baud\n# timestamps: seconds since the start\n")
        << "0.000 " + a + "0.600 " + QByteArray("\x01\xff", 2) + b + "1.500 " + a
        << a + QByteArray("\x01\xff", 2) + b + a << QStringList{} << QList<int>{0, 600, 1500};
}

void tst_Replay::playsAsRecorded()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, wire);
    QFETCH(QStringList, options);
    QFETCH(QList<int>, dueMs);
    QTemporaryDir dir;
    const QString file = writeFile(dir, QStringLiteral("bus.nmea"), header + body);
    PtyPair pair;
    QVERIFY(pair.start());

    QProcess replay;
    const auto started = PtyPair::Clock::now();
    replay.start(QStringLiteral(MDCONFIG_CLI),
                 QStringList{QStringLiteral("replay"), file, QStringLiteral("--device"), pair.sendEnd()} +
                     options);
    QVERIFY(replay.waitForFinished(60'000));
    QVERIFY2(replay.exitCode() == 0, replay.readAllStandardError().constData());
    QVERIFY(pair.waitFor(int(wire.size()), 5000));
    QCOMPARE(pair.received(), wire);

    // When each line was due: by timestamp, or ten bits a character at the baud, divided by the speed.
    const int baud = header.contains("38400") ? 38400 : 4800;
    const double speed = options.contains(QStringLiteral("--speed")) ? options.last().toDouble() : 1.0;
    QList<qint64> due;
    QList<qsizetype> starts;
    for (qsizetype at = 0; at < wire.size(); at = wire.indexOf('\n', at) + 1) {
        starts << at;
        due << (dueMs.isEmpty() ? qint64(double(at) * 10'000.0 / baud / speed) : dueMs.value(due.size()));
    }
    // No line before its time: replay's clock starts after the process did, and a stamp is never earlier
    // than the byte. How late a line comes measures the machine (see bench/), so it is not asserted.
    const auto arrivals = pair.arrivals();
    for (qsizetype i = 0; i < starts.size(); ++i) {
        const qint64 at = std::chrono::duration_cast<Ms>(arrivals.at(size_t(starts[i])) - started).count();
        QVERIFY2(at >= due[i] - 1,
                 qPrintable(QStringLiteral("line %1 at %2 ms, due %3").arg(i).arg(at).arg(due[i])));
    }
}

void tst_Replay::ptyWaitsForItsReader()
{
    QTemporaryDir dir;
    const QByteArray capture = firstLines(readData(QStringLiteral("captures/depth-sounder.nmea")), 12);
    const QString file = writeFile(dir, QStringLiteral("bus.nmea"), capture);
    QProcess replay;
    replay.start(QStringLiteral(MDCONFIG_CLI), {QStringLiteral("replay"), file, QStringLiteral("--pty"),
                                                QStringLiteral("--speed"), QStringLiteral("4")});
    QByteArray out;
    readLine(replay, out, 10'000, QProcess::StandardOutput);
    QVERIFY2(out.startsWith("replaying on /dev/pts/"), out.constData());
    const QString path = QString::fromLatin1(out.mid(13, out.indexOf(':') - 13));
    // Nothing is played before a reader opens the path, so the reader gets the first line first.
    QTest::qWait(1500);
    QCOMPARE(replay.state(), QProcess::Running);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    QByteArray got;
    for (int waited = 0; waited < 20'000 && got.size() < capture.size(); waited += 20) {
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, n);
        else
            QTest::qWait(20);
    }
    const bool finished = replay.state() == QProcess::NotRunning || replay.waitForFinished(20'000);
    ::close(fd);
    QVERIFY2(finished, qPrintable(QString::number(got.size()) + replay.readAllStandardError()));
    QCOMPARE(replay.exitCode(), 0);
    QCOMPARE(got, capture);
}

void tst_Replay::listenRecordsAndNumbers()
{
    // replay feeds one end of a pair, listen records the other: the recording plays back the same bytes.
    QTemporaryDir dir;
    const QByteArray capture = firstLines(readData(QStringLiteral("captures/chartplotter-bus.nmea")), 120);
    const QString file = writeFile(dir, QStringLiteral("bus.nmea"), capture);
    const QString log = dir.filePath(QStringLiteral("heard.nmea"));
    QProcess socat;
    socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=%1").arg(dir.filePath("a")),
                                          QStringLiteral("pty,raw,echo=0,link=%1").arg(dir.filePath("b"))});
    QVERIFY(socat.waitForStarted(5000));
    for (int i = 0; i < 250 && !QFile::exists(dir.filePath("b")); ++i)
        QTest::qWait(20);
    QProcess listen;
    listen.start(QStringLiteral(MDCONFIG_CLI),
                 {QStringLiteral("listen"), QStringLiteral("--device"), dir.filePath("b"),
                  QStringLiteral("--json"), QStringLiteral("--seconds"), QStringLiteral("30"),
                  QStringLiteral("--log"), log, QStringLiteral("--timestamps")});
    QByteArray err;
    readUntil(listen, err, "listening on", 10'000, QProcess::StandardError);
    QVERIFY2(err.contains("recording into"), err.constData());
    QProcess replay;
    replay.start(QStringLiteral(MDCONFIG_CLI),
                 {QStringLiteral("replay"), file, QStringLiteral("--device"), dir.filePath("a"),
                  QStringLiteral("--speed"), QStringLiteral("8")});
    QVERIFY(replay.waitForFinished(30'000));
    QCOMPARE(replay.exitCode(), 0);
    QByteArray out;
    readUntil(
        listen, out, [&](const QByteArray &s) { return s.count('\n') >= 120; }, 20'000);
    ::kill(pid_t(listen.processId()), SIGINT);
    QVERIFY(listen.waitForFinished(10'000));
    socat.kill();
    socat.waitForFinished(3000);
    out += listen.readAllStandardOutput();

    int rmc = 0;
    for (const QByteArray &line : out.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.value("sentence").toString() != QLatin1String("RMC"))
            continue;
        ++rmc;
        // "field" is keyed by the display's numbers: field 7 of RMC is the speed over ground.
        const QJsonObject field = o.value("field").toObject();
        QCOMPARE(field.value("7").toString(), o.value("fields").toArray().at(6).toString());
        QVERIFY(!field.value("7").toString().isEmpty());
        QVERIFY(!field.contains("0"));
    }
    QVERIFY(rmc >= 3);

    QFile heard(log);
    QVERIFY(heard.open(QIODevice::ReadOnly));
    QString why;
    const QByteArray recorded = heard.readAll();
    QVERIFY(recorded.contains("# device " + dir.filePath("b").toUtf8()));
    QVERIFY(recorded.contains("# line 4800 baud"));
    QByteArray played;
    int lines = 0;
    for (const QByteArray &line : recorded.split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        ++lines;
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d{3} \\$"))
                     .match(QString::fromLatin1(line))
                     .hasMatch(),
                 line.constData());
        played += line.mid(line.indexOf(' ') + 1) + '\n';
    }
    QCOMPARE(played, capture);
    QCOMPARE(lines, 120);
}

// Peak memory of a running process, in KiB, from the kernel's account.
qint64 peakKib(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

void tst_Replay::bigFileInBoundedMemory()
{
    // 16 MiB of short lines, all due at once: played as fast as the reader takes them, a line at a time.
    QTemporaryDir dir;
    const QByteArray line = "0 $GPZDA\r\n";
    const int lines = 16 * 1024 * 1024 / int(line.size());
    QByteArray body;
    body.reserve(qsizetype(lines) * line.size());
    for (int i = 0; i < lines; ++i)
        body += line;
    const QString file = writeFile(dir, QStringLiteral("big.nmea"), "# timestamps: seconds\n" + body);
    body.clear();
    QProcess replay;
    replay.start(QStringLiteral(MDCONFIG_CLI), {QStringLiteral("replay"), file, QStringLiteral("--pty")});
    QByteArray out;
    readLine(replay, out, 60'000, QProcess::StandardOutput);
    QVERIFY2(out.startsWith("replaying on /dev/pts/"), out.constData());
    const QString path = QString::fromLatin1(out.mid(13, out.indexOf(':') - 13));
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    const qint64 expected = qint64(lines) * (line.size() - 2);
    qint64 got = 0, peak = -1;
    for (int idle = 0; idle < 3000 && got < expected;) {
        char buffer[65536];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            got += n;
            idle = 0;
            if (peak < 0 && got > expected / 2)
                peak = peakKib(replay.processId());
        } else {
            ++idle;
            QThread::msleep(10);
        }
    }
    const bool finished = replay.waitForFinished(20'000);
    ::close(fd);
    QVERIFY(finished);
    QCOMPARE(replay.exitCode(), 0);
    QCOMPARE(got, expected);
    // The file held whole would take 16 MiB, and its 1.7 million lines parsed many times more.
    QVERIFY2(peak > 0 && peak < 48 * 1024, qPrintable(QStringLiteral("%1 KiB at its peak").arg(peak)));
}

void tst_Replay::timestampsThatAreNoTimePlayNothing_data()
{
    QTest::addColumn<QByteArray>("stamp");
    for (const char *stamp : {"nan", "inf", "1e300"})
        QTest::newRow(stamp) << QByteArray(stamp);
}

void tst_Replay::timestampsThatAreNoTimePlayNothing()
{
    // The file is read through before the device is even opened: a device that is not there is not named.
    QFETCH(QByteArray, stamp);
    QTemporaryDir dir;
    const QString file =
        writeFile(dir, QStringLiteral("bus.nmea"), "# timestamps: seconds\n0.5 $A\r\n" + stamp + " $B\r\n");
    QProcess replay;
    replay.start(QStringLiteral(MDCONFIG_CLI), {QStringLiteral("replay"), file, QStringLiteral("--device"),
                                                dir.filePath(QStringLiteral("none"))});
    QVERIFY(replay.waitForFinished(10'000));
    QCOMPARE(replay.exitCode(), 1);
    QCOMPARE(replay.readAllStandardError(),
             "mdconfig-cli: " + QFile::encodeName(file) + ": data line 2: \"" + stamp +
                 "\" is not a timestamp; a timestamp is the seconds since the start, from 0 to 9999999\n");
}

void tst_Replay::listenOutlivesTheFileSizeLimit()
{
    // ulimit -f 2: the recording stops at the limit on a whole line, and listen goes on to its summary.
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("heard.nmea"));
    QProcess socat;
    socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=%1").arg(dir.filePath("a")),
                                          QStringLiteral("pty,raw,echo=0,link=%1").arg(dir.filePath("b"))});
    QVERIFY(socat.waitForStarted(5000));
    for (int i = 0; i < 250 && !QFile::exists(dir.filePath("b")); ++i)
        QTest::qWait(20);
    QProcess listen;
    listen.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{2048, 2048};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    listen.start(QStringLiteral(MDCONFIG_CLI),
                 {QStringLiteral("listen"), QStringLiteral("--device"), dir.filePath("b"),
                  QStringLiteral("--json"), QStringLiteral("--log"), log});
    QByteArray err;
    readUntil(listen, err, "listening on", 10'000, QProcess::StandardError);
    QFile a(dir.filePath("a"));
    QVERIFY(a.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray capture = firstLines(readData(QStringLiteral("captures/chartplotter-bus.nmea")), 60);
    QCOMPARE(a.write(capture), capture.size());
    readUntil(listen, err, "recording stopped", 20'000, QProcess::StandardError);
    QVERIFY2(listen.state() == QProcess::Running, "listen did not outlive the limit");
    ::kill(pid_t(listen.processId()), SIGINT);
    QVERIFY(listen.waitForFinished(10'000));
    socat.kill();
    socat.waitForFinished(3000);
    err += listen.readAllStandardError();
    QCOMPARE(listen.exitStatus(), QProcess::NormalExit);
    QCOMPARE(listen.exitCode(), 0);
    const QByteArray recorded = readAll(log);
    QVERIFY(recorded.size() <= 2048 && recorded.endsWith('\n'));
    QVERIFY2(
        err.contains("the largest file this session may write is reached (ulimit -f); recording stopped"),
        err.constData());
    QVERIFY2(err.contains("recorded " + QByteArray::number(recorded.size()) + " bytes into "),
             err.constData());
}

void tst_Replay::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("named");
    QTest::newRow("no file") << QStringList{"replay", "--pty"} << "FILE is missing";
    QTest::newRow("no target") << QStringList{"replay", "x.nmea"} << "--device or --pty is missing";
    QTest::newRow("both targets") << QStringList{"replay", "x.nmea", "--pty", "--device", "/dev/null"}
                                  << "both given";
    QTest::newRow("speed out of range")
        << QStringList{"replay", "x.nmea", "--pty", "--speed", "0"} << "0.1 to 100";
    for (const char *speed : {"nan", "inf", "-inf", "-1"})
        QTest::addRow("speed %s", speed)
            << QStringList{"replay", "x.nmea", "--pty", "--speed", speed} << "0.1 to 100";
    QTest::newRow("a log limit that wraps round past 2^64 bytes")
        << QStringList{"listen", "--device", "x", "--log", "y", "--log-limit", "17179869185G"}
        << "unknown value \"17179869185G\"; valid values: a size from 1k to 1024G";
    QTest::newRow("log limit without log")
        << QStringList{"listen", "--device", "x", "--log-limit", "1M"} << "without --log";
    QTest::newRow("log limit too small")
        << QStringList{"listen", "--device", "x", "--log", "y", "--log-limit", "10"} << "1k to 1024G";
    QTest::newRow("fields of no sentence")
        << QStringList{"listen", "--device", "x", "--fields", "G$"} << "such as GPRMC";
}

void tst_Replay::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, named);
    QProcess p;
    p.start(QStringLiteral(MDCONFIG_CLI), args);
    QVERIFY(p.waitForFinished(10'000));
    QCOMPARE(p.exitCode(), 2);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains(named) && err.count(QLatin1Char('\n')) == 1, qPrintable(err));
}

QTEST_GUILESS_MAIN(tst_Replay)
#include "tst_replay.moc"
