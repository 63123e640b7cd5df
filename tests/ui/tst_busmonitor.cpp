// The bus monitor window, offscreen, on a port that plays the real captures into its receive line: picking a
// field carries it into the main window's lists, what the lists lack is refused with the reason, MWV warns
// that it alternates, Pause freezes the view while counting goes on, a send takes the port and the monitor
// resumes after it, and the wrong-speed banner's "Try 38400" sets the line's speed. A network source is read
// from a loopback server without the main window's line, a bad one is refused before anything starts, and
// "Auto" finds the speed while the window goes on.
#include "support/files.h"
#include "ui/busmonitor.h"
#include "ui/mainwindow.h"
#include "ui/planwindow.h"

#include "support/modal.h"
#include "support/recordingport.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A port whose receive line plays given bytes, a slice each read, and which notes the speeds it is set to.
class BusPort : public RecordingPort {
public:
    QByteArray incoming;
    qsizetype at = 0;
    qsizetype slice = 480;
    QList<int> speeds;
    // When set, the bytes are garbled at every other speed, as a UART at the wrong speed garbles them.
    int busSpeed = 0;
    bool open(const QString &device) override
    {
        speeds << 4800;
        return RecordingPort::open(device);
    }
    QByteArray readReceived() override
    {
        if (!isOpen())
            return {};
        QByteArray bytes = incoming.mid(at, slice);
        at += bytes.size();
        if (busSpeed != 0 && speeds.last() != busSpeed)
            std::fill(bytes.begin(), bytes.end(), char(0xF8));
        return bytes;
    }
    bool setReceiveSpeed(int baud) override
    {
        speeds << baud;
        return isOpen();
    }
};

// COM1 opens the monitor's device.
struct Com1 {
    Com1()
    {
        qputenv("MDCONFIG_COM1", "/dev/ttyUSB0");
        program.ComPortNumber = 1;
    }
    ~Com1() { qunsetenv("MDCONFIG_COM1"); }
    app::Program program;
};

struct Setup {
    Com1 com1;
    BusPort port;
    app::SerialLine line{com1.program, port};
    std::optional<frame::Standard> taken;
    ui::BusMonitor monitor{
        ui::BusMonitorHost{&line, [this](const frame::Standard &p) { taken = p; }, {}, {}}};

    void play(const QByteArray &bytes)
    {
        port.incoming += bytes;
        while (port.at < port.incoming.size())
            monitor.tick();
        monitor.tick();
    }
    // Selects the row of a talker, sentence and variant; false when there is none.
    bool selectRow(const QString &talker, const QString &identifier, const QString &variant = QString())
    {
        QAbstractItemModel *m = monitor.rowTable()->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            if (m->index(r, bus::RowModel::Talker).data() == talker &&
                m->index(r, bus::RowModel::Identifier).data() == identifier &&
                (variant.isNull() || m->index(r, bus::RowModel::Variant).data() == variant)) {
                monitor.rowTable()->setCurrentIndex(m->index(r, 0));
                return true;
            }
        }
        return false;
    }
    template <typename T> T *find(const char *name) const
    {
        return monitor.findChild<T *>(QLatin1String(name));
    }
};

} // namespace

class tst_BusMonitor : public QObject {
    Q_OBJECT
private slots:
    void carry_data();
    void carry();
    void carryIntoTheMainWindow_data();
    void carryIntoTheMainWindow();
    void carryIntoAPlanRow();
    void alternatesWarns();
    void pauseFreezesTheView();
    void sendTakesThePortAndTheMonitorResumes();
    void wrongSpeedBannerTriesTheOther();
    void keyboardAndScreenReaders();
    void recordsFromItsOwnFirstLine();
    void namesItsPortAndFitsItsColumns();
    void readsANetworkSource();
    void refusesABadSource_data();
    void refusesABadSource();
    void autoFindsTheSpeedWhileTheWindowGoesOn();
    void aSpeedChosenEndsTheSearch();
};

