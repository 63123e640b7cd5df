// mdconfig-cli plan and decode, run as an installer runs them: real files, real exit codes, real bytes
// through a socat pseudo-terminal pair.
#include "bus/sentence.h"
#include "support/files.h"
#include "support/output.h"
#include "support/ptypair.h"
#include "support/sends.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Result {
    int exitCode;
    QByteArray out;
    QByteArray err;
};

Result run(const QStringList &args, int timeoutMs = 30000)
{
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(QStringLiteral(MDCONFIG_CLI), args);
    p.waitForFinished(timeoutMs);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// Runs mdconfig-cli as a plan from another boat is to be run: under a memory limit, and killed if it takes
// longer than a generous time. A crash or a kill shows as exit code -1.
constexpr rlim_t MemoryLimit = 512 * 1024 * 1024;

Result runLimited(const QStringList &args)
{
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.setChildProcessModifier([] {
        const rlimit limit{MemoryLimit, MemoryLimit};
        ::setrlimit(RLIMIT_AS, &limit);
    });
    p.start(QStringLiteral(MDCONFIG_CLI), args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

const char *const TenLocations =
    "product = 0\n"
    "[location.1]\ntalker = \"II\"\nsentence = \"XDR\"\nfield = 3\ntype = \"C\"\n"
    "[location.2]\ninstrument = \"NX20/40 ENGINE RPM\"\n"
    "[location.3]\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = 5\n"
    "[location.4]\ninstrument = 1\n"
    "[location.5]\ntalker = \"GP\"\nsentence = \"GGA\"\nfield = 10\n"
    "[location.6]\ntalker = \"SD\"\nsentence = \"DBT\"\nfield = 1\n"
    "[location.7]\ntalker = \"II\"\nsentence = \"XDR\"\nfield = 25\ntype = \"V\"\n"
    "[location.8]\ninstrument = 12\n"
    "[location.9]\ntalker = \"HC\"\nsentence = \"HDG\"\nfield = 1\n"
    "[location.10]\ntalker = \"ZV\"\nsentence = \"ZZU\"\nfield = 25\n";

// The bytes `plan frames` says the plan sends, in order, from its hexadecimal lines.
QByteArray framesOf(const QByteArray &out)
{
    QByteArray bytes;
    for (const QByteArray &line : out.split('\n')) {
        if (!line.isEmpty() && !line.startsWith("location"))
            bytes += QByteArray::fromHex(line);
    }
    return bytes;
}

} // namespace

class tst_PlanCli : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void check();
    void checkWarns_data();
    void checkWarns();
    void faultyPlansSendNothing_data();
    void faultyPlansSendNothing();
    void framesText();
    void framesJson();
    void tenLocationsThroughAPseudoTerminal();
    void testPatternThroughAPseudoTerminal();
    void testPatternEndsOnSigterm();
    void testPatternEndsWhenNoOneReads();
    void notesAreShownEscaped_data();
    void notesAreShownEscaped();
    void sendFailures_data();
    void sendFailures();
    void sendJson_data();
    void sendJson();
    void ctrlCAtTheConfirmPrompt();
    void signalMidLocationSaysStopped();
    void killAtTheConfirmPromptOnAPipe_data();
    void killAtTheConfirmPromptOnAPipe();
    void exportBuildsAPlan();
    void concurrentExportsAllLand();
    void noPlanFile_data();
    void noPlanFile();
    void exportKeepsOwnerAndMode();
    void hostilePlans_data();
    void hostilePlans();
    void faultsShownAreLimited();
    void inputIsEscaped_data();
    void inputIsEscaped();
    void freshPlan();
    void usageErrors_data();
    void usageErrors();
    void help();
    void decode_data();
    void decode();
    void decodeJson();

private:
    QTemporaryDir m_dir;
    QString m_plan;
};

void tst_PlanCli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_plan = m_dir.filePath("ten.toml");
    QVERIFY(writeAll(m_plan, TenLocations));
}

void tst_PlanCli::check()
{
    const Result clean = run({"plan", "check", m_plan});
    QCOMPARE(clean.exitCode, 0);
    QVERIFY(clean.out.contains("clean plan for product 0 (MD20/MD40), locations 1-10"));

    const QString bad = m_dir.filePath("bad.toml");
    QVERIFY(writeAll(bad, "product = 1\n[location.3]\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = 0\n"
                          "[location.4]\ninstrument = 2\nicon = \"KT\"\n"));
    const Result faulty = run({"plan", "check", bad});
    QCOMPARE(faulty.exitCode, 2);
    const QList<QByteArray> lines = faulty.err.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].startsWith(QFile::encodeName(bad) + ":5:9: location 3: field"), lines[0].constData());
    QVERIFY2(lines[1].startsWith(QFile::encodeName(bad) + ":8:8: location 4 has an icon"),
             lines[1].constData());
    QVERIFY(faulty.out.isEmpty());
}

void tst_PlanCli::checkWarns_data()
{
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<QByteArray>("warning"); // the line on standard error, after the file's name
    QTest::newRow("MWV alternates") << QByteArray("talker = \"WI\"\nsentence = \"MWV\"\nfield = 1\n")
                                    << QByteArray(":2:11: warning: location 4: MWV alternates");
    QTest::newRow("SD DPT field 10 is past the last")
        << QByteArray("talker = \"SD\"\nsentence = \"DPT\"\nfield = 10\n")
        << QByteArray(":2:11: warning: location 4: past the last field of DPT (field 3: maximum range");
    QTest::newRow("RMC 7: no warning")
        << QByteArray("talker = \"GP\"\nsentence = \"RMC\"\nfield = 7\n") << QByteArray();
}

void tst_PlanCli::checkWarns()
{
    QFETCH(QByteArray, location);
    QFETCH(QByteArray, warning);
    const QString path = m_dir.filePath("warned.toml");
    QVERIFY(writeAll(path, "product = 0\n[location.4]\n" + location));
    const Result r = run({"plan", "check", path});
    QCOMPARE(r.exitCode, 0); // a warning leaves the plan clean
    QVERIFY(r.out.contains("a clean plan"));
    QCOMPARE(r.err.isEmpty(), warning.isEmpty());
    QVERIFY2(warning.isEmpty() || r.err.startsWith(QFile::encodeName(path) + warning), r.err.constData());
    const Result json = run({"plan", "check", "--json", path});
    QCOMPARE(json.exitCode, 0);
    const QJsonArray warnings = QJsonDocument::fromJson(json.out).object().value("warnings").toArray();
    QCOMPARE(warnings.size(), warning.isEmpty() ? 0 : 1);
}

