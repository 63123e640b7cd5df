// Display plans: every fault where it stands, frames against the worked examples, safe appending, and the
// sending loop on a recording port with short slots.
#include "plan/plan.h"
#include "plan/plansend.h"
#include "support/files.h"
#include "support/recordingport.h"
#include "support/sends.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// The worked examples at their own locations, and seven more locations behind them.
const char *const TenLocations = R"(product = 0
[location.1]
talker = "II"
sentence = "XDR"
field = 3
type = "C"
[location.2]
instrument = "NX20/40 ENGINE RPM"
[location.3]
talker = "GP"
sentence = "RMC"
field = 5
[location.4]
instrument = 1
[location.5]
talker = "gp"
sentence = "gga"
field = 10
[location.6]
talker = "SD"
sentence = "DBT"
field = 1
[location.7]
talker = "II"
sentence = "XDR"
field = 25
type = "v - volume, cubic meters"
[location.8]
instrument = 12
[location.9]
talker = "HC"
sentence = "HDG"
field = 1
[location.10]
talker = "ZV"
sentence = "ZZU"
field = 25
)";

// The bytes of locations 1 to 3 of that plan, from the worked examples.
QByteArray firstThreeLocations()
{
    return tenTimes(hex("24 30 49 49 58 44 52 43 33 3E"), hex("24 30 49 49 58 44 52 43 33 26")) +
           tenTimes(hex("24 31 50 56 4C 4D 29 04 72 58"), hex("24 31 50 56 4C 4D 29 04 72 44")) +
           tenTimes(hex("24 32 47 50 52 4D 43 05 35 7B"), hex("24 32 47 50 52 4D 43 05 35 5B"));
}

plan::Plan cleanPlan(const char *text)
{
    const plan::ReadResult r = plan::parsePlan(text, "plan.toml");
    if (!r.faults.isEmpty())
        qWarning() << r.faults.first().text();
    return r.plan;
}

plan::SendOptions quick()
{
    plan::SendOptions o;
    o.pacing.pause = std::chrono::microseconds(200);
    o.pacing.slot = std::chrono::microseconds(50);
    o.gap = std::chrono::milliseconds(0);
    return o;
}

} // namespace

class tst_Plan : public QObject {
    Q_OBJECT
private slots:
    void faults_data();
    void faults();
    void everyFaultIsReported();
    void exactFaults_data();
    void exactFaults();
    void faultsPlacedOnTheirKeys_data();
    void faultsPlacedOnTheirKeys();
    void limitsLetAPlanThrough_data();
    void limitsLetAPlanThrough();
    void cleanPlan();
    void workedExamples_data();
    void workedExamples();
    void valuesAsTheListsShowThem();
    void unreadableFile();
    void shippedExampleIsClean();
    void appendCreatesAndGrows();
    void appendToAProductLine();
    void appendRefuses_data();
    void appendRefuses();
    void appendRefusesWhatIsNotAFile();
    void sendAll();
    void farEndVanishesAtLocationFour();
    void resumeFrom();
    void confirmDeclined();
    void portWillNotOpen();
    void stopAfterTheCurrentByte_data();
    void stopAfterTheCurrentByte();
    void stopDuringAGap();
    void stopWhileTheUserIsAsked();
    void gapBetweenLocations();
    void ranges();
};

