// mdconfig-cli listen on a bus made of a socat pseudo-terminal pair: a canned capture written at 4800-baud
// pacing comes out counted and numbered, a wrong-speed stream is named as such, and a vanishing port or bad
// arguments end it cleanly.
#include "support/files.h"
#include "support/output.h"
#include "support/uart.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// Two linked pseudo-terminals: "bus" is where the test talks, "pc" is what listen opens.
class Bus {
public:
    bool start()
    {
        m_socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=%1").arg(busEnd()),
                                                QStringLiteral("pty,raw,echo=0,link=%1").arg(pcEnd())});
        if (!m_socat.waitForStarted(5000))
            return false;
        for (int i = 0; i < 250 && !(QFile::exists(busEnd()) && QFile::exists(pcEnd())); ++i)
            QTest::qWait(20);
        m_bus.setFileName(busEnd());
        return m_bus.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    ~Bus() { stop(); }
    void stop()
    {
        m_bus.close();
        if (m_socat.state() != QProcess::NotRunning) {
            m_socat.kill();
            m_socat.waitForFinished(3000);
        }
    }
    QString busEnd() const { return m_dir.filePath(QStringLiteral("bus")); }
    QString pcEnd() const { return m_dir.filePath(QStringLiteral("pc")); }

    // 4800 baud carries 480 characters a second: 48 every tenth of a second.
    void talk(const QByteArray &bytes)
    {
        for (qsizetype i = 0; i < bytes.size(); i += 48) {
            m_bus.write(bytes.mid(i, 48));
            QTest::qWait(100);
        }
    }

private:
    QTemporaryDir m_dir;
    QProcess m_socat;
    QFile m_bus;
};

// Starts listen and waits until it says it is listening.
bool startListen(QProcess &p, const QStringList &args)
{
    p.start(QStringLiteral(MDCONFIG_CLI), QStringList{QStringLiteral("listen")} + args);
    if (!p.waitForStarted(5000))
        return false;
    for (int i = 0; i < 500; ++i) {
        if (p.state() == QProcess::NotRunning)
            return false;
        p.waitForReadyRead(20);
        if (p.peek(1).size() > 0 || p.readAllStandardError().contains("listening on"))
            return true;
    }
    return false;
}

} // namespace

class tst_Listen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void mixedCaptureAsJson_data();
    void mixedCaptureAsJson();
    void closedOutputEndsIt_data();
    void closedOutputEndsIt();
    void fieldsWithoutTalker_data();
    void fieldsWithoutTalker();
    void wrongSpeed();
    void liveTableOnATerminal();
    void portGoesAway();
    void portWillNotOpen();
    void portNumberNamesNothing();
    void badArguments_data();
    void badArguments();
    void help();
};

void tst_Listen::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        QFAIL("socat is needed: apt-get install socat");
}

void tst_Listen::mixedCaptureAsJson_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("Ctrl-C") << int(SIGINT);
    QTest::newRow("a closed terminal") << int(SIGHUP);
}

