// mdconfig-cli simulate as a user runs it: a real paced send from mdconfig-cli send into its pseudo-terminal
// comes out as the location it configures and a plan file written before Ctrl-C, an unpaced burst is
// rejected in JSON, a vanishing device and bad arguments end it with the right status and one line.
#include "plan/plan.h"
#include "support/files.h"
#include "support/output.h"
#include "support/sends.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

const QString Cli = QStringLiteral(MDCONFIG_CLI);

// "simulated display on /dev/pts/7: ..." gives the path.
QString ptyPath(const QByteArray &text)
{
    const QByteArray marker = "simulated display on ";
    const qsizetype from = text.indexOf(marker);
    if (from < 0)
        return {};
    const qsizetype start = from + marker.size();
    return QString::fromLocal8Bit(text.mid(start, text.indexOf(':', start) - start));
}

// The one child of a process (script runs the command as its child).
pid_t childOf(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return pid_t(f.readAll().trimmed().split(' ').value(0).toLongLong());
}

// Two linked pseudo-terminals from socat: the test writes to one end, simulate opens the other.
class Line {
public:
    bool start()
    {
        m_socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=%1").arg(senderEnd()),
                                                QStringLiteral("pty,raw,echo=0,link=%1").arg(displayEnd())});
        if (!m_socat.waitForStarted(5000))
            return false;
        for (int i = 0; i < 250 && !(QFile::exists(senderEnd()) && QFile::exists(displayEnd())); ++i)
            QTest::qWait(20);
        return QFile::exists(displayEnd());
    }
    ~Line() { stop(); }
    void stop()
    {
        if (m_socat.state() != QProcess::NotRunning) {
            m_socat.kill();
            m_socat.waitForFinished(3000);
        }
    }
    QString senderEnd() const { return m_dir.filePath(QStringLiteral("sender")); }
    QString displayEnd() const { return m_dir.filePath(QStringLiteral("display")); }

private:
    QTemporaryDir m_dir;
    QProcess m_socat;
};

QList<QJsonObject> jsonLines(const QByteArray &out)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty())
            objects << QJsonDocument::fromJson(line).object();
    }
    return objects;
}

} // namespace

class tst_Simulate : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void realSendOnATerminal();
    void planOutNoteFollowsWhatIsShown_data();
    void planOutNoteFollowsWhatIsShown();
    void unpacedBurstRejectedAsJson_data();
    void unpacedBurstRejectedAsJson();
    void floodRejectedOnceInBoundedMemory_data();
    void floodRejectedOnceInBoundedMemory();
    void closedOutputEndsIt();
    void deviceGoesAway();
    void deviceWillNotOpen();
    void planPathRefusedFirst_data();
    void planPathRefusedFirst();
    void badArguments_data();
    void badArguments();
    void help();
};

void tst_Simulate::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        QFAIL("socat is needed: apt-get install socat");
}

void tst_Simulate::realSendOnATerminal()
{
    // script(1) gives simulate a terminal, where the table is reprinted after each send taken.
    QTemporaryDir dir;
    const QString planPath = dir.filePath(QStringLiteral("received.toml"));
    QProcess term;
    term.start(QStringLiteral("script"),
               {QStringLiteral("-qfec"),
                QStringLiteral("exec '%1' simulate --pty --plan-out '%2' --seconds 120").arg(Cli, planPath),
                QStringLiteral("/dev/null")});
    QByteArray out;
    readUntil(term, out, "give this path", 10000);
    const QString path = ptyPath(out);
    QVERIFY2(path.startsWith(QLatin1String("/dev/")), out.constData());

    QProcess send;
    send.start(Cli, {"send", "standard", "--talker", "GP", "--sentence", "RMC", "--field", "5", "--memory",
                     "3", "--product", "2", "--icon", "KT", "--device", path});
    QVERIFY(send.waitForFinished(60000));
    QCOMPARE(send.exitCode(), 0);
    readUntil(term, out, "location 3: GP RMC field 5, icon KT", 15000);
    QVERIFY2(out.contains("location 3: GP RMC field 5, icon KT"), out.constData());
    // Whether a pacing warning shows depends on how promptly a busy machine lets simulate read; that a real
    // send keeps the pacing is asserted where every byte's arrival is known (the receiving side's tests).

    // Written after the send was taken, before anything ends the simulation.
    const plan::ReadResult written = plan::readPlan(planPath);
    QVERIFY2(written.faults.isEmpty(), qPrintable(written.faults.value(0).text()));
    QCOMPARE(written.plan.product, 2);
    QCOMPARE(written.plan.locations.size(), 1);
    QCOMPARE(frame::shows(written.plan.locations[0], vocabulary::product(2)),
             QStringLiteral("GP RMC field 5, icon KT"));
    QCOMPARE(written.plan.locations[0].location, 3);

    const pid_t simulate = childOf(term.processId());
    QVERIFY(simulate > 0);
    ::kill(simulate, SIGINT);
    QVERIFY(term.waitForFinished(10000));
    out += term.readAllStandardOutput();
    QCOMPARE(term.exitCode(), 0);
    // The table after the send and again as the summary.
    QVERIFY2(out.count("loc  shows") >= 2, out.constData());
    const QByteArray summary = out.mid(out.lastIndexOf("loc  shows"));
    QVERIFY2(summary.contains("  3  GP RMC field 5, icon KT"), summary.constData());
    QVERIFY2(summary.contains("1 send(s) taken, 0 rejected"), summary.constData());
}

