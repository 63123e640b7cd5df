#include "app/program.h"
#include "app/texts.h"
#include "support/files.h"
#include "support/goldenframes.h"
#include "support/recordingport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class tst_Program : public QObject {
    Q_OBJECT
private slots:
    void init() { m_cwd = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(m_cwd); }
    void readsTheFileBesideTheProgram();
    void quitWritesTheExactLine_data();
    void quitWritesTheExactLine();
    void quitClosesThePortEvenWhenTheWriteFails();
    void installedCopyKeepsSettingsInTheUsersFolder();
    void plantedFifoNeitherHangsStartUpNorIsReplaced();
    void titleAndAboutFollowTheVersion();
    void helpTexts_data();
    void helpTexts();
    void composeSentence_data();
    void composeSentence();
    void promptAnswerIsTheProgramsPortBeforeTheWindowHears();

private:
    QString m_cwd;
};

void tst_Program::readsTheFileBesideTheProgram()
{
    QTemporaryDir programDir;
    QTemporaryDir elsewhere;
    QVERIFY(writeAll(programDir.filePath("MD40_90.INI"), " 2  3 \r\n"));
    QVERIFY(writeAll(elsewhere.filePath("MD40_90.INI"), " 0  9 \r\n"));
    QDir::setCurrent(elsewhere.path());

    app::Program p;
    app::loadProgram(p, programDir.path());
    QCOMPARE(int(p.ProductIndex), 2);
    QCOMPARE(p.ComPortNumber, std::int16_t(3));
    QCOMPARE(QDir::current().canonicalPath(), QDir(programDir.path()).canonicalPath());
    QCOMPARE(p.ProgramVersion, QStringLiteral("2.0"));
    QCOMPARE(p.SettingsFileName, QStringLiteral("MD40_90.INI"));
}

void tst_Program::quitWritesTheExactLine_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("MD20/MD40 and None") << 0 << 0 << QByteArray::fromHex("2030202030200D0A");
    QTest::newRow("MD90 1.3 and COM12") << 2 << 12 << QByteArray::fromHex("203220203132200D0A");
    QTest::newRow("no product selected keeps the one read")
        << -1 << 5 << QByteArray::fromHex("2031202035200D0A");
}

void tst_Program::quitWritesTheExactLine()
{
    QFETCH(int, selected);
    QFETCH(int, port);
    QFETCH(QByteArray, bytes);
    QTemporaryDir programDir;
    QVERIFY(writeAll(programDir.filePath("MD40_90.INI"), "1,4"));
    app::Program p;
    app::loadProgram(p, programDir.path());
    p.ComPortNumber = std::int16_t(port);
    RecordingPort serialPort;
    QCOMPARE(app::quitProgram(p, selected, serialPort), std::nullopt);
    QCOMPARE(readAll(programDir.filePath("MD40_90.INI")), bytes);
}

void tst_Program::quitClosesThePortEvenWhenTheWriteFails()
{
    QTemporaryDir programDir;
    QDir(programDir.path()).mkdir("MD40_90.INI"); // cannot be replaced by a file
    app::Program p;
    app::loadProgram(p, programDir.path());
    RecordingPort serialPort;
    serialPort.open("/dev/fake");
    const std::optional<QString> failure = app::quitProgram(p, 1, serialPort);
    QVERIFY(failure);
    QVERIFY(!serialPort.isOpen());
    QCOMPARE(serialPort.closes, 1);
}

void tst_Program::installedCopyKeepsSettingsInTheUsersFolder()
{
    // As started from /usr/bin, by root or anyone: the system folder is neither read nor written.
    QCoreApplication::setOrganizationName("Velmora");
    QCoreApplication::setApplicationName("mdconfig");
    QTemporaryDir home;
    const QByteArray former = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    const bool strayBefore = QFile::exists("/usr/bin/MD40_90.INI");
    app::Program p;
    app::loadProgram(p, "/usr/bin");
    const QString userCopy = home.filePath("Velmora/mdconfig/MD40_90.INI");
    QCOMPARE(p.settingsLocation.readPath, userCopy);
    QCOMPARE(p.settingsLocation.writePath, userCopy);
    p.ComPortNumber = 4;
    RecordingPort serialPort;
    const std::optional<QString> failure = app::quitProgram(p, 0, serialPort);
    qputenv("XDG_CONFIG_HOME", former);
    QCOMPARE(failure, std::nullopt);
    QCOMPARE(readAll(userCopy), QByteArray(" 0  4 \r\n"));
    QCOMPARE(QFile::exists("/usr/bin/MD40_90.INI"), strayBefore);
}

void tst_Program::plantedFifoNeitherHangsStartUpNorIsReplaced()
{
    QTemporaryDir programDir;
    const QString path = programDir.filePath("MD40_90.INI");
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    app::Program p;
    // A start-up that waited for a writer would never end; this one must end on its own.
    app::loadProgram(p, programDir.path());
    QCOMPARE(int(p.ProductIndex), 2);
    QCOMPARE(p.ComPortNumber, std::int16_t(0));
    RecordingPort serialPort;
    const std::optional<QString> failure = app::quitProgram(p, 1, serialPort);
    QVERIFY(failure);
    QVERIFY2(failure->contains("FIFO"), qPrintable(*failure));
    QVERIFY(QFileInfo(path).exists() && !QFileInfo(path).isFile());
}

