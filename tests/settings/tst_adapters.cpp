// Adapters known by who they are, on a made-up computer whose two adapters swap places between runs: the
// opener asks before a send reaches another adapter than the one remembered for the number, remembers the
// first one and a confirmed new one, and a damaged file of remembered adapters never stops a send.
#include "file/regularfile.h"
#include "serial/portopener.h"
#include "settings/adapters.h"
#include "support/files.h"
#include "support/recordingport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

using Ports = QList<serial::SystemPort>;

// One adapter with a serial number (known by its by-id name), one without (known by the socket it is in).
const serial::SystemPort Ftdi{"ttyUSB0",
                              "/dev/ttyUSB0",
                              "FT232R USB UART",
                              "FTDI",
                              "A1B2C3",
                              true,
                              "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
                              "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0"};
const serial::SystemPort Ch340{"ttyUSB0",
                               "/dev/ttyUSB0",
                               "USB Serial",
                               "1a86",
                               {},
                               true,
                               "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0",
                               "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"};
const serial::SystemPort BuiltIn{"ttyS0", "/dev/ttyS0", {}, {}, {}, false, {}, {}};

// Written by hand, not by the code under test: what a file remembering the FTDI adapter for COM1 holds.
const QByteArray FtdiForCom1 =
    R"({"COM1": {"name": "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
  "manufacturer": "FTDI", "product": "FT232R USB UART", "serialNumber": "A1B2C3", "device": "/dev/ttyUSB0"}})";

} // namespace

class tst_Adapters : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { serial::setSystemPorts({}); }
    void identity_data();
    void identity();
    void throughTheOpener_data();
    void throughTheOpener();
    void unusableFile_data();
    void unusableFile();
};

void tst_Adapters::identity_data()
{
    QTest::addColumn<serial::SystemPort>("port");
    QTest::addColumn<QString>("name");
    QTest::newRow("a serial number: its by-id name") << Ftdi << Ftdi.byId;
    QTest::newRow("no serial number: the socket's by-path name, as by-id names repeat")
        << Ch340 << Ch340.byPath;
    QTest::newRow("a built-in port is no adapter") << BuiltIn << QString();
}

void tst_Adapters::identity()
{
    QFETCH(serial::SystemPort, port);
    QFETCH(QString, name);
    serial::setSystemPorts([port] { return Ports{port}; });
    const serial::AdapterIdentity id = serial::adapterAt(1);
    QCOMPARE(id.name, name);
    QCOMPARE(id.device, port.systemLocation);
    QCOMPARE(id.isEmpty(), name.isEmpty());
}

void tst_Adapters::throughTheOpener_data()
{
    QTest::addColumn<QByteArray>("file"); // what is remembered before the send; empty: no file
    QTest::addColumn<serial::SystemPort>("now");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("rememberedAfter"); // COM1's name in the file after the send
    QTest::newRow("first send: no question, the adapter is remembered")
        << QByteArray() << Ftdi << false << false << true << Ftdi.byId;
    QTest::newRow("the same adapter: no question")
        << FtdiForCom1 << Ftdi << false << false << true << Ftdi.byId;
    QTest::newRow("swapped, answered no: nothing opened, nothing changed")
        << FtdiForCom1 << Ch340 << false << true << false << Ftdi.byId;
    QTest::newRow("swapped, answered yes: sent, the new one remembered")
        << FtdiForCom1 << Ch340 << true << true << true << Ch340.byPath;
    QTest::newRow("a built-in port where the adapter was: asked")
        << FtdiForCom1 << BuiltIn << false << true << false << Ftdi.byId;
}

void tst_Adapters::throughTheOpener()
{
    QFETCH(QByteArray, file);
    QFETCH(serial::SystemPort, now);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(bool, opened);
    QFETCH(QString, rememberedAfter);
    QTemporaryDir dir;
    const QString path = dir.filePath(settings::AdaptersFile);
    if (!file.isEmpty())
        QVERIFY(writeAll(path, file));
    serial::setSystemPorts([now] { return Ports{now}; });

    QString question;
    const serial::AdmitPort admit = [&](std::int16_t number) {
        return settings::admitAdapter({path, path}, number, [&](const serial::AdapterChange &change) {
            question = serial::changeText(change);
            return answer;
        });
    };
    RecordingPort port;
    QString why;
    QCOMPARE(serial::OpenComPort(port, 1, {}, {}, &why, admit), opened);
    QCOMPARE(port.isOpen(), opened);
    QCOMPARE(!question.isEmpty(), asked);
    if (asked) {
        // Both named: the one remembered and the one the number opens now.
        QVERIFY2(question.startsWith(QStringLiteral("COM1 now opens ") + now.systemLocation),
                 qPrintable(question));
        QVERIFY2(question.contains(QStringLiteral(", not the adapter remembered for it, /dev/ttyUSB0: USB "
                                                  "adapter FTDI FT232R USB UART, serial A1B2C3, ") +
                                   Ftdi.byId),
                 qPrintable(question));
        if (!now.byPath.isEmpty())
            QVERIFY2(question.contains(now.byPath), qPrintable(question));
    }
    if (!opened)
        QVERIFY2(why.contains(QLatin1String("another adapter")), qPrintable(why));
    const std::optional<settings::Adapters> kept = settings::parseAdapters(readAll(path));
    QVERIFY(kept);
    QCOMPARE(kept->value(1).name, rememberedAfter);
}

void tst_Adapters::unusableFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("noted");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("garbled: said and replaced")
        << "garbled"
        << "is damaged (not the JSON object kept there); it is replaced" << true;
    QTest::newRow("a JSON array: damaged too") << "array"
                                               << "is damaged" << true;
    QTest::newRow("a symbolic link: said and left alone") << "link"
                                                          << "is a symbolic link" << false;
    QTest::newRow("a FIFO: never waited on, left alone") << "fifo"
                                                         << "FIFO" << false;
}

void tst_Adapters::unusableFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, noted);
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    const QString path = dir.filePath(settings::AdaptersFile);
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    if (kind == QLatin1String("garbled"))
        QVERIFY(writeAll(path, "{\"COM1\": {\"name\": "));
    else if (kind == QLatin1String("array"))
        QVERIFY(writeAll(path, "[1, 2]"));
    else if (kind == QLatin1String("link")) {
        QVERIFY(writeAll(elsewhere, FtdiForCom1));
        QVERIFY(QFile::link(elsewhere, path));
    } else
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    serial::setSystemPorts([] { return Ports{Ch340}; });

    QStringList notes;
    bool asked = false;
    QVERIFY(settings::admitAdapter(
        {path, path}, 1, [&](const serial::AdapterChange &) { return asked = true; }, &notes));
    QVERIFY(!asked); // nothing could be read, so nothing was remembered to differ from
    QCOMPARE(notes.size(), 1);
    QVERIFY2(notes.first().contains(noted), qPrintable(notes.join('|')));
    QCOMPARE(file::kindAt(path) == file::Kind::Regular,
             kind == QLatin1String("garbled") || kind == QLatin1String("array"));
    if (replaced)
        QCOMPARE(settings::parseAdapters(readAll(path))->value(1).name, Ch340.byPath);
    if (kind == QLatin1String("link"))
        QCOMPARE(readAll(elsewhere), FtdiForCom1);
}

QTEST_GUILESS_MAIN(tst_Adapters)
#include "tst_adapters.moc"