void tst_Simulate::planOutNoteFollowsWhatIsShown_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("note");
    QTest::newRow("the same field again: the note stays") << "5"
                                                          << "helm speed";
    QTest::newRow("another field: the note goes") << "7"
                                                  << "";
}

void tst_Simulate::planOutNoteFollowsWhatIsShown()
{
    QFETCH(QString, field);
    QFETCH(QString, note);
    QTemporaryDir dir;
    const QString planPath = dir.filePath(QStringLiteral("received.toml"));
    QVERIFY(writeAll(planPath, "product = 0\n[location.3]\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = 5\n"
                               "note = \"helm speed\"\n"));
    QProcess simulate;
    simulate.start(Cli, {"simulate", "--pty", "--plan-out", planPath, "--seconds", "120"});
    QByteArray err;
    readUntil(simulate, err, "give this path", 10000, QProcess::StandardError);
    const QString path = ptyPath(err);
    QVERIFY2(path.startsWith(QLatin1String("/dev/")), err.constData());
    QProcess send;
    send.start(Cli, {"send", "standard", "--talker", "GP", "--sentence", "RMC", "--field", field, "--memory",
                     "3", "--product", "0", "--device", path});
    QVERIFY(send.waitForFinished(60000));
    QCOMPARE(send.exitCode(), 0);
    const auto written = [&] {
        const plan::ReadResult r = plan::readPlan(planPath);
        return r.faults.isEmpty() && r.plan.locations.size() == 1 &&
                       r.plan.locations[0].standard()->field == field.toInt()
                   ? r.plan.locations[0]
                   : plan::Location{};
    };
    QTRY_VERIFY_WITH_TIMEOUT(written().location == 3, 15000);
    QCOMPARE(written().note, note);
    simulate.terminate();
    QVERIFY(simulate.waitForFinished(10000));
}

void tst_Simulate::unpacedBurstRejectedAsJson_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("Ctrl-C") << int(SIGINT);
    QTest::newRow("a closed terminal") << int(SIGHUP);
}