void tst_Plan::faults_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("fault"); // the first fault: where, then a part of what it says

    const QByteArray gp = "talker = \"GP\"\nsentence = \"RMC\"\nfield = 5\n";
    QTest::newRow("TOML syntax: unclosed table header")
        << QByteArray("product = 0\n[location.1\n") << "plan.toml:2:12: TOML syntax error";
    QTest::newRow("TOML syntax: unterminated string")
        << QByteArray("product = 0\n[location.1]\ntalker = \"GP\n") << "plan.toml:3:13: TOML syntax error";
    QTest::newRow("TOML syntax: same table twice")
        << QByteArray("product = 0\n[location.1]\n" + gp + "[location.1]\n")
        << "plan.toml:6:1: TOML syntax error: [location.1] is given twice; each location is given at most "
           "once";
    QTest::newRow("unknown key at the top")
        << QByteArray("product = 0\ncolour = \"red\"\n[location.1]\n" + gp)
        << "plan.toml:2:1: unknown key \"colour\"; valid keys here: product, [location.N] tables";
    QTest::newRow("unknown key in a location")
        << QByteArray("product = 0\n[location.1]\n" + gp + "  colour = 3\n")
        << "plan.toml:6:3: location 1: unknown key \"colour\"";
    QTest::newRow("location 0") << QByteArray("product = 0\n[location.0]\n" + gp)
                                << "plan.toml:2:11: location \"0\" is out of range; valid locations: 1 to 10";
    QTest::newRow("location 11") << QByteArray("product = 0\n[location.11]\n" + gp)
                                 << "plan.toml:2:11: location \"11\" is out of range";
    QTest::newRow("location named, not numbered") << QByteArray("product = 0\n[location.helm]\n" + gp)
                                                  << "plan.toml:2:11: location \"helm\" is out of range";
    QTest::newRow("location 1 twice, as 1 and 01")
        << QByteArray("product = 0\n[location.1]\n" + gp + "[location.01]\n" + gp)
        << "plan.toml:6:11: location 1 is given twice (first at line 2)";
    QTest::newRow("standard and instrument keys mixed")
        << QByteArray("product = 0\n[location.4]\ninstrument = 3\ntalker = \"GP\"\n")
        << "plan.toml:4:1: location 4: talker cannot be given with instrument (line 3)";
    QTest::newRow("missing field") << QByteArray(
                                          "product = 0\n[location.2]\ntalker = \"GP\"\nsentence = \"RMC\"\n")
                                   << "plan.toml:2:11: location 2: field is missing; valid values: 1 to 25";
    QTest::newRow("missing talker") << QByteArray(
                                           "product = 0\n[location.2]\nsentence = \"RMC\"\nfield = 1\n")
                                    << "plan.toml:2:11: location 2: talker is missing";
    QTest::newRow("XDR without a type")
        << QByteArray("product = 0\n[location.3]\ntalker = \"II\"\nsentence = \"XDR\"\nfield = 3\n")
        << "plan.toml:2:11: location 3: type is missing; valid values: A, C, D";
    QTest::newRow("type with another sentence")
        << QByteArray("product = 0\n[location.3]\n" + gp + "type = \"C\"\n")
        << "plan.toml:6:1: location 3: type applies only to the sentence XDR, not RMC";
    QTest::newRow("a location that shows nothing")
        << QByteArray("product = 0\n[location.3]\nicon = \"None\"\n")
        << "plan.toml:2:11: location 3: shows nothing";
    QTest::newRow("talker not in its list")
        << QByteArray("product = 0\n[location.1]\ntalker = \"XX\"\nsentence = \"RMC\"\nfield = 5\n")
        << "plan.toml:3:10: location 1: talker: \"XX\" is not valid; did you mean CX or YX?";
    QTest::newRow("sentence and talker run together")
        << QByteArray("product = 0\n[location.1]\ntalker = \"GP\"\nsentence = \"GPRMC\"\nfield = 5\n")
        << "plan.toml:4:12: location 1: sentence: \"GPRMC\" is not valid; did you mean RMC?";
    QTest::newRow("sentence code instead of the shown identifier")
        << QByteArray("product = 0\n[location.1]\ntalker = \"GP\"\nsentence = \"CGA\"\nfield = 5\n")
        << "plan.toml:4:12: location 1: sentence: \"CGA\" is not valid";
    QTest::newRow("field 26")
        << QByteArray("product = 0\n[location.1]\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = 26\n")
        << "plan.toml:5:9: location 1: field: \"26\" is not valid; valid values: 1 to 25";
    QTest::newRow("field as a fraction")
        << QByteArray("product = 0\n[location.1]\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = 2.5\n")
        << "plan.toml:5:9: location 1: field: this kind of value is not valid";
    QTest::newRow("type not in its list")
        << QByteArray(
               "product = 0\n[location.1]\ntalker = \"II\"\nsentence = \"XDR\"\nfield = 3\ntype = \"Z\"\n")
        << "plan.toml:6:8: location 1: type: \"Z\" is not valid";
    QTest::newRow("instrument 13")
        << QByteArray("product = 0\n[location.5]\ninstrument = 13\n")
        << "plan.toml:3:14: location 5: instrument: \"13\" is not valid; valid values: 1 to 12";
    QTest::newRow("icon not in its list")
        << QByteArray("product = 2\n[location.5]\ninstrument = 1\nicon = \"WATTS\"\n")
        << "plan.toml:4:8: location 5: icon: \"WATTS\" is not valid; valid values: None, AH";
    QTest::newRow("icon with a product that has none")
        << QByteArray("product = \"MD20/MD40\"\n[location.5]\ninstrument = 1\nicon = \"KT\"\n")
        << "plan.toml:4:8: location 5 has an icon, but product 0 (MD20/MD40) shows none";
    QTest::newRow("product 3") << QByteArray("product = 3\n[location.5]\ninstrument = 1\n")
                               << "plan.toml:1:11: product: \"3\" is not valid; valid values: 0 (MD20/MD40)";
    QTest::newRow("product missing") << QByteArray("\n[location.5]\ninstrument = 1\n")
                                     << "plan.toml:1:1: product is missing";
    QTest::newRow("location as a value")
        << QByteArray("product = 1\nlocation = 3\n") << "plan.toml:2:1: location is a group of tables";
}