void tst_PlanCli::faultyPlansSendNothing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("where");
    QTest::newRow("syntax error after a clean location")
        << QByteArray("product = 0\n[location.1]\ninstrument = 1\n[location.2\n") << QByteArray(":4:12:");
    QTest::newRow("last location has an unknown talker")
        << QByteArray(QByteArray(TenLocations).replace("\"ZV\"", "\"ZX\"")) << QByteArray(":35:10:");
    QTest::newRow("location 11 after ten clean ones")
        << QByteArray(QByteArray(TenLocations) + "[location.11]\ninstrument = 1\n") << QByteArray(":38:11:");
    QTest::newRow("an icon on an MD20/40")
        << QByteArray("product = 0\n[location.1]\ninstrument = 1\nicon = \"FT\"\n") << QByteArray(":4:8:");
}

void tst_PlanCli::faultyPlansSendNothing()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, where);
    if (!PtyPair::available())
        QFAIL("socat is needed: apt-get install socat");
    const QString path = m_dir.filePath("faulty.toml");
    QVERIFY(writeAll(path, text));
    PtyPair pty;
    QVERIFY(pty.start());
    const Result r = run({"plan", "send", path, "--device", pty.sendEnd(), "--gap", "0"});
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(QFile::encodeName(path) + where), r.err.constData());
    QVERIFY(r.err.contains("nothing was sent"));
    QVERIFY(!pty.waitFor(1, 500));
    QCOMPARE(pty.received().size(), 0);
}

void tst_PlanCli::framesText()
{
    const Result r = run({"plan", "frames", m_plan});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> lines = r.out.split('\n');
    QCOMPARE(lines[0], QByteArray("location 1: II XDR field 3 type C - Temperature, Degrees C"));
    QCOMPARE(lines[12], QByteArray("location 2: NX20/40 ENGINE RPM"));
    QCOMPARE(r.out.count("location "), 10);
    const QByteArray bytes = framesOf(r.out);
    QCOMPARE(bytes.size(), 1000);
    // The first three locations are the worked examples.
    QCOMPARE(bytes.left(300), tenTimesHex("243049495844524333 3E", "243049495844524333 26") +
                                  tenTimesHex("243150564C4D29047258", "243150564C4D29047244") +
                                  tenTimesHex("243247505 24D4305357B", "2432475052 4D4305355B"));
}

void tst_PlanCli::framesJson()
{
    const Result text = run({"plan", "frames", m_plan});
    const Result r = run({"plan", "frames", "--json", m_plan});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 10);
    QByteArray bytes;
    for (int i = 0; i < lines.size(); ++i) {
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(lines[i], &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(o.value("location").toInt(), i + 1);
        QVERIFY(!o.value("shows").toString().isEmpty());
        QCOMPARE(o.value("frames").toArray().size(), 10);
        for (const QJsonValue &f : o.value("frames").toArray())
            bytes += QByteArray::fromHex(f.toString().toLatin1());
    }
    QCOMPARE(bytes, framesOf(text.out));
}

void tst_PlanCli::tenLocationsThroughAPseudoTerminal()
{
    // The one real-paced plan send: ten locations, ten six-second sends, no gap.
    if (!PtyPair::available())
        QFAIL("socat is needed: apt-get install socat");
    PtyPair pty;
    QVERIFY(pty.start());
    const QByteArray expected = framesOf(run({"plan", "frames", m_plan}).out);
    QCOMPARE(expected.size(), 1000);
    const Result r = run({"plan", "send", m_plan, "--device", pty.sendEnd(), "--gap", "0"}, 180000);
    QCOMPARE(r.exitCode, 0);
    QVERIFY(pty.waitFor(1000, 3000));
    QCOMPARE(pty.received(), expected);
    QCOMPARE(r.out.count(" sent\n"), 10);
    QVERIFY(r.out.contains("sent: 1-10"));
    QVERIFY(!r.out.contains("not sent"));
}

void tst_PlanCli::sendFailures_data()
{
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("says");
    QTest::newRow("the device will not open")
        << QStringList{"--device", "/dev/mdconfig-no-such-device"} << "cannot open";
    QTest::newRow("no one at the keyboard to confirm")
        << QStringList{"--device", "PTY", "--confirm"} << "standard input ended: no Enter for location 1";
}

void tst_PlanCli::sendFailures()
{
    QFETCH(QStringList, extra);
    QFETCH(QString, says);
    PtyPair pty;
    if (extra.contains("PTY")) {
        if (!PtyPair::available())
            QFAIL("socat is needed: apt-get install socat");
        QVERIFY(pty.start());
        extra.replace(extra.indexOf("PTY"), pty.sendEnd());
    }
    const Result r = run(QStringList{"plan", "send", m_plan} + extra);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(says.toUtf8()), r.err.constData());
    QVERIFY(r.err.contains("resume with --from 1"));
    QVERIFY(r.out.contains("sent: none"));
    QVERIFY(r.out.contains("not sent: 1-10"));
    if (extra.contains(pty.sendEnd()))
        QCOMPARE(pty.received().size(), 0);
}

void tst_PlanCli::sendJson_data()
{
    QTest::addColumn<QString>("device"); // PTY: one end of a pseudo-terminal pair
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QList<int>>("sent");
    QTest::addColumn<QList<int>>("notSent");
    QTest::addColumn<QString>("failure");
    QTest::newRow("location 10 alone, through a pseudo-terminal")
        << "PTY" << 0 << QList<int>{10} << QList<int>{} << QString();
    QTest::newRow("the device will not open")
        << "/dev/mdconfig-no-such-device" << 1 << QList<int>{} << QList<int>{10} << "cannot open";
}