void tst_BusMonitor::carry_data()
{
    QTest::addColumn<QByteArray>("bus");
    QTest::addColumn<QStringList>("row"); // talker, sentence
    QTest::addColumn<int>("detail");      // the field (1-based), or for XDR the transducer (1-based)
    QTest::addColumn<QString>("picked");  // "GP RMC 7" or "II XDR 6 A"; empty when refused
    QTest::addColumn<QString>("reason");  // part of the reason shown when refused

    const QByteArray yacht = readData(QStringLiteral("captures/chartplotter-bus.nmea"));
    QTest::newRow("GP RMC field 7, speed over ground") << yacht << QStringList{"GP", "RMC"} << 7 << "GP RMC 7"
                                                       << "";
    QTest::newRow("XDR: HEEL, the second transducer, value field 6")
        << yacht << QStringList{"II", "XDR"} << 2 << "II XDR 6 A"
        << "";
    QTest::newRow("GN is no talker of the display's list")
        << QByteArray("$GNRMC,094737,A,5251.0093,N,00518.8170,E,5.6,230.5,200818,1.4,E,A*01\r\n")
        << QStringList{"GN", "RMC"} << 7 << ""
        << "a multi-GNSS talker the display's list does not have; set the receiver or multiplexer to send GP";
    QByteArray many = "$GPGSA";
    for (int n = 1; n <= 27; ++n)
        many += ",1";
    QTest::newRow("a field past Commas 25") << many + "\r\n"
                                            << QStringList{"GP", "GSA"} << 26 << ""
                                            << "field 26: \"Commas\" offers 1 to 25";
    QTest::newRow("another maker's own sentence")
        << QByteArray("$PGRME,15.0,M,45.0,M,25.0,M*1C\r\n") << QStringList{"P", "GRME"} << 1 << ""
        << "chosen under the maker's instruments";
}

void tst_BusMonitor::carry()
{
    QFETCH(QByteArray, bus);
    QFETCH(QStringList, row);
    QFETCH(int, detail);
    QFETCH(QString, picked);
    QFETCH(QString, reason);
    Setup s;
    s.monitor.start();
    s.play(bus);
    QVERIFY(s.selectRow(row[0], row[1]));
    QTableView *details = row[1] == QLatin1String("XDR") && picked.contains(QLatin1String("XDR"))
                              ? s.monitor.transducerTable()
                              : s.monitor.fieldTable();
    details->setCurrentIndex(details->model()->index(detail - 1, 0));
    auto *use = s.find<QPushButton>("cmdUseMain");
    QCOMPARE(use->isEnabled(), reason.isEmpty());
    if (!reason.isEmpty()) {
        QVERIFY2(use->toolTip().contains(reason), qPrintable(use->toolTip()));
        QVERIFY2(s.find<QLabel>("lblCarry")->text().contains(reason),
                 qPrintable(s.find<QLabel>("lblCarry")->text()));
        return;
    }
    use->click();
    QVERIFY(s.taken);
    const QString type =
        s.taken->type >= 0 ? vocabulary::transducerLetters().value(s.taken->type) : QString();
    QCOMPARE(QStringList({vocabulary::entries(vocabulary::List::Talker).value(s.taken->talker),
                          vocabulary::entries(vocabulary::List::Identifier).value(s.taken->sentence),
                          QString::number(s.taken->field), type})
                 .join(QLatin1Char(' '))
                 .trimmed(),
             picked);
    // No plan window here: the plan row says why it cannot take it.
    QVERIFY(!s.find<QPushButton>("cmdUsePlan")->isEnabled());
    QVERIFY(s.find<QPushButton>("cmdUsePlan")->toolTip().contains(QLatin1String("Plan")));
}

void tst_BusMonitor::carryIntoTheMainWindow_data()
{
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<int>("detail");
    QTest::addColumn<QStringList>("lists"); // talker, sentence, commas, and the transducer entry when XDR
    QTest::newRow("GP RMC field 7") << QStringList{"GP", "RMC"} << 7 << QStringList{"GP", "RMC", "7"};
    QTest::newRow("XDR transducer 2, HEEL")
        << QStringList{"II", "XDR"} << 2
        << QStringList{"II", "XDR", "6", "A - Angular Displacement, Degrees"};
}