void tst_Plan::faults()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, fault);
    const plan::ReadResult r = plan::parsePlan(text, "plan.toml");
    QVERIFY(!r.faults.isEmpty());
    QVERIFY2(r.faults.first().text().startsWith(fault), qPrintable(r.faults.first().text()));
}

void tst_Plan::everyFaultIsReported()
{
    const plan::ReadResult r = plan::parsePlan("product = 0\n"
                                               "[location.1]\n"
                                               "talker = \"XX\"\n"
                                               "sentence = \"RMC\"\n"
                                               "field = 99\n"
                                               "[location.12]\n"
                                               "instrument = 1\n"
                                               "[location.3]\n"
                                               "instrument = 1\n"
                                               "icon = \"KT\"\n",
                                               "p.toml");
    QStringList where;
    for (const plan::Fault &f : r.faults)
        where << QStringLiteral("%1:%2").arg(f.line).arg(f.column);
    QCOMPARE(where, QStringList({"3:10", "5:9", "6:11", "10:8"}));
}

void tst_Plan::exactFaults_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("fault"); // the first fault, whole
    const QString deep =
        "keys, tables and arrays nest more than 32 deep here; a plan needs three ([location.1] "
        "and its keys)";
    QTest::newRow("product twice: no word of locations")
        << QByteArray("product = 0\nproduct = 1\n")
        << "plan.toml:2:11: TOML syntax error: product is given twice; give each key once in its table";
    QTest::newRow("35,000 dotted parts in a header")
        << QByteArray("product = 0\n[" + QByteArray("a.").repeated(35000) + "a]\n")
        << "plan.toml:2:65: " + deep;
    QTest::newRow("deep dotted key under a header: the header counts")
        << QByteArray("[location.1]\n" + QByteArray("a.").repeated(40) + "b = 1\n")
        << "plan.toml:2:60: " + deep;
    QTest::newRow("nested inline tables")
        << QByteArray("product = 0\nx = " + QByteArray("{a = ").repeated(40000) + "\n")
        << "plan.toml:2:160: " + deep;
    QTest::newRow("nested arrays") << QByteArray("product = 0\nx = " + QByteArray("[").repeated(40000) + "\n")
                                   << "plan.toml:2:36: " + deep;
    QTest::newRow("over 1 MB: where it crosses the limit")
        << QByteArray("# x\n" + QByteArray(plan::MaxPlanBytes, 'x'))
        << "plan.toml:2:1048573: the plan goes on past 1048576 bytes (1 MB) here; a plan is at most that "
           "long, and a whole display takes under 1 KB";
    QTest::newRow("escape sequence in a value")
        << QByteArray("product = 0\n[location.1]\ninstrument = \"\\u001b]0;x\\u0007\\u001b[2J\"\n")
        << "plan.toml:3:14: location 1: instrument: \"\\e]0;x\\x07\\e[2J\" is not valid; valid values: 1 to "
           "12, or an instrument's name as the window's list shows it";
    QTest::newRow("line break and quote in a key")
        << QByteArray("product = 0\n\"a\\n\\\"b\" = 1\n[location.1]\ninstrument = 1\n")
        << "plan.toml:2:1: unknown key \"a\\n\\\"b\"; valid keys here: product, [location.N] tables";
    QTest::newRow("zero-width space in a key")
        << QByteArray("product = 0\n[location.1]\ninstrument = 1\n\"icon\xe2\x80\x8b\" = \"KT\"\n")
        << "plan.toml:4:1: location 1: unknown key \"icon\\u200b\"; valid keys: talker, sentence, field, "
           "type (XDR only), icon, note, or instrument, icon, note";
    QTest::newRow("right-to-left override in a location name")
        << QByteArray("product = 0\n[location.\"1\\u202e\"]\ninstrument = 1\n")
        << "plan.toml:2:11: location \"1\\u202e\" is out of range; valid locations: 1 to 10";
    QTest::newRow("Cyrillic look-alike letter in a talker")
        << QByteArray("product = 0\n[location.1]\ntalker = \"G\xd0\xa0\"\nsentence = \"RMC\"\nfield = 5\n")
        << "plan.toml:3:10: location 1: talker: \"G\\u0420\" is not valid; did you mean GP?";
    QTest::newRow("control character in a syntax error: the parser's escapes shown as they are")
        << QByteArray("product = 0\n[\"a\\u001b[2J\"]\n[\"a\\u001b[2J\"]\n")
        << "plan.toml:3:1: TOML syntax error: [\"a\\a\\u001b[2J\"] is given twice; give each table once";
}

