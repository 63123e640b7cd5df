#include "serial/portmap.h"

#include <QTest>

class tst_PortMap : public QObject {
    Q_OBJECT
private slots:
    void numbering_data();
    void numbering();
    void environmentOverride();
    void numbersOutsideTheRange_data();
    void numbersOutsideTheRange();
};

void tst_PortMap::numbering_data()
{
    QTest::addColumn<QStringList>("reported");
    QTest::addColumn<bool>("macOS");
    QTest::addColumn<QStringList>("numbered");
    QTest::newRow("built-in ports first, then USB, then ACM")
        << QStringList{"ttyACM0", "ttyUSB0", "ttyS1", "ttyS0"} << false
        << QStringList{"ttyS0", "ttyS1", "ttyUSB0", "ttyACM0"};
    QTest::newRow("number order, not text order") << QStringList{"ttyUSB10", "ttyUSB2", "ttyUSB1"} << false
                                                  << QStringList{"ttyUSB1", "ttyUSB2", "ttyUSB10"};
    QTest::newRow("other devices last, in name order")
        << QStringList{"ttyAMA0", "ttyUSB0", "rfcomm0", "ttyS0"} << false
        << QStringList{"ttyS0", "ttyUSB0", "rfcomm0", "ttyAMA0"};
    QTest::newRow("macOS: call-out devices only, in name order")
        << QStringList{"tty.usbserial-A1", "cu.usbserial-B2", "cu.usbserial-A1", "cu.Bluetooth-Incoming-Port"}
        << true << QStringList{"cu.Bluetooth-Incoming-Port", "cu.usbserial-A1", "cu.usbserial-B2"};
    QTest::newRow("none") << QStringList{} << false << QStringList{};
}

void tst_PortMap::numbering()
{
    QFETCH(QStringList, reported);
    QFETCH(bool, macOS);
    QFETCH(QStringList, numbered);
    QCOMPARE(serial::numberDevices(reported, macOS), numbered);
}

void tst_PortMap::environmentOverride()
{
    qputenv("MDCONFIG_COM3", "/dev/serial/by-id/usb-FTDI_test");
    qputenv("MDCONFIG_COM16", "/tmp/sixteen");
    const QList<serial::PortDevice> table = serial::portTable();
    QCOMPARE(table.size(), 16);
    QCOMPARE(table[2].number, 3);
    QCOMPARE(table[2].device, QStringLiteral("/dev/serial/by-id/usb-FTDI_test"));
    QCOMPARE(table[15].device, QStringLiteral("/tmp/sixteen"));
    QCOMPARE(serial::deviceForPort(3), QStringLiteral("/dev/serial/by-id/usb-FTDI_test"));
    qunsetenv("MDCONFIG_COM3");
    qunsetenv("MDCONFIG_COM16");
    QVERIFY(serial::deviceForPort(3) != QStringLiteral("/dev/serial/by-id/usb-FTDI_test"));
}

void tst_PortMap::numbersOutsideTheRange_data()
{
    QTest::addColumn<int>("number");
    QTest::newRow("None") << 0;
    QTest::newRow("negative") << -1;
    QTest::newRow("17") << 17;
}

void tst_PortMap::numbersOutsideTheRange()
{
    QFETCH(int, number);
    qputenv(qPrintable(QStringLiteral("MDCONFIG_COM%1").arg(number)), "/dev/never");
    QVERIFY(serial::deviceForPort(number).isEmpty());
    qunsetenv(qPrintable(QStringLiteral("MDCONFIG_COM%1").arg(number)));
}

QTEST_GUILESS_MAIN(tst_PortMap)
#include "tst_portmap.moc"
