// Recording and replay end to end through pseudo-terminals: mdconfig-cli replay plays a recording and a
// capture with their bytes unchanged and paced as recorded, listen --log records them back as they came, and
// listen --json numbers the fields as "Commas" counts them.
//
// Pacing tolerance (a busy machine with two shared cores): each line arrives no earlier than 90% of its due
// time less 50 ms, and the last no later than a quarter past its due time and 1 s more.
#include "support/files.h"
#include "support/output.h"
#include "support/ptypair.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <QJsonDocument>
#include <QJsonObject>
#include <csignal>

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
    const auto arrivals = pair.arrivals();
    const auto first = arrivals.at(size_t(starts.first()));
    QVERIFY(first >= started);
    for (qsizetype i = 0; i < starts.size(); ++i) {
        const qint64 at = std::chrono::duration_cast<Ms>(arrivals.at(size_t(starts[i])) - first).count();
        QVERIFY2(at >= qint64(due[i] * 0.9) - 50,
                 qPrintable(QStringLiteral("line %1 at %2 ms, due %3").arg(i).arg(at).arg(due[i])));
    }
    const qint64 last = std::chrono::duration_cast<Ms>(arrivals.at(size_t(starts.last())) - first).count();
    QVERIFY2(last <= due.last() * 5 / 4 + 1000,
             qPrintable(QStringLiteral("last line at %1 ms, due %2").arg(last).arg(due.last())));
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
    QTest::newRow("log limit without log")
        << QStringList{"listen", "--device", "x", "--log-limit", "1M"} << "without --log";
    QTest::newRow("log limit too small")
        << QStringList{"listen", "--device", "x", "--log", "y", "--log-limit", "10"} << "1k or more";
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