void tst_Plan::exactFaults()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, fault);
    const plan::ReadResult r = plan::parsePlan(text, "plan.toml");
    QVERIFY(!r.faults.isEmpty());
    const QString first = r.faults.first().text();
    // Rows that end in "valid values: " leave out the list, which other rows check.
    QCOMPARE(fault.endsWith(": ") ? first.left(fault.size()) : first, fault);
}

void tst_Plan::faultsPlacedOnTheirKeys_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("isPlan");
    QTest::addColumn<QStringList>("faults"); // LINE:COLUMN location/key, in file order

    QTest::newRow("missing keys at the header, a wrong value at itself, a note at its value")
        << QByteArray("product = 2\n\n[location.4]\nnote = 7\ntalker = \"XX\"\n[location.2]\ninstrument = 1\n"
                      "note = \"a\\tb\"\n")
        << true
        << QStringList{"3:11 4/sentence", "3:11 4/field", "4:8 4/note", "5:10 4/talker", "8:8 2/note"};
    QTest::newRow("a type on RMC at its key; an icon product 0 cannot show at its value")
        << QByteArray("product = 0\n[location.1]\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = 7\n"
                      "icon = \"KT\"\n  type = \"C\"\n")
        << true << QStringList{"6:8 1/icon", "7:3 1/type"};
    QTest::newRow("no product: the top; a wrong one: its value")
        << QByteArray("[location.3]\ninstrument = 2\n") << true << QStringList{"1:1 0/product"};
    QTest::newRow("a wrong product at its value")
        << QByteArray("\nproduct = 9\n") << true << QStringList{"2:11 0/product"};
    QTest::newRow("dotted keys: the location's own key")
        << QByteArray("product = 1\nlocation.5.talker = \"GP\"\n") << true
        << QStringList{"2:10 5/sentence", "2:10 5/field"};
    QTest::newRow("not TOML: no plan at all")
        << QByteArray("product = \n") << false << QStringList{"1:11 0/"};
}

void tst_Plan::faultsPlacedOnTheirKeys()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, isPlan);
    QFETCH(QStringList, faults);
    const plan::ReadResult r = plan::parsePlan(text, "p.toml");
    QStringList found;
    for (const plan::Fault &f : r.faults)
        found << QStringLiteral("%1:%2 %3/%4").arg(f.line).arg(f.column).arg(f.location).arg(f.key);
    QCOMPARE(found, faults);
    QCOMPARE(r.isPlan, isPlan);
}

void tst_Plan::limitsLetAPlanThrough_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>(
        "fault"); // the start of the first fault, one not about the limits; none when clean
    const QByteArray loc = "[location.1]\ninstrument = 1\n";
    QTest::newRow("product line alone: a fresh plan") << QByteArray("product = 1\n") << QString();
    QTest::newRow("header 32 deep reaches the parser")
        << QByteArray("product = 0\n" + loc + "[" + QByteArray("a.").repeated(31) + "a]\n")
        << "plan.toml:4:2: unknown key \"a\"";
    QTest::newRow("dots, brackets and braces in strings and comments count for nothing")
        << QByteArray("product = 0 # [[[[.....{{{{\n" + loc + "icon = \"" + QByteArray("{[.").repeated(100) +
                      "\"\nx = '''\n" + QByteArray("a.[").repeated(100) + "\n'''\n")
        << "plan.toml:4:8: location 1: icon: \"{[.{[.";
    QTest::newRow("1 MB to the byte")
        << QByteArray("product = 0\n" + loc + "#" + QByteArray(plan::MaxPlanBytes - 42, 'x') + "\n")
        << QString();
}

void tst_Plan::limitsLetAPlanThrough()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, fault);
    const plan::ReadResult r = plan::parsePlan(text, "plan.toml");
    if (fault.isEmpty()) {
        QVERIFY2(r.faults.isEmpty(), qPrintable(r.faults.value(0).text()));
        return;
    }
    QVERIFY(!r.faults.isEmpty());
    QVERIFY2(r.faults.first().text().startsWith(fault), qPrintable(r.faults.first().text()));
}