// Every line of stdout is one JSON object: the location's start and its repetitions, then the end.
void tst_PlanCli::sendJson()
{
    QFETCH(QString, device);
    QFETCH(int, exitCode);
    QFETCH(QList<int>, sent);
    PtyPair pty;
    if (device == "PTY") {
        if (!PtyPair::available())
            QFAIL("socat is needed: apt-get install socat");
        QVERIFY(pty.start());
        device = pty.sendEnd();
    }
    const Result r = run({"plan", "send", m_plan, "--device", device, "--from", "10", "--json"}, 60000);
    QCOMPARE(r.exitCode, exitCode);
    QList<QJsonObject> lines;
    for (const QByteArray &line : r.out.trimmed().split('\n')) {
        QJsonParseError error;
        lines << QJsonDocument::fromJson(line, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
    }
    const int repetitions = sent.isEmpty() ? 0 : 10;
    QCOMPARE(lines.size(), sent.isEmpty() ? 1 : 12);
    for (int i = 0; i + 1 < lines.size(); ++i) {
        QCOMPARE(lines[i].value("location").toInt(), 10);
        QCOMPARE(lines[i].value("repetition").toInt(), i);
        QCOMPARE(lines[i].value("of").toInt(), 10);
    }
    if (!sent.isEmpty())
        QCOMPARE(lines[0].value("shows").toString(), QStringLiteral("ZV ZZU field 25"));
    const QJsonObject end = lines.last();
    const auto numbers = [&](const char *key) {
        QList<int> n;
        for (const QJsonValue &v : end.value(key).toArray())
            n << v.toInt();
        return n;
    };
    QCOMPARE(numbers("sent"), sent);
    QTEST(numbers("notSent"), "notSent");
    QCOMPARE(numbers("skipped"), (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    QFETCH(QString, failure);
    QCOMPARE(end.value("failure").toString().isEmpty(), failure.isEmpty());
    QVERIFY2(end.value("failure").toString().contains(failure), qPrintable(end.value("failure").toString()));
    QCOMPARE(end.value("repetitions").toInt(), repetitions);
    QCOMPARE(end.value("device").toString(), device);
    if (!sent.isEmpty()) {
        QVERIFY(pty.waitFor(100, 3000));
        QCOMPARE(pty.received(), framesOf(run({"plan", "frames", m_plan}).out).right(100));
    }
}

// Ctrl-C at the prompt ends the wait at once, on a real terminal (script gives the command one; the ^C
// written to it reaches the command as SIGINT, as a key press would).
void tst_PlanCli::ctrlCAtTheConfirmPrompt()
{
    if (!PtyPair::available() || QStandardPaths::findExecutable(QStringLiteral("script")).isEmpty())
        QFAIL("socat and script are needed: apt-get install socat bsdutils");
    PtyPair pty;
    QVERIFY(pty.start());
    // exec: the command itself, not a shell around it, is what the ^C reaches and what script reports on.
    const QString command = QStringLiteral("exec '%1' plan send '%2' --device '%3' --confirm")
                                .arg(QStringLiteral(MDCONFIG_CLI), m_plan, pty.sendEnd());
    QProcess term;
    term.setProcessChannelMode(QProcess::MergedChannels);
    term.start(QStringLiteral("script"), {"-qefc", command, "/dev/null"});
    QVERIFY(term.waitForStarted(5000));
    QByteArray said;
    readUntil(term, said, "press Enter", 10000);
    QVERIFY2(said.contains("press Enter to send location 1"), said.constData());
    term.write("\x03");
    QVERIFY2(term.waitForFinished(10000), "Ctrl-C left the prompt waiting");
    said += term.readAll();
    QCOMPARE(term.exitCode(), 1);
    QVERIFY2(said.contains("interrupted before location 1"), said.constData());
    QVERIFY(said.contains("not sent: 1-10"));
    QCOMPARE(pty.received().size(), 0);
}

// A termination request in the middle of a location: the send says it was stopped there, as `send` says
// it, not that the location failed.
void tst_PlanCli::signalMidLocationSaysStopped()
{
    if (!PtyPair::available())
        QFAIL("socat is needed: apt-get install socat");
    PtyPair pty;
    QVERIFY(pty.start());
    QProcess send;
    send.start(QStringLiteral(MDCONFIG_CLI), {"plan", "send", m_plan, "--device", pty.sendEnd(), "--json"});
    QVERIFY(pty.waitFor(5, 20000));
    ::kill(pid_t(send.processId()), SIGTERM);
    QVERIFY(send.waitForFinished(10000));
    QCOMPARE(send.exitCode(), 1);
    const QJsonObject end =
        QJsonDocument::fromJson(send.readAllStandardOutput().trimmed().split('\n').last()).object();
    QCOMPARE(end.value("stopped").toBool(), true);
    const QString failure = end.value("failure").toString();
    QVERIFY2(QRegularExpression(QStringLiteral("^interrupted after \\d+ of \\d+ bytes of location 1$"))
                 .match(failure)
                 .hasMatch(),
             qPrintable(failure));
    QVERIFY(send.readAllStandardError().contains(failure.toUtf8() + "; locations 1-"));
}

void tst_PlanCli::killAtTheConfirmPromptOnAPipe_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("termination request") << int(SIGTERM);
    QTest::newRow("a closed terminal") << int(SIGHUP);
}

// A script's pipe that never brings the Enter: a kill or a hangup still ends the wait, as Ctrl-C does on a
// terminal.
void tst_PlanCli::killAtTheConfirmPromptOnAPipe()
{
    QFETCH(int, signal);
    if (!PtyPair::available())
        QFAIL("socat is needed: apt-get install socat");
    PtyPair pty;
    QVERIFY(pty.start());
    QProcess send;
    send.start(QStringLiteral(MDCONFIG_CLI),
               {"plan", "send", m_plan, "--device", pty.sendEnd(), "--confirm"}); // stdin: an open pipe
    QVERIFY(send.waitForStarted(5000));
    QByteArray said;
    readUntil(send, said, "press Enter", 10000);
    QVERIFY2(said.contains("press Enter to send location 1"), said.constData());
    ::kill(pid_t(send.processId()), signal);
    QVERIFY2(send.waitForFinished(10000), "a kill left the prompt waiting");
    QCOMPARE(send.exitStatus(), QProcess::NormalExit);
    QCOMPARE(send.exitCode(), 1);
    const QByteArray err = send.readAllStandardError();
    QVERIFY2(err.contains("interrupted before location 1"), err.constData());
    QCOMPARE(pty.received().size(), 0);
}

void tst_PlanCli::exportBuildsAPlan()
{
    const QString path = m_dir.filePath("built.toml");
    Result r = run({"plan", "export", path, "standard", "--talker", "GP", "--sentence", "RMC", "--field", "5",
                    "--memory", "3", "--product", "2", "--icon", "KT"});
    QCOMPARE(r.exitCode, 0);
    r = run({"plan", "export", path, "proprietary", "--instrument=11", "--memory=2", "--product=2"});
    QCOMPARE(r.exitCode, 0);
    const QByteArray written = readAll(path);
    QVERIFY(written.startsWith("# "));
    QVERIFY(written.contains("product = 2"));

    // The same location again is refused and the file stays as it was.
    r = run({"plan", "export", path, "proprietary", "--instrument", "1", "--memory", "2", "--product", "2"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("already has location 2"));
    QCOMPARE(readAll(path), written);

    r = run({"plan", "frames", path});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> lines = r.out.split('\n');
    QCOMPARE(lines[0], QByteArray("location 2: NX20/40 ENGINE RPM, icon None"));
    QCOMPARE(lines[12], QByteArray("location 3: GP RMC field 5, icon KT"));
    QCOMPARE(lines[13], QByteArray("24 32 47 50 52 4D 43 05 35 04 7F"));
    QCOMPARE(lines[14], QByteArray("24 32 47 50 52 4D 43 05 35 04 5F"));
}

// Ten exports to one file at once: each that says "added" has its location in the file.
void tst_PlanCli::concurrentExportsAllLand()
{
    const QString path = m_dir.filePath("shared.toml");
    std::vector<std::unique_ptr<QProcess>> exports;
    for (int n = 1; n <= 10; ++n) {
        exports.push_back(std::make_unique<QProcess>());
        exports.back()->setStandardInputFile(QProcess::nullDevice());
        exports.back()->start(QStringLiteral(MDCONFIG_CLI),
                              {"plan", "export", path, "proprietary", "--instrument", QString::number(n),
                               "--memory", QString::number(n), "--product", "0"});
    }
    QList<int> added;
    for (int n = 1; n <= 10; ++n) {
        QProcess &p = *exports[n - 1];
        QVERIFY2(p.waitForFinished(120000), "an export did not end");
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        if (p.exitCode() == 0) {
            added << n;
            QVERIFY(p.readAllStandardOutput().contains("added to"));
        } else {
            QVERIFY2(p.readAllStandardError().startsWith("mdconfig-cli: "), "refused without a reason");
        }
    }
    const QByteArray written = readAll(path);
    for (int n : added)
        QVERIFY2(
            written.contains(QStringLiteral("[location.%1]\n").arg(n).toUtf8()),
            qPrintable(QStringLiteral("location %1 was said to be added but is not in the file").arg(n)));
    QCOMPARE(written.count("[location."), added.size());
    QCOMPARE(run({"plan", "check", path}).exitCode, 0);
    // They wait for one another, each adding to what the one before wrote, so none is refused.
    QCOMPARE(added.size(), 10);
}

void tst_PlanCli::noPlanFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("says");
    QTest::newRow("FIFO: nothing waits for a writer") << "fifo"
                                                      << "is a FIFO (named pipe), not a regular file";
    QTest::newRow("link to a clean plan") << "link"
                                          << "is a symbolic link, not a regular file";
    QTest::newRow("folder") << "folder"
                            << "is a folder, not a regular file";
    QTest::newRow("larger than a plan can be") << "large"
                                               << "is larger than 1 MB";
}

// plan check and plan export end at once with the reason and exit 2, leaving what is there as it is.
void tst_PlanCli::noPlanFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = dir.filePath("plan.toml");
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(m_plan, path));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(path));
    } else {
        QByteArray large = TenLocations;
        while (large.size() <= 1024 * 1024)
            large += "# a comment line to make the plan larger than any plan\n";
        QVERIFY(writeAll(path, large));
    }
    struct stat before {};
    QCOMPARE(::lstat(name.constData(), &before), 0);
    const QByteArray planBefore = readAll(m_plan);

    for (const QStringList &args : {QStringList{"plan", "check", path},
                                    QStringList{"plan", "export", path, "proprietary", "--instrument", "1",
                                                "--memory", "1", "--product", "0"}}) {
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        p.start(QStringLiteral(MDCONFIG_CLI), args);
        if (!p.waitForFinished(20000)) {
            ::close(::open(name.constData(), O_WRONLY | O_NONBLOCK)); // an end of file for a waiting reader
            QFAIL(qPrintable(args.mid(0, 2).join(' ') + QStringLiteral(" waited on the file")));
        }
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 2);
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(err.contains(says.toUtf8()), err.constData());
    }
    struct stat after {};
    QCOMPARE(::lstat(name.constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_size, before.st_size);
    QCOMPARE(readAll(m_plan), planBefore); // nothing written through the link
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             QStringList{"plan.toml"});
}