void tst_Simulate::unpacedBurstRejectedAsJson()
{
    QFETCH(int, signal);
    QProcess simulate;
    simulate.start(Cli, {"simulate", "--pty", "--json"});
    QByteArray err;
    readLine(simulate, err, 10000, QProcess::StandardError);
    const QString path = ptyPath(err);
    QVERIFY2(path.startsWith(QLatin1String("/dev/")), err.constData());

    // A sender that ignores the pacing: the ten frames of the worked example in one write.
    QFile far(path);
    QVERIFY(far.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray burst = tenTimesHex("24324750524D4305357B", "24324750524D4305355B");
    QCOMPARE(far.write(burst), burst.size());
    QByteArray out;
    readUntil(simulate, out, "\"rejected\":true", 15000);
    ::kill(pid_t(simulate.processId()), signal);
    QVERIFY(simulate.waitForFinished(10000));
    out += simulate.readAllStandardOutput();
    QCOMPARE(simulate.exitCode(), 1);

    const QList<QJsonObject> objects = jsonLines(out);
    QCOMPARE(objects.size(), 2); // the rejected send and the summary
    const QJsonObject &rejected = objects[0];
    QCOMPARE(rejected.value("accepted").toBool(true), false);
    QCOMPARE(rejected.value("rejected").toBool(), true);
    QCOMPARE(rejected.value("repetitions").toInt(), 10);
    const QString problems = rejected.value("problems").toVariant().toStringList().join('\n');
    QVERIFY2(problems.contains("closer than the display's 50 ms"), qPrintable(problems));
    QVERIFY2(problems.contains("came without its 100 ms pause"), qPrintable(problems));
    const QJsonObject summary = objects[1].value("summary").toObject();
    QCOMPARE(summary.value("rejected").toInt(), 1);
    QCOMPARE(summary.value("accepted").toInt(), 0);
}

void tst_Simulate::floodRejectedOnceInBoundedMemory_data()
{
    QTest::addColumn<QByteArray>("stream");
    QFile capture(QStringLiteral(TEST_DATA_DIR "/captures/chartplotter-bus.nmea"));
    QVERIFY(capture.open(QIODevice::ReadOnly));
    QByteArray noise(1 << 20, '\0');
    QRandomGenerator(17).fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
    QTest::newRow("1 MB of noise") << noise;
    QTest::newRow("a minute of a chartplotter's bus at 4800 baud") << capture.read(60 * 480);
}

// A bus on the display's line costs neither memory nor screen: one rejection, then the summary.
void tst_Simulate::floodRejectedOnceInBoundedMemory()
{
    QFETCH(QByteArray, stream);
    QProcess simulate;
    // Address space for the program and its libraries, far below what keeping every byte took.
    simulate.setChildProcessModifier([] {
        const rlimit limit{256 << 20, 256 << 20};
        ::setrlimit(RLIMIT_AS, &limit);
    });
    simulate.start(Cli, {"simulate", "--pty", "--json", "--seconds", "120"});
    QByteArray err;
    readLine(simulate, err, 10000, QProcess::StandardError);
    const QString path = ptyPath(err);
    QVERIFY2(path.startsWith(QLatin1String("/dev/")), err.constData());

    QFile far(path);
    QVERIFY(far.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    QByteArray out;
    for (qsizetype at = 0; at < stream.size() && simulate.state() == QProcess::Running; at += 4096) {
        far.write(stream.mid(at, 4096));
        simulate.waitForReadyRead(0);
        out += simulate.readAllStandardOutput();
        QVERIFY2(out.size() < 100000, "simulate printed a line for every byte");
    }
    far.close();
    // The second of silence ends the flood and brings its one report.
    readUntil(simulate, out, "\"rejected\":true", 30000);
    QVERIFY2(simulate.state() == QProcess::Running, "simulate died: out of memory?");
    ::kill(pid_t(simulate.processId()), SIGINT);
    QVERIFY(simulate.waitForFinished(30000));
    out += simulate.readAllStandardOutput();
    err += simulate.readAllStandardError();
    QCOMPARE(simulate.exitStatus(), QProcess::NormalExit);
    QCOMPARE(simulate.exitCode(), 1);
    QCOMPARE(err.count('\n'), 1); // the line that gave the path, nothing more

    const QList<QJsonObject> objects = jsonLines(out);
    QCOMPARE(objects.size(), 2); // the one rejection and the summary
    const QString reason = objects[0].value("reason").toString();
    QVERIFY2(reason.startsWith("this is not a display's configuration: ") &&
                 reason.endsWith("is this a bus rather than a sender?"),
             qPrintable(reason));
    QVERIFY2(reason.contains(QStringLiteral("%1 bytes").arg(stream.size())), qPrintable(reason));
    const QJsonObject summary = objects[1].value("summary").toObject();
    QCOMPARE(summary.value("sends").toInt(), 1);
    QCOMPARE(summary.value("rejected").toInt(), 1);
}

// No one reads the output any more ("| head" has had its line): simulate ends at once, by its own status.
void tst_Simulate::closedOutputEndsIt()
{
    QProcess simulate, reader;
    simulate.setStandardOutputProcess(&reader);
    reader.start(QStringLiteral("true"));
    QVERIFY(reader.waitForFinished(10000));
    simulate.start(Cli, {"simulate", "--pty", "--json"});
    QVERIFY2(simulate.waitForFinished(10000), "simulate went on with no one reading");
    QCOMPARE(simulate.exitStatus(), QProcess::NormalExit);
    QCOMPARE(simulate.exitCode(), 0); // nothing heard, nothing rejected
}

void tst_Simulate::deviceGoesAway()
{
    Line line;
    QVERIFY(line.start());
    QProcess simulate;
    simulate.start(Cli, {"simulate", "--device", line.displayEnd()});
    QByteArray err;
    readLine(simulate, err, 10000, QProcess::StandardError);
    QVERIFY2(err.startsWith("simulated display on "), err.constData());
    line.stop();
    QVERIFY(simulate.waitForFinished(10000));
    QCOMPARE(simulate.exitCode(), 1);
    const QList<QByteArray> lines = simulate.readAllStandardError().trimmed().split('\n');
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].startsWith("mdconfig-cli: the device went away while simulating: "),
             lines[0].constData());
    QVERIFY(simulate.readAllStandardOutput().contains("0 send(s) taken")); // the summary still comes
}