void tst_Listen::mixedCaptureAsJson()
{
    QFETCH(int, signal);
    Bus bus;
    QVERIFY(bus.start());
    QProcess listen;
    QVERIFY(startListen(listen, {QStringLiteral("--device"), bus.pcEnd(), QStringLiteral("--json")}));
    bus.talk(readData(QStringLiteral("listen/mixed-bus.nmea")));
    // Fifteen sentences are in the capture; wait for them, then end as Ctrl-C would.
    QByteArray out;
    readUntil(
        listen, out, [](const QByteArray &s) { return s.count('\n') >= 15; }, 10000);
    ::kill(pid_t(listen.processId()), signal);
    QVERIFY(listen.waitForFinished(10000));
    QCOMPARE(listen.exitStatus(), QProcess::NormalExit);
    QCOMPARE(listen.exitCode(), 0);
    out += listen.readAllStandardOutput();

    QList<QJsonObject> objects;
    for (const QByteArray &line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument d = QJsonDocument::fromJson(line, &error);
        QVERIFY2(d.isObject(), line.constData());
        objects << d.object();
    }
    QCOMPARE(objects.size(), 16); // fifteen sentences and the summary

    QHash<QString, int> counts;
    int badOrMissing = 0;
    for (int i = 0; i < 15; ++i) {
        const QJsonObject &o = objects[i];
        counts[o.value("talker").toString() + o.value("sentence").toString()] += 1;
        if (!o.value("checksumOk").toBool())
            ++badOrMissing;
        QVERIFY(QDateTime::fromString(o.value("time").toString(), Qt::ISODateWithMs).isValid());
    }
    // Written out by hand from the capture's lines.
    const QHash<QString, int> expected{{"GPRMC", 3}, {"GPGGA", 2}, {"SDDBT", 1}, {"WIMWV", 1},
                                       {"IIXDR", 1}, {"PGRME", 1}, {"PVLM", 1},  {"GLGSV", 1},
                                       {"GPTXT", 1}, {"AIVDM", 1}, {"SDHDG", 1}, {"GPXDR", 1}};
    QCOMPARE(counts, expected);
    QCOMPARE(badOrMissing, 2);

    // Field numbering: the speed over ground of the first RMC is the value after its 7th comma.
    const QJsonObject &rmc = objects[0];
    QCOMPARE(rmc.value("sentence").toString(), QStringLiteral("RMC"));
    QCOMPARE(rmc.value("fields").toArray().at(7 - 1).toString(), QStringLiteral("5.6"));
    const QJsonObject &gga = objects[1];
    QCOMPARE(gga.value("fields").toArray().size(), 14);
    QCOMPARE(gga.value("fields").toArray().at(9 - 1).toString(), QStringLiteral("-4")); // altitude
    const QJsonObject &mwv = objects[3];
    QCOMPARE(mwv.value("checksum").toString(), QStringLiteral("bad"));
    const QJsonObject &xdr = objects[5];
    QCOMPARE(xdr.value("checksum").toString(), QStringLiteral("missing"));
    const QJsonObject &glgsv = objects[8];
    QCOMPARE(glgsv.value("talker").toString(), QStringLiteral("GL"));
    QCOMPARE(glgsv.value("talkerListed").toBool(), false);
    QCOMPARE(glgsv.value("sentenceListed").toBool(), true);

    const QJsonObject summary = objects.last().value("summary").toObject();
    QCOMPARE(summary.value("bytes").toInt(), 904);
    QCOMPARE(summary.value("sentences").toInt(), 15);
    QCOMPARE(summary.value("tooLong").toInt(), 1);
    QCOMPARE(summary.value("garbled").toInt(), 2);
    QCOMPARE(summary.value("noiseBytes").toInt(), 16);
    QCOMPARE(summary.value("wrongSpeed").toBool(), false);
}

void tst_Listen::closedOutputEndsIt_data()
{
    QTest::addColumn<QString>("reader"); // what reads listen's output in a shell's pipe, and goes away
    QTest::addColumn<bool>("busTalks");
    QTest::newRow("| head -1") << "head -n 1" << true;
    QTest::newRow("a reader gone before anything was heard") << "true" << false;
}

void tst_Listen::closedOutputEndsIt()
{
    QFETCH(QString, reader);
    QFETCH(bool, busTalks);
    Bus bus;
    QVERIFY(bus.start());
    // The shell's pipe, not one this test holds open: the pipeline ends when listen does.
    QProcess pipeline;
    const QStringList args{
        "-c", QStringLiteral("\"$0\" listen --device \"$1\" --json | %1; exit ${PIPESTATUS[0]}").arg(reader),
        QStringLiteral(MDCONFIG_CLI), bus.pcEnd()};
    pipeline.start(QStringLiteral("bash"), args);
    if (busTalks) {
        QByteArray err;
        readUntil(pipeline, err, "listening on", 10000, QProcess::StandardError);
        bus.talk(readData(QStringLiteral("listen/mixed-bus.nmea")));
    }
    QVERIFY2(pipeline.state() == QProcess::NotRunning || pipeline.waitForFinished(10000),
             "listen went on with no one reading");
    QCOMPARE(pipeline.exitStatus(), QProcess::NormalExit);
    QCOMPARE(pipeline.exitCode(), 0); // listen's own
    const QByteArray got = pipeline.readAllStandardOutput();
    QCOMPARE(got.count('\n'), busTalks ? 1 : 0);
    QVERIFY2(!busTalks || got.startsWith("{\""), got.constData());
}