void tst_Plan::cleanPlan()
{
    const plan::ReadResult r = plan::parsePlan(TenLocations, "plan.toml");
    QVERIFY2(r.faults.isEmpty(), qPrintable(r.faults.value(0).text()));
    QCOMPARE(r.plan.product, 0);
    QCOMPARE(r.plan.locations.size(), 10);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(r.plan.locations[i].location, i + 1);
    // Locations come out in location order whatever order the file gives them in.
    const plan::Plan shuffled =
        ::cleanPlan("product = 1\n[location.7]\ninstrument = 2\n[location.2]\ninstrument = 3\n");
    QCOMPARE(shuffled.locations.size(), 2);
    QCOMPARE(shuffled.locations[0].location, 2);
    QCOMPARE(shuffled.locations[1].location, 7);
}

void tst_Plan::workedExamples_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("repeat");
    QTest::newRow("II XDR C field 3 at 1")
        << QByteArray(
               "product = 0\n[location.1]\ntalker = \"II\"\nsentence = \"XDR\"\nfield = 3\ntype = \"C\"\n")
        << hex("24 30 49 49 58 44 52 43 33 3E") << hex("24 30 49 49 58 44 52 43 33 26");
    QTest::newRow("GP RMC field 5 at 3")
        << QByteArray("product = 0\n[location.3]\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = 5\n")
        << hex("24 32 47 50 52 4D 43 05 35 7B") << hex("24 32 47 50 52 4D 43 05 35 5B");
    QTest::newRow("GP RMC field 5 at 3, KT on an MD90 1.3, product by caption")
        << QByteArray(
               "product = \"md90 ver 1.3 +\"\n[location.3]\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = "
               "\"5\"\nicon = \"kt\"\n")
        << hex("24 32 47 50 52 4D 43 05 35 04 7F") << hex("24 32 47 50 52 4D 43 05 35 04 5F");
    QTest::newRow("engine RPM at 2 by name")
        << QByteArray("product = 1\n[location.2]\ninstrument = \"NX20/40 ENGINE RPM\"\n")
        << hex("24 31 50 56 4C 4D 29 04 72 58") << hex("24 31 50 56 4C 4D 29 04 72 44");
    QTest::newRow("engine RPM at 2 by number")
        << QByteArray("product = 0\n[location.2]\ninstrument = 11\n") << hex("24 31 50 56 4C 4D 29 04 72 58")
        << hex("24 31 50 56 4C 4D 29 04 72 44");
}

void tst_Plan::workedExamples()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, repeat);
    const plan::Plan p = ::cleanPlan(text);
    QCOMPARE(p.locations.size(), 1);
    const QList<QByteArray> frames = plan::frames(p.product, p.locations.first());
    QCOMPARE(frames.size(), 10);
    QCOMPARE(frames.first(), first);
    for (int i = 1; i < 10; ++i)
        QCOMPARE(frames[i], repeat);
}

void tst_Plan::valuesAsTheListsShowThem()
{
    const plan::Plan p = ::cleanPlan(TenLocations);
    QCOMPARE(frame::shows(p.locations[0], vocabulary::product(0)),
             QString("II XDR field 3 type C - Temperature, Degrees C"));
    QCOMPARE(frame::shows(p.locations[4], vocabulary::product(0)), QString("GP GGA field 10"));
    QCOMPARE(frame::shows(p.locations[6], vocabulary::product(0)),
             QString("II XDR field 25 type V - Volume, Cubic Meters"));
    QCOMPARE(frame::shows(p.locations[7], vocabulary::product(0)),
             QString("MX20/40 TEMPERATURE DEG. FAHRENHEIT"));
    // GGA is chosen as shown and sent as CGA; field 10 is the byte 0x0A and ":".
    QCOMPARE(plan::frames(0, p.locations[4]).first().mid(2, 7), QByteArray("GPCGA\x0A:"));
}

void tst_Plan::unreadableFile()
{
    QTemporaryDir dir;
    const plan::ReadResult missing = plan::readPlan(dir.filePath("none.toml"));
    QCOMPARE(missing.faults.size(), 1);
    QVERIFY(missing.faults.first().text().contains("no such file"));
    const plan::ReadResult directory = plan::readPlan(dir.path());
    QCOMPARE(directory.faults.size(), 1);
    QVERIFY(directory.faults.first().text().contains("not a regular file"));
}

void tst_Plan::shippedExampleIsClean()
{
    const plan::ReadResult r = plan::readPlan(QStringLiteral(MDCONFIG_EXAMPLES "/helm-md90.mdplan.toml"));
    QVERIFY2(r.faults.isEmpty(), qPrintable(r.faults.value(0).text()));
    QCOMPARE(r.plan.product, 2);
    QVERIFY(!r.plan.locations.isEmpty());
}