// Root adding to a user's plan leaves the file the user's, with its mode.
void tst_PlanCli::exportKeepsOwnerAndMode()
{
    if (::geteuid() != 0)
        QSKIP("giving a file to another user needs root");
    const QString path = m_dir.filePath("users.toml");
    QVERIFY(writeAll(path, "product = 0\n[location.2]\ninstrument = 2\n"));
    const QByteArray name = QFile::encodeName(path);
    QCOMPARE(::chown(name.constData(), 1234, 2345), 0);
    QCOMPARE(::chmod(name.constData(), 0640), 0);
    const Result r =
        run({"plan", "export", path, "proprietary", "--instrument", "1", "--memory", "1", "--product", "0"});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(readAll(path).contains("[location.1]\n"));
    struct stat st {};
    QCOMPARE(::lstat(name.constData(), &st), 0);
    QCOMPARE(st.st_uid, uid_t(1234));
    QCOMPARE(st.st_gid, gid_t(2345));
    QCOMPARE(st.st_mode & 07777, mode_t(0640));
}

void tst_PlanCli::hostilePlans_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("args"); // FILE stands for the plan
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("err"); // the first line of standard error; FILE stands for the plan

    const QByteArray deep = "product = 0\n[" + QByteArray("a.").repeated(35000) + "a]\n";
    const QByteArray deepFault =
        "FILE:2:65: keys, tables and arrays nest more than 32 deep here; a plan needs "
        "three ([location.1] and its keys)";
    const QStringList exportArgs = {"plan",     "export",     "FILE",      "standard", "--talker",
                                    "GP",       "--sentence", "RMC",       "--field",  "5",
                                    "--memory", "3",          "--product", "0"};
    QTest::newRow("deep header: check") << deep << QStringList{"plan", "check", "FILE"} << 2 << deepFault;
    QTest::newRow("deep header: frames") << deep << QStringList{"plan", "frames", "FILE"} << 2 << deepFault;
    QTest::newRow("deep header: send")
        << deep << QStringList{"plan", "send", "FILE", "--device", "/dev/null"} << 2 << deepFault;
    QTest::newRow("deep header: export")
        << deep << exportArgs << 1
        << "mdconfig-cli: FILE is not a clean plan, so nothing was added (1 fault(s); the first: " +
               deepFault + ")";
    QByteArray huge = "product = 0\n[location.1]\ninstrument = 1\n"; // then a fault a line
    for (int i = 0; huge.size() < 50 * 1024 * 1024; ++i)
        huge += "key" + QByteArray::number(i) + " = 1\n";
    // A plan over the size limit is refused as a file before a byte of it is parsed.
    QTest::newRow("50 MB: check") << huge << QStringList{"plan", "check", "FILE"} << 2
                                  << QByteArray("FILE: cannot read the plan: it is larger than 1 MB");
    QTest::newRow("50 MB: export") << huge << exportArgs << 2
                                   << QByteArray("mdconfig-cli: FILE is larger than 1 MB; nothing was added");
}

