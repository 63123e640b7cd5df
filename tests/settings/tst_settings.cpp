#include "settings/settings.h"
#include "support/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

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
    void location_data();
    void location();
};

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

void tst_Settings::location_data()
{
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("userCopyExists");
    QTest::addColumn<QString>("reads");
    QTest::addColumn<QString>("writes");
    QTest::newRow("writable program folder") << true << true << "program"
                                             << "program";
    QTest::newRow("system folder, user copy exists") << false << true << "user"
                                                     << "user";
    QTest::newRow("system folder, no user copy yet") << false << false << "program"
                                                     << "user";
}

void tst_Settings::location()
{
    QFETCH(bool, writable);
    QFETCH(bool, userCopyExists);
    QFETCH(QString, reads);
    QFETCH(QString, writes);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("program");
    QDir(dir.path()).mkdir("user");
    if (userCopyExists)
        QVERIFY(writeAll(dir.filePath("user/MD40_90.INI"), " 1  1 \r\n"));
    const settings::Location where =
        settings::locate(dir.filePath("program"), writable, dir.filePath("user"), "MD40_90.INI");
    QCOMPARE(where.readPath, dir.filePath(reads + "/MD40_90.INI"));
    QCOMPARE(where.writePath, dir.filePath(writes + "/MD40_90.INI"));
}

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_settings.moc"
