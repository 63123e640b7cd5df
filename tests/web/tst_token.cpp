// The access token's file: made once with mode 600 and kept, replaced on request, and refused whole when it
// is a link, not a regular file, readable by others or not a token, so nothing is read through a link or
// from a file someone else could have placed.
#include "web/token.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class tst_Token : public QObject {
    Q_OBJECT
private slots:
    void madeOnceAndKept();
    void refused_data();
    void refused();
    void tokensDiffer();
};

void tst_Token::madeOnceAndKept()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("state"));
    const web::TokenResult first = web::loadOrMakeToken(folder, false);
    QVERIFY2(first.failure.isEmpty(), qPrintable(first.failure));
    QVERIFY(first.made);
    QCOMPARE(first.token.size(), 32);
    struct stat st {};
    QCOMPARE(::lstat(QFile::encodeName(web::tokenPath(folder)).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);
    const web::TokenResult again = web::loadOrMakeToken(folder, false);
    QCOMPARE(again.token, first.token);
    QVERIFY(!again.made);
    const web::TokenResult renewed = web::loadOrMakeToken(folder, true);
    QVERIFY(renewed.made);
    QVERIFY(renewed.token != first.token);
    QCOMPARE(web::loadOrMakeToken(folder, false).token, renewed.token);
}

void tst_Token::refused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a link to a token") << "link"
                                       << "symbolic link";
    QTest::newRow("a directory") << "directory"
                                 << "not a regular file";
    QTest::newRow("a FIFO") << "fifo"
                            << "not a regular file";
    QTest::newRow("readable by others") << "mode644"
                                        << "can be read by others";
    QTest::newRow("not a token") << "garbage"
                                 << "holds no token";
}

void tst_Token::refused()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = web::tokenPath(dir.path());
    const QByteArray name = QFile::encodeName(path);
    const QByteArray elsewhere = QFile::encodeName(dir.filePath(QStringLiteral("elsewhere")));
    const auto write = [](const QByteArray &file, const QByteArray &text, int mode) {
        QFile f(QString::fromLocal8Bit(file));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        ::chmod(file.constData(), mode_t(mode));
    };
    if (kind == QLatin1String("link")) {
        write(elsewhere, "0123456789abcdef0123456789abcdef\n", 0600);
        QCOMPARE(::symlink(elsewhere.constData(), name.constData()), 0);
    } else if (kind == QLatin1String("directory")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    } else if (kind == QLatin1String("mode644")) {
        write(name, "0123456789abcdef0123456789abcdef\n", 0644);
    } else {
        write(name, "not a token at all\n", 0600);
    }
    const web::TokenResult r = web::loadOrMakeToken(dir.path(), false);
    QVERIFY(r.token.isEmpty());
    QVERIFY2(r.failure.contains(reason), qPrintable(r.failure));
    // A new token never replaces what is not a regular file, nor writes through the link.
    if (kind == QLatin1String("link") || kind == QLatin1String("directory") ||
        kind == QLatin1String("fifo")) {
        const web::TokenResult renewed = web::loadOrMakeToken(dir.path(), true);
        QVERIFY(renewed.token.isEmpty());
        struct stat st {};
        QCOMPARE(::lstat(name.constData(), &st), 0);
        QVERIFY(!S_ISREG(st.st_mode));
    }
    if (kind == QLatin1String("link")) {
        QFile target(QString::fromLocal8Bit(elsewhere));
        QVERIFY(target.open(QIODevice::ReadOnly));
        QCOMPARE(target.readAll(), QByteArray("0123456789abcdef0123456789abcdef\n"));
    }
}

void tst_Token::tokensDiffer()
{
    QSet<QByteArray> seen;
    for (int i = 0; i < 100; ++i) {
        const std::optional<QByteArray> t = web::newToken();
        QVERIFY(t);
        QCOMPARE(QByteArray::fromHex(*t).size(), 16);
        seen.insert(*t);
    }
    QCOMPARE(seen.size(), 100);
}

QTEST_GUILESS_MAIN(tst_Token)
#include "tst_token.moc"
