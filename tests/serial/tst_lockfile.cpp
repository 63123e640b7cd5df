// The device's customary lock file, as other programs leave it, met by a real open of a pseudo-terminal.
#include "serial/devicepath.h"
#include "serial/lockfile.h"
#include "serial/qtserialport.h"
#include "support/ptypair.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <sys/stat.h>

namespace {

enum Holder { Nobody, Running, Ended };

// The lock file's bytes for a process number, in the forms programs write.
QByteArray lockBytes(const QString &format, qint64 pid)
{
    if (format == "hdb") // ten columns and a newline
        return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
    if (format == "plain")
        return QByteArray::number(pid);
    if (format == "qt") // Qt's own lock file
        return QByteArray::number(pid) + "\nsomeapp\nsomehost\n";
    const qint32 binary = qint32(pid);
    return QByteArray(reinterpret_cast<const char *>(&binary), sizeof binary);
}

QByteArray contents(const QString &path)
{
    QFile f(path);
    return QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_LockFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void names_data();
    void names();
    void lockFile_data();
    void lockFile();
    void theSystemsLockFolder();

private:
    QProcess m_running; // another program, holding its lock for as long as the test runs
    qint64 m_ended = 0; // a process that has ended
};

void tst_LockFile::initTestCase()
{
    if (!PtyPair::available())
        QFAIL("socat is needed for the serial tests: apt-get install socat");
    m_running.start(QStringLiteral("sleep"), {QStringLiteral("600")});
    QVERIFY(m_running.waitForStarted(10000));
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    QVERIFY(ended.waitForStarted(10000));
    m_ended = ended.processId();
    QVERIFY(ended.waitForFinished(10000));
}

void tst_LockFile::cleanupTestCase()
{
    m_running.kill();
    m_running.waitForFinished(10000);
}

void tst_LockFile::names_data()
{
    QTest::addColumn<QString>("node");
    QTest::addColumn<QString>("name");
    QTest::newRow("a USB adapter") << "/dev/ttyUSB0"
                                   << "LCK..ttyUSB0";
    QTest::newRow("a pseudo-terminal: the slash becomes _") << "/dev/pts/3"
                                                            << "LCK..pts_3";
}

void tst_LockFile::names()
{
    QFETCH(QString, node);
    QFETCH(QString, name);
    QCOMPARE(serial::lockFileName(node), name);
}

void tst_LockFile::lockFile_data()
{
    QTest::addColumn<int>("holder");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("bytes"); // when no process is named
    QTest::addColumn<bool>("opens");
    QTest::addColumn<QString>("said"); // PID and FILE stand for the holder and the lock file

    const QString live = "busy: locked by process PID (sleep).";
    const QString junk =
        "busy: the lock file FILE names no process; remove FILE if no program is using the device.";
    QTest::newRow("no lock file") << int(Nobody) << "none" << QByteArray() << true << "";
    QTest::newRow("running, ten columns") << int(Running) << "hdb" << QByteArray() << false << live;
    QTest::newRow("running, bare number") << int(Running) << "plain" << QByteArray() << false << live;
    QTest::newRow("running, Qt's lock of another program")
        << int(Running) << "qt" << QByteArray() << false << live;
    QTest::newRow("running, 4 binary bytes") << int(Running) << "binary" << QByteArray() << false << live;
    QTest::newRow("ended, ten columns: taken over") << int(Ended) << "hdb" << QByteArray() << true << "";
    QTest::newRow("ended, Qt's lock: taken over") << int(Ended) << "qt" << QByteArray() << true << "";
    QTest::newRow("ended, 4 binary bytes: taken over")
        << int(Ended) << "binary" << QByteArray() << true << "";
    QTest::newRow("junk text") << int(Nobody) << "raw" << QByteArray("locked\n") << false << junk;
    QTest::newRow("empty") << int(Nobody) << "raw" << QByteArray() << false << junk;
    QTest::newRow("process 0") << int(Nobody) << "raw" << QByteArray("         0\n") << false << junk;
    QTest::newRow("a number too large for a process")
        << int(Nobody) << "raw" << QByteArray("99999999999\n") << false << junk;
    QTest::newRow("4 bytes, no process")
        << int(Nobody) << "raw" << QByteArray("\xff\xff\xff\xff", 4) << false << junk;
    QTest::newRow("a FIFO: not read, never waited on")
        << int(Nobody) << "fifo" << QByteArray() << false
        << "busy: the lock file FILE is not a regular file; remove FILE if no program is using the device.";
    QTest::newRow("a link: not followed")
        << int(Nobody) << "link" << QByteArray() << false
        << "busy: the lock file FILE is a link; remove FILE if no program is using the device.";
}

void tst_LockFile::lockFile()
{
    QFETCH(int, holder);
    QFETCH(QString, format);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, opens);
    QFETCH(QString, said);

    PtyPair pty;
    QVERIFY(pty.start());
    const QString node = QFileInfo(pty.sendEnd()).canonicalFilePath();
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath("LCK.." + node.mid(5).replace('/', '_'));
    const qint64 pid = holder == Running ? m_running.processId() : m_ended;
    if (format == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    } else if (format == "link") {
        QVERIFY(QFile::link(folder.filePath("elsewhere"), path));
    } else if (format != "none") {
        QFile lock(path);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(holder == Nobody ? bytes : lockBytes(format, pid));
        lock.close();
    }
    const QByteArray before = contents(path);

    serial::QtSerialPort port;
    port.setLockDirectory(folder.path());
    const bool opened = port.open(pty.sendEnd());
    QVERIFY2(opened == opens, qPrintable(port.errorString()));
    if (opens) {
        // An ended holder's lock is gone, and the device really is ours.
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(port.writeByte(0x24));
        QVERIFY(pty.waitFor(1, 5000));
        QCOMPARE(pty.received(), QByteArray("$"));
        return;
    }
    said.replace("PID", QString::number(pid)).replace("FILE", path);
    QCOMPARE(port.errorString(), serial::shownDevice(pty.sendEnd()) + ": " + said);
    // A refusal leaves the lock file as it was.
    QVERIFY(QFileInfo(path).isSymLink() || QFileInfo::exists(path));
    QCOMPARE(contents(path), before);
}

void tst_LockFile::theSystemsLockFolder()
{
    // Where Qt's serial port itself meets the lock: a running program's lock is not taken over.
    PtyPair pty;
    QVERIFY(pty.start());
    const QString node = QFileInfo(pty.sendEnd()).canonicalFilePath();
    const QString path = serial::systemLockFile(node);
    if (path.isEmpty() || QFileInfo::exists(path))
        QSKIP("no free lock folder on this system");
    QFile lock(path);
    QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::NewOnly));
    lock.write(lockBytes("hdb", m_running.processId()));
    lock.close();
    serial::QtSerialPort port;
    const bool opened = port.open(pty.sendEnd());
    const bool kept = QFileInfo::exists(path);
    QFile::remove(path);
    QVERIFY2(!opened, "opened a device another running program has locked");
    QVERIFY(kept);
    QCOMPARE(port.errorString(),
             QStringLiteral("%1: busy: locked by process %2 (sleep).")
                 .arg(serial::shownDevice(pty.sendEnd()), QString::number(m_running.processId())));
}

QTEST_GUILESS_MAIN(tst_LockFile)
#include "tst_lockfile.moc"
