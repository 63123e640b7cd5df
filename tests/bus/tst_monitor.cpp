// The listener core: sentences parsed and numbered as "Commas" counts, lines cut and noise set apart, real
// captures counted per talker and sentence, and the wrong-speed guess.
#include "bus/monitor.h"
#include "bus/report.h"
#include "support/files.h"
#include "support/uart.h"

#include <QFile>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTest>
#include <QTimeZone>

using bus::Checksum;
using Kind = bus::LineAssembler::Kind;
using Counts = QHash<QString, int>;

namespace {

// Feeds in pieces of random size, as a serial port hands them over.
void feedInPieces(bus::Monitor &m, const QByteArray &bytes, quint32 seed)
{
    QRandomGenerator random(seed);
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype n = random.bounded(1, 40);
        m.feed(bytes.mid(i, n));
        i += n;
    }
}

} // namespace

class tst_Monitor : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void notASentence_data();
    void notASentence();
    void lines_data();
    void lines();
    void mixedCapture();
    void realCaptures_data();
    void realCaptures();
    void listMarks_data();
    void listMarks();
    void numberedFields();
    void wrongSpeed();
    void noiseBurstIsNotWrongSpeed();
    void json();
};

void tst_Monitor::parse_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("talker");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<bool>("proprietary");
    QTest::addColumn<int>("fieldCount");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("fieldN");
    QTest::addColumn<int>("checksum");

    QTest::newRow("RMC speed is the value after the 7th comma")
        << QByteArray("$INRMC,194119,A,4426.1219,N,07140.4965,W,5.1,85.4,160906,15.8,W*69") << "IN"
        << "RMC" << false << 11 << 7 << "5.1" << int(Checksum::Ok);
    QTest::newRow("field 1 is the value after the first comma")
        << QByteArray("$SDDBT,18.0,f,5.4,M,3.0,F*3D") << "SD"
        << "DBT" << false << 6 << 1 << "18.0" << int(Checksum::Ok);
    QTest::newRow("empty fields keep their numbers")
        << QByteArray("$SDHDG,229.8,,,1.3,E*36") << "SD"
        << "HDG" << false << 5 << 4 << "1.3" << int(Checksum::Ok);
    QTest::newRow("trailing empty field counts") << QByteArray("$GPAAM,,,,N,*38") << "GP"
                                                 << "AAM" << false << 5 << 5 << "" << int(Checksum::Ok);
    QTest::newRow("lower-case checksum digits") << QByteArray("$SDMTW,,C*1a") << "SD"
                                                << "MTW" << false << 2 << 2 << "C" << int(Checksum::Ok);
    QTest::newRow("checksum off by one") << QByteArray("$WIMWV,57.5,R,13.0,N,A*27") << "WI"
                                         << "MWV" << false << 5 << 1 << "57.5" << int(Checksum::Bad);
    QTest::newRow("no checksum") << QByteArray("$IIXDR,C,12.5,C,AIRTEMP") << "II"
                                 << "XDR" << false << 4 << 4 << "AIRTEMP" << int(Checksum::Missing);
    QTest::newRow("asterisk without digits") << QByteArray("$GPGLL,1,N*") << "GP"
                                             << "GLL" << false << 2 << 2 << "N" << int(Checksum::Bad);
    QTest::newRow("one checksum digit") << QByteArray("$GPGLL,1,N*4") << "GP"
                                        << "GLL" << false << 2 << 2 << "N" << int(Checksum::Bad);
    QTest::newRow("checksum not hexadecimal") << QByteArray("$GPGLL,1,N*G1") << "GP"
                                              << "GLL" << false << 2 << 1 << "1" << int(Checksum::Bad);
    QTest::newRow("proprietary: P and the maker") << QByteArray("$PGRME,15.0,M,45.0,M,25.0,M*1C") << "P"
                                                  << "GRME" << true << 6 << 5 << "25.0" << int(Checksum::Ok);
    QTest::newRow("the maker's own PVLM") << QByteArray("$PVLM,1,2,3*1B") << "P"
                                          << "VLM" << true << 3 << 3 << "3" << int(Checksum::Ok);
    QTest::newRow("AIS with '!'") << QByteArray("!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26") << "AI"
                                  << "VDM" << false << 6 << 5 << "13aEOK?P00PD2wVMdLDRhgvL289?"
                                  << int(Checksum::Ok);
    QTest::newRow("a sentence with no fields") << QByteArray("$GPXYZ*5C") << "GP"
                                               << "XYZ" << false << 0 << 1 << QString() << int(Checksum::Bad);
}