void tst_PlanCli::hostilePlans()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, err);
    const QString path = m_dir.filePath("hostile.toml");
    QVERIFY(writeAll(path, text));
    args.replace(args.indexOf("FILE"), path);
    const Result r = runLimited(args);
    QCOMPARE(r.exitCode, exitCode);
    QCOMPARE(r.err.left(r.err.indexOf('\n')), err.replace("FILE", QFile::encodeName(path)));
    QCOMPARE(readAll(path), text); // export wrote nothing
}

void tst_PlanCli::faultsShownAreLimited()
{
    QByteArray text = "product = 0\n[location.1]\ninstrument = 1\n";
    for (int i = 0; i < 2000; ++i)
        text += "x" + QByteArray::number(i) + " = 1\n";
    const QString path = m_dir.filePath("many.toml");
    QVERIFY(writeAll(path, text));
    const Result r = runLimited({"plan", "check", path});
    QCOMPARE(r.exitCode, 2);
    const QList<QByteArray> lines = r.err.split('\n');
    QCOMPARE(lines.size(), 53); // 50 faults, the rest counted, the verdict and the last line's end
    QVERIFY(lines[49].startsWith(QFile::encodeName(path) + ":53:1: location 1: unknown key \"x49\""));
    QCOMPARE(lines[50], QByteArray("... and 1950 more faults"));
    QVERIFY(lines[51].endsWith("has faults; nothing in it can be sent until they are mended"));
}

void tst_PlanCli::inputIsEscaped_data()
{
    QTest::addColumn<QString>("name");     // the plan file's name; none for no file
    QTest::addColumn<QByteArray>("text");  // the plan
    QTest::addColumn<QStringList>("args"); // FILE stands for the plan
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err"); // the bytes written; DIR stands for the folder

    const QByteArray clean = "product = 0\n[location.1]\ninstrument = 1\n";
    QTest::newRow("a plan file name that sets the window title")
        << "a\x1b]0;owned\x07.toml" << clean << QStringList{"plan", "check", "FILE"}
        << QByteArray("DIR/a\\e]0;owned\\x07.toml: a clean plan for product 0 (MD20/MD40), locations 1\n"
                      "  location 1: WX20/40 WINDLASS BATTERY VOLTAGE\n")
        << QByteArray();
    QTest::newRow("a plan file name with a right-to-left override")
        << QString::fromUtf8("evil\u202elmot.toml") << QByteArray("product = 0\n")
        << QStringList{"plan", "check", "FILE"}
        << QByteArray(
               "DIR/evil\\u202elmot.toml: a clean plan for product 0 (MD20/MD40), no location yet; add "
               "them with mdconfig-cli plan export or as [location.N] tables\n")
        << QByteArray();
    QTest::newRow("a value that clears the screen and fakes a clean plan")
        << "p.toml"
        << QByteArray("product = \"\\u001b[2J\\rp.toml: a clean plan\"\n[location.1]\ninstrument = 1\n")
        << QStringList{"plan", "check", "FILE"} << QByteArray()
        << QByteArray(
               "DIR/p.toml:1:11: product: \"\\e[2J\\x0dp.toml: a clean plan\" is not valid; valid values: "
               "0 (MD20/MD40), 1 (MD90  Ver 1.0,  1.1,  1.2), 2 (MD90  Ver 1.3 +), or the caption\n"
               "mdconfig-cli: DIR/p.toml has faults; nothing in it can be sent until they are mended\n");
    QTest::newRow("export refused by a plan whose name sets the window title")
        << "b\x1b]0;owned\x07.toml" << clean
        << QStringList{"plan", "export",   "FILE", "proprietary", "--instrument",
                       "2",    "--memory", "1",    "--product",   "0"}
        << QByteArray()
        << QByteArray("mdconfig-cli: DIR/b\\e]0;owned\\x07.toml already has location 1 (line 2); nothing was "
                      "added\n");
    QTest::newRow("decode: an escape among the digits")
        << QString() << QByteArray() << QStringList{"decode", "24\x1b[2J"} << QByteArray()
        << QByteArray(
               "mdconfig-cli: decode: \"\\e\" is not a hexadecimal digit; give bytes as 0-9 and A-F, such "
               "as \"24 32 47 50\"\n");
    QTest::newRow("decode: a zero-width space among the digits")
        << QString() << QByteArray() << QStringList{"decode", QString::fromUtf8("24\u200b32")} << QByteArray()
        << QByteArray(
               "mdconfig-cli: decode: \"\\u200b\" is not a hexadecimal digit; give bytes as 0-9 and A-F, "
               "such as \"24 32 47 50\"\n");
    QTest::newRow("an unknown command")
        << QString() << QByteArray() << QStringList{"\x1b[2Jplan"} << QByteArray()
        << QByteArray(
               "mdconfig-cli: unknown command \"\\e[2Jplan\"; valid commands: frames, send, ports, plan, "
               "decode, listen, simulate, replay, serve, page\n");
    QTest::newRow("an unknown plan verb")
        << QString() << QByteArray() << QStringList{"plan", QChar(0x9b) + QString("2J")} << QByteArray()
        << QByteArray("mdconfig-cli: plan: unknown verb \"\\x9b2J\"; valid verbs: check, frames, send, "
                      "export, test\n");
}

