// The command line run in-process, as an installer or a script would call it; the programs themselves only
// for what needs a process of their own (--version, no display).
#include "app/version.h"
#include "cli/cli.h"
#include "support/goldenframes.h"
#include "support/ptypair.h"

#include "serial/qtserialport.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

struct Result {
    int exitCode;
    QByteArray out;
    QByteArray err;
};

Result run(const QStringList &args)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    cli::Io io{outStream, errStream, false};
    const int code = cli::run(args, io);
    outStream.flush();
    errStream.flush();
    return {code, out.toUtf8(), err.toUtf8()};
}

Result runProgram(const QString &program, const QStringList &args,
                  QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

const QStringList Rpm{"send", "proprietary", "--instrument", "11", "--memory", "2", "--product", "0"};

QByteArray rpmFrames()
{
    QByteArray expected = QByteArray::fromHex("243150564C4D29047258");
    for (int i = 0; i < 9; ++i)
        expected += QByteArray::fromHex("243150564C4D29047244");
    return expected;
}

QByteArray tenLines(const QByteArray &first, const QByteArray &repeat)
{
    QByteArray all = first + '\n';
    for (int i = 0; i < 9; ++i)
        all += repeat + '\n';
    return all;
}

} // namespace

class tst_Cli : public QObject {
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void framesOfGoldenFrames_data();
    void framesOfGoldenFrames();
    void badArguments_data();
    void badArguments();
    void help_data();
    void help();
    void version_data();
    void version();
    void sendThroughAPseudoTerminal();
    void sendReportsAsJson();
    void planCheckAndExportAsJson();
    void sendFailures_data();
    void sendFailures();
    void guiWithoutADisplay();
    void twoSendsToOneDevice();
    void deviceHeldElsewhere_data();
    void deviceHeldElsewhere();
    void closedOutputStillSendsEveryByte();
    void signalStopsAfterTheCurrentByte_data();
    void signalStopsAfterTheCurrentByte();
    void namesFromOutsideAreShownSafely();
    void deviceGoneMidSendSaysHowFarItGot();
    void pageIsWrittenWhole();
    void pageIsNotWrittenThroughALink();
};

void tst_Cli::frames_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("note"); // what stderr tells about an option that is not sent
    QTest::newRow("GP RMC field 5 at location 3")
        << QStringList{"frames",  "standard", "--talker", "GP", "--sentence", "RMC",
                       "--field", "5",        "--memory", "3",  "--product",  "0"}
        << tenLines("24 32 47 50 52 4D 43 05 35 7B", "24 32 47 50 52 4D 43 05 35 5B") << QByteArray();
    QTest::newRow("XDR C with KT on an MD90 1.3")
        << QStringList{"frames", "standard", "--talker", "II", "--sentence", "XDR", "--field", "3",
                       "--type", "C",        "--memory", "1",  "--product",  "2",   "--icon",  "KT"}
        << tenLines("24 30 49 49 58 44 52 43 33 04 3A", "24 30 49 49 58 44 52 43 33 04 22") << QByteArray();
    QTest::newRow("XDR type by its whole entry, lower case")
        << QStringList{"frames",   "standard", "--talker",  "ii",     "--sentence",
                       "xdr",      "--field",  "3",         "--type", "c - temperature, degrees c",
                       "--memory", "1",        "--product", "0"}
        << tenLines("24 30 49 49 58 44 52 43 33 3E", "24 30 49 49 58 44 52 43 33 26") << QByteArray();
    QTest::newRow("GGA chosen as shown, sent as CGA; an icon product 1 cannot show")
        << QStringList{"frames", "standard", "--talker", "GP",        "--sentence", "gga",    "--field",
                       "1",      "--memory", "1",        "--product", "1",          "--icon", "VOLTS"}
        << tenLines("24 30 47 50 43 47 41 01 31 62", "24 30 47 50 43 47 41 01 31 7A")
        << QByteArray("--icon is not sent: product 1");
    QTest::newRow("a transducer type given for RMC is not sent")
        << QStringList{"frames", "standard", "--talker", "GP",       "--sentence", "RMC",       "--field",
                       "5",      "--type",   "C",        "--memory", "3",          "--product", "0"}
        << tenLines("24 32 47 50 52 4D 43 05 35 7B", "24 32 47 50 52 4D 43 05 35 5B")
        << QByteArray("--type is not sent: it applies to XDR sentences only");
    QTest::newRow("engine RPM by name")
        << QStringList{"frames",   "proprietary", "--instrument", "NX20/40 ENGINE RPM",
                       "--memory", "2",           "--product",    "0"}
        << tenLines("24 31 50 56 4C 4D 29 04 72 58", "24 31 50 56 4C 4D 29 04 72 44") << QByteArray();
    QTest::newRow("engine RPM by number, options with =")
        << QStringList{"frames", "proprietary", "--instrument=11", "--memory=2", "--product=0"}
        << tenLines("24 31 50 56 4C 4D 29 04 72 58", "24 31 50 56 4C 4D 29 04 72 44") << QByteArray();
}