void tst_BusMonitor::carryIntoTheMainWindow()
{
    QFETCH(QStringList, row);
    QFETCH(int, detail);
    QFETCH(QStringList, lists);
    // The main window's own port: the monitor reads the receive line of the port the window sends on.
    qputenv("MDCONFIG_COM1", "/dev/ttyUSB0");
    app::Program program;
    BusPort port;
    ui::MainWindow window(program, port);
    QTemporaryDir folder;
    window.Form_Load(folder.path());
    program.ComPortNumber = 1;
    // "Display" stands after "Edit", and holds the bus monitor.
    QStringList menus;
    for (QAction *a : window.menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus.mid(0, 2), QStringList({"Edit", "Display"}));
    QAction *open = window.findChild<QAction *>(QStringLiteral("BusMonitor"));
    QVERIFY(open);
    QCOMPARE(open->text(), QStringLiteral("Bus monitor…"));
    open->trigger();
    ui::BusMonitor *monitor = window.frmBusMonitor();
    QVERIFY(monitor && monitor->isVisible());
    monitor->start();
    QCOMPARE(port.opened, QStringList{"/dev/ttyUSB0"});
    port.incoming = readData(QStringLiteral("captures/chartplotter-bus.nmea"));
    while (port.at < port.incoming.size())
        monitor->tick();
    QAbstractItemModel *m = monitor->rowTable()->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        if (m->index(r, 0).data() == row[0] && m->index(r, 1).data() == row[1])
            monitor->rowTable()->setCurrentIndex(m->index(r, 0));
    }
    QTableView *details = lists.size() > 3 ? monitor->transducerTable() : monitor->fieldTable();
    details->setCurrentIndex(details->model()->index(detail - 1, 0));
    monitor->findChild<QPushButton *>(QStringLiteral("cmdUseMain"))->click();
    QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("cmbNmeaTalker"))->currentText(), lists[0]);
    QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("cmbNmeaID"))->currentText(), lists[1]);
    QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("cmbNmeaCommas"))->currentText(), lists[2]);
    auto *xdr = window.findChild<QComboBox *>(QStringLiteral("cboXDR"));
    QCOMPARE(xdr->isVisibleTo(&window), lists.size() > 3);
    if (lists.size() > 3)
        QCOMPARE(xdr->currentText(), lists[3]);
    qunsetenv("MDCONFIG_COM1");
}

void tst_BusMonitor::carryIntoAPlanRow()
{
    qputenv("MDCONFIG_COM1", "/dev/ttyUSB0");
    app::Program program;
    BusPort port;
    ui::MainWindow window(program, port);
    QTemporaryDir folder;
    window.Form_Load(folder.path());
    program.ComPortNumber = 1;
    window.BusMonitor_Click();
    ui::BusMonitor *monitor = window.frmBusMonitor();
    monitor->start();
    port.incoming = readData(QStringLiteral("captures/chartplotter-bus.nmea"));
    while (port.at < port.incoming.size())
        monitor->tick();
    QAbstractItemModel *m = monitor->rowTable()->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        if (m->index(r, 0).data() == "II" && m->index(r, 1).data() == "XDR")
            monitor->rowTable()->setCurrentIndex(m->index(r, 0));
    }
    // The fourth transducer, BARO: type P, value field 14.
    monitor->transducerTable()->setCurrentIndex(monitor->transducerTable()->model()->index(3, 0));
    auto *use = monitor->findChild<QPushButton *>(QStringLiteral("cmdUsePlan"));
    QVERIFY(!use->isEnabled()); // no plan window yet
    QVERIFY(use->toolTip().contains(QLatin1String("Display > Plan")));
    window.findChild<QAction *>(QStringLiteral("Plan"))->trigger();
    monitor->tick();
    monitor->findChild<QSpinBox *>(QStringLiteral("spnPlanRow"))->setValue(3);
    QCOMPARE(use->text(), QStringLiteral("Use in plan row 3"));
    QVERIFY(use->isEnabled());
    use->click();
    QVERIFY(window.frmPlan());
    const plan::Row &row = window.frmPlan()->editor().row(3);
    QCOMPARE(int(row.kind), int(plan::RowKind::Standard));
    QCOMPARE(row.standard.talker, vocabulary::findEntry(vocabulary::List::Talker, QStringLiteral("II")));
    QCOMPARE(row.standard.sentence, vocabulary::XdrPosition);
    QCOMPARE(row.standard.field, 14);
    QCOMPARE(row.standard.type, vocabulary::findTransducerLetter(QStringLiteral("P")));
    qunsetenv("MDCONFIG_COM1");
}

