#include "settings/settings.h"
#include "support/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using settings::Settings;

Q_DECLARE_METATYPE(Settings)

class tst_Settings : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void format_data();
    void format();
    void roundTrip();
    void missingFileGivesDefaults();
    void hugeFile();
    void failedWriteKeepsTheFormerFile();
    void unwritablePathReportsWhy();
    void folderThatCannotBeMadeIsNamed();
    void location_data();
    void location();
    void systemFolderWithoutAUserFolder();
    void systemFolders_data();
    void systemFolders();
    void relativeConfigHomeIsIgnored();
    void onlyARegularFileIsReadOrReplaced_data();
    void onlyARegularFileIsReadOrReplaced();
};

namespace {

enum class Planted { LinkToAFile, DanglingLink, Fifo, Folder, Device };

// What a planted thing is now, to tell whether anything replaced or followed it.
QString describe(const QString &path)
{
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return QStringLiteral("nothing");
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("link to ") + QFile::symLinkTarget(path);
    if (S_ISFIFO(st.st_mode))
        return QStringLiteral("fifo");
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("folder");
    if (S_ISCHR(st.st_mode))
        return QStringLiteral("device");
    return QStringLiteral("file ") + QString::fromLatin1(readAll(path));
}

} // namespace

Q_DECLARE_METATYPE(Planted)

void tst_Settings::parse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Settings>("loaded");
    QTest::newRow("as written") << QByteArray(" 2  3 \r\n") << Settings{2, 3};
    QTest::newRow("comma between") << QByteArray("2,3") << Settings{2, 3};
    QTest::newRow("single blank between") << QByteArray("2 3") << Settings{2, 3};
    QTest::newRow("line break between") << QByteArray("2\r\n3\r\n") << Settings{2, 3};
    QTest::newRow("blanks then comma") << QByteArray(" 1 , 12 \r\n") << Settings{1, 12};
    QTest::newRow("tabs before the numbers") << QByteArray("\t0\t16") << Settings{0, 16};
    QTest::newRow("what follows is ignored") << QByteArray(" 0  5  9 garbage\r\nmore") << Settings{0, 5};
    QTest::newRow("empty file") << QByteArray() << Settings{2, 0};
    QTest::newRow("only blanks") << QByteArray("   \r\n") << Settings{2, 0};
    QTest::newRow("only the product") << QByteArray(" 1 ") << Settings{1, 0};
    QTest::newRow("product out of range, port kept") << QByteArray(" 3  5 ") << Settings{2, 5};
    QTest::newRow("port out of range, product kept") << QByteArray(" 0  17 ") << Settings{0, 0};
    QTest::newRow("negative product") << QByteArray("-1 4") << Settings{2, 4};
    QTest::newRow("negative port") << QByteArray("1 -4") << Settings{1, 0};
    QTest::newRow("too large for a byte") << QByteArray("300 4") << Settings{2, 4};
    QTest::newRow("too large for 16 bits") << QByteArray("1 70000") << Settings{1, 0};
    QTest::newRow("far too many digits") << QByteArray("1 " + QByteArray(500, '9')) << Settings{1, 0};
    QTest::newRow("not a number") << QByteArray("abc def") << Settings{2, 0};
    QTest::newRow("number with letters") << QByteArray("1x 2y") << Settings{2, 0};
    QTest::newRow("fraction rounds to even") << QByteArray("0.5 4.5") << Settings{0, 4};
    QTest::newRow("binary data") << QByteArray("\x00\xff\x01\x80 \x02", 6) << Settings{2, 0};
    QTest::newRow("an INI of another kind") << QByteArray("[General]\nport=3\n") << Settings{2, 0};
}

void tst_Settings::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(Settings, loaded);
    const Settings s = settings::parseSettings(content);
    QCOMPARE(int(s.ProductIndex), int(loaded.ProductIndex));
    QCOMPARE(s.ComPortNumber, loaded.ComPortNumber);
}

void tst_Settings::format_data()
{
    QTest::addColumn<Settings>("values");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("product 2, port 3") << Settings{2, 3} << QByteArray::fromHex("2032202033200D0A");
    QTest::newRow("product 2, COM12") << Settings{2, 12} << QByteArray::fromHex("203220203132200D0A");
    QTest::newRow("product 0, None") << Settings{0, 0} << QByteArray::fromHex("2030202030200D0A");
}

void tst_Settings::format()
{
    QFETCH(Settings, values);
    QFETCH(QByteArray, bytes);
    QCOMPARE(settings::formatSettings(values), bytes);
}