void tst_Monitor::parse()
{
    QFETCH(QByteArray, line);
    QFETCH(int, n);
    const std::optional<bus::Sentence> s = bus::parseSentence(line);
    QVERIFY(s);
    QTEST(s->talker, "talker");
    QTEST(s->identifier, "identifier");
    QTEST(s->proprietary, "proprietary");
    QTEST(int(s->fields.size()), "fieldCount");
    QTEST(s->field(n).value_or(QString()), "fieldN");
    QTEST(int(s->checksum), "checksum");
    QCOMPARE(s->text, line);
}

void tst_Monitor::notASentence_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("start character alone") << QByteArray("$");
    QTest::newRow("no start character") << QByteArray("GPRMC,1,2*00");
    QTest::newRow("address of one letter") << QByteArray("$G,1,2");
    QTest::newRow("empty address") << QByteArray("$,1,2*2D");
    QTest::newRow("lower-case address") << QByteArray("$gprmc,1,2");
    QTest::newRow("space in the address") << QByteArray("$GP RMC,1");
}

void tst_Monitor::notASentence()
{
    QFETCH(QByteArray, line);
    QVERIFY(!bus::parseSentence(line));
}

void tst_Monitor::lines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines"); // kind letter and text: "L$GPRMC", "T...", "G..."
    QTest::addColumn<int>("stray");

    const QByteArray eighty = "$GPGSA," + QByteArray(73, '1');
    QVERIFY(eighty.size() == 80);
    QTest::newRow("CR LF") << QByteArray("$A,1\r\n$B,2\r\n") << QStringList{"L$A,1", "L$B,2"} << 0;
    QTest::newRow("LF alone") << QByteArray("$A,1\n$B,2\n") << QStringList{"L$A,1", "L$B,2"} << 0;
    QTest::newRow("CR alone") << QByteArray("$A,1\r$B,2\r") << QStringList{"L$A,1", "L$B,2"} << 0;
    QTest::newRow("a line not yet ended is held back")
        << QByteArray("$A,1\r\n$B,2") << QStringList{"L$A,1"} << 0;
    QTest::newRow("80 characters and CR LF fit the limit")
        << eighty + "\r\n"
        << QStringList{"L" + QString::fromLatin1(eighty)} << 0;
    QTest::newRow("81 characters are too long, the rest of the line is dropped")
        << eighty + "22\r\n$B,2\r\n"
        << QStringList{"T" + QString::fromLatin1(eighty) + "2", "L$B,2"} << 0;
    QTest::newRow("a start character ends an over-long line")
        << eighty + "22$B,2\r\n"
        << QStringList{"T" + QString::fromLatin1(eighty) + "2", "L$B,2"} << 0;
    QTest::newRow("text between lines is noise")
        << QByteArray("xy\r\n$A,1\r\nz") << QStringList{"L$A,1"} << 3;
    QTest::newRow("binary between lines is noise")
        << QByteArray("\x00\xff\x80$A,1\r\n", 9) << QStringList{"L$A,1"} << 3;
    QTest::newRow("binary inside a line garbles it")
        << QByteArray("$A,\x01\x02\r\n$B,2\r\n") << QStringList{QStringLiteral("G$A,\x01\x02"), "L$B,2"} << 0;
    QTest::newRow("a start character cuts a line short and begins the next")
        << QByteArray("$A,1$B,2\r\n") << QStringList{"G$A,1", "L$B,2"} << 0;
    QTest::newRow("AIS lines start with !") << QByteArray("!AIVDM,1\r\n") << QStringList{"L!AIVDM,1"} << 0;
    QTest::newRow("empty lines are nothing") << QByteArray("\r\n\r\n\n") << QStringList{} << 0;
}

void tst_Monitor::lines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    // Whole, and byte by byte: the cut must not depend on how the port hands the bytes over.
    for (const int piece : {int(bytes.size()), 1}) {
        QStringList got;
        bus::LineAssembler a([&](Kind k, const QByteArray &line) {
            const char letter = k == Kind::Line ? 'L' : k == Kind::TooLong ? 'T' : 'G';
            got << QLatin1Char(letter) + QString::fromLatin1(line);
        });
        for (qsizetype i = 0; i < bytes.size(); i += piece)
            a.feed(bytes.mid(i, piece));
        QCOMPARE(got, lines);
        QTEST(int(a.strayBytes()), "stray");
    }
}