void tst_Cli::frames()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, note);
    const Result r = run(args);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, out);
    if (note.isEmpty())
        QVERIFY2(r.err.isEmpty(), r.err.constData());
    else
        QVERIFY2(r.err.contains(note) && r.err.count('\n') == 1, r.err.constData());
}

void tst_Cli::framesOfGoldenFrames_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < int(GoldenFrames.size()); ++i)
        QTest::newRow(GoldenFrames[std::size_t(i)].name) << i;
}

// Each golden frame as the command line gives it, as lines and as JSON with the keys plan frames gives.
void tst_Cli::framesOfGoldenFrames()
{
    QFETCH(int, row);
    const GoldenFrame &g = GoldenFrames[std::size_t(row)];
    QStringList args{"frames"};
    if (g.instrument)
        args << "proprietary"
             << "--instrument" << g.instrument;
    else
        args << "standard"
             << "--talker" << g.talker << "--sentence" << g.sentence << "--field" << QString::number(g.field);
    if (g.type)
        args << "--type" << g.type;
    args << "--memory" << QString::number(g.location) << "--product" << QString::number(g.product) << "--icon"
         << g.icon;
    const auto spaced = [](const QByteArray &bytes) { return bytes.toHex(' ').toUpper(); };
    const Result text = run(args);
    QCOMPARE(text.exitCode, 0);
    QCOMPARE(text.out, tenLines(spaced(g.first()), spaced(g.repeat())));

    const Result json = run(args + QStringList{"--json"});
    QCOMPARE(json.exitCode, 0);
    QCOMPARE(json.out.count('\n'), 1);
    const QJsonObject o = QJsonDocument::fromJson(json.out).object();
    QCOMPARE(o.value("location").toInt(), g.location);
    QCOMPARE(o.value("product").toInt(), g.product);
    QCOMPARE(o.value("shows").toString(), QString::fromLatin1(g.shows));
    QCOMPARE(o.value("kind").toString(), QString::fromLatin1(g.instrument ? "proprietary"
                                                             : g.type     ? "xdr"
                                                                          : "standard"));
    const QJsonArray frames = o.value("frames").toArray();
    QCOMPARE(frames.size(), 10);
    QCOMPARE(frames.first().toString().toLatin1(), spaced(g.first()));
    for (int i = 1; i < 10; ++i)
        QCOMPARE(frames.at(i).toString().toLatin1(), spaced(g.repeat()));
}

