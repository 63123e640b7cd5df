// The field table against an independent transcription of a few sentences and against the real captures
// (a unit or hemisphere field holds its letter), and the warnings a chosen field gets.
#include "bus/fieldadvice.h"
#include "bus/monitor.h"
#include "support/files.h"
#include "vocabulary/fields.h"
#include "vocabulary/vocabulary.h"

#include <QRegularExpression>
#include <QTest>

class tst_FieldAdvice : public QObject {
    Q_OBJECT
private slots:
    void names_data();
    void names();
    void counts_data();
    void counts();
    void everySentenceIsListed();
    void capturesHoldTheNamedLetters();
    void warnings_data();
    void warnings();
    void usable_data();
    void usable();
};

void tst_FieldAdvice::names_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<int>("field");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("RMC 7 speed over ground in knots")
        << "RMC" << 7 << QStringList{"speed over ground", "knots"};
    QTest::newRow("RMC 9 date") << "RMC" << 9 << QStringList{"date"};
    QTest::newRow("GGA 9 altitude") << "GGA" << 9 << QStringList{"altitude"};
    QTest::newRow("GGA 7 satellites") << "GGA" << 7 << QStringList{"satellites"};
    QTest::newRow("VTG 5 speed in knots") << "VTG" << 5 << QStringList{"speed over ground", "knots"};
    QTest::newRow("DBT 3 depth in metres") << "DBT" << 3 << QStringList{"depth", "metres"};
    QTest::newRow("MWV 1 wind angle") << "MWV" << 1 << QStringList{"angle"};
    QTest::newRow("MWV 3 wind speed") << "MWV" << 3 << QStringList{"wind speed"};
    QTest::newRow("VHW 5 speed through water") << "VHW" << 5 << QStringList{"speed through water", "knots"};
    QTest::newRow("MTW 1 water temperature") << "MTW" << 1 << QStringList{"water temperature"};
    QTest::newRow("HDG 4 variation") << "HDG" << 4 << QStringList{"variation"};
    QTest::newRow("ZDA 4 year") << "ZDA" << 4 << QStringList{"year"};
    QTest::newRow("XDR 6, second transducer's value") << "XDR" << 6 << QStringList{"measurement", "2"};
    QTest::newRow("RTE 9, a waypoint") << "RTE" << 9 << QStringList{"waypoint"};
    QTest::newRow("DPT 4 is past the last") << "DPT" << 4 << QStringList{};
    QTest::newRow("unnamed sentence") << "GXA" << 1 << QStringList{};
}

void tst_FieldAdvice::names()
{
    QFETCH(QString, identifier);
    QFETCH(int, field);
    QFETCH(QStringList, words);
    const QString name = vocabulary::fieldName(identifier, field);
    QCOMPARE(name.isEmpty(), words.isEmpty());
    for (const QString &w : words)
        QVERIFY2(name.contains(w), qPrintable(name));
    QCOMPARE(vocabulary::fieldCaption(identifier, field),
             words.isEmpty() ? QString::number(field) : QStringLiteral("%1: %2").arg(field).arg(name));
}

void tst_FieldAdvice::counts_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<int>("count");
    QTest::newRow("DPT") << "DPT" << 3;
    QTest::newRow("MWV") << "MWV" << 5;
    QTest::newRow("GGA") << "GGA" << 14;
    QTest::newRow("RMC (4.1 navigational status)") << "RMC" << 13;
    QTest::newRow("VTG") << "VTG" << 9;
    QTest::newRow("HDT") << "HDT" << 2;
    QTest::newRow("XDR repeats") << "XDR" << 0;
    QTest::newRow("not in the table") << "GXA" << 0;
}

void tst_FieldAdvice::counts()
{
    QFETCH(QString, identifier);
    QFETCH(int, count);
    QCOMPARE(vocabulary::fieldCount(identifier), count);
}

void tst_FieldAdvice::everySentenceIsListed()
{
    for (const vocabulary::SentenceFields &s : vocabulary::FieldTable) {
        QVERIFY2(vocabulary::findEntry(vocabulary::List::Identifier, QLatin1String(s.identifier)) >= 0,
                 s.identifier);
        QVERIFY2(vocabulary::fieldCount(QLatin1String(s.identifier)) <= vocabulary::CommaCount, s.identifier);
    }
}