void tst_Plan::appendCreatesAndGrows()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("boat.toml");
    const plan::Plan source = ::cleanPlan(TenLocations);
    for (const plan::Location &l : source.locations)
        QCOMPARE(plan::appendLocation(path, l, 0), std::nullopt);
    const plan::ReadResult back = plan::readPlan(path);
    QVERIFY2(back.faults.isEmpty(), qPrintable(back.faults.value(0).text()));
    QCOMPARE(back.plan.product, 0);
    QCOMPARE(back.plan.locations.size(), 10);
    // What was written reads back as the same frames.
    for (int i = 0; i < 10; ++i)
        QCOMPARE(plan::frames(0, back.plan.locations[i]), plan::frames(0, source.locations[i]));

    // An icon is written for the product that has one, and a hand-written file without a final line
    // break is continued cleanly.
    const QString md90 = dir.filePath("md90.toml");
    QVERIFY(writeAll(md90, "product = 2\n[location.1]\ninstrument = 2"));
    plan::Location kt = source.locations[2];
    kt.icon = 9;
    QCOMPARE(plan::appendLocation(md90, kt, 2), std::nullopt);
    const plan::ReadResult withIcon = plan::readPlan(md90);
    QVERIFY2(withIcon.faults.isEmpty(), qPrintable(withIcon.faults.value(0).text()));
    QCOMPARE(plan::frames(2, withIcon.plan.locations[1]).first(), hex("24 32 47 50 52 4D 43 05 35 04 7F"));
    // An empty file is a new plan: it gets its product line.
    const QString empty = dir.filePath("empty.toml");
    QVERIFY(writeAll(empty, QByteArray()));
    QCOMPARE(plan::appendLocation(empty, source.locations[1], 1), std::nullopt);
    const plan::ReadResult started = plan::readPlan(empty);
    QVERIFY(started.faults.isEmpty());
    QCOMPARE(started.plan.product, 1);
}

void tst_Plan::appendToAProductLine()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("fresh.toml");
    QVERIFY(writeAll(path, plan::productText(2).toUtf8()));
    const plan::Plan source = ::cleanPlan("product = 2\n[location.4]\ninstrument = 3\n");
    QCOMPARE(plan::appendLocation(path, source.locations.first(), 2), std::nullopt);
    const plan::ReadResult back = plan::readPlan(path);
    QVERIFY(back.faults.isEmpty());
    QCOMPARE(back.plan.locations.size(), 1);
    QCOMPARE(back.plan.locations.first().location, 4);
}

void tst_Plan::appendRefuses_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<int>("product");
    QTest::addColumn<QString>("says");
    QTest::newRow("not TOML") << QByteArray("product = 0\n[location.1\n") << 0 << "is not a clean plan";
    QTest::newRow("a plan with faults")
        << QByteArray("product = 0\n[location.1]\ninstrument = 99\n") << 0 << "is not a clean plan";
    QTest::newRow("another product") << QByteArray("product = 1\n[location.1]\ninstrument = 2\n") << 0
                                     << "is a plan for product 1";
    QTest::newRow("the location is there already")
        << QByteArray("product = 0\n[location.3]\ninstrument = 2\n") << 0
        << "already has location 3 (line 2)";
}

void tst_Plan::appendRefuses()
{
    QFETCH(QByteArray, existing);
    QFETCH(int, product);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = dir.filePath("boat.toml");
    QVERIFY(writeAll(path, existing));
    const plan::Location l = ::cleanPlan(TenLocations).locations[2];
    const std::optional<QString> refused = plan::appendLocation(path, l, product);
    QVERIFY(refused);
    QVERIFY2(refused->contains(says), qPrintable(*refused));
    QCOMPARE(readAll(path), existing);                                           // untouched
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"boat.toml"}); // no leftovers
}

void tst_Plan::appendRefusesWhatIsNotAFile()
{
    QTemporaryDir dir;
    const plan::Location l = ::cleanPlan(TenLocations).locations[0];
    const QString fifo = dir.filePath("fifo");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(plan::appendLocation(fifo, l, 0)->contains("not a regular file"));
    QVERIFY(plan::appendLocation(dir.path(), l, 0)->contains("not a regular file"));
    const QString target = dir.filePath("real.toml");
    QVERIFY(writeAll(target, "product = 0\n[location.2]\ninstrument = 2\n"));
    const QString link = dir.filePath("link.toml");
    QVERIFY(QFile::link(target, link));
    QVERIFY(plan::appendLocation(link, l, 0)->contains("symbolic link"));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readAll(target), QByteArray("product = 0\n[location.2]\ninstrument = 2\n"));
}

