// The main window's question before a send that would reach another adapter than the one remembered for
// its COM number: it names both; Yes sends and remembers the new one, No sends nothing.
#include "settings/adapters.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/recordingport.h"
#include "ui/mainwindow.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono;

namespace {

// The adapter now at COM1 has no serial number: it is known by its socket.
const serial::SystemPort Ch340{"ttyUSB0",
                               "/dev/ttyUSB0",
                               "USB Serial",
                               "1a86",
                               {},
                               true,
                               "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0",
                               "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"};

// Written by hand: a file remembering an FTDI adapter for COM1.
const QByteArray FtdiForCom1 =
    R"({"COM1": {"name": "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
  "manufacturer": "FTDI", "product": "FT232R USB UART", "serialNumber": "A1B2C3", "device": "/dev/ttyUSB0"}})";

} // namespace

class tst_AdapterQuestion : public QObject {
    Q_OBJECT
private slots:
    void init() { m_cwd = QDir::currentPath(); }
    void cleanup()
    {
        QDir::setCurrent(m_cwd);
        serial::setSystemPorts({});
    }
    void question_data();
    void question();
    void chosenInThePortDialog();

private:
    QString m_cwd;
};

void tst_AdapterQuestion::question_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes: sent, and the new adapter remembered") << true;
    QTest::newRow("no: nothing sent, the old one still remembered") << false;
}

void tst_AdapterQuestion::question()
{
    QFETCH(bool, yes);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("MD40_90.INI"), " 0  1 \r\n"));
    const QString adapters = dir.filePath(settings::AdaptersFile);
    QVERIFY(writeAll(adapters, FtdiForCom1));
    serial::setSystemPorts([] { return QList<serial::SystemPort>{Ch340}; });

    app::Program program;
    program.pacing = frame::Pacing{microseconds(2000), microseconds(1000)};
    RecordingPort port;
    ui::MainWindow window{program, port};
    window.Form_Load(dir.path());
    window.show();

    QString title, text;
    answerModal([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    window.cmdSend2_Click();
    QCOMPARE(title, QStringLiteral("Another adapter"));
    QVERIFY2(
        text.startsWith("COM1 now opens /dev/ttyUSB0: USB adapter 1a86 USB Serial, "
                        "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0, not the adapter "
                        "remembered for it, /dev/ttyUSB0: USB adapter FTDI FT232R USB UART, serial A1B2C3, "
                        "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0."),
        qPrintable(text));
    QCOMPARE(port.written.size(), yes ? 100 : 0);
    QVERIFY(window.isEnabled());
    QCOMPARE(readAll(adapters).contains(Ch340.byPath.toUtf8()), yes);
    QCOMPARE(readAll(adapters) == FtdiForCom1, !yes);
}

void tst_AdapterQuestion::chosenInThePortDialog()
{
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("MD40_90.INI"), " 0  0 \r\n"));
    const QString adapters = dir.filePath(settings::AdaptersFile);
    serial::setSystemPorts([] { return QList<serial::SystemPort>{Ch340}; });
    app::Program program;
    RecordingPort port;
    ui::MainWindow window{program, port};
    window.Form_Load(dir.path());
    window.frmComms()->show();
    window.frmComms()->optComm(1)->click();
    window.frmComms()->cmdCommsAccept()->click();
    QCOMPARE(program.ComPortNumber, std::int16_t(1));
    // Chosen, not yet sent to: already the adapter meant, so a later swap is asked about.
    QVERIFY2(readAll(adapters).contains(Ch340.byPath.toUtf8()), readAll(adapters).constData());
    QVERIFY(port.opened.isEmpty());
}

QTEST_MAIN(tst_AdapterQuestion)
#include "tst_adapterquestion.moc"