void tst_PlanCli::inputIsEscaped()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!name.isEmpty())
        QVERIFY(writeAll(path, text));
    if (const qsizetype at = args.indexOf("FILE"); at >= 0)
        args[at] = path;
    const Result r = run(args);
    const QByteArray folder = QFile::encodeName(dir.path());
    QCOMPARE(r.out, out.replace("DIR", folder));
    QCOMPARE(r.err, err.replace("DIR", folder));
}

void tst_PlanCli::freshPlan()
{
    // A plan with its product line alone, as a user starts one by hand: clean, and export adds to it.
    const QString path = m_dir.filePath("fresh.toml");
    QVERIFY(writeAll(path, "product = 2\n"));
    Result r = run({"plan", "check", path});
    QCOMPARE(r.exitCode, 0);
    r = run({"plan", "send", path, "--device", "/dev/null"});
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.err, "mdconfig-cli: " + QFile::encodeName(path) + " has no location yet; nothing was sent\n");
    r = run({"plan", "export", path, "proprietary", "--instrument", "NX20/40 ENGINE RPM", "--memory", "4",
             "--product", "2"});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(readAll(path), QByteArray("product = 2\n\n[location.4]\ninstrument = \"NX20/40 ENGINE RPM\"\n"));
    r = run({"plan", "check", path});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.contains("a clean plan for product 2 (MD90  Ver 1.3 +), locations 4\n"));
}

void tst_PlanCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");
    QTest::newRow("plan without a verb") << QStringList{"plan"} << "valid verbs: check, frames, send, export";
    QTest::newRow("unknown verb") << QStringList{"plan", "flash", "x"} << "unknown verb \"flash\"";
    QTest::newRow("check without a file") << QStringList{"plan", "check"} << "FILE is missing";
    QTest::newRow("unknown option") << QStringList{"plan", "frames", "--colour", "x"}
                                    << "valid options: --json";
    QTest::newRow("send without a port")
        << QStringList{"plan", "send", "x.toml"} << "--port N (1 to 16) or --device";
    QTest::newRow("negative gap") << QStringList{"plan", "send", "x.toml", "--device", "d", "--gap", "-1"}
                                  << "--gap: unknown value \"-1\"; valid values: seconds from 0 to 3600";
    QTest::newRow("from 11") << QStringList{"plan", "send", "x.toml", "--device", "d", "--from", "11"}
                             << "--from: unknown value \"11\"; valid values: 1 to 10";
    QTest::newRow("export: unknown talker")
        << QStringList{"plan", "export",  "x.toml", "standard", "--talker", "XX",        "--sentence",
                       "RMC",  "--field", "1",      "--memory", "1",        "--product", "0"}
        << "--talker: unknown value \"XX\"; did you mean CX or YX?";
    QTest::newRow("export: icon on an MD20/40")
        << QStringList{"plan",     "export", "x.toml",    "proprietary", "--instrument", "1",
                       "--memory", "1",      "--product", "0",           "--icon",       "KT"}
        << "--icon: product 0 (MD20/MD40) shows no icon";
    QTest::newRow("export: memory missing")
        << QStringList{"plan", "export", "x.toml", "proprietary", "--instrument", "1", "--product", "0"}
        << "--memory is missing; valid values: 1 to 10";
    QTest::newRow("send: an option given twice")
        << QStringList{"plan", "send", "x.toml", "--device", "d", "--gap", "0", "--gap", "1"}
        << "--gap is given 2 times (0, 1); give it once";
    QTest::newRow("send: a switch given twice")
        << QStringList{"plan", "send", "x.toml", "--device", "d", "--confirm", "--confirm"}
        << "--confirm is given 2 times";
    QTest::newRow("send: empty device") << QStringList{"plan", "send", "x.toml", "--device", ""}
                                        << "--device has an empty value; valid values: a device path";
    QTest::newRow("send: port and device both")
        << QStringList{"plan", "send", "x.toml", "--port", "1", "--device", "d"} << "--port and --device";
    QTest::newRow("send: port 17") << QStringList{"plan", "send", "x.toml", "--port", "17"}
                                   << "--port: unknown value \"17\"; valid values: 1 to 16";
    QTest::newRow("send: unknown option") << QStringList{"plan", "send", "x.toml", "--device", "d", "--fast"}
                                          << "Unknown option 'fast'; valid options: --port, --device";
    QTest::newRow("send: a value missing at the end")
        << QStringList{"plan", "send", "x.toml", "--device"} << "--device";
    QTest::newRow("check: a second file")
        << QStringList{"plan", "check", "x.toml", "y.toml"} << "unexpected argument \"y.toml\"";
    QTest::newRow("check: unknown option") << QStringList{"plan", "check", "x.toml", "--loud"}
                                           << "Unknown option 'loud'; valid options: --json, --help";
    QTest::newRow("frames: a switch given twice")
        << QStringList{"plan", "frames", "x.toml", "--json", "--json"} << "--json is given 2 times";
    QTest::newRow("export: an option given twice")
        << QStringList{"plan",     "export", "x.toml",    "proprietary", "--instrument", "1",
                       "--memory", "1",      "--product", "0",           "--memory",     "2"}
        << "--memory is given 2 times (1, 2); give it once; valid values: 1 to 10";
    QTest::newRow("export: empty value")
        << QStringList{"plan", "export",   "x.toml", "proprietary", "--instrument",
                       "",     "--memory", "1",      "--product",   "0"}
        << "--instrument has an empty value";
    QTest::newRow("export: unknown option")
        << QStringList{"plan",     "export", "x.toml",    "proprietary", "--instrument", "1",
                       "--memory", "1",      "--product", "0",           "--port",       "1"}
        << "Unknown option 'port'; valid options: --talker";
    QTest::newRow("export: type on a sentence other than XDR")
        << QStringList{"plan",    "export", "x.toml",   "standard", "--talker",  "GP", "--sentence", "RMC",
                       "--field", "1",      "--memory", "1",        "--product", "0",  "--type",     "C"}
        << "--type does not apply to a sentence other than XDR";
    QTest::newRow("export: instrument with a standard sentence")
        << QStringList{"plan",    "export", "x.toml",   "standard", "--talker",  "GP", "--sentence",   "RMC",
                       "--field", "1",      "--memory", "1",        "--product", "0",  "--instrument", "1"}
        << "--instrument does not apply to a standard sentence";
    QTest::newRow("export: no kind") << QStringList{"plan", "export", "x.toml"} << "valid kinds: standard";
    QTest::newRow("decode: unknown option") << QStringList{"decode", "--colour", "24"}
                                            << "Unknown option 'colour'; valid options: --json, --help";
    QTest::newRow("decode: a switch given twice")
        << QStringList{"decode", "--json", "--json", "24"} << "--json is given 2 times";
    QTest::newRow("decode without bytes") << QStringList{"decode"} << "no bytes given";
    QTest::newRow("decode: not hexadecimal")
        << QStringList{"decode", "24 32 4G"} << "\"G\" is not a hexadecimal";
    QTest::newRow("decode: odd digits") << QStringList{"decode", "24 3"} << "odd number";
}