void tst_Plan::sendAll()
{
    const plan::Plan p = ::cleanPlan(TenLocations);
    RecordingPort port;
    QList<int> started;
    int repetitions = 0;
    plan::SendEvents events;
    events.starting = [&](const plan::Location &l) { started << l.location; };
    events.repetition = [&](const plan::Location &, int) { ++repetitions; };
    const plan::SendReport r = plan::sendPlan(p, port, "dev", quick(), events);
    QVERIFY(r.complete());
    QCOMPARE(r.sent, QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    QCOMPARE(started, r.sent);
    QCOMPARE(repetitions, 100);
    QCOMPARE(port.opened, QStringList{"dev"});
    QVERIFY(!port.isOpen());
    QCOMPARE(port.written.size(), 1000);
    QCOMPARE(port.written.left(300), firstThreeLocations());
}

void tst_Plan::farEndVanishesAtLocationFour()
{
    const plan::Plan p = ::cleanPlan(TenLocations);
    RecordingPort port;
    port.failAfter = 3 * 100 + 34; // the fourth location's fifth byte of its fourth repetition fails
    const plan::SendReport r = plan::sendPlan(p, port, "dev", quick());
    QVERIFY(!r.complete());
    QCOMPARE(r.sent, QList<int>({1, 2, 3}));
    QCOMPARE(r.notSent, QList<int>({4, 5, 6, 7, 8, 9, 10}));
    QVERIFY2(r.failure.contains("location 4") && r.failure.contains("removed"), qPrintable(r.failure));
    QVERIFY2(r.failure.endsWith("after 3 of 10 repetitions; the display may have taken the location"),
             qPrintable(r.failure));
    QCOMPARE(port.written.left(300), firstThreeLocations());
    QCOMPARE(port.written.size(), 334);
    QVERIFY(!port.isOpen());
}

void tst_Plan::resumeFrom()
{
    const plan::Plan p = ::cleanPlan(TenLocations);
    RecordingPort port;
    plan::SendOptions o = quick();
    o.from = 2;
    const plan::SendReport r = plan::sendPlan(p, port, "dev", o);
    QVERIFY(r.complete());
    QCOMPARE(r.skipped, QList<int>{1});
    QCOMPARE(r.sent.first(), 2);
    QCOMPARE(r.sent.size(), 9);
    // Location 2 comes first now, with its own first frame.
    QCOMPARE(port.written.left(200), firstThreeLocations().mid(100, 200));

    // Resuming at a number the plan lacks starts at the next location it has.
    const plan::Plan sparse =
        ::cleanPlan("product = 0\n[location.2]\ninstrument = 11\n[location.9]\ninstrument = 1\n");
    RecordingPort second;
    o.from = 3;
    const plan::SendReport s = plan::sendPlan(sparse, second, "dev", o);
    QCOMPARE(s.skipped, QList<int>{2});
    QCOMPARE(s.sent, QList<int>{9});
    QCOMPARE(second.written.size(), 100);
    QCOMPARE(second.written.at(1), '8'); // memory character of location 9
}

void tst_Plan::confirmDeclined()
{
    const plan::Plan p = ::cleanPlan(TenLocations);
    RecordingPort port;
    QList<int> asked;
    plan::SendEvents events;
    events.confirm = [&](const plan::Location &l) {
        asked << l.location;
        return l.location < 3; // the user gives up before location 3
    };
    const plan::SendReport r = plan::sendPlan(p, port, "dev", quick(), events);
    QCOMPARE(asked, QList<int>({1, 2, 3}));
    QCOMPARE(r.sent, QList<int>({1, 2}));
    QCOMPARE(r.notSent.first(), 3);
    QCOMPARE(r.notSent.size(), 8);
    QCOMPARE(port.written, firstThreeLocations().left(200));
}

void tst_Plan::portWillNotOpen()
{
    const plan::Plan p = ::cleanPlan(TenLocations);
    RecordingPort port;
    port.refused << "dev";
    const plan::SendReport r = plan::sendPlan(p, port, "dev", quick());
    QVERIFY(r.sent.isEmpty());
    QCOMPARE(r.notSent.size(), 10);
    QVERIFY(r.failure.contains("permission denied"));
    QVERIFY(port.written.isEmpty());
}

void tst_Plan::stopAfterTheCurrentByte_data()
{
    QTest::addColumn<int>("bytesBeforeStop");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QList<int>>("sent");
    QTest::newRow("in location 4, byte 28")
        << 3 * 100 + 27 << "interrupted after 27 of 100 bytes of location 4" << QList<int>{1, 2, 3};
    QTest::newRow("after the first byte of location 1")
        << 1 << "interrupted after 1 of 100 bytes of location 1" << QList<int>{};
    QTest::newRow("at the last byte of location 10")
        << 999 << "interrupted after 99 of 100 bytes of location 10" << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9};
}

