// How a device name from the user becomes the device opened and the text a message shows.
#include "serial/devicepath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_DevicePath : public QObject {
    Q_OBJECT
private slots:
    void resolve_data();
    void resolve();
    void printable_data();
    void printable();
    void printableAscii_data();
    void printableAscii();
    void linksAreShownWithTheirDevice();
};

void tst_DevicePath::resolve_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("resolved");
    QTest::newRow("absolute path kept") << "/dev/ttyUSB0"
                                        << "/dev/ttyUSB0";
    QTest::newRow("bare name is under /dev") << "ttyUSB0"
                                             << "/dev/ttyUSB0";
    QTest::newRow("name with a folder is under /dev") << "serial/by-id/usb-X"
                                                      << "/dev/serial/by-id/usb-X";
    QTest::newRow("./ is the current folder") << "./port"
                                              << "CWD/port";
    QTest::newRow("../ is the folder above") << "../port"
                                             << "PARENT/port";
    QTest::newRow("empty stays empty") << ""
                                       << "";
}

void tst_DevicePath::resolve()
{
    QFETCH(QString, name);
    QFETCH(QString, resolved);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("inner");
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.filePath("inner"));
    const QString cwd = QDir::currentPath();
    const QString got = serial::resolveDevice(name);
    QDir::setCurrent(before);
    resolved.replace("CWD", cwd);
    resolved.replace("PARENT", QDir::cleanPath(cwd + "/.."));
    QCOMPARE(got, resolved);
}

void tst_DevicePath::printable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain path untouched") << "/dev/ttyUSB0"
                                          << "/dev/ttyUSB0";
    QTest::newRow("escape sequence cannot reach the terminal") << "/dev/a\x1b[2Jb"
                                                               << "/dev/a\\e[2Jb";
    QTest::newRow("line break cannot start a fake line") << "a\nmdconfig-cli: sent"
                                                         << "a\\nmdconfig-cli: sent";
    QTest::newRow("carriage return cannot overwrite the line") << "a\rb"
                                                               << "a\\x0db";
    QTest::newRow("tab and delete") << "a\tb\x7f"
                                    << "a\\tb\\x7f";
    QTest::newRow("a backslash is doubled so escapes read back") << "a\\e"
                                                                 << "a\\\\e";
    QTest::newRow("C1 control") << QString(QChar(0x9b)) + "31m"
                                << "\\x9b31m";
    QTest::newRow("zero-width space made visible") << QString::fromUtf8("a\u200bb") << "a\\u200bb";
    QTest::newRow("right-to-left override made visible")
        << QString::fromUtf8("evil\u202elmot.toml") << "evil\\u202elmot.toml";
    QTest::newRow("no-break space is not a space") << QString::fromUtf8("a\u00a0b") << "a\\u00a0b";
    QTest::newRow("invisible tag letter beyond the first plane")
        << QString::fromUtf8("a\U000e0041") << "a\\U000e0041";
    QTest::newRow("a half of a character pair alone") << QString(QChar(0xd800)) << "\\ud800";
    QTest::newRow("letters beyond ASCII kept")
        << QString::fromUtf8("/dev/\xc3\xa5") << QString::fromUtf8("/dev/\xc3\xa5");
}

void tst_DevicePath::printable()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(serial::printable(text), shown);
}

void tst_DevicePath::printableAscii_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ASCII untouched") << "GP RMC"
                                     << "GP RMC";
    QTest::newRow("Cyrillic look-alike shown for what it is") << QString::fromUtf8("G\u0420") << "G\\u0420";
    QTest::newRow("controls as in any text") << "\x1b[2J\\"
                                             << "\\e[2J\\\\";
    QTest::newRow("an emoji beyond the first plane") << QString::fromUtf8("\U0001f600") << "\\U0001f600";
}

void tst_DevicePath::printableAscii()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(serial::printableAscii(text), shown);
}

void tst_DevicePath::linksAreShownWithTheirDevice()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("adapter");
    QVERIFY(QFile::link("/dev/null", link));
    QCOMPARE(serial::deviceNode(link), QStringLiteral("/dev/null"));
    QCOMPARE(serial::shownDevice(link), link + " (/dev/null)");
    QCOMPARE(serial::shownDevice("/dev/null"), QStringLiteral("/dev/null"));
    QCOMPARE(serial::deviceNode(dir.filePath("nothing")), QString());
}

QTEST_GUILESS_MAIN(tst_DevicePath)
#include "tst_devicepath.moc"
