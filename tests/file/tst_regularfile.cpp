// Reading and replacing the program's own files: only regular files, within a limit, never through a link,
// never waiting on a FIFO, and nothing written over that another program put there meanwhile.
#include "file/regularfile.h"

#include "support/files.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Puts what a row names at path; target is a regular file elsewhere that a link may lead to.
void plant(const QString &kind, const QString &path, const QString &target)
{
    if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(target, path));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(path));
    else if (kind == QLatin1String("device") &&
             ::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        QSKIP("making a device node needs root");
}

// What stands at path, told apart well enough to see that it was left as it was.
QString describe(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("nothing");
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("link to ") + QFile::symLinkTarget(path);
    return QStringLiteral("mode %1 inode %2 size %3 bytes %4")
        .arg(st.st_mode, 0, 8)
        .arg(st.st_ino)
        .arg(st.st_size)
        .arg(S_ISREG(st.st_mode) ? QString::fromLatin1(readAll(path).toHex()) : QString());
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
}

} // namespace

class tst_RegularFile : public QObject {
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void refusedWhatIsNoRegularFile_data();
    void refusedWhatIsNoRegularFile();
    void changeRefusesWhatHappenedMeanwhile_data();
    void changeRefusesWhatHappenedMeanwhile();
    void oneChangeAtATime();
    void ownerAndModeKept();
};

void tst_RegularFile::read_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("refuseOverLimit");
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QString>("failure");
    QTest::newRow("within the limit") << QByteArray(64, 'a') << true << QByteArray(64, 'a') << QString();
    QTest::newRow("empty") << QByteArray() << true << QByteArray() << QString();
    QTest::newRow("one byte over the limit is refused")
        << QByteArray(65, 'a') << true << QByteArray() << "is larger than 64 bytes";
    QTest::newRow("over the limit, only the start is read")
        << QByteArray(64, 'a') + "b" << false << QByteArray(64, 'a') << QString();
}

void tst_RegularFile::read()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, refuseOverLimit);
    QFETCH(QByteArray, read);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    const QString path = dir.filePath("plan.toml");
    QVERIFY(writeAll(path, content));
    const file::Contents c =
        file::read(path, 64, refuseOverLimit ? file::OverLimit::Refuse : file::OverLimit::ReadThePrefix);
    QCOMPARE(c.failure, failure);
    QCOMPARE(c.bytes, read);
    QCOMPARE(c.ok(), failure.isEmpty());
}

void tst_RegularFile::refusedWhatIsNoRegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("failure");
    QTest::newRow("link to a regular file") << "link"
                                            << "is a symbolic link, not a regular file";
    QTest::newRow("FIFO: never waited on") << "fifo"
                                           << "is a FIFO (named pipe), not a regular file";
    QTest::newRow("folder") << "folder"
                            << "is a folder, not a regular file";
    QTest::newRow("device") << "device"
                            << "is a device, not a regular file";
}

// Read, changed or replaced, what is no regular file is left as it is, within a time limit.
void tst_RegularFile::refusedWhatIsNoRegularFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const QString path = dir.filePath("plan.toml");
    const QString target = elsewhere.filePath("target.toml");
    QVERIFY(writeAll(target, "product = 0\n"));
    plant(kind, path, target);
    const QString before = describe(path);

    auto attempts = std::async(std::launch::async, [&] {
        QStringList said;
        said << file::read(path, 1024).failure;
        file::Change change(path, 1024);
        said << change.failure() << change.commit("product = 1\n").value_or(QString());
        said << file::replace(path, "product = 2\n").value_or(QString());
        return said;
    });
    if (attempts.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ::close(::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK)); // an end for the reader
        attempts.wait();
        QFAIL("waited on what is no regular file");
    }
    QCOMPARE(attempts.get(), QStringList(4, failure));
    QCOMPARE(describe(path), before);
    QCOMPARE(readAll(target), QByteArray("product = 0\n"));
    QCOMPARE(entries(dir.path()), QStringList{"plan.toml"}); // no temporary file left
}