void tst_PlanCli::usageErrors()
{
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(m_dir.path()); // export's x.toml must never be written
    const Result r = run(args);
    QDir::setCurrent(cwd);
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(r.err.count('\n'), 1);
    QVERIFY2(r.err.startsWith("mdconfig-cli: ") && r.err.contains(says.toUtf8()), r.err.constData());
    QVERIFY(!QFile::exists(m_dir.filePath("x.toml")));
}

void tst_PlanCli::testPatternThroughAPseudoTerminal()
{
    if (!PtyPair::available())
        QFAIL("socat is needed: apt-get install socat");
    PtyPair pty;
    QVERIFY(pty.start());
    // The ten-location plan: locations 2, 4 and 8 are instruments and location 1 an XDR unit field; the rest
    // are shown.
    const Result r = run({"plan", "test", m_plan, "--device", pty.sendEnd(), "--seconds", "3"});
    QCOMPARE(r.exitCode, 0);
    for (int n : {1, 2, 4, 7, 8})
        QVERIFY2(r.out.contains(QByteArray("location ") + QByteArray::number(n) + ": not covered: "),
                 r.out.constData());
    QVERIFY2(r.out.contains("location 3: shows 3.3 (GPRMC field 5)"), r.out.constData());
    QVERIFY(pty.waitFor(200, 3000));

    // What went over the line, read back as a listener reads the bus.
    QHash<QString, int> heard;
    QHash<QString, bus::Sentence> last;
    for (const QByteArray &line : pty.received().split('\n')) {
        if (!line.endsWith('\r'))
            continue; // the cut-off tail
        const std::optional<bus::Sentence> s = bus::parseSentence(line.chopped(1));
        QVERIFY2(s, line.constData());
        QCOMPARE(s->checksum, bus::Checksum::Ok);
        ++heard[s->key()];
        last.insert(s->key(), *s);
    }
    QCOMPARE(QSet<QString>(heard.keyBegin(), heard.keyEnd()),
             (QSet<QString>{"GPRMC", "GPGGA", "SDDBT", "HCHDG", "ZVZZU"}));
    // About once a second each, for three seconds.
    for (int times : heard)
        QVERIFY2(times >= 2 && times <= 4, qPrintable(QString::number(times)));
    QCOMPARE(*last["GPRMC"].field(5), QStringLiteral("3.3"));
    QCOMPARE(*last["GPRMC"].field(2), QStringLiteral("A")); // the status a display needs
    QCOMPARE(*last["GPGGA"].field(10), QStringLiteral("5.5"));
    QCOMPARE(*last["SDDBT"].field(1), QStringLiteral("6.6"));
    QCOMPARE(*last["HCHDG"].field(1), QStringLiteral("9.9"));
    QCOMPARE(*last["ZVZZU"].field(25), QStringLiteral("10.10"));
}

void tst_PlanCli::testPatternEndsOnSigterm()
{
    if (!PtyPair::available())
        QFAIL("socat is needed: apt-get install socat");
    PtyPair pty;
    QVERIFY(pty.start());
    QProcess p;
    p.start(QStringLiteral(MDCONFIG_CLI), {"plan", "test", m_plan, "--device", pty.sendEnd(), "--json"});
    QVERIFY(p.waitForStarted());
    QVERIFY(pty.waitFor(100, 10000)); // running until stopped
    p.terminate();
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    QCOMPARE(lines.size(), 11); // one object per location and the summary
    const QJsonObject summary = QJsonDocument::fromJson(lines.last()).object();
    QVERIFY(summary.value("rounds").toInt() >= 1);
    QCOMPARE(summary.value("stopped").toBool(), true);
    QCOMPARE(QJsonDocument::fromJson(lines[1]).object().value("covered").toBool(), false);
}