void tst_Plan::stopAfterTheCurrentByte()
{
    QFETCH(int, bytesBeforeStop);
    QFETCH(QString, says);
    QFETCH(QList<int>, sent);
    const plan::Plan p = ::cleanPlan(TenLocations);
    RecordingPort port;
    plan::SendOptions o = quick();
    // As a signal would: it comes once, and stays noted.
    o.stopRequested = [&] { return port.written.size() >= bytesBeforeStop; };
    const plan::SendReport r = plan::sendPlan(p, port, "dev", o);
    QVERIFY(!r.complete());
    QCOMPARE(r.failure, says);
    QVERIFY(r.stopped); // by the user: not a fault
    QCOMPARE(r.cut, sent.size() + 1);
    QCOMPARE(r.sent, sent);
    QCOMPARE(r.sent.size() + r.notSent.size(), 10);
    QCOMPARE(r.notSent.first(), sent.size() + 1);
    // Not a byte more than those on the wire when the stop came, and every one of them right.
    QCOMPARE(port.written.size(), bytesBeforeStop);
    QCOMPARE(port.written.left(qMin(bytesBeforeStop, 300)),
             firstThreeLocations().left(qMin(bytesBeforeStop, 300)));
    QVERIFY(!port.isOpen());
}

void tst_Plan::stopDuringAGap()
{
    const plan::Plan p = ::cleanPlan(TenLocations);
    RecordingPort port;
    plan::SendOptions o = quick();
    o.gap = std::chrono::minutes(10);
    o.stopRequested = [&] { return port.written.size() >= 100; }; // once location 1 is out, in the gap
    const plan::SendReport r = plan::sendPlan(p, port, "dev", o);
    QCOMPARE(r.sent, QList<int>{1});
    QCOMPARE(r.notSent.first(), 2);
    QCOMPARE(r.failure, QString("interrupted before location 2"));
    QVERIFY(r.stopped);
    QCOMPARE(r.cut, 0); // location 2 never began
    QCOMPARE(port.written.size(), 100);
}

void tst_Plan::stopWhileTheUserIsAsked()
{
    const plan::Plan p = ::cleanPlan(TenLocations);
    RecordingPort port;
    bool stop = false;
    plan::SendOptions o = quick();
    o.stopRequested = [&] { return stop; };
    plan::SendEvents events;
    events.confirm = [&](const plan::Location &l) {
        stop = l.location == 2; // Ctrl-C at the prompt, then Enter
        return true;
    };
    const plan::SendReport r = plan::sendPlan(p, port, "dev", o, events);
    QCOMPARE(r.sent, QList<int>{1});
    QCOMPARE(r.failure, QString("interrupted before location 2"));
    QCOMPARE(port.written, firstThreeLocations().left(100));
}

void tst_Plan::gapBetweenLocations()
{
    const plan::Plan p =
        ::cleanPlan("product = 0\n[location.1]\ninstrument = 1\n[location.2]\ninstrument = 2\n");
    RecordingPort port;
    plan::SendOptions o = quick();
    o.gap = std::chrono::milliseconds(60);
    const plan::SendReport r = plan::sendPlan(p, port, "dev", o);
    QVERIFY(r.complete());
    QCOMPARE(port.times.size(), 200);
    // The first byte of location 2 never leaves before the gap (and its repetition pause) have passed.
    QVERIFY(port.times[100] - port.times[99] >= o.gap + o.pacing.pause);
}

void tst_Plan::ranges()
{
    QCOMPARE(plan::locationRanges({}), QString("none"));
    QCOMPARE(plan::locationRanges({4}), QString("4"));
    QCOMPARE(plan::locationRanges({1, 2, 3, 5, 7, 8, 9, 10}), QString("1-3, 5, 7-10"));
    QCOMPARE(plan::notSentText({4}), QString("location 4 was not sent"));
    QCOMPARE(plan::notSentText({4, 5, 9}), QString("locations 4-5, 9 were not sent"));
}

QTEST_GUILESS_MAIN(tst_Plan)
#include "tst_plan.moc"