void tst_BusMonitor::alternatesWarns()
{
    Setup s;
    s.monitor.start();
    s.play(readData(QStringLiteral("captures/chartplotter-bus.nmea")));
    // The yacht's wind: relative and true, two rows, each with the warning.
    for (const char *variant : {"R", "T"}) {
        QVERIFY(s.selectRow(QStringLiteral("WI"), QStringLiteral("MWV"), QLatin1String(variant)));
        const QString warning = s.find<QLabel>("lblWarning")->text();
        QVERIFY2(warning.contains(QLatin1String(bus::AlternatesText)) &&
                     warning.contains(QLatin1String("(R; T)")),
                 qPrintable(warning));
    }
    QVERIFY(s.selectRow(QStringLiteral("GP"), QStringLiteral("RMC")));
    QVERIFY(s.find<QLabel>("lblWarning")->text().isEmpty());
}

void tst_BusMonitor::pauseFreezesTheView()
{
    Setup s;
    s.monitor.start();
    const QByteArray yacht = readData(QStringLiteral("captures/chartplotter-bus.nmea"));
    s.play(yacht.left(20'000));
    const auto shownCount = [&] {
        QAbstractItemModel *m = s.monitor.rowTable()->model();
        qint64 n = 0;
        for (int r = 0; r < m->rowCount(); ++r)
            n += m->index(r, bus::RowModel::Count).data().toLongLong();
        return n;
    };
    const qint64 before = shownCount();
    QCOMPARE(before, s.monitor.monitor().totals().sentences);
    s.find<QCheckBox>("chkPause")->setChecked(true);
    s.play(yacht.mid(20'000, 20'000));
    QCOMPARE(shownCount(), before);
    QVERIFY(s.monitor.monitor().totals().sentences > before);
    s.find<QCheckBox>("chkPause")->setChecked(false);
    s.monitor.tick();
    QCOMPARE(shownCount(), s.monitor.monitor().totals().sentences);
}

void tst_BusMonitor::sendTakesThePortAndTheMonitorResumes()
{
    Setup s;
    s.find<QComboBox>("cboSpeed")->setCurrentText(QStringLiteral("38400"));
    s.monitor.start();
    QCOMPARE(s.port.speeds.last(), 38400);
    const QByteArray fish = readData(QStringLiteral("captures/fishfinder.nmea"));
    s.play(fish.left(1000));
    const qint64 before = s.monitor.monitor().totals().sentences;
    QVERIFY(!s.line.claim(app::Holder::Send));
    // While the send holds the port the monitor reads nothing of it.
    s.port.incoming += fish.mid(1000, 400);
    for (int i = 0; i < 5; ++i)
        s.monitor.tick();
    QCOMPARE(s.port.at, qsizetype(1000));
    QVERIFY2(s.find<QLabel>("lblStatus")->text().contains(QLatin1String("resumes after")),
             qPrintable(s.find<QLabel>("lblStatus")->text()));
    QCOMPARE(s.monitor.monitor().totals().sentences, before);
    // The send reopened the port at 4800: the monitor sets its own speed again, leaves what came during
    // the send unread, and counts on.
    s.port.speeds << 4800;
    s.line.release(app::Holder::Send);
    s.monitor.tick();
    QCOMPARE(s.port.at, qsizetype(1400));
    QCOMPARE(s.monitor.monitor().totals().sentences, before);
    s.play(fish.mid(2000));
    QCOMPARE(s.port.speeds.last(), 38400);
    QVERIFY(s.monitor.monitor().totals().sentences > before);
    QVERIFY(s.find<QLabel>("lblStatus")->text().contains(QLatin1String("resumed")));
}

void tst_BusMonitor::wrongSpeedBannerTriesTheOther()
{
    Setup s;
    s.monitor.show();
    s.monitor.start();
    QByteArray noise;
    for (int i = 0; i < 2000; ++i)
        noise += char(0x80 | (i * 37 % 128));
    s.play(noise);
    auto *tryOther = s.find<QPushButton>("cmdTrySpeed");
    QVERIFY(tryOther->isVisible());
    QCOMPARE(tryOther->text(), QStringLiteral("Try 38400"));
    QVERIFY(s.find<QLabel>("lblBanner")->text().contains(QLatin1String("wrong speed")));
    tryOther->click();
    QCOMPARE(s.port.speeds.last(), 38400);
    s.play(readData(QStringLiteral("captures/fishfinder.nmea")));
    QVERIFY(!tryOther->isVisible());
}

void tst_BusMonitor::keyboardAndScreenReaders()
{
    Setup s;
    s.monitor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.monitor));
    // Start has the focus when the window appears, and Enter presses it.
    QTRY_COMPARE(QApplication::focusWidget(), s.find<QPushButton>("cmdStart"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QVERIFY(s.monitor.running());
    // Every control a Tab reaches carries a name a screen reader says, and Tab reaches each once.
    QSet<QWidget *> seen;
    QWidget *w = s.find<QPushButton>("cmdStart");
    for (int i = 0; i < 40 && !seen.contains(w); ++i) {
        seen.insert(w);
        // A spin box's own text field stands for the spin box, which carries the name.
        QWidget *named = qobject_cast<QAbstractSpinBox *>(w->parentWidget()) ? w->parentWidget() : w;
        QVERIFY2(!named->accessibleName().isEmpty(), qPrintable(named->objectName()));
        w = w->nextInFocusChain();
        while (w && !(w->focusPolicy() & Qt::TabFocus && w->isVisibleTo(&s.monitor) && w->isEnabled()))
            w = w->nextInFocusChain();
    }
    QVERIFY(seen.contains(s.monitor.rowTable()));
    QVERIFY(seen.contains(s.find<QPushButton>("cmdClose")));
    // Escape closes nothing; Close does.
    QTest::keyClick(&s.monitor, Qt::Key_Escape);
    QVERIFY(s.monitor.isVisible());
    s.find<QPushButton>("cmdClose")->click();
    QVERIFY(!s.monitor.isVisible());
    QVERIFY(!s.monitor.running());
}

void tst_BusMonitor::recordsFromItsOwnFirstLine()
{
    // Record… asks the file and the size to stop at in one dialog, long after Start; the recording starts
    // on a whole line, is timed from it, keeps the .nmea ending, and stops at the size asked.
    Setup s;
    s.monitor.start();
    const QByteArray fish = readData(QStringLiteral("captures/fishfinder.nmea"));
    s.play(fish.left(1000));
    QTest::qWait(1200);
    QTemporaryDir dir;
    bool oneDialog = false;
    QString named;
    answerModal([&](QWidget *box) {
        auto *dialog = qobject_cast<QFileDialog *>(box);
        auto *limit = box->findChild<QSpinBox *>(QStringLiteral("spnLimit"));
        oneDialog = dialog && limit;
        if (!oneDialog) {
            box->close();
            return;
        }
        limit->setValue(1);
        // The name is typed as a user types it, once the dialog has listed the folder on its own thread
        // (selectFile leaves the name alone while its field has the focus).
        auto *model = dialog->findChild<QFileSystemModel *>();
        QSignalSpy listed(model, &QFileSystemModel::directoryLoaded);
        dialog->setDirectory(dir.path());
        for (int i = 0; i < 250 && listed.isEmpty(); ++i)
            QTest::qWait(20);
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        if (name)
            name->setText(dir.filePath(QStringLiteral("bus")));
        named = dialog->selectedFiles().value(0);
        static_cast<QDialog *>(dialog)->done(QDialog::Accepted);
    });
    s.find<QPushButton>("cmdRecord")->click();
    QVERIFY(oneDialog);
    QVERIFY2(named.startsWith(dir.filePath(QStringLiteral("bus"))), qPrintable(named));
    s.port.slice = 65536;
    QByteArray bus = fish.mid(1007); // mid-line
    while (bus.size() < 1100 * 1024)
        bus += fish;
    s.play(bus);
    QVERIFY2(s.find<QLabel>("lblStatus")->text().contains(QLatin1String("size limit of 1048576 bytes")),
             qPrintable(s.find<QLabel>("lblStatus")->text()));

    const QByteArray file = readAll(dir.filePath(QStringLiteral("bus.nmea")));
    QVERIFY(file.size() <= 1024 * 1024 && file.endsWith('\n'));
    const qsizetype data = file.indexOf("\n0.000 $");
    QVERIFY2(data > 0 && !file.mid(data + 1).contains('#'), file.left(400).constData());
    QVERIFY(fish.contains(file.mid(data + 7, file.indexOf('\n', data + 1) - data - 6)));
}

void tst_BusMonitor::namesItsPortAndFitsItsColumns()
{
    Setup s;
    s.monitor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.monitor));
    QVERIFY2(s.monitor.windowTitle().contains(QStringLiteral("/dev/ttyUSB0")),
             qPrintable(s.monitor.windowTitle()));
    // A source typed is what the monitor reads from then.
    s.find<QLineEdit>("txtSource")->setText(QStringLiteral("tcp://192.168.4.1:10110"));
    QCOMPARE(s.monitor.windowTitle(), QStringLiteral("Bus monitor - tcp://192.168.4.1:10110"));
    s.find<QLineEdit>("txtSource")->clear();
    QVERIFY(s.monitor.windowTitle().contains(QStringLiteral("/dev/ttyUSB0")));
    // Every column's head reads whole, and the last sentence still has room, without scrolling sideways.
    QHeaderView *head = s.monitor.rowTable()->horizontalHeader();
    const int last = head->count() - 1;
    for (int c = 0; c < last; ++c)
        QVERIFY2(head->sectionSize(c) >= head->sectionSizeHint(c), qPrintable(QString::number(c)));
    const int room = s.monitor.rowTable()->viewport()->width() - head->sectionPosition(last);
    QVERIFY2(room >= s.monitor.fontMetrics().horizontalAdvance(QStringLiteral("$GPRMC,094737,A,5251")),
             qPrintable(QString::number(room)));
}

