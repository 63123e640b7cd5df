// Both Send buttons from end to end, in the real main window: through a socat pseudo-terminal pair with
// the real pacing, and through a recording port with short slots where real time adds nothing.
#include "serial/qtserialport.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/ptypair.h"
#include "support/recordingport.h"
#include "support/sends.h"
#include "ui/busmonitor.h"
#include "ui/mainwindow.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono;

namespace {

// Where a dialog goes: 1000 twips right of and below the main window's outer corner.
QPoint besideMain(const QWidget *main)
{
    return {ui::pixels(ui::twips(main->x()) + 1000), ui::pixels(ui::twips(main->y()) + 1000)};
}

// A started program whose COM port number names the given device.
template <class Port> struct Program {
    explicit Program(const QString &device, bool quick)
    {
        qputenv("MDCONFIG_COM4", QFile::encodeName(device));
        writeAll(dir.filePath("MD40_90.INI"), " 0  4 \r\n");
        if (quick)
            program.pacing = frame::Pacing{microseconds(2000), microseconds(1000)};
        window.Form_Load(dir.path());
        window.show();
    }
    ~Program() { qunsetenv("MDCONFIG_COM4"); }

    template <class W> W *find(const char *name) { return window.findChild<W *>(name); }
    void product(int index)
    {
        find<QRadioButton>(qPrintable(QStringLiteral("optProduct(%1)").arg(index)))->click();
    }
    void choose(const char *list, const QString &entry)
    {
        auto *combo = find<QComboBox>(list);
        combo->setCurrentIndex(combo->findText(entry));
    }

    QTemporaryDir dir;
    app::Program program;
    Port port;
    ui::MainWindow window{program, port};
};

// A recording port whose receive line hears a bus: one sentence each time it is read.
struct ListeningPort : RecordingPort {
    QByteArray readReceived() override
    {
        return isOpen() ? QByteArrayLiteral("$IIMTW,12.5,C*15\r\n") : QByteArray();
    }
    bool setReceiveSpeed(int) override { return isOpen(); }
};

using Recorded = Program<RecordingPort>;
using Real = Program<serial::QtSerialPort>;

// Presses Continue in the icon dialog with the given icon, once the dialog is up.
void answerIcons(ui::MainWindow &window, int icon, int *shownWith = nullptr)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, &window, icon, shownWith] {
        if (!window.frmIcons()->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        if (shownWith)
            *shownWith = window.frmIcons()->selectedIndex();
        QVERIFY(!window.isEnabled());
        window.frmIcons()->optIcons(icon)->click();
        window.frmIcons()->cmdIconsContinue()->click();
    });
    timer->start();
}

} // namespace

class tst_Send : public QObject {
    Q_OBJECT
private slots:
    void init() { m_cwd = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(m_cwd); }

    void realSends_data();
    void realSends();
    void iconDialogKeepsItsChoice();
    void otherProductAfterMd90HasNoIconByte();
    void dialogsMoveWithTheMainWindow();
    void listWithoutAChoice();
    void secondPressDuringASendDoesNothing();
    void cancelAtThePortPrompt();
    void promptAnswerOpensAnotherPort();
    void failedWriteTellsTheUser();
    void deviceVanishingMidSend();
    void windowHoldingThePortRefusesTheCommandLine();
    void previewsShowTheFrameWithoutSideEffects();
    void fieldWarningAskedBeforeTheSend_data();
    void fieldWarningAskedBeforeTheSend();
    void monitorAndSendNeverHoldTheLineAtOnce();

private:
    QString m_cwd;
};

void tst_Send::realSends_data()
{
    QTest::addColumn<int>("product");
    QTest::addColumn<bool>("standard");
    QTest::addColumn<QStringList>("choices"); // list=entry pairs
    QTest::addColumn<int>("icon");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("standard GP RMC 5 at 3, MD20/MD40")
        << 0 << true
        << QStringList{"cmbNmeaTalker=GP", "cmbNmeaID=RMC", "cmbNmeaCommas=5", "cboMemoryLocation1=3"} << -1
        << tenTimesHex("24324750524D4305357B", "24324750524D4305355B");
    QTest::newRow("XDR C commas 3 at 1, MD90 1.0")
        << 1 << true
        << QStringList{"cmbNmeaTalker=II", "cmbNmeaID=XDR", "cboXDR=C - Temperature, Degrees C",
                       "cmbNmeaCommas=3", "cboMemoryLocation1=1"}
        << -1 << tenTimesHex("24304949584452433 33E", "24304949584452433326");
    QTest::newRow("proprietary engine RPM at 2, MD90 1.3 with KT")
        << 2 << false << QStringList{"cboVmInstrumentID=NX20/40 ENGINE RPM", "cboMemoryLocation2=2"} << 9
        << tenTimesHex("243150564C4D290472045C", "243150564C4D2904720440");
}