void tst_Cli::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("names");
    const QStringList good{"frames",  "standard", "--talker", "GP", "--sentence", "RMC",
                           "--field", "5",        "--memory", "3",  "--product",  "0"};
    auto replaced = [&](const QString &option, const QString &value) {
        QStringList a = good;
        a[a.indexOf(option) + 1] = value;
        return a;
    };
    QTest::newRow("unknown talker: the nearest, not all 49")
        << replaced("--talker", "XX") << "--talker: unknown value \"XX\"; did you mean CX or YX?";
    QTest::newRow("unknown sentence near none")
        << replaced("--sentence", "QQQQQ")
        << "--sentence: unknown value \"QQQQQ\"; valid values: one of the 120 sentence identifiers of the "
           "window's list, AAM to ZZU";
    QTest::newRow("unknown sentence") << replaced("--sentence", "RMCX") << "--sentence";
    QTest::newRow("field 26") << replaced("--field", "26")
                              << "--field: unknown value \"26\"; valid values: 1 to 25";
    QTest::newRow("memory 0") << replaced("--memory", "0") << "valid values: 1 to 10";
    QTest::newRow("product 3") << replaced("--product", "3") << "--product";
    QTest::newRow("missing product") << good.mid(0, 10) << "--product is missing";
    QTest::newRow("value missing at the end") << QStringList{"frames", "standard", "--talker"} << "--talker";
    QTest::newRow("unknown option") << good + QStringList{"--colour", "red"} << "colour";
    QTest::newRow("an option given twice")
        << good + QStringList{"--memory", "4"}
        << "--memory is given 2 times (3, 4); give it once; valid values: 1 to 10";
    QTest::newRow("the same value twice is still twice") << good + QStringList{"--memory=3"} << "--memory";
    QTest::newRow("empty device") << QStringList{"send"} + good.mid(1) + QStringList{"--device", ""}
                                  << "--device has an empty value; valid values: a device path";
    QTest::newRow("blank talker") << replaced("--talker", "  ")
                                  << "--talker has an empty value; valid values: AG";
    QTest::newRow("port and device both")
        << QStringList{"send"} + good.mid(1) + QStringList{"--port", "1", "--device", "/dev/null"}
        << "--port and --device";
    QTest::newRow("instrument with a standard sentence")
        << good + QStringList{"--instrument", "1"} << "--instrument does not apply";
    QTest::newRow("ports takes no argument") << QStringList{"ports", "all"} << "unexpected argument";
    QTest::newRow("unknown option before the command") << QStringList{"--frob"} << "valid commands";
    QTest::newRow("unknown icon") << good + QStringList{"--icon", "WATTS"} << "--icon";
    QTest::newRow("unknown type") << good + QStringList{"--type", "Z"} << "--type";
    QTest::newRow("instrument 13") << QStringList{"frames",   "proprietary", "--instrument", "13",
                                                  "--memory", "1",           "--product",    "0"}
                                   << "--instrument: unknown value \"13\"; valid values: 1 to 12";
    QTest::newRow("no kind of sentence") << QStringList{"frames"} << "standard, proprietary";
    QTest::newRow("no command") << QStringList{} << "valid commands";
    QTest::newRow("unknown command") << QStringList{"flash"} << "unknown command";
    QTest::newRow("send without a port") << QStringList{"send"} + good.mid(1) << "--port";
    QTest::newRow("port 17") << QStringList{"send"} + good.mid(1) + QStringList{"--port", "17"} << "--port";
    // The verbs that read plans, frames and the bus meet bad arguments the same way.
    QTest::newRow("plan send: empty device") << QStringList{"plan", "send", "x.toml", "--device", ""}
                                             << "--device has an empty value; valid values: a device path";
    QTest::newRow("plan export: an option given twice")
        << QStringList{"plan", "export", "x.toml"} + good.mid(1) + QStringList{"--memory", "4"}
        << "--memory is given 2 times (3, 4); give it once; valid values: 1 to 10";
    QTest::newRow("listen: empty device") << QStringList{"listen", "--device", " "}
                                          << "--device has an empty value; valid values: a device path";
    QTest::newRow("listen: an option given twice")
        << QStringList{"listen", "--port", "1", "--port", "2"} << "--port is given 2 times (1, 2)";
    QTest::newRow("listen: unknown option") << QStringList{"listen", "--port", "1", "--loud"}
                                            << "Unknown option 'loud'; valid options: --port, --device";
    QTest::newRow("decode: unknown option")
        << QStringList{"decode", "--loud", "24"} << "Unknown option 'loud'; valid options: --json, --help";
    QTest::newRow("page without a file") << QStringList{"page"} << "--output is missing";
    QTest::newRow("page with a positional argument")
        << QStringList{"page", "--output", "x.html", "y.html"} << "unexpected argument";
    QTest::newRow("page: an option given twice")
        << QStringList{"page", "--output", "a.html", "--output", "b.html"} << "--output is given 2 times";
    QTest::newRow("binary junk") << QStringList{"frames", "standard", QString::fromLatin1("\x01\xff--")}
                                 << "unexpected argument";
    // What is echoed is escaped, whichever option or argument brought it.
    QTest::newRow("an escape in a talker")
        << replaced("--talker", "\x1b[2JGP") << "--talker: unknown value \"\\e[2JGP\"; did you mean GP?";
    QTest::newRow("a line separator in a sentence") << replaced("--sentence", QString::fromUtf8("RM\u2028C"))
                                                    << "--sentence: unknown value \"RM\\u2028C\"";
    QTest::newRow("an escape as the kind of sentence")
        << QStringList{"frames", "\x1b[2J"} << "the kind of sentence is missing or unknown (\"\\e[2J\")";
    QTest::newRow("serve: an escape in the address")
        << QStringList{"serve", "--listen", "\x1b[2J", "--device", "/dev/null"} << "--listen: \"\\e[2J\"";
    QTest::newRow("serve: an escape in a host name")
        << QStringList{"serve", "--print-url", "--allow-host", "x\x1b[2J"}
        << "--allow-host: \"x\\e[2J\" is no host name";
    QTest::newRow("serve: --print-url with --new-token")
        << QStringList{"serve", "--print-url", "--new-token"}
        << "--new-token does not apply with --print-url, which prints the address of the token in use and "
           "ends; valid options: --listen, --no-qr with --print-url";
}