void tst_RegularFile::changeRefusesWhatHappenedMeanwhile_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<QString>("failure");
    QTest::newRow("swapped for a link") << "link"
                                        << "was replaced by a symbolic link meanwhile";
    QTest::newRow("swapped for a FIFO") << "fifo"
                                        << "was replaced by a FIFO (named pipe) meanwhile";
    QTest::newRow("swapped for a folder") << "folder"
                                          << "was replaced by a folder meanwhile";
    QTest::newRow("replaced by another program") << "renamed"
                                                 << "was replaced by another program meanwhile";
    QTest::newRow("written in place by another program") << "appended"
                                                         << "was changed by another program meanwhile";
    QTest::newRow("removed") << "removed"
                             << "was removed by another program meanwhile";
}

void tst_RegularFile::changeRefusesWhatHappenedMeanwhile()
{
    QFETCH(QString, meanwhile);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    const QString path = dir.filePath("plan.toml");
    const QString target = dir.filePath("other.toml");
    QVERIFY(writeAll(path, "product = 0\n"));
    QVERIFY(writeAll(target, "product = 1\n"));

    file::Change change(path, 1024);
    QVERIFY2(change.ok(), qPrintable(change.failure()));
    QCOMPARE(change.bytes(), QByteArray("product = 0\n"));
    if (meanwhile == QLatin1String("renamed")) {
        QVERIFY(QFile::copy(target, dir.filePath("new")));
        QCOMPARE(
            ::rename(QFile::encodeName(dir.filePath("new")).constData(), QFile::encodeName(path).constData()),
            0);
    } else if (meanwhile == QLatin1String("appended")) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::Append));
        f.write("[location.1]\ninstrument = 1\n");
    } else {
        QVERIFY(QFile::remove(path));
        if (meanwhile != QLatin1String("removed"))
            plant(meanwhile, path, target);
    }
    const QString before = describe(path);
    const std::optional<QString> refused = change.commit("product = 2\n");
    QVERIFY2(refused, "what another program did meanwhile was written over");
    QVERIFY2(refused->startsWith(failure), qPrintable(*refused));
    QCOMPARE(describe(path), before);
    QCOMPARE(readAll(target), QByteArray("product = 1\n"));
}

// A second change of the file waits for the first and then reads what it wrote.
void tst_RegularFile::oneChangeAtATime()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("plan.toml");
    {
        file::Change first(path, 1024);
        QVERIFY(first.ok());
        QVERIFY(first.created());
        file::Change waiting(path, 1024, 300);
        QCOMPARE(waiting.problem(), file::Problem::Busy);
        QCOMPARE(waiting.failure(),
                 QStringLiteral("is being changed by another run, which did not end within 300 ms"));
        QCOMPARE(waiting.commit("written over\n"), waiting.failure());
        QCOMPARE(first.commit("first\n"), std::nullopt);
    }
    file::Change second(path, 1024);
    QCOMPARE(second.bytes(), QByteArray("first\n"));
    QVERIFY(!second.created());

    // A new file that is never written is not left behind.
    {
        file::Change unused(dir.filePath("new.toml"), 1024);
        QVERIFY(unused.created());
    }
    QCOMPARE(entries(dir.path()), QStringList{"plan.toml"});
}

// Root replacing a user's file leaves it the user's, with its mode.
void tst_RegularFile::ownerAndModeKept()
{
    if (::geteuid() != 0)
        QSKIP("giving a file to another user needs root");
    QTemporaryDir dir;
    const QString path = dir.filePath("plan.toml");
    QVERIFY(writeAll(path, "product = 0\n"));
    QCOMPARE(::chown(QFile::encodeName(path).constData(), 1234, 2345), 0);
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    QCOMPARE(file::replace(path, "product = 1\n"), std::nullopt);
    struct stat st {};
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_uid, uid_t(1234));
    QCOMPARE(st.st_gid, gid_t(2345));
    QCOMPARE(st.st_mode & 07777, mode_t(0640));
    QCOMPARE(readAll(path), QByteArray("product = 1\n"));
}

QTEST_GUILESS_MAIN(tst_RegularFile)
#include "tst_regularfile.moc"
