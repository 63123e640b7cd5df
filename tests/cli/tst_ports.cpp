// Ports that say what they are, on a made-up computer: mdconfig-cli ports names each device's kind (built-in
// port or USB adapter with maker, product, serial and stable name), and a send to a built-in port while an
// adapter is present says so on standard error but still sends.
#include "cli/cli.h"
#include "serial/portmap.h"
#include "settings/adapters.h"
#include "support/files.h"
#include "support/ptypair.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run run(const QStringList &args)
{
    QString out, err;
    QTextStream o(&out), e(&err);
    cli::Io io{o, e, false};
    Run r;
    r.code = cli::run(args, io);
    o.flush();
    e.flush();
    r.out = out;
    r.err = err;
    return r;
}

using Ports = QList<serial::SystemPort>;

const serial::SystemPort BuiltIn{"ttyS0", "/dev/ttyS0", {}, {}, {}, false, {}, {}};
const serial::SystemPort Ftdi{"ttyUSB0",
                              "/dev/ttyUSB0",
                              "FT232R USB UART",
                              "FTDI",
                              "A1B2C3",
                              true,
                              "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
                              {}};
const serial::SystemPort Bare{"ttyACM0", "/dev/ttyACM0", {}, {}, {}, false, {}, {}};
// An adapter without a serial number, known by the USB socket it is in.
const serial::SystemPort Ch340{"ttyUSB0",
                               "/dev/ttyUSB0",
                               "USB Serial",
                               "1a86",
                               {},
                               true,
                               "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0",
                               "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"};

// Written by hand: a file remembering the FTDI adapter for COM1.
const QByteArray FtdiForCom1 =
    R"({"COM1": {"name": "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
  "manufacturer": "FTDI", "product": "FT232R USB UART", "serialNumber": "A1B2C3", "device": "/dev/ttyUSB0"}})";

const QStringList SendToCom1{"send", "standard", "--talker", "GP",        "--sentence", "RMC",    "--field",
                             "7",    "--memory", "1",        "--product", "0",          "--port", "1"};

} // namespace

Q_DECLARE_METATYPE(Ports)

class tst_Ports : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_adapters = m_dir.filePath(settings::AdaptersFile);
        QFile::remove(m_adapters);
        settings::setAdaptersLocation(settings::Location{m_adapters, m_adapters});
    }
    void cleanup()
    {
        serial::setSystemPorts({});
        settings::setAdaptersLocation({});
    }
    void listed_data();
    void listed();
    void json();
    void builtInNote_data();
    void builtInNote();
    void sendToBuiltInWhileAdapterPresent();
    void anotherAdapterIsRefused();
    void anyAdapterGoesOnAndRemembers();
    void rememberedAdapterIsMarked();

private:
    QTemporaryDir m_dir;
    QString m_adapters;
};

void tst_Ports::listed_data()
{
    QTest::addColumn<Ports>("ports");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("a built-in port and an adapter: COM1 is not the adapter")
        << Ports{Ftdi, BuiltIn}
        << QStringList{"COM1   /dev/ttyS0: built-in port",
                       "COM2   /dev/ttyUSB0: USB adapter FTDI FT232R USB UART, serial A1B2C3, "
                       "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"};
    QTest::newRow("an adapter the system knows nothing more of")
        << Ports{Bare} << QStringList{"COM1   /dev/ttyACM0: USB adapter"};
    QTest::newRow("a maker's text with a control character is escaped")
        << Ports{{"ttyUSB3", "/dev/ttyUSB3", "X\x1b[2J", "Evil", {}, true, {}, {}}}
        << QStringList{"COM1   /dev/ttyUSB3: USB adapter Evil X\\e[2J"};
    QTest::newRow("none") << Ports{} << QStringList{"no serial port found on this computer"};
}

void tst_Ports::listed()
{
    QFETCH(Ports, ports);
    QFETCH(QStringList, lines);
    serial::setSystemPorts([ports] { return ports; });
    const Run r = run({QStringLiteral("ports")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts), lines);
}