void tst_Settings::roundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("MD40_90.INI");
    for (int product = 0; product <= 2; ++product) {
        for (int port = 0; port <= 16; ++port) {
            const Settings s{std::uint8_t(product), std::int16_t(port)};
            QCOMPARE(settings::SaveSettings(path, s), std::nullopt);
            QCOMPARE(settings::LoadSettings(path), s);
        }
    }
}

void tst_Settings::missingFileGivesDefaults()
{
    QTemporaryDir dir;
    QCOMPARE(settings::LoadSettings(dir.filePath("MD40_90.INI")), (Settings{2, 0}));
    // A folder where the file should be is no file either.
    QDir(dir.path()).mkdir("MD40_90.INI");
    QCOMPARE(settings::LoadSettings(dir.filePath("MD40_90.INI")), (Settings{2, 0}));
}

void tst_Settings::hugeFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("MD40_90.INI");
    QVERIFY(writeAll(path, " 1  7 \r\n" + QByteArray(8 * 1024 * 1024, 'x')));
    QCOMPARE(settings::LoadSettings(path), (Settings{1, 7}));
    QVERIFY(writeAll(path, QByteArray(8 * 1024 * 1024, ' ') + "1 7"));
    QCOMPARE(settings::LoadSettings(path), (Settings{2, 0})); // not read to its end
}

void tst_Settings::failedWriteKeepsTheFormerFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("MD40_90.INI");
    const QByteArray former = settings::formatSettings({1, 9});
    QVERIFY(writeAll(path, former));

    // A file size limit makes the write itself fail, as a full disk would, whoever runs the test.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tiny = old;
    tiny.rlim_cur = 3;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    const std::optional<QString> failure = settings::SaveSettings(path, {2, 12});
    setrlimit(RLIMIT_FSIZE, &old);

    QVERIFY2(failure, "a failed write was reported as saved");
    QVERIFY(!failure->isEmpty());
    QCOMPARE(readAll(path), former);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
             QStringList{"MD40_90.INI"}); // no leftover temporary file
}

void tst_Settings::unwritablePathReportsWhy()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("MD40_90.INI");
    QDir(dir.path()).mkdir("MD40_90.INI");
    const std::optional<QString> failure = settings::SaveSettings(path, {2, 3});
    QVERIFY(failure);
    QVERIFY(!failure->isEmpty());
}

// A per-user folder that cannot be made (a file stands where a folder should be) is named as the reason.
void tst_Settings::folderThatCannotBeMadeIsNamed()
{
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("Velmora"), "a file, not a folder"));
    const QString path = dir.filePath("Velmora/mdconfig/MD40_90.INI");
    const std::optional<QString> failure = settings::SaveSettings(path, {2, 3});
    QVERIFY(failure);
    QVERIFY2(failure->contains("could not be created") && failure->contains(dir.filePath("Velmora/mdconfig")),
             qPrintable(*failure));
    QCOMPARE(readAll(dir.filePath("Velmora")), QByteArray("a file, not a folder"));
}

void tst_Settings::location_data()
{
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("system");
    QTest::addColumn<bool>("userCopyExists");
    QTest::addColumn<QString>("reads");
    QTest::addColumn<QString>("writes");
    QTest::newRow("writable program folder") << true << false << true << "program"
                                             << "program";
    QTest::newRow("unwritable folder, user copy exists") << false << false << true << "user"
                                                         << "user";
    QTest::newRow("unwritable folder, no user copy yet") << false << false << false << "program"
                                                         << "user";
    QTest::newRow("system folder writable by root: never written") << true << true << false << "user"
                                                                   << "user";
    QTest::newRow("system folder, user copy exists") << false << true << true << "user"
                                                     << "user";
}

void tst_Settings::location()
{
    QFETCH(bool, writable);
    QFETCH(bool, system);
    QFETCH(bool, userCopyExists);
    QFETCH(QString, reads);
    QFETCH(QString, writes);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("program");
    QDir(dir.path()).mkdir("user");
    if (userCopyExists)
        QVERIFY(writeAll(dir.filePath("user/MD40_90.INI"), " 1  1 \r\n"));
    const settings::Location where =
        settings::locate(dir.filePath("program"), writable, system, dir.filePath("user"), "MD40_90.INI");
    QCOMPARE(where.readPath, dir.filePath(reads + "/MD40_90.INI"));
    QCOMPARE(where.writePath, dir.filePath(writes + "/MD40_90.INI"));
}