void tst_Monitor::mixedCapture()
{
    // The canned capture, line by line: GPRMC 3, GPGGA 2, SDDBT 1, WIMWV 1 (checksum 27 where 26 is right),
    // IIXDR 1 without checksum, PGRME 1, PVLM 1, 16 bytes of binary noise, GLGSV 1, GPTXT 1, an over-long
    // GPGSA, AIVDM 1, a GPGLL with two binary bytes inside, an SDHDG cut short by a whole SDHDG, and a GPXDR
    // with 27 fields.
    bus::Monitor m;
    feedInPieces(m, readData(QStringLiteral("listen/mixed-bus.nmea")), 7);
    const Counts expected{{"GPRMC", 3}, {"GPGGA", 2}, {"SDDBT", 1}, {"WIMWV", 1}, {"IIXDR", 1}, {"PGRME", 1},
                          {"PVLM", 1},  {"GLGSV", 1}, {"GPTXT", 1}, {"AIVDM", 1}, {"SDHDG", 1}, {"GPXDR", 1}};
    QCOMPARE(m.rows().size(), expected.size());
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const bus::SentenceRow *row = m.row(it.key());
        QVERIFY2(row, qPrintable(it.key()));
        QCOMPARE(row->count, it.value());
    }
    QCOMPARE(m.row("WIMWV")->badChecksum, 1);
    QCOMPARE(m.row("IIXDR")->missingChecksum, 1);
    QCOMPARE(m.row("GPRMC")->last.field(1).value(), QStringLiteral("094739"));
    QCOMPARE(m.row("SDHDG")->last.field(1).value(), QStringLiteral("231.2"));
    const bus::Totals t = m.totals();
    QCOMPARE(t.bytes, 904);
    QCOMPARE(t.sentences, 15);
    QCOMPARE(t.badChecksum, 1);
    QCOMPARE(t.missingChecksum, 1);
    QCOMPARE(t.tooLong, 1);
    QCOMPARE(t.garbled, 2);
    QCOMPARE(t.strayBytes, 16);
    QVERIFY(!m.speed().everLookedWrong());
}

void tst_Monitor::realCaptures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<Counts>("counts");
    // Counted from the files with awk, one line per sentence; no checksum in them is bad or missing.
    QTest::newRow("chartplotter") << "captures/chartplotter-bus.nmea"
                                  << Counts{{"GPAAM", 147},  {"GPAPB", 147}, {"GPBOD", 149}, {"GPGGA", 138},
                                            {"GPGLC", 146},  {"GPGLL", 147}, {"GPGSA", 144}, {"GPGSV", 436},
                                            {"GPRMB", 147},  {"GPRMC", 146}, {"GPVTG", 148}, {"GPXTE", 149},
                                            {"GPZDA", 154},  {"IIXDR", 148}, {"SDDBT", 148}, {"SDDPT", 149},
                                            {"SDHDG", 1457}, {"SDMTW", 149}, {"SDVHW", 150}, {"SDVLW", 150},
                                            {"WIMWD", 150},  {"WIMWV", 300}};
    QTest::newRow("depth sounder") << "captures/depth-sounder.nmea" << Counts{{"ECGLL", 122}, {"SDDBT", 122}};
    QTest::newRow("fish finder") << "captures/fishfinder.nmea"
                                 << Counts{{"INDPT", 33}, {"INGGA", 8}, {"INGLL", 8}, {"INMTW", 16},
                                           {"INRMC", 17}, {"INVTG", 8}, {"INZDA", 8}};
}

void tst_Monitor::realCaptures()
{
    QFETCH(QString, file);
    QFETCH(Counts, counts);
    qint64 seen = 0;
    bus::Monitor m([&](const bus::Sentence &) { ++seen; });
    feedInPieces(m, readData(file), 11);
    QCOMPARE(m.rows().size(), counts.size());
    qint64 total = 0;
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        const bus::SentenceRow *row = m.row(it.key());
        QVERIFY2(row, qPrintable(it.key()));
        QCOMPARE(row->count, it.value());
        QCOMPARE(row->badChecksum, 0);
        QCOMPARE(row->missingChecksum, 0);
        QVERIFY2(row->talkerListed && row->identifierListed, qPrintable(it.key()));
        total += it.value();
    }
    const bus::Totals t = m.totals();
    QCOMPARE(t.sentences, total);
    QCOMPARE(seen, total);
    QCOMPARE(t.tooLong + t.garbled + t.strayBytes, 0);
    QVERIFY(!m.speed().everLookedWrong());
}