void tst_BusMonitor::readsANetworkSource()
{
    // A multiplexer on loopback that sends the first lines of a real capture to whoever connects.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QByteArray bus = readData(QStringLiteral("captures/chartplotter-bus.nmea")).left(4000);
    connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket *peer = server.nextPendingConnection())
            peer->write(bus);
    });
    Setup s;
    s.monitor.show();
    auto *source = s.find<QLineEdit>("txtSource");
    source->setText(QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort()));
    QVERIFY(!s.find<QComboBox>("cboSpeed")->isEnabled());
    s.find<QPushButton>("cmdStart")->click();
    QVERIFY(s.monitor.running());
    QVERIFY(s.find<QLabel>("lblStatus")->text().contains(QLatin1String("tcp://127.0.0.1")));
    QTRY_VERIFY_WITH_TIMEOUT(s.selectRow(QStringLiteral("GP"), QStringLiteral("RMC")), 10000);
    // Read-only and off the main window's line: its port stays closed and a send would find the line free.
    QCOMPARE(s.line.holder(), app::Holder::None);
    QVERIFY(!s.port.isOpen());
    s.monitor.stop();
    source->clear();
    QVERIFY(s.find<QComboBox>("cboSpeed")->isEnabled());
}

void tst_BusMonitor::refusesABadSource_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("said"); // part of the status
    QTest::newRow("no port") << "tcp://127.0.0.1"
                             << "tcp://127.0.0.1: the port is missing";
    QTest::newRow("port out of range") << "udp://70000"
                                       << "bad port \"70000\"";
    QTest::newRow("a device name") << "COM3"
                                   << "COM3: not a network source";
    QTest::newRow("another scheme") << "http://x:80"
                                    << "not a network source";
}