void tst_Cli::badArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, names);
    const Result r = run(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY2(r.err.contains(names.toUtf8()), r.err.constData());
    QVERIFY2(!r.err.contains('\x1b') && !r.err.contains("\xe2\x80\xa8"), r.err.constData());
}

void tst_Cli::help_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("--help") << QStringList{"--help"};
    QTest::newRow("help") << QStringList{"help"};
}

void tst_Cli::help()
{
    QFETCH(QStringList, args);
    const Result r = run(args);
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("mdconfig-cli frames standard"));
    QVERIFY(r.out.contains("mdconfig-cli send"));
    QVERIFY(r.out.contains("mdconfig-cli ports"));
    QVERIFY(r.out.contains("--version"));
    QVERIFY(r.err.isEmpty());
}

void tst_Cli::version_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("mdconfig-cli") << QStringLiteral(MDCONFIG_CLI)
                                  << QByteArray("mdconfig-cli " MDCONFIG_VERSION "\n");
    // The window program answers without a display.
    QTest::newRow("mdconfig") << QStringLiteral(MDCONFIG_GUI)
                              << QByteArray("mdconfig " MDCONFIG_VERSION "\n");
}

void tst_Cli::version()
{
    QFETCH(QString, program);
    QFETCH(QByteArray, says);
    const Result r = runProgram(program, {"--version"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, says);
    QVERIFY(r.err.isEmpty());
    QCOMPARE(run({"--version"}).out, QByteArray("mdconfig-cli " MDCONFIG_VERSION "\n"));
    const Result help = runProgram(QStringLiteral(MDCONFIG_GUI), {"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("--version"));
}

void tst_Cli::sendThroughAPseudoTerminal()
{
    if (!PtyPair::available())
        QFAIL("socat is needed: apt-get install socat");
    PtyPair pty;
    QVERIFY(pty.start());
    qputenv("MDCONFIG_COM7", QFile::encodeName(pty.sendEnd()));
    const Result r =
        run({"send", "proprietary", "--instrument", "11", "--memory", "2", "--product", "0", "--port", "7"});
    qunsetenv("MDCONFIG_COM7");
    QCOMPARE(r.exitCode, 0);
    QVERIFY(pty.waitFor(100, 2000));
    QCOMPARE(pty.received(), rpmFrames());
    // Not a terminal: plain progress lines, then what was sent where.
    QCOMPARE(r.out.count("repetition"), 10);
    QVERIFY(r.out.contains("sent 100 bytes to " + QFile::encodeName(pty.sendEnd())));
}

void tst_Cli::sendReportsAsJson()
{
    if (!PtyPair::available())
        QFAIL("socat is needed: apt-get install socat");
    PtyPair pty;
    QVERIFY(pty.start());
    const Result r = run({"send", "proprietary", "--instrument", "11", "--memory", "2", "--product", "0",
                          "--device", pty.sendEnd(), "--json"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(pty.waitFor(100, 2000));
    QCOMPARE(pty.received(), rpmFrames());
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 11);
    for (int i = 0; i < 10; ++i) {
        const QJsonObject o = QJsonDocument::fromJson(lines[i]).object();
        QCOMPARE(o.value("repetition").toInt(), i + 1);
        QCOMPARE(o.value("of").toInt(), 10);
    }
    const QJsonObject done = QJsonDocument::fromJson(lines.last()).object();
    QCOMPARE(done.value("sent").toBool(), true);
    QCOMPARE(done.value("bytes").toInt(), 100);
    QCOMPARE(done.value("repetitions").toInt(), 10);
    QCOMPARE(done.value("device").toString(), pty.sendEnd());
}

void tst_Cli::planCheckAndExportAsJson()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("helm.toml");
    const Result added = run({"plan", "export", path, "proprietary", "--instrument", "11", "--memory", "2",
                              "--product", "0", "--json"});
    QCOMPARE(added.exitCode, 0);
    const QJsonObject a = QJsonDocument::fromJson(added.out).object();
    QCOMPARE(a.value("added").toBool(), true);
    QCOMPARE(a.value("location").toInt(), 2);
    QCOMPARE(a.value("instrument").toString(), QString("NX20/40 ENGINE RPM"));
    QCOMPARE(a.value("file").toString(), path);

    const Result clean = run({"plan", "check", "--json", path});
    QCOMPARE(clean.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(clean.out).object(), QJsonObject({{"file", path},
                                                                       {"clean", true},
                                                                       {"product", 0},
                                                                       {"locations", QJsonArray{2}},
                                                                       {"warnings", QJsonArray{}}}));

    QFile broken(dir.filePath("broken.toml"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("product = 7\n[location.11]\ntalker = \"GP\"\n");
    broken.close();
    const Result faulty = run({"plan", "check", "--json", broken.fileName()});
    QCOMPARE(faulty.exitCode, 2);
    const QJsonObject f = QJsonDocument::fromJson(faulty.out).object();
    QCOMPARE(f.value("clean").toBool(), false);
    QCOMPARE(f.value("faults").toInt(), faulty.err.count(broken.fileName().toUtf8() + ':'));
    QVERIFY(f.value("faults").toInt() >= 2);
}

void tst_Cli::sendFailures_data()
{
    QTest::addColumn<QStringList>("target");
    QTest::addColumn<QString>("says");
    QTest::newRow("no such device") << QStringList{"--device", "/dev/mdconfig-no-such-device"}
                                    << "no such device";
    QTest::newRow("a number that names nothing")
        << QStringList{"--port", "16"} << "COM16 names no serial device";
}

void tst_Cli::sendFailures()
{
    QFETCH(QStringList, target);
    QFETCH(QString, says);
    if (target.contains("16") && run({"ports"}).out.contains("COM16"))
        QSKIP("this computer has a sixteenth serial port");
    const Result r = run(QStringList{"send", "standard", "--talker", "GP", "--sentence", "RMC", "--field",
                                     "5", "--memory", "3", "--product", "0"} +
                         target);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(says.toUtf8()), r.err.constData());
}

void tst_Cli::guiWithoutADisplay()
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(MDCONFIG_GUI), {});
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1);
    const QByteArray err = p.readAllStandardError();
    QCOMPARE(err.count('\n'), 1);
    QVERIFY(err.contains("no graphical display"));
    QVERIFY(err.contains("mdconfig-cli"));

    // A display that is named but cannot be reached ends the same way, not in an abort.
    env.insert("DISPLAY", ":9876");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(MDCONFIG_GUI), {});
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1);
    QCOMPARE(p.readAllStandardError().count('\n'), 1);
}

