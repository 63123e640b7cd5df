// The program's serial line without a window: which device a number opens and why not, who may hold the line
// after whom, and what every window hears.
#include "app/serialline.h"
#include "support/recordingport.h"

#include <QSignalSpy>
#include <QTest>

using app::Holder;

namespace {

// A computer with no serial port of its own: a number opens only what MDCONFIG_COM<n> names.
struct Bare {
    Bare()
    {
        serial::setSystemPorts([] { return QList<serial::SystemPort>{}; });
    }
    ~Bare()
    {
        serial::setSystemPorts({});
        qunsetenv("MDCONFIG_COM3");
        qunsetenv("MDCONFIG_COM5");
    }
    app::Program program;
    RecordingPort port;
    app::SerialLine line{program, port};
};

} // namespace

class tst_SerialLine : public QObject {
    Q_OBJECT
private slots:
    void numberToDevice_data();
    void numberToDevice();
    void deviceVanishes();
    void claims_data();
    void claims();
    void monitorHasTheLineBackAfterAWriter();
    void checkBeforeWritingRefusesOnlyWriters();
    void promptAnswerIsHeardByEveryWindow();
};

void tst_SerialLine::numberToDevice_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("whyNot"); // empty: opens the device
    QTest::newRow("COM3 named by the environment") << 3 << "/dev/ttyUSB7"
                                                   << "";
    QTest::newRow("None names no port") << 0 << ""
                                        << "No port is chosen (\"None\").";
    QTest::newRow("COM5 with nothing there") << 5 << ""
                                             << "COM5 names no serial device on this computer.";
}

void tst_SerialLine::numberToDevice()
{
    QFETCH(int, number);
    QFETCH(QString, device);
    QFETCH(QString, whyNot);
    Bare b;
    qputenv("MDCONFIG_COM3", "/dev/ttyUSB7");
    QSignalSpy heard(&b.line, &app::SerialLine::numberChanged);
    b.line.setNumber(std::int16_t(number));
    QCOMPARE(b.program.ComPortNumber, std::int16_t(number)); // the program-wide value is the number
    QCOMPARE(heard.size(), 1);
    QCOMPARE(heard.at(0).at(0).toInt(), number);
    QCOMPARE(b.line.devicePath(), device);
    QCOMPARE(b.line.whyNot().has_value(), !whyNot.isEmpty());
    if (!whyNot.isEmpty()) {
        // The one wording, with where to choose another.
        QVERIFY2(b.line.whyNot()->startsWith(whyNot), qPrintable(*b.line.whyNot()));
        QVERIFY(b.line.whyNot()->contains(QLatin1String("Edit > COM Port")));
        QCOMPARE(b.line.describe(), *b.line.whyNot());
    } else {
        QVERIFY2(b.line.describe().startsWith(device), qPrintable(b.line.describe()));
    }
}

void tst_SerialLine::deviceVanishes()
{
    Bare b;
    qputenv("MDCONFIG_COM3", "/dev/ttyUSB7");
    b.line.setNumber(3);
    QCOMPARE(b.line.devicePath(), QStringLiteral("/dev/ttyUSB7"));
    qunsetenv("MDCONFIG_COM3"); // the adapter is pulled out: the same number now opens nothing
    QVERIFY(b.line.devicePath().isEmpty());
    QVERIFY(b.line.whyNot()->startsWith(QLatin1String("COM3 names no serial device")));
    QCOMPARE(b.line.number(), std::int16_t(3)); // the choice stays, for when it comes back
}