void tst_Listen::fieldsWithoutTalker_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("says");
    QTest::newRow("MWV from WI") << "MWV" << QStringList{"MWV from 1 talker: WI\n", "wind angle"};
    QTest::newRow("xdr from two talkers, each shown")
        << "xdr" << QStringList{"XDR from 2 talkers: GP, II\n", "\nGPXDR:\n", "\nIIXDR:\n"};
    QTest::newRow("a sentence nobody sends") << "RMB" << QStringList{"RMB: not heard yet\n"};
}

void tst_Listen::fieldsWithoutTalker()
{
    QFETCH(QString, name);
    QFETCH(QStringList, says);
    Bus bus;
    QVERIFY(bus.start());
    QProcess listen;
    QVERIFY(startListen(listen, {"--device", bus.pcEnd(), "--seconds", "5", "--fields", name}));
    bus.talk(readData(QStringLiteral("listen/mixed-bus.nmea")));
    QVERIFY(listen.waitForFinished(20000));
    QCOMPARE(listen.exitCode(), 0);
    const QByteArray out = listen.readAllStandardOutput();
    for (const QString &s : says)
        QVERIFY2(out.contains(s.toUtf8()), out.constData());
}

void tst_Listen::wrongSpeed()
{
    Bus bus;
    QVERIFY(bus.start());
    QProcess listen;
    QVERIFY(startListen(
        listen, {QStringLiteral("--device"), bus.pcEnd(), QStringLiteral("--seconds"), QStringLiteral("2")}));
    // A 38400-baud talker heard at 4800: an eighth as many bytes, mostly not text.
    bus.talk(receivedAtAnEighthOfTheSpeed(readData(QStringLiteral("captures/fishfinder.nmea"))));
    QVERIFY(listen.waitForFinished(20000));
    QCOMPARE(listen.exitCode(), 0);
    const QByteArray out = listen.readAllStandardOutput();
    QVERIFY2(out.contains("this looks like the wrong speed (try --baud 38400)"), out.constData());
    QVERIFY2(out.contains(": 0 sentences"), out.constData());
    QVERIFY(!out.contains("\x1b[")); // not a terminal: no screen control
}

void tst_Listen::liveTableOnATerminal()
{
    // script(1) gives listen a terminal for its output.
    Bus bus;
    QVERIFY(bus.start());
    QProcess term;
    term.start(QStringLiteral("script"), {QStringLiteral("-qfec"),
                                          QStringLiteral("exec '%1' listen --device '%2' --seconds 3")
                                              .arg(QStringLiteral(MDCONFIG_CLI), bus.pcEnd()),
                                          QStringLiteral("/dev/null")});
    QByteArray out;
    readUntil(term, out, "listening on", 10000);
    QVERIFY2(out.contains("listening on"), out.constData());
    bus.talk("$SDDBT,18.0,f,5.4,M,3.0,F*3D\r\n$GPTXT,01,01,02,ANTENNA OK*36\r\n");
    QVERIFY(term.waitForFinished(20000));
    out += term.readAllStandardOutput();
    QCOMPARE(term.exitCode(), 0);
    // Redrawn from the top of a cleared screen at least at the start and at the end.
    QVERIFY2(out.count("\x1b[H\x1b[2J") >= 2, out.constData());
    const QByteArray last = out.mid(out.lastIndexOf("\x1b[H\x1b[2J"));
    QVERIFY2(last.contains("SD     DBT            1       0       0  offered"), last.constData());
    QVERIFY2(last.contains("GP     TXT            1       0       0  sentence not in our lists"),
             last.constData());
    QVERIFY2(last.contains("fields: 1=18.0 2=f 3=5.4 4=M 5=3.0 6=F"), last.constData());
}