void tst_Program::titleAndAboutFollowTheVersion()
{
    app::Program p;
    QCOMPARE(app::mainWindowTitle(p),
             QStringLiteral("Velmora MD20/MD40/MD90 Configuration Program Ver. 2.0"));
    const QStringList about = app::aboutText(p.ProgramVersion).split("\r\n");
    QCOMPARE(about.size(), 5);
    QCOMPARE(about[0], QStringLiteral("MD20/40 MD90 programmer Ver. 2.0"));
    QVERIFY(about[1].isEmpty());
    QVERIFY(!about[2].isEmpty());
    QVERIFY(about[3].isEmpty());
    QCOMPARE(about[4], QStringLiteral("For Win98, WinXP, Win2K & Vista"));
    QVERIFY(app::aboutText("3.1").startsWith("MD20/40 MD90 programmer Ver. 3.1\r\n"));
}

void tst_Program::helpTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString common2 =
        "    DOWN keys for 10 seconds (until you hear a long beep).  The display should \r\n"
        "    Show 'rdY'.\r\n"
        "\r\n";
    QTest::newRow("MD90")
        << app::helpMd90Text()
        << "a) Place the MD90 into programming mode by pressing and holding the UP and \r\n" + common2 +
               "b) Ensure that the MD90 is correctly connected to the computer as shown\r\n"
               "    below (and in the MD90 users manual):\r\n"
               "\r\n"
               "      For a DB-9 connector:\r\n"
               "         DB-9 Pin 3 ---> MD90, White wire (channel 4 input)\r\n"
               "         DB-9 Pin 5 ---> GROUND\r\n"
               "\r\n"
               "      For a DB-25 connector:\r\n"
               "         DB-25 Pin 2 ---> MD90, White wire (channel 4 input)\r\n"
               "         DB-25 Pin 7 ---> GROUND\r\n"
               "  ";
    QTest::newRow("MD20/40")
        << app::helpMd2040Text()
        << "a) Place the MD20/40 into programming mode by pressing and holding the UP and \r\n" + common2 +
               "b) Ensure that the MD20/40 is correctly connected to the computer as shown\r\n"
               "    below (and in the MD20/40 users manual):\r\n"
               "\r\n"
               "      For a DB-9 connector:\r\n"
               "         DB-9 Pin 3 ---> MD20/40 terminal 'F'\r\n"
               "         DB-9 Pin 5 ---> GROUND\r\n"
               "\r\n"
               "      For a DB-25 connector:\r\n"
               "         DB-25 Pin 2 ---> MD20/40 terminal 'F'\r\n"
               "         DB-25 Pin 7 ---> GROUND\r\n"
               "  ";
}

void tst_Program::helpTexts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
    QCOMPARE(text.count("\r\n"), 14);
    QVERIFY(text.endsWith("\r\n  "));
}

void tst_Program::composeSentence_data()
{
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("talker"); // -1: no entry chosen
    QTest::addColumn<int>("golden"); // the row the record's first frame must match; -1: untouched
    QTest::addColumn<int>("iconIndex");
    // GP RMC field 5 at location 3 with KT (9) chosen in the icon dialog; IconIndex was 7 before.
    QTest::newRow("MD90 1.3 keeps the chosen icon") << 2 << 15 << 2 << 9;
    QTest::newRow("MD20/MD40 is sent no icon: IconIndex None") << 0 << 15 << 1 << 0;
    QTest::newRow("no talker: neither record nor icon changes") << 2 << -1 << -1 << 7;
}

void tst_Program::composeSentence()
{
    QFETCH(int, product);
    QFETCH(int, talker);
    QFETCH(int, golden);
    app::Program p;
    p.IconIndex = 7;
    const frame::SentenceBytes before = p.SentenceBytes;
    const frame::Configuration c{3, frame::Standard{talker, 59, 5}, 9};
    const frame::EncodeError missing = app::composeSentence(p, c, vocabulary::Products[std::size_t(product)]);
    QCOMPARE(missing.has_value(), golden < 0);
    if (golden < 0)
        QCOMPARE(p.SentenceBytes, before);
    else
        QCOMPARE(frame::sendFrames(p.SentenceBytes).first(), GoldenFrames[std::size_t(golden)].first());
    QTEST(int(p.IconIndex), "iconIndex");
}

void tst_Program::promptAnswerIsTheProgramsPortBeforeTheWindowHears()
{
    qputenv("MDCONFIG_COM3", "/dev/fake3");
    qputenv("MDCONFIG_COM5", "/dev/fake5");
    app::Program p;
    p.ComPortNumber = 3;
    p.pacing.wait = [](frame::Clock::time_point) {}; // no real time: the schedule is not what is tested here
    RecordingPort port;
    port.refused << "/dev/fake3";
    QList<int> heard; // the program's port number when the window hears of the change
    frame::SendEvents events;
    events.askPort = [](const QString &) { return std::optional<QString>("5"); };
    events.portChanged = [&](std::int16_t) { heard << p.ComPortNumber; };
    const frame::SendReport report = app::transmitSentence(p, port, events);
    qunsetenv("MDCONFIG_COM3");
    qunsetenv("MDCONFIG_COM5");
    QVERIFY(report.sent());
    QCOMPARE(heard, QList<int>{5});
    QCOMPARE(p.ComPortNumber, std::int16_t(5));
    QCOMPARE(port.opened, (QStringList{"/dev/fake3", "/dev/fake5"}));
}

QTEST_GUILESS_MAIN(tst_Program)
#include "tst_program.moc"
