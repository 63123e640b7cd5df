#include "serial/portopener.h"
#include "support/recordingport.h"

#include <QTest>

namespace {

const QString Prompt3 =
    QStringLiteral("Error encountered while trying to open COM 3.\r\nPlease check COM port "
                   "number.\r\n\r\nEnter a new COM port number or click Cancel.");

} // namespace

class tst_PortOpener : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void answers_data();
    void answers();
    void promptText_data();
    void promptText();
    void opensTheChosenPort();
    void answerOpensTheNewNumber();
    void textAnswerAsksAgain();
    void outOfRangeAnswerKeepsTheNumber();
    void cancelGivesUp_data();
    void cancelGivesUp();
    void reopensAnOpenPort();
};

void tst_PortOpener::init()
{
    qputenv("MDCONFIG_COM3", "/dev/fake3");
    qputenv("MDCONFIG_COM5", "/dev/fake5");
}

void tst_PortOpener::cleanup()
{
    qunsetenv("MDCONFIG_COM3");
    qunsetenv("MDCONFIG_COM5");
}

void tst_PortOpener::answers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("port"); // -1: outside 0..16, asked again
    QTest::newRow("5") << "5" << 5;
    QTest::newRow("blanks around") << "  7  " << 7;
    QTest::newRow("blanks inside are ignored") << "1 2" << 12;
    QTest::newRow("4.5 rounds to even 4") << "4.5" << 4;
    QTest::newRow("5.5 rounds to even 6") << "5.5" << 6;
    QTest::newRow("2.5 rounds to even 2") << "2.5" << 2;
    QTest::newRow("3.6 rounds up") << "3.6" << 4;
    QTest::newRow("text without digits gives 0") << "abc" << 0;
    QTest::newRow("read as far as it is a number") << "12abc" << 12;
    QTest::newRow("COM5 does not begin with a number") << "COM5" << 0;
    QTest::newRow("leading plus") << "+9" << 9;
    QTest::newRow("fraction only") << ".7" << 1;
    QTest::newRow("16 is the last port") << "16" << 16;
    QTest::newRow("16.4 rounds into range") << "16.4" << 16;
    QTest::newRow("17 is outside") << "17" << -1;
    QTest::newRow("16.5 rounds to 16") << "16.5" << 16;
    QTest::newRow("negative is outside") << "-1" << -1;
    QTest::newRow("minus a little rounds to 0") << "-0.4" << 0;
    QTest::newRow("too large for 16 bits") << "99999" << -1;
    QTest::newRow("far too large") << QString(400, '9') << -1;
}

void tst_PortOpener::answers()
{
    QFETCH(QString, answer);
    QFETCH(int, port);
    const std::optional<std::int16_t> parsed = serial::parseAnswer(answer);
    if (port < 0)
        QCOMPARE(parsed, std::nullopt);
    else
        QCOMPARE(parsed, std::optional<std::int16_t>(std::int16_t(port)));
}

void tst_PortOpener::promptText_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("port 3: a blank before the digit") << 3 << "Error encountered while trying to open COM 3.";
    QTest::newRow("port 12: two digits") << 12 << "Error encountered while trying to open COM12.";
    QTest::newRow("port 0") << 0 << "Error encountered while trying to open COM 0.";
}

void tst_PortOpener::promptText()
{
    QFETCH(int, port);
    QFETCH(QString, firstLine);
    const QString prompt = serial::openErrorPrompt(port);
    QCOMPARE(prompt.section("\r\n", 0, 0), firstLine);
    QCOMPARE(
        prompt.section("\r\n", 1),
        QStringLiteral("Please check COM port number.\r\n\r\nEnter a new COM port number or click Cancel."));
}

void tst_PortOpener::opensTheChosenPort()
{
    RecordingPort port;
    std::int16_t number = 3;
    int asked = 0;
    QVERIFY(serial::OpenComPort(port, number,
                                [&](const QString &) { return ++asked, std::optional<QString>(); }, {}));
    QCOMPARE(asked, 0);
    QCOMPARE(port.opened, QStringList{"/dev/fake3"});
    QVERIFY(port.isOpen());
}