void tst_BusMonitor::refusesABadSource()
{
    QFETCH(QString, text);
    QFETCH(QString, said);
    Setup s;
    s.monitor.show();
    s.find<QLineEdit>("txtSource")->setText(text);
    s.find<QPushButton>("cmdStart")->click();
    const QString status = s.find<QLabel>("lblStatus")->text();
    QVERIFY2(status.contains(said), qPrintable(status));
    QVERIFY(!s.monitor.running());
    QCOMPARE(s.find<QPushButton>("cmdStart")->text(), QStringLiteral("Start"));
    QCOMPARE(s.line.holder(), app::Holder::None);
    QVERIFY(!s.port.isOpen());
}

void tst_BusMonitor::autoFindsTheSpeedWhileTheWindowGoesOn()
{
    Setup s;
    s.port.busSpeed = 38400;
    s.port.incoming = readData(QStringLiteral("captures/chartplotter-bus.nmea"));
    s.monitor.show();
    s.find<QComboBox>("cboSpeed")->setCurrentText(QStringLiteral("Auto"));
    // The window's event loop turns while the search listens at 4800 for its full trial.
    int turns = 0;
    QTimer turn;
    connect(&turn, &QTimer::timeout, [&] { ++turns; });
    turn.start(20);
    s.find<QPushButton>("cmdStart")->click();
    QCOMPARE(s.find<QLabel>("lblStatus")->text(), QStringLiteral("Finding the bus speed…"));
    QCOMPARE(s.line.holder(), app::Holder::Monitor);
    QTRY_VERIFY_WITH_TIMEOUT(!s.find<QLabel>("lblStatus")->text().startsWith(QLatin1String("Finding")),
                             20000);
    const QString status = s.find<QLabel>("lblStatus")->text();
    QVERIFY2(
        status.startsWith(QLatin1String("Reading the bus at 38400 baud, 8N1. Speed found: 38400 baud: ")),
        qPrintable(status));
    QVERIFY2(status.contains(QLatin1String("at 4800, no sentence with a good checksum")), qPrintable(status));
    QVERIFY2(turns > 20, qPrintable(QString::number(turns)));
    QCOMPARE(s.port.speeds.last(), 38400);
    QTRY_VERIFY(s.selectRow(QStringLiteral("GP"), QStringLiteral("RMC")));
    s.monitor.stop();
    QCOMPARE(s.line.holder(), app::Holder::None);
}