void tst_Send::realSends()
{
    QFETCH(int, product);
    QFETCH(bool, standard);
    QFETCH(QStringList, choices);
    QFETCH(int, icon);
    QFETCH(QByteArray, bytes);
    if (!PtyPair::available())
        QFAIL("socat is needed: apt-get install socat");
    PtyPair pty;
    QVERIFY(pty.start());
    Real p(pty.sendEnd(), false);
    p.product(product);
    for (const QString &choice : choices)
        p.choose(qPrintable(choice.section('=', 0, 0)), choice.section('=', 1));
    if (icon >= 0)
        answerIcons(p.window, icon);

    // What the windows show halfway through the send.
    bool progressShown = false, mainDisabled = false;
    QString progressTitle;
    QTimer::singleShot(2500, [&] {
        progressShown = p.window.frmProgress() && p.window.frmProgress()->isVisible();
        progressTitle = progressShown ? p.window.frmProgress()->windowTitle() : QString();
        mainDisabled = !p.window.isEnabled();
    });
    p.find<QPushButton>(standard ? "cmdSend1" : "cmdSend2")->click();

    QVERIFY(pty.waitFor(bytes.size(), 2000));
    QTest::qWait(100);
    QCOMPARE(pty.received(), bytes);
    QVERIFY(progressShown);
    QCOMPARE(progressTitle, QStringLiteral("Sending new sentence..."));
    QVERIFY(mainDisabled);
    QVERIFY(!p.window.frmProgress()->isVisible());
    QCOMPARE(p.window.frmProgress()->ProgressBar1()->value(), 0);
    QVERIFY(p.window.isEnabled());
    QVERIFY(p.port.isOpen()); // stays open until the next send or Quit
}

void tst_Send::iconDialogKeepsItsChoice()
{
    Recorded p("/dev/fake", true);
    p.product(2);
    answerIcons(p.window, 14); // VOLTS
    p.window.cmdSend2_Click();
    QCOMPARE(p.program.IconIndex, std::int16_t(14));
    QCOMPARE(p.port.written.size(), 110);
    QCOMPARE(p.port.written.at(9), char(0x56));

    int shownWith = -1;
    p.port.written.clear();
    answerIcons(p.window, 14, &shownWith);
    p.window.cmdSend1_Click();
    QCOMPARE(shownWith, 14);
    QCOMPARE(p.port.written.size(), 110);

    // Continue with None gives 0, sent as 0xFF.
    p.port.written.clear();
    answerIcons(p.window, 0);
    p.window.cmdSend1_Click();
    QCOMPARE(p.program.IconIndex, std::int16_t(0));
    QCOMPARE(p.port.written.at(9), char(0xFF));
}

void tst_Send::otherProductAfterMd90HasNoIconByte()
{
    Recorded p("/dev/fake", true);
    p.product(2);
    answerIcons(p.window, 9);
    p.window.cmdSend1_Click();
    QCOMPARE(p.port.written.size(), 110);
    p.port.written.clear();
    p.product(0);
    p.window.cmdSend1_Click(); // no dialog: nothing answers it, and none is needed
    QVERIFY(!p.window.frmIcons()->isVisible());
    QCOMPARE(p.port.written.size(), 100);
    QCOMPARE(p.program.IconIndex, std::int16_t(0));
}

void tst_Send::dialogsMoveWithTheMainWindow()
{
    Recorded p("/dev/fake", true);
    p.product(0);
    p.window.move(45, 210);
    p.window.cmdSend1_Click();
    const QPoint expected = besideMain(&p.window);
    QCOMPARE(p.window.frmComms()->pos(), expected);
    QCOMPARE(p.window.frmIcons()->pos(), expected);
    p.window.move(400, 20);
    p.window.cmdSend2_Click();
    QCOMPARE(p.window.frmIcons()->pos(), besideMain(&p.window));
}