void tst_Simulate::deviceWillNotOpen()
{
    QProcess simulate;
    simulate.start(Cli, {"simulate", "--device", "/nonexistent/ttyUSB7"});
    QVERIFY(simulate.waitForFinished(10000));
    QCOMPARE(simulate.exitCode(), 1);
    const QByteArray err = simulate.readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(err.startsWith("mdconfig-cli: cannot open /nonexistent/ttyUSB7"), err.constData());
}

void tst_Simulate::planPathRefusedFirst_data()
{
    QTest::addColumn<QByteArray>("content"); // what the plan path holds; "folder" for a folder
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("says");
    QTest::newRow("a folder") << QByteArray("folder") << QStringList{} << "is a folder, not a regular file";
    QTest::newRow("a file that is no plan")
        << QByteArray("# Notes\nSee the manual.\nfield 5\n") << QStringList{} << "is not a clean plan";
    QTest::newRow("a plan for another product")
        << QByteArray("product = 2\n[location.1]\ninstrument = 1\n") << QStringList{"--product", "0"}
        << "is a plan for product 2 (MD90  Ver 1.3 +), not 0 (MD20/MD40)";
}

void tst_Simulate::planPathRefusedFirst()
{
    // Refused before the device is even opened, and left as it was.
    QFETCH(QByteArray, content);
    QFETCH(QStringList, options);
    QFETCH(QString, says);
    QTemporaryDir dir;
    QString path = dir.path();
    if (content != "folder") {
        path = dir.filePath(QStringLiteral("plan.mdplan.toml"));
        QVERIFY(writeAll(path, content));
    }
    QProcess simulate;
    simulate.start(Cli,
                   QStringList{"simulate", "--device", "/nonexistent/ttyUSB7", "--plan-out", path} + options);
    QVERIFY(simulate.waitForFinished(10000));
    QCOMPARE(simulate.exitCode(), 1);
    const QByteArray err = simulate.readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(err.contains(says.toUtf8()), err.constData());
    if (content != "folder")
        QCOMPARE(readAll(path), content);
}

void tst_Simulate::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("names");
    QTest::newRow("neither device nor pty") << QStringList{} << "--device or --pty is missing";
    QTest::newRow("both device and pty") << QStringList{"--device", "x", "--pty"} << "give one";
    QTest::newRow("empty device") << QStringList{"--device", ""} << "--device has an empty value";
    QTest::newRow("device given twice")
        << QStringList{"--device", "a", "--device", "b"} << "--device is given 2";
    QTest::newRow("zero seconds") << QStringList{"--pty", "--seconds", "0"} << "--seconds";
    QTest::newRow("seconds not a number") << QStringList{"--pty", "--seconds", "ten"} << "1 to";
    QTest::newRow("product out of range") << QStringList{"--pty", "--product", "3"} << "2 (MD90  Ver 1.3 +)";
    QTest::newRow("empty plan path") << QStringList{"--pty", "--plan-out", " "} << "--plan-out has an empty";
    QTest::newRow("unknown option") << QStringList{"--pty", "--loud"} << "--plan-out";
    QTest::newRow("stray argument") << QStringList{"--pty", "now"} << "now";
}

void tst_Simulate::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, names);
    QProcess simulate;
    simulate.start(Cli, QStringList{QStringLiteral("simulate")} + args);
    QVERIFY(simulate.waitForFinished(10000));
    QCOMPARE(simulate.exitCode(), 2);
    const QString err = QString::fromUtf8(simulate.readAllStandardError());
    QCOMPARE(err.count(QLatin1Char('\n')), 1);
    QVERIFY2(err.startsWith(QLatin1String("mdconfig-cli: ")) && err.contains(names), qPrintable(err));
    QVERIFY(simulate.readAllStandardOutput().isEmpty());
}

void tst_Simulate::help()
{
    QProcess simulate;
    simulate.start(Cli, {"simulate", "--help"});
    QVERIFY(simulate.waitForFinished(10000));
    QCOMPARE(simulate.exitCode(), 0);
    const QByteArray out = simulate.readAllStandardOutput();
    QVERIFY(out.startsWith("Usage: mdconfig-cli simulate (--device PATH | --pty)"));
    QVERIFY(out.contains("When a send is taken"));
    for (const QByteArray &line : out.split('\n'))
        QVERIFY2(line.size() < 110, line.constData());
}

QTEST_GUILESS_MAIN(tst_Simulate)
#include "tst_simulate.moc"