void tst_FieldAdvice::capturesHoldTheNamedLetters()
{
    // A field named for its letter ("T true", "N or S") holds that letter in real traffic, or nothing: a name
    // one place off would meet a number there. And no talker sends more fields than the table counts.
    static const QRegularExpression unit(QStringLiteral("^([A-Za-z]) [A-Za-z]"));
    static const QRegularExpression either(QStringLiteral("^([A-Z]) or ([A-Z])$"));
    int checked = 0;
    bus::Monitor monitor([&](const bus::Sentence &s) {
        if (s.proprietary)
            return;
        const int count = vocabulary::fieldCount(s.identifier);
        if (count > 0)
            QVERIFY2(s.fields.size() <= count, s.text.constData());
        for (int f = 1; f <= s.fields.size(); ++f) {
            const QString name = vocabulary::fieldName(s.identifier, f);
            const QString value = s.fields[f - 1];
            QStringList allowed;
            if (const auto m = either.match(name); m.hasMatch())
                allowed << m.captured(1) << m.captured(2);
            else if (const auto u = unit.match(name); u.hasMatch() && !name.contains(QLatin1String(" or ")))
                allowed << u.captured(1);
            if (allowed.isEmpty() || value.isEmpty())
                continue;
            ++checked;
            QVERIFY2(
                allowed.contains(value),
                qPrintable(
                    QStringLiteral("%1 field %2 (%3) holds %4").arg(s.identifier).arg(f).arg(name, value)));
        }
    });
    for (const char *capture : {"chartplotter-bus.nmea", "depth-sounder.nmea", "fishfinder.nmea"})
        monitor.feed(readData(QStringLiteral("captures/") + QLatin1String(capture)));
    QVERIFY2(checked > 1000, qPrintable(QString::number(checked)));
}

void tst_FieldAdvice::warnings_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<int>("field");
    QTest::addColumn<QStringList>("starts");
    QTest::newRow("MWV alternates R and T") << "MWV" << 1 << QStringList{"MWV alternates"};
    QTest::newRow("GSV alternates by message") << "GSV" << 5 << QStringList{"GSV alternates"};
    QTest::newRow("SD DPT field 10 is past the last")
        << "DPT" << 10 << QStringList{"past the last field of DPT (field 3"};
    QTest::newRow("DPT 3 is within") << "DPT" << 3 << QStringList{};
    QTest::newRow("RMC 7 is plain") << "RMC" << 7 << QStringList{};
    QTest::newRow("MWV 6: both") << "MWV" << 6 << QStringList{"MWV alternates", "past the last field of MWV"};
    QTest::newRow("XDR fields repeat: never past") << "XDR" << 25 << QStringList{};
    QTest::newRow("unnamed sentence: no guess") << "GXA" << 25 << QStringList{};
}

void tst_FieldAdvice::warnings()
{
    QFETCH(QString, identifier);
    QFETCH(int, field);
    QFETCH(QStringList, starts);
    const QStringList got = bus::fieldWarnings(identifier, field);
    QCOMPARE(got.size(), starts.size());
    for (int i = 0; i < got.size(); ++i)
        QVERIFY2(got[i].startsWith(starts[i]), qPrintable(got[i]));
}

void tst_FieldAdvice::usable_data()
{
    QTest::addColumn<bool>("picked");
    QTest::addColumn<bus::Pick>("pick");
    QTest::addColumn<QString>("why"); // what the window says; empty: it can be used
    QTest::newRow("nothing chosen") << false << bus::Pick{}
                                    << "Choose a sentence, then a field (for XDR a transducer), to use it.";
    QTest::newRow("a sentence without its field")
        << true << bus::Pick{"GP", "RMC", 0, {}, false} << "Choose a field of GP RMC to use it.";
    QTest::newRow("XDR without its transducer")
        << true << bus::Pick{"II", "XDR", 0, {}, false} << "Choose a transducer of II XDR to use it.";
    QTest::newRow("a multi-GNSS talker")
        << true << bus::Pick{"GN", "RMC", 7, {}, false} << "Not in the lists: ";
    QTest::newRow("GP RMC field 7") << true << bus::Pick{"GP", "RMC", 7, {}, false} << QString();
}

void tst_FieldAdvice::usable()
{
    QFETCH(bool, picked);
    QFETCH(bus::Pick, pick);
    QFETCH(QString, why);
    const std::optional<QString> said = bus::whyNotUsable(picked ? std::optional(pick) : std::nullopt);
    QCOMPARE(said.has_value(), !why.isEmpty());
    if (said)
        QVERIFY2(said->startsWith(why), qPrintable(*said));
}

QTEST_GUILESS_MAIN(tst_FieldAdvice)
#include "tst_fieldadvice.moc"