void tst_Send::listWithoutAChoice()
{
    Recorded p("/dev/fake", true);
    p.product(0);
    auto *talker = p.find<QComboBox>("cmbNmeaTalker");
    talker->lineEdit()->selectAll();
    QTest::keyClicks(talker->lineEdit(), "ZZ");
    QCOMPARE(talker->currentIndex(), -1);
    const frame::SentenceBytes before = p.program.SentenceBytes;
    QString text;
    answerModal([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY(box);
        text = box->text();
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        box->button(QMessageBox::Ok)->click();
    });
    p.window.cmdSend1_Click();
    QVERIFY2(text.contains("\"Talker ID\""), qPrintable(text));
    QVERIFY(p.port.opened.isEmpty());
    QVERIFY(p.port.written.isEmpty());
    QCOMPARE(p.program.SentenceBytes, before);
    QVERIFY(p.window.isEnabled());
    QVERIFY(!p.window.frmProgress());
}

void tst_Send::secondPressDuringASendDoesNothing()
{
    Recorded p("/dev/fake", false); // real pacing: a send lasts six seconds
    p.product(0);
    bool closeRefused = false;
    QTimer::singleShot(1000, [&] {
        p.find<QPushButton>("cmdSend1")->click();
        p.find<QPushButton>("cmdSend2")->click();
        p.window.cmdSend2_Click(); // even a press that gets past the disabled window
        closeRefused = !p.window.close();
        p.find<QPushButton>("cmdQuit")->click();
    });
    p.window.cmdSend1_Click();
    QCOMPARE(p.port.written.size(), 100);
    QCOMPARE(p.port.opened.size(), 1);
    QVERIFY(closeRefused);
    QVERIFY(p.window.isVisible());
    QVERIFY(!QFile::exists(p.dir.filePath("MD40_90.INI")) ||
            QFile(p.dir.filePath("MD40_90.INI")).size() == 8); // Quit did not run
}

void tst_Send::cancelAtThePortPrompt()
{
    Recorded p("/dev/fake", true);
    p.port.refused << "/dev/fake";
    p.product(0);
    QString title, label, preset;
    answerModal([&](QWidget *w) {
        auto *box = qobject_cast<QInputDialog *>(w);
        QVERIFY(box);
        title = box->windowTitle();
        label = box->labelText();
        preset = box->textValue();
        box->reject();
    });
    p.window.cmdSend1_Click();
    QCOMPARE(title, QStringLiteral("Communications Error"));
    QCOMPARE(preset, QStringLiteral("0"));
    QVERIFY(
        label.startsWith("Error encountered while trying to open COM 4.\nPlease check COM port number.\n\n"
                         "Enter a new COM port number or click Cancel.\n\n"));
    QVERIFY(label.contains("/dev/fake"));
    QVERIFY(p.port.written.isEmpty());
    QVERIFY(!p.window.frmProgress()); // no progress window pretends to send
    QVERIFY(p.window.isEnabled());
    QCOMPARE(p.program.ComPortNumber, std::int16_t(4));

    // The next send tries the same port again.
    answerModal([](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); });
    p.window.cmdSend1_Click();
    QCOMPARE(p.port.opened, (QStringList{"/dev/fake", "/dev/fake"}));
}

void tst_Send::promptAnswerOpensAnotherPort()
{
    Recorded p("/dev/fake", true);
    p.port.refused << "/dev/fake";
    qputenv("MDCONFIG_COM5", "/dev/fake5");
    p.product(0);
    answerModal([](QWidget *w) {
        auto *box = qobject_cast<QInputDialog *>(w);
        box->setTextValue("5");
        box->accept();
    });
    p.window.cmdSend1_Click();
    qunsetenv("MDCONFIG_COM5");
    QCOMPARE(p.port.opened, (QStringList{"/dev/fake", "/dev/fake5"}));
    QCOMPARE(p.port.written.size(), 100);
    QCOMPARE(p.program.ComPortNumber, std::int16_t(5));
    QCOMPARE(p.find<QLabel>("lblCommsPort")->text(), QStringLiteral("COM Port =  5"));
    QVERIFY(p.window.frmComms()->optComm(5)->isChecked());
}