void tst_Settings::systemFolderWithoutAUserFolder()
{
    // No configuration folder to fall back on: nothing rather than the system folder.
    const settings::Location where = settings::locate("/usr/bin", true, true, QString(), "MD40_90.INI");
    QVERIFY(where.readPath.isEmpty());
    QVERIFY(where.writePath.isEmpty());
}

void tst_Settings::systemFolders_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("installBinDir");
    QTest::addColumn<bool>("system");
    QTest::newRow("/usr/bin") << "/usr/bin"
                              << "/usr/local/bin" << true;
    QTest::newRow("/usr/local/bin") << "/usr/local/bin"
                                    << "" << true;
    QTest::newRow("/bin, a link to /usr/bin on merged systems") << "/bin"
                                                                << "" << true;
    QTest::newRow("under /opt") << "/opt/velmora/mdconfig"
                                << "" << true;
    QTest::newRow("the folder the build installs to") << "/srv/tools/bin"
                                                      << "/srv/tools/bin" << true;
    QTest::newRow("same folder written with a trailing slash") << "/srv/tools/bin/"
                                                               << "/srv/tools/bin" << true;
    QTest::newRow("a build folder in a home") << "/home/skipper/mdconfig/build/bin"
                                              << "/usr/local/bin" << false;
    QTest::newRow("a name that only begins like /usr") << "/usrdata/bin"
                                                       << "/usr/bin" << false;
    QTest::newRow("a folder beside the install folder") << "/srv/tools/bin2"
                                                        << "/srv/tools/bin" << false;
}

void tst_Settings::systemFolders()
{
    QFETCH(QString, folder);
    QFETCH(QString, installBinDir);
    QFETCH(bool, system);
    QCOMPARE(settings::isSystemFolder(folder, installBinDir), system);
}

void tst_Settings::relativeConfigHomeIsIgnored()
{
    QCoreApplication::setOrganizationName("Velmora");
    QCoreApplication::setApplicationName("mdconfig");
    const QByteArray former = qgetenv("XDG_CONFIG_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "relative/config");
    const QString relative = settings::userConfigFolder();
    qputenv("XDG_CONFIG_HOME", "");
    const QString unset = settings::userConfigFolder();
    if (wasSet)
        qputenv("XDG_CONFIG_HOME", former);
    else
        qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(unset, QDir::homePath() + "/.config/Velmora/mdconfig");
    QCOMPARE(relative, unset);
}

void tst_Settings::onlyARegularFileIsReadOrReplaced_data()
{
    QTest::addColumn<Planted>("planted");
    QTest::addColumn<QString>("why");
    QTest::newRow("link to a settings file in another folder") << Planted::LinkToAFile << "symbolic link";
    QTest::newRow("dangling link") << Planted::DanglingLink << "symbolic link";
    QTest::newRow("FIFO: reading must not wait for a writer") << Planted::Fifo << "FIFO";
    QTest::newRow("folder") << Planted::Folder << "folder";
    QTest::newRow("device node") << Planted::Device << "device";
}

void tst_Settings::onlyARegularFileIsReadOrReplaced()
{
    QFETCH(Planted, planted);
    QFETCH(QString, why);
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    const QString path = dir.filePath("MD40_90.INI");
    const QString target = elsewhere.filePath("target");
    switch (planted) {
    case Planted::LinkToAFile:
        QVERIFY(writeAll(target, " 1  7 \r\n"));
        QVERIFY(QFile::link(target, path));
        break;
    case Planted::DanglingLink:
        QVERIFY(QFile::link(target, path));
        break;
    case Planted::Fifo:
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        break;
    case Planted::Folder:
        QVERIFY(QDir(dir.path()).mkdir("MD40_90.INI"));
        break;
    case Planted::Device:
        // The null device's numbers: harmless if anything did write to it.
        if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("making a device node needs root");
        break;
    }
    const QString before = describe(path);
    const QString targetBefore = describe(target);

    // With a time limit: a read that waits for a FIFO's writer would hang start-up for ever.
    auto reading = std::async(std::launch::async, [&] { return settings::LoadSettings(path); });
    if (reading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        const int unblock = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
        ::close(unblock); // an end of file for the reader, once it has opened
        reading.wait();
        QFAIL("reading the settings blocked");
    }
    QCOMPARE(reading.get(), (Settings{2, 0}));

    const std::optional<QString> failure = settings::SaveSettings(path, {0, 5});
    QVERIFY2(failure, "something that is not a regular file was written as the settings");
    QVERIFY2(failure->contains(why), qPrintable(*failure));
    QCOMPARE(describe(path), before);
    QCOMPARE(describe(target), targetBefore);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
             QStringList{"MD40_90.INI"}); // no leftover temporary file
}

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
