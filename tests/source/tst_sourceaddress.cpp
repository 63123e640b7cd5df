// Network sources as users type them: the ones that name a source, and a one-line reason for the rest.
#include "serial/devicepath.h"
#include "serial/networkaddress.h"
#include "serial/qtserialport.h"
#include "serial/receiveport.h"
#include "source/sourceaddress.h"

#include <QTest>

class tst_SourceAddress : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void sendRefused_data();
    void sendRefused();
};

void tst_SourceAddress::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown"); // empty when refused
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("why"); // a part of the refusal
    QTest::newRow("TCP to a name") << "tcp://gateway.local:10110"
                                   << "tcp://gateway.local:10110"
                                   << "gateway.local" << 10110 << "";
    QTest::newRow("TCP scheme in capitals") << "TCP://192.168.4.1:2000"
                                            << "tcp://192.168.4.1:2000"
                                            << "192.168.4.1" << 2000 << "";
    QTest::newRow("TCP to IPv6 in brackets") << "tcp://[::1]:10110"
                                             << "tcp://[::1]:10110"
                                             << "::1" << 10110 << "";
    QTest::newRow("UDP port alone") << "udp://10110"
                                    << "udp://10110"
                                    << "" << 10110 << "";
    QTest::newRow("UDP on one address") << "udp://127.0.0.1:10110"
                                        << "udp://127.0.0.1:10110"
                                        << "127.0.0.1" << 10110 << "";
    QTest::newRow("UDP with an empty address") << "udp://:10110"
                                               << "udp://10110"
                                               << "" << 10110 << "";
    QTest::newRow("UDP multicast group") << "udp://239.192.0.1:60001"
                                         << "udp://239.192.0.1:60001"
                                         << "239.192.0.1" << 60001 << "";
    QTest::newRow("TCP without a port") << "tcp://gateway.local"
                                        << ""
                                        << "" << 0 << "the port is missing";
    QTest::newRow("TCP with an empty port") << "tcp://gateway.local:"
                                            << ""
                                            << "" << 0 << "the port is missing";
    QTest::newRow("TCP without a host") << "tcp://:10110"
                                        << ""
                                        << "" << 0 << "the host is missing";
    QTest::newRow("port 0") << "tcp://h:0"
                            << ""
                            << "" << 0 << "bad port \"0\": a number from 1 to 65535";
    QTest::newRow("port past 65535") << "udp://65536"
                                     << ""
                                     << "" << 0 << "bad port \"65536\"";
    QTest::newRow("port with letters") << "tcp://h:10110x"
                                       << ""
                                       << "" << 0 << "bad port \"10110x\"";
    QTest::newRow("IPv6 without brackets")
        << "tcp://::1:10110"
        << ""
        << "" << 0 << "an IPv6 address goes between brackets, such as tcp://[::1]:10110";
    QTest::newRow("bracket not closed") << "tcp://[::1:10110"
                                        << ""
                                        << "" << 0 << "no closing bracket";
    QTest::newRow("IPv4 in brackets") << "tcp://[10.0.0.1]:10110"
                                      << ""
                                      << "" << 0 << "not an IPv6 address between the brackets";
    QTest::newRow("UDP host name") << "udp://gateway:10110"
                                   << ""
                                   << "" << 0 << "\"gateway\" is not an IP address";
    QTest::newRow("space in host") << "tcp://a b:10110"
                                   << ""
                                   << "" << 0 << "\"a b\" is not a host name";
    QTest::newRow("control character escaped") << "tcp://a\x1b[2Jb:1"
                                               << ""
                                               << "" << 0 << "a\\e[2Jb";
    QTest::newRow("other scheme") << "http://h:80"
                                  << ""
                                  << "" << 0 << "not a network source; valid forms: tcp://HOST:PORT";
}

void tst_SourceAddress::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QVERIFY(serial::isNetworkAddress(text));
    QFETCH(QString, why);
    QString got;
    const std::optional<source::SourceAddress> a = source::parseSourceAddress(text, &got);
    if (shown.isEmpty()) {
        QVERIFY(!a);
        QVERIFY2(got.contains(why), qPrintable(got));
        QVERIFY(!got.contains(QLatin1Char('\n')) && !got.contains(QLatin1Char('\x1b')));
        return;
    }
    QVERIFY2(a, qPrintable(got));
    QCOMPARE(a->shown(), shown);
    QTEST(a->host, "host");
    QTEST(int(a->port), "port");
}

void tst_SourceAddress::sendRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("network");
    QTest::newRow("tcp") << "tcp://192.168.4.1:10110" << true;
    QTest::newRow("udp") << "udp://10110" << true;
    QTest::newRow("a device") << "/dev/ttyUSB0" << false;
    QTest::newRow("a device name with a colon")
        << "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0" << false;
}

void tst_SourceAddress::sendRefused()
{
    QFETCH(QString, name);
    QFETCH(bool, network);
    QCOMPARE(serial::isNetworkAddress(name), network);
    const std::optional<QString> refused = serial::refuseNetworkAddress(name, true);
    QCOMPARE(refused.has_value(), network);
    if (network) {
        QVERIFY2(refused->startsWith(name) && refused->contains(QStringLiteral("a byte every 50 ms")) &&
                     refused->contains(QStringLiteral("serve")),
                 qPrintable(*refused));
        QVERIFY(!serial::refuseNetworkAddress(name, false)->contains(QStringLiteral("50 ms")));
        QCOMPARE(serial::shownDevice(name), name); // never taken for a path under /dev
        // Whatever front end sends, the port a send opens refuses it with the same reason.
        serial::QtSerialPort port;
        QVERIFY(!port.open(name));
        QCOMPARE(port.errorString(), *refused);
        serial::QtPlayPort play;
        QVERIFY(!play.open(name, 4800));
        QCOMPARE(play.errorString(), *refused);
    }
}

QTEST_GUILESS_MAIN(tst_SourceAddress)
#include "tst_sourceaddress.moc"