void tst_Send::failedWriteTellsTheUser()
{
    Recorded p("/dev/fake", true);
    p.product(0);
    p.port.failAfter = 25;
    QString title, text;
    bool progressHidden = false, mainEnabled = false;
    answerModal([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        progressHidden = !p.window.frmProgress()->isVisible();
        mainEnabled = p.window.isEnabled();
        box->button(QMessageBox::Ok)->click();
    });
    p.window.cmdSend1_Click();
    QCOMPARE(title, QStringLiteral("Sentence not sent"));
    QVERIFY(text.contains("not sent"));
    QVERIFY(text.contains("the device was removed after 2 of 10 repetitions; the display may have taken the "
                          "location"));
    QVERIFY(progressHidden);
    QVERIFY(mainEnabled);
    QVERIFY(!p.port.isOpen());
    QCOMPARE(p.port.closes, 1);
    QCOMPARE(p.port.written.size(), 25);
}

void tst_Send::deviceVanishingMidSend()
{
    if (!PtyPair::available())
        QFAIL("socat is needed: apt-get install socat");
    PtyPair pty;
    QVERIFY(pty.start());
    Real p(pty.sendEnd(), false);
    p.product(0);
    QTimer::singleShot(1200, [&] { pty.killSocat(); });
    QString text;
    answerModal([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY(box);
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    QElapsedTimer clock;
    clock.start();
    p.window.cmdSend1_Click();
    QVERIFY2(clock.elapsed() < 5000, "the send carried on after the device went away");
    QVERIFY2(text.contains("not sent"), qPrintable(text));
    QVERIFY(text.contains(pty.sendEnd()));
    QVERIFY(!p.port.isOpen());
    QVERIFY(p.window.isEnabled());
    QVERIFY(!p.window.frmProgress()->isVisible());
}

void tst_Send::windowHoldingThePortRefusesTheCommandLine()
{
    if (!PtyPair::available())
        QFAIL("socat is needed: apt-get install socat");
    PtyPair pty;
    QVERIFY(pty.start());
    Real p(pty.sendEnd(), true);
    p.product(0);
    const QStringList choices{"cmbNmeaTalker=GP", "cmbNmeaID=RMC", "cmbNmeaCommas=5", "cboMemoryLocation1=3"};
    for (const QString &choice : choices)
        p.choose(qPrintable(choice.section('=', 0, 0)), choice.section('=', 1));
    p.find<QPushButton>("cmdSend1")->click();
    QVERIFY(pty.waitFor(100, 2000));
    QVERIFY(p.port.isOpen()); // kept open until the next send or Quit

    const QString node = QFileInfo(pty.sendEnd()).canonicalFilePath();
    QProcess cli;
    cli.start(QStringLiteral(MDCONFIG_CLI),
              {"send", "standard", "--talker", "GP", "--sentence", "RMC", "--field", "5", "--memory", "3",
               "--product", "0", "--device", node});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 1);
    const QByteArray err = cli.readAllStandardError();
    QVERIFY2(err.contains("busy"), err.constData());
    QTest::qWait(200);
    QCOMPARE(pty.received().size(), 100);
}

void tst_Send::previewsShowTheFrameWithoutSideEffects()
{
    Recorded p("/dev/fake", true);
    p.product(0);
    p.choose("cmbNmeaTalker", "GP");
    p.choose("cmbNmeaID", "RMC");
    p.choose("cmbNmeaCommas", "5");
    p.choose("cboMemoryLocation1", "3");
    QVERIFY(p.find<QPushButton>("cmdSend1")->toolTip().contains("24 32 47 50 52 4D 43 05 35 7B"));
    p.choose("cboVmInstrumentID", "NX20/40 ENGINE RPM");
    p.choose("cboMemoryLocation2", "2");
    QVERIFY(p.find<QPushButton>("cmdSend2")->toolTip().contains("24 31 50 56 4C 4D 29 04 72 58"));

    p.program.IconIndex = 9;
    const frame::SentenceBytes before = p.program.SentenceBytes;
    p.product(2);
    p.window.frmIcons()->optIcons(9)->click();
    QVERIFY(p.find<QPushButton>("cmdSend1")->toolTip().contains("24 32 47 50 52 4D 43 05 35 04 7F"));
    p.product(1);
    QCOMPARE(p.program.IconIndex, std::int16_t(9));
    QCOMPARE(p.program.SentenceBytes, before);

    auto *memory = p.find<QComboBox>("cboMemoryLocation1");
    memory->lineEdit()->selectAll();
    QTest::keyClicks(memory->lineEdit(), "11");
    QVERIFY(p.find<QPushButton>("cmdSend1")->toolTip().contains("Memory Location"));
}

void tst_Send::fieldWarningAskedBeforeTheSend_data()
{
    QTest::addColumn<QString>("sentence");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("warning");
    QTest::newRow("MWV alternates: cancelled, nothing sent") << "MWV"
                                                             << "1" << false << "MWV alternates";
    QTest::newRow("MWV alternates: accepted, sent") << "MWV"
                                                    << "1" << true << "MWV alternates";
    QTest::newRow("DPT field 10: past its last") << "DPT"
                                                 << "10" << true << "past the last field of DPT";
}

void tst_Send::fieldWarningAskedBeforeTheSend()
{
    QFETCH(QString, sentence);
    QFETCH(QString, field);
    QFETCH(bool, accept);
    QFETCH(QString, warning);
    Recorded p("/dev/fake", true);
    p.product(0);
    p.choose("cmbNmeaTalker", "WI");
    p.choose("cmbNmeaID", sentence);
    p.choose("cmbNmeaCommas", field);
    // The field's tooltip names it where the table does: MWV field 1 is the wind angle.
    const QString tip = p.find<QComboBox>("cmbNmeaCommas")->toolTip();
    QVERIFY2(tip.startsWith(field) &&
                 (sentence != QLatin1String("MWV") || tip.contains(QLatin1String("wind angle"))),
             qPrintable(tip));
    QVERIFY(p.find<QPushButton>("cmdSend1")->toolTip().contains(warning));
    QString asked;
    answerModal([&](QWidget *box) {
        auto *m = qobject_cast<QMessageBox *>(box);
        asked = m ? m->text() : QStringLiteral("not a message box");
        if (m)
            m->button(accept ? QMessageBox::Ok : QMessageBox::Cancel)->click();
    });
    p.find<QPushButton>("cmdSend1")->click();
    QVERIFY2(asked.contains(warning), qPrintable(asked));
    QCOMPARE(p.port.written.size(), accept ? 100 : 0);
}

void tst_Send::monitorAndSendNeverHoldTheLineAtOnce()
{
    Program<ListeningPort> p("/dev/fake", true);
    p.product(0);
    p.window.BusMonitor_Click();
    ui::BusMonitor *monitor = p.window.frmBusMonitor();
    monitor->start();
    QVERIFY(monitor->running());
    monitor->tick();
    const qint64 before = monitor->monitor().totals().sentences;
    QVERIFY(before > 0);

    // At every byte of the send the send holds the line, and the monitor, ticking meanwhile, counts nothing.
    QList<app::Holder> holders;
    p.port.clock = [&] {
        holders << p.window.line().holder();
        monitor->tick();
        return frame::Clock::now();
    };
    p.window.cmdSend1_Click();
    QCOMPARE(p.port.written.size(), 100);
    QCOMPARE(holders, QList<app::Holder>(100, app::Holder::Send));
    QCOMPARE(monitor->monitor().totals().sentences, before);

    // Afterwards the monitor has the line back and counts on.
    p.port.clock = {};
    QCOMPARE(p.window.line().holder(), app::Holder::Monitor);
    monitor->tick();
    QVERIFY(monitor->monitor().totals().sentences > before);

    // Stopped, it cannot start while the plan window's send has the line.
    monitor->stop();
    QVERIFY(!p.window.line().claim(app::Holder::PlanSend));
    monitor->start();
    QVERIFY(!monitor->running());
    QCOMPARE(p.window.line().holder(), app::Holder::PlanSend);
    p.window.line().release(app::Holder::PlanSend);
}

QTEST_MAIN(tst_Send)
#include "tst_send.moc"