void tst_Cli::twoSendsToOneDevice()
{
    // One through the link, one through the device node, at once: exactly one sends, whole and alone.
    PtyPair pty;
    QVERIFY(pty.start());
    const QString node = QFileInfo(pty.sendEnd()).canonicalFilePath();
    QProcess a, b;
    a.start(QStringLiteral(MDCONFIG_CLI), Rpm + QStringList{"--device", pty.sendEnd()});
    b.start(QStringLiteral(MDCONFIG_CLI), Rpm + QStringList{"--device", node});
    QVERIFY(a.waitForFinished(30000));
    QVERIFY(b.waitForFinished(30000));
    QCOMPARE(a.exitStatus(), QProcess::NormalExit);
    QCOMPARE(b.exitStatus(), QProcess::NormalExit);
    const QList<int> codes{a.exitCode(), b.exitCode()};
    QVERIFY2(codes.count(0) == 1 && codes.count(1) == 1,
             qPrintable(QStringLiteral("exit codes %1 and %2").arg(codes[0]).arg(codes[1])));
    const QByteArray refused = (a.exitCode() == 1 ? a : b).readAllStandardError();
    QVERIFY2(refused.contains("busy"), refused.constData());
    QVERIFY2(refused.contains(QFile::encodeName(node)), refused.constData());
    QVERIFY(pty.waitFor(100, 2000));
    QTest::qWait(200);
    QCOMPARE(pty.received(), rpmFrames());
}