void tst_PlanCli::testPatternEndsWhenNoOneReads()
{
    // plan test ... | head -1: the reader takes the first line and goes; the test pattern ends then.
    PtyPair pty;
    QVERIFY(pty.start());
    QProcess test, head;
    test.setStandardOutputProcess(&head);
    head.start(QStringLiteral("head"), {QStringLiteral("-1")});
    test.start(QStringLiteral(MDCONFIG_CLI), {"plan", "test", m_plan, "--device", pty.sendEnd()});
    QVERIFY(head.waitForFinished(10000));
    QVERIFY(head.readAllStandardOutput().startsWith("location 1: "));
    QVERIFY2(test.waitForFinished(10000), "plan test went on with no one reading");
    QCOMPARE(test.exitStatus(), QProcess::NormalExit);
    QCOMPARE(test.exitCode(), 0);
}

void tst_PlanCli::notesAreShownEscaped_data()
{
    QTest::addColumn<QStringList>("verb");
    QTest::addColumn<QByteArray>("shown");
    // C1 controls (CSI, NEL), separators, an override, zero-width characters and an isolate, each visible.
    const QByteArray note = "(a\\x9b2J\\x85\\u2028\\u202e\\u200b\\ufeff\\u2066z)";
    QTest::newRow("check") << QStringList{"check"}
                           << "  location 1: WX20/40 WINDLASS BATTERY VOLTAGE  " + note;
    QTest::newRow("frames") << QStringList{"frames"}
                            << "location 1: WX20/40 WINDLASS BATTERY VOLTAGE  " + note;
    QTest::newRow("frames --json") << QStringList{"frames", "--json"}
                                   << QByteArray(note).replace("\\", "\\\\").mid(1).chopped(1);
}

void tst_PlanCli::notesAreShownEscaped()
{
    QFETCH(QStringList, verb);
    QFETCH(QByteArray, shown);
    const QString path = m_dir.filePath("noted.toml");
    QVERIFY(writeAll(path, "product = 0\n[location.1]\ninstrument = 1\n"
                           "note = \"a\\u009b2J\\u0085\\u2028\\u202e\\u200b\\ufeff\\u2066z\"\n"));
    const Result r = run(QStringList{"plan"} + verb + QStringList{path});
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains(shown), r.out.constData());
    for (const char *raw : {"\xc2\x9b", "\xc2\x85", "\xe2\x80\xa8", "\xe2\x80\xae", "\xe2\x80\x8b",
                            "\xef\xbb\xbf", "\xe2\x81\xa6"})
        QVERIFY2(!r.out.contains(raw), r.out.constData());
}

void tst_PlanCli::help()
{
    const Result plan = run({"plan", "--help"});
    QCOMPARE(plan.exitCode, 0);
    for (const char *text :
         {"plan check FILE [--json]", "plan frames FILE [--json]", "plan send FILE", "plan export FILE",
          "--gap SECONDS", "--confirm", "--from N", "[location.1]", "Exit status"})
        QVERIFY2(plan.out.contains(text), text);
    // A plan verb's help is its own: its usage and what each of its options does.
    const Result sendHelp = run({"plan", "send", "--help"});
    QCOMPARE(sendHelp.exitCode, 0);
    QVERIFY2(sendHelp.out.startsWith("Usage: mdconfig-cli plan send FILE (--port N | --device PATH)"),
             sendHelp.out.constData());
    QVERIFY2(sendHelp.out.contains("programming mode") && !sendHelp.out.contains("[location.1]"),
             sendHelp.out.constData());
    const Result decode = run({"decode", "--help"});
    QCOMPARE(decode.exitCode, 0);
    for (const char *text : {"decode [--json] HEX", "repeat", "Exit status"})
        QVERIFY2(decode.out.contains(text), text);
    const Result all = run({"--help"});
    QVERIFY(all.out.contains("mdconfig-cli plan") && all.out.contains("mdconfig-cli decode"));
}

void tst_PlanCli::decode_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("says");
    QTest::newRow("XDR example, first frame, spaced as frames prints it")
        << QStringList{"24 30 49 49 58 44 52 43 33 3E"} << 0
        << QStringList{"memory location: 1", "II XDR field 3 type C - Temperature, Degrees C",
                       "0 (MD20/MD40) or 1", "right for the first frame"};
    QTest::newRow("RMC with KT, repeat frame, several arguments without spaces")
        << QStringList{"2432475052", "4D43053504", "5F"} << 0
        << QStringList{"memory location: 3", "GP RMC field 5, icon KT", "2 (MD90  Ver 1.3 +)",
                       "right for a repeat frame"};
    QTest::newRow("engine RPM, a captured send of ten")
        << QStringList{QString(tenTimesHex("243150564C4D29047258", "243150564C4D29047244").toHex())} << 0
        << QStringList{"frame 10: 24 31 50 56 4C 4D 29 04 72 44", "NX20/40 ENGINE RPM"};
    QTest::newRow("wrong check byte") << QStringList{"24 32 47 50 52 4D 43 05 35 7C"} << 1
                                      << QStringList{"problem: the check byte 7C is wrong"};
    QTest::newRow("a byte short") << QStringList{"24 32 47 50 52 4D 43 05 35"} << 1
                                  << QStringList{"this one is 9"};
}

void tst_PlanCli::decode()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, says);
    const Result r = run(QStringList{"decode"} + args);
    QCOMPARE(r.exitCode, exitCode);
    for (const QString &text : says)
        QVERIFY2(r.out.contains(text.toUtf8()), r.out.constData());
}

void tst_PlanCli::decodeJson()
{
    const Result r =
        run({"decode", "--json", "24 30 47 50 43 47 41 0A 3A 62", "24 31 50 56 4C 4D 29 04 72 44"});
    QCOMPARE(r.exitCode, 0);
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QJsonObject gga = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(gga.value("location").toInt(), 1);
    QCOMPARE(gga.value("sentence").toString(), QString("GGA"));
    QCOMPARE(gga.value("sentCode").toString(), QString("CGA"));
    QCOMPARE(gga.value("field").toInt(), 10);
    QCOMPARE(gga.value("check").toString(), QString("first"));
    QCOMPARE(gga.value("valid").toBool(), true);
    const QJsonObject rpm = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(rpm.value("instrument").toString(), QString("NX20/40 ENGINE RPM"));
    QCOMPARE(rpm.value("location").toInt(), 2);
    QCOMPARE(rpm.value("check").toString(), QString("repeat"));
}

QTEST_GUILESS_MAIN(tst_PlanCli)
#include "tst_plancli.moc"