void tst_Monitor::listMarks_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("talker");
    QTest::addColumn<bool>("identifier");
    QTest::newRow("GP RMC offered") << QByteArray("$GPRMC,1") << true << true;
    QTest::newRow("GL is no talker of ours") << QByteArray("$GLGSV,1") << false << true;
    QTest::newRow("TXT is no sentence of ours") << QByteArray("$GPTXT,1") << true << false;
    QTest::newRow("the last talker, ZV") << QByteArray("$ZVZZU,1") << true << true;
    QTest::newRow("the first talker, AG, and ROO out of order") << QByteArray("$AGROO,1") << true << true;
    QTest::newRow("GGA is offered though it sends CGA") << QByteArray("$GPGGA,1") << true << true;
    QTest::newRow("AIS is neither") << QByteArray("!AIVDM,1") << false << false;
    QTest::newRow("another maker's proprietary") << QByteArray("$PGRME,1") << false << false;
    QTest::newRow("the maker's PVLM") << QByteArray("$PVLM,1") << true << true;
}

void tst_Monitor::listMarks()
{
    QFETCH(QByteArray, line);
    const bus::Sentence s = bus::parseSentence(line).value();
    QTEST(bus::talkerListed(s), "talker");
    QTEST(bus::identifierListed(s), "identifier");
}

void tst_Monitor::numberedFields()
{
    const bus::Sentence rmc = bus::parseSentence("$GPRMC,094737,A,,N*00").value();
    QCOMPARE(bus::numberedFields(rmc), QStringLiteral("1=094737 2=A 3= 4=N"));
    QByteArray many = "$GPXDR";
    for (int n = 1; n <= 27; ++n)
        many += ',' + QByteArray::number(n * 10);
    const QString shown = bus::numberedFields(bus::parseSentence(many).value());
    QVERIFY2(shown.contains(QStringLiteral("25=250 | beyond Commas 25: 26=260 27=270")), qPrintable(shown));
}

void tst_Monitor::wrongSpeed()
{
    const QByteArray traffic = readData(QStringLiteral("captures/fishfinder.nmea"));
    const QByteArray garbled = receivedAtAnEighthOfTheSpeed(traffic);
    QVERIFY(garbled.size() > bus::SpeedCheck::Window);
    bus::Monitor m;
    m.feed(garbled);
    QVERIFY(m.speed().looksWrong());
    QCOMPARE(m.totals().sentences, 0);
    QVERIFY(bus::formatTable(bus::snapshotOf(m), 5, 4800).contains(QLatin1String(bus::WrongSpeedText)));

    // Back at the right speed, a window of good traffic clears the warning.
    m.feed(traffic.left(bus::SpeedCheck::Window));
    QVERIFY(!m.speed().looksWrong());
    QVERIFY(m.speed().everLookedWrong());
}

void tst_Monitor::noiseBurstIsNotWrongSpeed()
{
    bus::Monitor m;
    const QByteArray traffic = readData(QStringLiteral("captures/depth-sounder.nmea"));
    m.feed(traffic.left(2000));
    m.feed(QByteArray(bus::SpeedCheck::Window / 3, char(0xff)));
    m.feed(traffic.mid(2000));
    QVERIFY(!m.speed().everLookedWrong());
    QVERIFY(!bus::formatTable(bus::snapshotOf(m), 5, 4800).contains(QLatin1String(bus::WrongSpeedText)));
    // Too little to judge: a few noise bytes alone say nothing yet.
    bus::Monitor few;
    few.feed(QByteArray(bus::SpeedCheck::Window - 1, char(0)));
    QVERIFY(!few.speed().looksWrong());
    few.feed(QByteArray(1, char(0)));
    QVERIFY(few.speed().looksWrong());
}

void tst_Monitor::json()
{
    const bus::Sentence s = bus::parseSentence("$WIMWV,57.5,R,13.0,N,A*27").value();
    const QJsonObject o = bus::toJson(s, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::UTC));
    QCOMPARE(o.value("time").toString(), QStringLiteral("2026-01-02T03:04:05.006Z"));
    QCOMPARE(o.value("talker").toString(), QStringLiteral("WI"));
    QCOMPARE(o.value("sentence").toString(), QStringLiteral("MWV"));
    QCOMPARE(o.value("fields").toArray().at(2).toString(), QStringLiteral("13.0"));
    QCOMPARE(o.value("checksum").toString(), QStringLiteral("bad"));
    QCOMPARE(o.value("checksumOk").toBool(), false);
    QCOMPARE(o.value("talkerListed").toBool(), true);
    QCOMPARE(o.value("text").toString(), QStringLiteral("$WIMWV,57.5,R,13.0,N,A*27"));
}

QTEST_GUILESS_MAIN(tst_Monitor)
#include "tst_monitor.moc"
