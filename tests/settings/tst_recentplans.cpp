// The recently opened plans: their own small file, newest first, never more than the limit, and a damaged
// or foreign file gives an empty list rather than a wrong one.
#include "settings/recentplans.h"

#include "support/files.h"

#include <QTemporaryDir>
#include <QTest>

class tst_RecentPlans : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void rememberKeepsTheNewestFirst();
    void saveAndLoad();
};

void tst_RecentPlans::parse_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("paths");
    QTest::newRow("one a line, CR LF too") << QByteArray("/a.mdplan.toml\r\n/b c.mdplan.toml\n")
                                           << QStringList{"/a.mdplan.toml", "/b c.mdplan.toml"};
    QTest::newRow("relative paths, blanks and repeats dropped")
        << QByteArray("x.toml\n\n/a\n/a\n") << QStringList{"/a"};
    QTest::newRow("no more than the limit") << QByteArray("/1\n/2\n/3\n/4\n/5\n/6\n/7\n/8\n/9\n/10\n")
                                            << QStringList{"/1", "/2", "/3", "/4", "/5", "/6", "/7", "/8"};
    QTest::newRow("binary junk") << QByteArray("\x00\xff\x01", 3) << QStringList{};
}

void tst_RecentPlans::parse()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, paths);
    QCOMPARE(settings::parseRecentPlans(content), paths);
}

void tst_RecentPlans::rememberKeepsTheNewestFirst()
{
    QStringList list;
    for (int i = 1; i <= 9; ++i)
        list = settings::remember(list, QStringLiteral("/%1").arg(i));
    QCOMPARE(list.size(), settings::MaxRecentPlans);
    QCOMPARE(list.first(), QStringLiteral("/9"));
    QCOMPARE(settings::remember(list, QStringLiteral("/5")).mid(0, 2), (QStringList{"/5", "/9"}));
    QCOMPARE(settings::remember(list, QStringLiteral("/5")).count(QStringLiteral("/5")), 1);
}

void tst_RecentPlans::saveAndLoad()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("config/mdconfig/recent-plans"));
    QCOMPARE(settings::saveRecentPlans(file, {"/boat/helm.mdplan.toml"}), std::nullopt);
    QCOMPARE(settings::loadRecentPlans(file), QStringList{"/boat/helm.mdplan.toml"});
    // A link in the file's place is neither followed nor replaced.
    const QString target = dir.filePath(QStringLiteral("elsewhere"));
    QVERIFY(writeAll(target, "/secret\n"));
    QVERIFY(QFile::remove(file));
    QVERIFY(QFile::link(target, file));
    QCOMPARE(settings::loadRecentPlans(file), QStringList{});
    QVERIFY(settings::saveRecentPlans(file, {"/x"}).has_value());
    QCOMPARE(readAll(target), QByteArray("/secret\n"));
}

QTEST_GUILESS_MAIN(tst_RecentPlans)
#include "tst_recentplans.moc"