void tst_Cli::deviceHeldElsewhere_data()
{
    QTest::addColumn<bool>("byTheWindowsPort");
    QTest::newRow("the window's port keeps it open between sends") << true;
    QTest::newRow("another program holds only a lock on it") << false;
}

void tst_Cli::deviceHeldElsewhere()
{
    QFETCH(bool, byTheWindowsPort);
    PtyPair pty;
    QVERIFY(pty.start());
    const QString node = QFileInfo(pty.sendEnd()).canonicalFilePath();
    serial::QtSerialPort windowsPort;
    int fd = -1;
    if (byTheWindowsPort) {
        QVERIFY(windowsPort.open(pty.sendEnd()));
    } else {
        fd = ::open(QFile::encodeName(node).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    }
    const Result r = run(Rpm + QStringList{"--device", node});
    if (fd >= 0)
        ::close(fd);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("busy"), r.err.constData());
    QTest::qWait(200);
    QCOMPARE(pty.received(), QByteArray());
}

void tst_Cli::closedOutputStillSendsEveryByte()
{
    // The reader of the output goes away after its first byte, as "| head -c 1" does.
    PtyPair pty;
    QVERIFY(pty.start());
    QProcess send, head;
    send.setStandardOutputProcess(&head);
    head.start("head", {"-c", "1"});
    send.start(QStringLiteral(MDCONFIG_CLI), Rpm + QStringList{"--device", pty.sendEnd()});
    QVERIFY(head.waitForFinished(30000));
    QVERIFY(send.waitForFinished(30000));
    QCOMPARE(send.exitStatus(), QProcess::NormalExit);
    QCOMPARE(send.exitCode(), 0);
    QVERIFY(pty.waitFor(100, 2000));
    QCOMPARE(pty.received(), rpmFrames());
}

void tst_Cli::signalStopsAfterTheCurrentByte_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("Ctrl-C") << int(SIGINT);
    QTest::newRow("termination request") << int(SIGTERM);
    QTest::newRow("a closed terminal") << int(SIGHUP);
}

void tst_Cli::signalStopsAfterTheCurrentByte()
{
    QFETCH(int, signal);
    PtyPair pty;
    QVERIFY(pty.start());
    QProcess send;
    send.start(QStringLiteral(MDCONFIG_CLI), Rpm + QStringList{"--device", pty.sendEnd()});
    QVERIFY(pty.waitFor(12, 10000));
    ::kill(pid_t(send.processId()), signal);
    QVERIFY(send.waitForFinished(30000));
    QCOMPARE(send.exitStatus(), QProcess::NormalExit);
    QCOMPARE(send.exitCode(), 1);
    const QByteArray err = send.readAllStandardError();
    static const QRegularExpression said(QStringLiteral("interrupted after (\\d+) of 100 bytes"));
    const QRegularExpressionMatch m = said.match(QString::fromUtf8(err));
    QVERIFY2(m.hasMatch(), err.constData());
    const int told = m.captured(1).toInt();
    QVERIFY2(told >= 12 && told < 100, err.constData());
    // What it says went out is what the far end got: no byte cut off, none sent after.
    pty.waitFor(told, 2000);
    QTest::qWait(200);
    QCOMPARE(pty.received(), rpmFrames().left(told));
}