void tst_SerialLine::claims_data()
{
    QTest::addColumn<Holder>("first");
    QTest::addColumn<Holder>("second");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<Holder>("holder"); // after both claims
    QTest::newRow("a send takes the line from the monitor")
        << Holder::Monitor << Holder::Send << false << Holder::Send;
    QTest::newRow("the plan's send takes it from the monitor")
        << Holder::Monitor << Holder::PlanSend << false << Holder::PlanSend;
    QTest::newRow("no send during a send") << Holder::Send << Holder::Send << true << Holder::Send;
    QTest::newRow("no send during the test pattern")
        << Holder::TestPattern << Holder::Send << true << Holder::TestPattern;
    QTest::newRow("no plan send during a page job")
        << Holder::PageJob << Holder::PlanSend << true << Holder::PageJob;
    QTest::newRow("the monitor waits for no send to start it")
        << Holder::Send << Holder::Monitor << true << Holder::Send;
    QTest::newRow("one monitor at a time") << Holder::Monitor << Holder::Monitor << true << Holder::Monitor;
}

void tst_SerialLine::claims()
{
    QFETCH(Holder, first);
    QFETCH(Holder, second);
    QFETCH(bool, refused);
    QFETCH(Holder, holder);
    Bare b;
    QSignalSpy heard(&b.line, &app::SerialLine::holderChanged);
    QVERIFY(!b.line.claim(first));
    const std::optional<QString> why = b.line.claim(second);
    QCOMPARE(why.has_value(), refused);
    if (refused)
        QVERIFY2(why->contains(app::holderText(first)), qPrintable(*why));
    QCOMPARE(b.line.holder(), holder);
    QCOMPARE(heard.size(), refused ? 1 : 2);
    QCOMPARE(heard.last().at(0).value<Holder>(), holder);
    // A refused claimer that releases takes nothing from the one that holds the line.
    if (refused)
        b.line.release(second == first ? Holder::None : second);
    QCOMPARE(b.line.holder(), holder);
}

void tst_SerialLine::monitorHasTheLineBackAfterAWriter()
{
    Bare b;
    QVERIFY(!b.line.claim(Holder::Monitor));
    QVERIFY(!b.line.claim(Holder::Send));
    QVERIFY(b.line.busy());
    b.line.release(Holder::Send);
    QCOMPARE(b.line.holder(), Holder::Monitor);
    QVERIFY(!b.line.busy());

    // The monitor stopped while the plan sent: the line is free afterwards, not the monitor's.
    QVERIFY(!b.line.claim(Holder::PlanSend));
    b.line.release(Holder::Monitor);
    QCOMPARE(b.line.holder(), Holder::PlanSend);
    b.line.release(Holder::PlanSend);
    QCOMPARE(b.line.holder(), Holder::None);
}

void tst_SerialLine::checkBeforeWritingRefusesOnlyWriters()
{
    Bare b;
    QList<Holder> asked;
    b.line.setCheckBeforeWriting([&](Holder who, const app::SerialLine &) -> std::optional<QString> {
        asked << who;
        return QStringLiteral("not the adapter you sent with last time");
    });
    QVERIFY(!b.line.claim(Holder::Monitor));
    QCOMPARE(b.line.claim(Holder::Send), QStringLiteral("not the adapter you sent with last time"));
    QCOMPARE(b.line.holder(), Holder::Monitor); // the refused send took nothing
    QCOMPARE(asked, QList<Holder>{Holder::Send});
}

void tst_SerialLine::promptAnswerIsHeardByEveryWindow()
{
    Bare b;
    qputenv("MDCONFIG_COM3", "/dev/fake3");
    qputenv("MDCONFIG_COM5", "/dev/fake5");
    b.line.setNumber(3);
    b.program.pacing.wait = [](frame::Clock::time_point) {};
    b.port.refused << "/dev/fake3";
    QSignalSpy heard(&b.line, &app::SerialLine::numberChanged);
    frame::SendEvents events;
    events.askPort = [](const QString &) { return std::optional<QString>("5"); };
    const frame::SendReport report = b.line.transmitSentence(events);
    QVERIFY(report.sent());
    QCOMPARE(heard.size(), 1);
    QCOMPARE(heard.at(0).at(0).toInt(), 5);
    QCOMPARE(b.line.number(), std::int16_t(5));
    QCOMPARE(b.port.opened, (QStringList{"/dev/fake3", "/dev/fake5"}));
}

QTEST_GUILESS_MAIN(tst_SerialLine)
#include "tst_serialline.moc"