void tst_PortOpener::answerOpensTheNewNumber()
{
    RecordingPort port;
    port.refused << "/dev/fake3";
    std::int16_t number = 3;
    QStringList prompts;
    QList<int> changes;
    const bool opened = serial::OpenComPort(
        port, number,
        [&](const QString &prompt) {
            prompts << prompt;
            return std::optional<QString>("5");
        },
        [&](std::int16_t n) { changes << n; });
    QVERIFY(opened);
    QCOMPARE(changes, QList<int>{5});
    QCOMPARE(port.opened, (QStringList{"/dev/fake3", "/dev/fake5"}));
    QCOMPARE(prompts.size(), 1);
    // The specified prompt, then a line of its own naming the device and the system's reason.
    QVERIFY(prompts[0].startsWith(Prompt3 + "\r\n\r\n"));
    QVERIFY(prompts[0].contains("/dev/fake3: permission denied"));
}

void tst_PortOpener::textAnswerAsksAgain()
{
    RecordingPort port;
    port.refused << "/dev/fake3";
    std::int16_t number = 3;
    QStringList answers{"no idea", "5"};
    QStringList prompts;
    QList<int> changes;
    QVERIFY(serial::OpenComPort(
        port, number,
        [&](const QString &prompt) {
            prompts << prompt;
            return std::optional<QString>(answers.takeFirst());
        },
        [&](std::int16_t n) { changes << n; }));
    // Text gives port 0, which names no port, so the prompt comes back for COM 0.
    QCOMPARE(prompts.size(), 2);
    QVERIFY(prompts[1].startsWith("Error encountered while trying to open COM 0."));
    QVERIFY(prompts[1].contains("No port is chosen"));
    QCOMPARE(changes, (QList<int>{0, 5}));
}

void tst_PortOpener::outOfRangeAnswerKeepsTheNumber()
{
    RecordingPort port;
    port.refused << "/dev/fake3";
    std::int16_t number = 3;
    QStringList answers{"17", "40000", "-2"};
    QList<int> changes;
    QStringList prompts;
    const bool opened = serial::OpenComPort(
        port, number,
        [&](const QString &prompt) {
            prompts << prompt;
            return answers.isEmpty() ? std::optional<QString>() : std::optional<QString>(answers.takeFirst());
        },
        [&](std::int16_t n) { changes << n; });
    QVERIFY(!opened);
    QVERIFY(changes.isEmpty());
    QCOMPARE(prompts.size(), 4);
    for (const QString &p : prompts)
        QVERIFY(p.startsWith(Prompt3));
    // Asked again, the prompt says why: the answer before named no port.
    QVERIFY(!prompts[0].contains("names no COM port"));
    QVERIFY2(prompts[1].endsWith("\"17\" names no COM port: the numbers are 0 (None) to 16."),
             qPrintable(prompts[1]));
    QVERIFY(prompts[2].endsWith("\"40000\" names no COM port: the numbers are 0 (None) to 16."));
    QVERIFY(prompts[3].endsWith("\"-2\" names no COM port: the numbers are 0 (None) to 16."));
}

void tst_PortOpener::cancelGivesUp_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("Cancel") << true;
    QTest::newRow("OK on an empty field") << false;
}

void tst_PortOpener::cancelGivesUp()
{
    QFETCH(bool, cancel);
    RecordingPort port;
    port.refused << "/dev/fake3";
    std::int16_t number = 3;
    QVERIFY(!serial::OpenComPort(
        port, number,
        [&](const QString &) { return cancel ? std::optional<QString>() : std::optional<QString>(""); }, {}));
    QVERIFY(!port.isOpen());
}

void tst_PortOpener::reopensAnOpenPort()
{
    RecordingPort port;
    std::int16_t number = 3;
    QVERIFY(serial::OpenComPort(port, number, {}, {}));
    QVERIFY(serial::OpenComPort(port, number, {}, {}));
    QCOMPARE(port.closes, 1);
    QCOMPARE(port.opened.size(), 2);
}

QTEST_GUILESS_MAIN(tst_PortOpener)
#include "tst_portopener.moc"