void tst_Cli::namesFromOutsideAreShownSafely()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MDCONFIG_COM7", QString::fromLatin1("/dev/no\x1b[2Jsuch\rdevice"));
    const Result viaEnvironment =
        runProgram(QStringLiteral(MDCONFIG_CLI), Rpm + QStringList{"--port", "7"}, env);
    QCOMPARE(viaEnvironment.exitCode, 1);
    QVERIFY2(!viaEnvironment.err.contains('\x1b') && !viaEnvironment.err.contains('\r'),
             viaEnvironment.err.constData());
    QVERIFY2(viaEnvironment.err.contains("/dev/no\\e[2Jsuch\\x0ddevice"), viaEnvironment.err.constData());

    // The state folder, named by the service manager, in the page's messages.
    QTemporaryDir dir;
    env.insert("STATE_DIRECTORY", dir.filePath(QString::fromLatin1("state\x1b[2J")));
    const Result stateFolder = runProgram(QStringLiteral(MDCONFIG_CLI), {"serve", "--print-url"}, env);
    QCOMPARE(stateFolder.exitCode, 1);
    QVERIFY2(stateFolder.err.contains("state\\e[2J/web-address") && !stateFolder.err.contains('\x1b'),
             stateFolder.err.constData());

    const Result relative = run(Rpm + QStringList{"--device", "mdconfig-no-such-device"});
    QCOMPARE(relative.exitCode, 1);
    QVERIFY2(relative.err.contains("/dev/mdconfig-no-such-device: no such device"), relative.err.constData());
}

void tst_Cli::deviceGoneMidSendSaysHowFarItGot()
{
    // Once a whole repetition is out the display may have taken the location: the message says how many.
    PtyPair pty;
    QVERIFY(pty.start());
    QProcess send;
    send.start(QStringLiteral(MDCONFIG_CLI), Rpm + QStringList{"--device", pty.sendEnd()});
    QVERIFY(pty.waitFor(12, 10000));
    pty.killSocat();
    QVERIFY(send.waitForFinished(30000));
    QCOMPARE(send.exitCode(), 1);
    const QByteArray err = send.readAllStandardError();
    static const QRegularExpression said(QStringLiteral(
        "^mdconfig-cli: the sentence was not sent: .+ after (\\d+) of 10 repetitions; the display may have "
        "taken the location\n$"));
    const QRegularExpressionMatch m = said.match(QString::fromUtf8(err));
    QVERIFY2(m.hasMatch(), err.constData());
    QVERIFY2(m.captured(1).toInt() >= 1 && m.captured(1).toInt() < 10, err.constData());
}

// The page on its own: one file whose script and style are inlined and allowed by their hashes alone, with
// nothing loaded from anywhere; --json says what was written.
void tst_Cli::pageIsWrittenWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mdconfig-page.html"));
    Result r = run({"page", "--output", path, "--json"});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject o = QJsonDocument::fromJson(r.out).object();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray html = f.readAll();
    QCOMPARE(o.value("file").toString(), path);
    QCOMPARE(o.value("bytes").toInteger(), html.size());
    QVERIFY(html.startsWith("<!DOCTYPE html>"));
    const QRegularExpression policy(
        QStringLiteral("<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                       "script-src 'sha256-[A-Za-z0-9+/=]+'; "
                       "style-src 'sha256-[A-Za-z0-9+/=]+'; img-src 'none'; connect-src 'none'; "));
    QVERIFY(policy.match(QString::fromUtf8(html)).hasMatch());
    QCOMPARE(html.count("<script"), 1);
    QVERIFY(!html.contains("src=\"") && !html.contains("href=\"/"));
    QVERIFY(html.contains("Connect adapter"));
    // Written again over itself: replaced whole, the same bytes.
    r = run({"page", "--output", path});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("Connect adapter"));
    f.seek(0);
    QCOMPARE(f.size(), html.size());
}

void tst_Cli::pageIsNotWrittenThroughALink()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("kept.txt"));
    QFile kept(target);
    QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("kept\n") == 5);
    kept.close();
    const QString link = dir.filePath(QStringLiteral("page.html"));
    QVERIFY(QFile::link(target, link));
    Result r = run({"page", "--output", link});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY2(r.err.contains("nothing was written"), r.err.constData());
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("kept\n"));
    r = run({"page", "--output", dir.path()});
    QCOMPARE(r.exitCode, 1);
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