void tst_Listen::portGoesAway()
{
    Bus bus;
    QVERIFY(bus.start());
    QProcess listen;
    QVERIFY(startListen(listen, {QStringLiteral("--device"), bus.pcEnd()}));
    bus.talk("$SDDBT,18.0,f,5.4,M,3.0,F*3D\r\n");
    QTest::qWait(300);
    bus.stop();
    QVERIFY(listen.waitForFinished(10000));
    QCOMPARE(listen.exitCode(), 1);
    const QList<QByteArray> err = listen.readAllStandardError().trimmed().split('\n');
    QCOMPARE(err.size(), 1);
    QVERIFY2(err.first().startsWith("mdconfig-cli: the port went away while listening: "),
             err.first().constData());
    // What it had heard is still shown.
    QVERIFY(listen.readAllStandardOutput().contains("$SDDBT,18.0,f,5.4,M,3.0,F*3D"));
}

void tst_Listen::portWillNotOpen()
{
    QProcess listen;
    listen.start(QStringLiteral(MDCONFIG_CLI), {"listen", "--device", "/nonexistent/ttyUSB7"});
    QVERIFY(listen.waitForFinished(10000));
    QCOMPARE(listen.exitCode(), 1);
    const QByteArray err = listen.readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(err.startsWith("mdconfig-cli: cannot open /nonexistent/ttyUSB7"), err.constData());
}

void tst_Listen::portNumberNamesNothing()
{
    QProcess listen;
    listen.start(QStringLiteral(MDCONFIG_CLI), {"listen", "--port", "16"});
    QVERIFY(listen.waitForFinished(10000));
    QCOMPARE(listen.exitCode(), 1);
    const QByteArray err = listen.readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(err.startsWith("mdconfig-cli: COM16 names no serial device"), err.constData());
}

void tst_Listen::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("names");
    QTest::newRow("no port") << QStringList{} << "--port";
    QTest::newRow("both port and device")
        << QStringList{"--port", "1", "--device", "/dev/null"} << "--device";
    QTest::newRow("port out of range") << QStringList{"--port", "17"} << "1 to 16";
    QTest::newRow("speed not offered") << QStringList{"--device", "x", "--baud", "9600"} << "4800, 38400";
    QTest::newRow("zero seconds") << QStringList{"--device", "x", "--seconds", "0"} << "--seconds";
    QTest::newRow("seconds not a number") << QStringList{"--device", "x", "--seconds", "ten"} << "--seconds";
    QTest::newRow("unknown option") << QStringList{"--device", "x", "--loud"}
                                    << "Unknown option 'loud'; valid options: --port, --device, --baud";
    QTest::newRow("option without its value") << QStringList{"--device"} << "device";
    QTest::newRow("stray argument") << QStringList{"--device", "x", "now"} << "now";
    QTest::newRow("an option given twice")
        << QStringList{"--device", "x", "--baud", "4800", "--baud", "38400"} << "--baud is given 2 times";
    QTest::newRow("a switch given twice")
        << QStringList{"--device", "x", "--json", "--json"} << "--json is given 2 times";
    QTest::newRow("empty device") << QStringList{"--device", ""}
                                  << "--device has an empty value; valid values: a device path";
}

void tst_Listen::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, names);
    QProcess listen;
    listen.start(QStringLiteral(MDCONFIG_CLI), QStringList{QStringLiteral("listen")} + args);
    QVERIFY(listen.waitForFinished(10000));
    QCOMPARE(listen.exitCode(), 2);
    const QString err = QString::fromUtf8(listen.readAllStandardError());
    QCOMPARE(err.count(QLatin1Char('\n')), 1);
    QVERIFY2(err.startsWith(QLatin1String("mdconfig-cli: ")) && err.contains(names), qPrintable(err));
}

void tst_Listen::help()
{
    QProcess listen;
    listen.start(QStringLiteral(MDCONFIG_CLI), {"listen", "--help"});
    QVERIFY(listen.waitForFinished(10000));
    QCOMPARE(listen.exitCode(), 0);
    const QByteArray out = listen.readAllStandardOutput();
    QVERIFY(out.startsWith("Usage: mdconfig-cli listen (--port N | --device PATH)"));
    QVERIFY(out.contains("Commas"));
}

QTEST_GUILESS_MAIN(tst_Listen)
#include "tst_listen.moc"
