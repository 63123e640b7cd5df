// The speed search over a lent port: the test's thread plays the port's, setting each speed asked for and
// handing over what a bus at one speed sounds like at each; the search never waits on it once stopped.
#include "source/lentsearch.h"

#include "support/files.h"

#include <QTest>

#include <thread>

class tst_LentSearch : public QObject {
    Q_OBJECT
private slots:
    void findsTheBusSpeed_data();
    void findsTheBusSpeed();
    void stopsWhileWaitingForTheSpeed();
};

void tst_LentSearch::findsTheBusSpeed_data()
{
    QTest::addColumn<int>("busBaud");    // the bus's speed; 0: the port refuses every speed
    QTest::addColumn<int>("found");      // 0: none
    QTest::addColumn<QString>("reason"); // how the reason begins
    QTest::newRow("instruments at 4800") << 4800 << 4800 << "4800 baud: ";
    QTest::newRow("a multiplexer at 38400") << 38400 << 38400 << "38400 baud: ";
    QTest::newRow("the port refuses") << 0 << 0 << "refused 4800";
}

void tst_LentSearch::findsTheBusSpeed()
{
    QFETCH(int, busBaud);
    QFETCH(int, found);
    QFETCH(QString, reason);
    const QByteArray capture = readData(QStringLiteral("captures/chartplotter-bus.nmea"));
    source::LentSpeedSearch search({/*trialMs=*/500, 3, 50});
    int speed = 0;
    QList<int> asked;
    qsizetype at = 0;
    std::optional<source::SpeedFound> result;
    for (int i = 0; i < 2000 && !result; ++i) {
        result = search.serve(
            [&](int baud, QString *why) {
                asked << baud;
                if (busBaud == 0) {
                    *why = QStringLiteral("refused %1").arg(baud);
                    return false;
                }
                speed = baud;
                return true;
            },
            [&] {
                QByteArray bytes = capture.mid(at, 200);
                at += bytes.size();
                if (speed != busBaud)
                    bytes.fill(char(0xF8));
                return bytes;
            });
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    QVERIFY(result);
    QCOMPARE(result->baud, found);
    QVERIFY2(result->reason.startsWith(reason), qPrintable(result->reason));
    QVERIFY(!result->port);
    // 4800 first, then 38400 only when 4800 did not decide.
    QCOMPARE(asked.value(0), 4800);
    QCOMPARE(asked.contains(38400), busBaud == 38400);
}

void tst_LentSearch::stopsWhileWaitingForTheSpeed()
{
    // Asked for its first speed and never served: ending it must not wait for an answer.
    auto search = std::make_unique<source::LentSpeedSearch>();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    search.reset();
    QVERIFY(!search);
}

QTEST_GUILESS_MAIN(tst_LentSearch)
#include "tst_lentsearch.moc"