void tst_BusMonitor::aSpeedChosenEndsTheSearch()
{
    Setup s;
    s.port.busSpeed = 38400;
    s.port.incoming = readData(QStringLiteral("captures/chartplotter-bus.nmea"));
    s.monitor.show();
    s.find<QComboBox>("cboSpeed")->setCurrentText(QStringLiteral("Auto"));
    s.find<QPushButton>("cmdStart")->click();
    QCOMPARE(s.find<QLabel>("lblStatus")->text(), QStringLiteral("Finding the bus speed…"));
    // Chosen during the search's first trial: the search ends at once and the bus is read at that speed.
    s.find<QComboBox>("cboSpeed")->setCurrentText(QStringLiteral("38400"));
    QCOMPARE(s.find<QLabel>("lblStatus")->text(), QStringLiteral("Reading the bus at 38400 baud, 8N1."));
    QCOMPARE(s.port.speeds.last(), 38400);
    QCOMPARE(s.line.holder(), app::Holder::Monitor);
    QTRY_VERIFY(s.selectRow(QStringLiteral("GP"), QStringLiteral("RMC")));
    s.monitor.stop();
    QCOMPARE(s.line.holder(), app::Holder::None);
}

QTEST_MAIN(tst_BusMonitor)
#include "tst_busmonitor.moc"