void tst_Ports::json()
{
    serial::setSystemPorts([] { return Ports{BuiltIn, Ftdi}; });
    const Run r = run({QStringLiteral("ports"), QStringLiteral("--json")});
    QCOMPARE(r.code, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    const QJsonObject usb = QJsonDocument::fromJson(lines[1].toUtf8()).object();
    QCOMPARE(usb.value("port").toInt(), 2);
    QCOMPARE(usb.value("kind").toString(), QStringLiteral("usb"));
    QCOMPARE(usb.value("manufacturer").toString(), QStringLiteral("FTDI"));
    QCOMPARE(usb.value("serialNumber").toString(), QStringLiteral("A1B2C3"));
    QCOMPARE(usb.value("byId").toString(), Ftdi.byId);
    QCOMPARE(QJsonDocument::fromJson(lines[0].toUtf8()).object().value("kind").toString(),
             QStringLiteral("built-in"));
}

void tst_Ports::builtInNote_data()
{
    QTest::addColumn<Ports>("ports");
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("noted");
    QTest::newRow("built-in while an adapter is present") << Ports{BuiltIn, Ftdi} << "/dev/ttyS0" << true;
    QTest::newRow("built-in alone") << Ports{BuiltIn} << "/dev/ttyS0" << false;
    QTest::newRow("the adapter itself") << Ports{BuiltIn, Ftdi} << "/dev/ttyUSB0" << false;
}

void tst_Ports::builtInNote()
{
    QFETCH(Ports, ports);
    QFETCH(QString, device);
    QFETCH(bool, noted);
    serial::setSystemPorts([ports] { return ports; });
    const std::optional<QString> note = serial::builtInWhileUsbNote(device);
    QCOMPARE(bool(note), noted);
    if (note)
        QVERIFY2(note->contains(QLatin1String("built-in port, not the USB adapter /dev/ttyUSB0")),
                 qPrintable(*note));
}

void tst_Ports::sendToBuiltInWhileAdapterPresent()
{
    if (!PtyPair::available())
        QSKIP("socat is needed for pseudo-terminal pairs");
    PtyPair pair;
    QVERIFY(pair.start());
    // The computer says the pseudo-terminal is its built-in ttyS0, and an adapter is plugged in too.
    const QString device = pair.sendEnd();
    serial::setSystemPorts([device] { return Ports{{"ttyS0", device, {}, {}, {}, false, {}, {}}, Ftdi}; });
    const Run r = run({"send", "standard", "--talker", "GP", "--sentence", "RMC", "--field", "7", "--memory",
                       "1", "--product", "0", "--device", device});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.err.contains(QLatin1String("is a built-in port, not the USB adapter /dev/ttyUSB0")),
             qPrintable(r.err));
    QVERIFY2(r.out.contains(QLatin1String(": built-in port\n")), qPrintable(r.out));
    QVERIFY(pair.waitFor(100, 5000));
}

void tst_Ports::anotherAdapterIsRefused()
{
    QVERIFY(writeAll(m_adapters, FtdiForCom1));
    serial::setSystemPorts([] { return Ports{Ch340}; });
    const Run r = run(SendToCom1);
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err,
             QStringLiteral("mdconfig-cli: COM1 now opens /dev/ttyUSB0: USB adapter 1a86 USB Serial, "
                            "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0, not the adapter "
                            "remembered for it, /dev/ttyUSB0: USB adapter FTDI FT232R USB UART, serial "
                            "A1B2C3, /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0; nothing "
                            "was sent: check which adapter the display is wired to, or give --port 1 "
                            "--any-adapter to send to the one it opens now and remember it\n"));
    QCOMPARE(readAll(m_adapters), FtdiForCom1);
    // Only a number can open another adapter than the one meant.
    QCOMPARE(run({"send", "standard", "--talker", "GP", "--sentence", "RMC", "--field", "7", "--memory", "1",
                  "--product", "0", "--device", "/dev/ttyUSB0", "--any-adapter"})
                 .code,
             2);
}

void tst_Ports::anyAdapterGoesOnAndRemembers()
{
    if (!PtyPair::available())
        QSKIP("socat is needed for pseudo-terminal pairs");
    PtyPair pair;
    QVERIFY(pair.start());
    QVERIFY(writeAll(m_adapters, FtdiForCom1));
    serial::SystemPort swapped = Ch340;
    swapped.systemLocation = pair.sendEnd();
    serial::setSystemPorts([swapped] { return Ports{swapped}; });
    const Run r = run(SendToCom1 + QStringList{"--any-adapter"});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.err.contains(QLatin1String("not the adapter remembered for it")) &&
                 r.err.contains(QLatin1String("as --any-adapter says")),
             qPrintable(r.err));
    QVERIFY(pair.waitFor(100, 5000));
    QVERIFY2(readAll(m_adapters).contains(Ch340.byPath.toUtf8()), readAll(m_adapters).constData());
}

void tst_Ports::rememberedAdapterIsMarked()
{
    QVERIFY(writeAll(m_adapters, FtdiForCom1));
    // The remembered adapter moved to COM3 behind two others.
    serial::SystemPort moved = Ftdi;
    moved.portName = QStringLiteral("ttyUSB2");
    serial::setSystemPorts([moved] { return Ports{BuiltIn, Ch340, moved}; });
    const QStringList lines = run({"ports"}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[2].startsWith(QLatin1String("COM3")) &&
                 lines[2].endsWith(QLatin1String("  [remembered for COM1]")),
             qPrintable(lines[2]));
    QVERIFY(!lines[0].contains(QLatin1String("remembered")) &&
            !lines[1].contains(QLatin1String("remembered")));
    const QStringList json = run({"ports", "--json"}).out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(QJsonDocument::fromJson(json[2].toUtf8()).object().value("rememberedFor").toArray(),
             QJsonArray{1});
    QCOMPARE(QJsonDocument::fromJson(json[1].toUtf8()).object().value("rememberedFor").toArray(),
             QJsonArray{});
}

QTEST_GUILESS_MAIN(tst_Ports)
#include "tst_ports.moc"
