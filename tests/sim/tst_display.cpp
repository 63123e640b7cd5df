// A simulated display judging sends from tables of timed bytes: what a sound send configures, every fault a
// sender can make reported (and a send taken or rejected by the rule), the ten-location table, and a plan
// sent through the recording port coming back as an equivalent plan.
#include "sim/display.h"

#include "plan/plan.h"
#include "plan/plansend.h"
#include "support/recordingport.h"
#include "support/sends.h"
#include "support/timedbytes.h"

#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
using sim::Micros;

namespace {

// Written out by hand from the frame layout, not composed: GP RMC field 5 at location 3.
const QByteArray First = QByteArray::fromHex("24324750524D4305357B");
const QByteArray Repeat = QByteArray::fromHex("24324750524D4305355B");
// The same with the icon "KT".
const QByteArray IconFirst = QByteArray::fromHex("24324750524D430535047F");
const QByteArray IconRepeat = QByteArray::fromHex("24324750524D430535045F");
// NX20/40 ENGINE RPM (values 41 4 'r') at location 2 (key 28 = 1C): body 50 56 4C 4D 29 04 72, check 58 / 44.
const QByteArray RpmFirst = QByteArray::fromHex("243150564C4D29047258");
const QByteArray RpmRepeat = QByteArray::fromHex("243150564C4D29047244");

struct Heard {
    QList<sim::Verdict> verdicts;
    QStringList lines;
};

void hear(sim::Display &display, const Stream &stream)
{
    for (const TimedByte &b : stream)
        display.receive(QByteArray(1, char(b.byte)), b.at);
    display.finish();
}

Heard hear(const Stream &stream, int product = -1)
{
    Heard h;
    sim::Display display(product, [&](const sim::Verdict &v) {
        h.verdicts << v;
        h.lines << sim::Display::lines(v);
    });
    hear(display, stream);
    return h;
}

} // namespace

class tst_Display : public QObject {
    Q_OBJECT
private slots:
    void soundSends_data();
    void soundSends();
    void faults_data();
    void faults();
    void productDecidesFrameLength();
    void lastSendToALocationWins();
    void tableFitsEightyColumns();
    void jsonMarksRejection();
    void planComesBack_data();
    void planComesBack();
    void tenByteFramesSayProductIsAssumed();
    void planPathRefused_data();
    void planPathRefused();
    void planOutKeepsOwnerAndMode();
    void planOutMergesIntoAPlan_data();
    void planOutMergesIntoAPlan();
};

void tst_Display::soundSends_data()
{
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<QString>("line");
    QTest::newRow("worked example, GP RMC field 5 at location 3")
        << tenOf(First, Repeat) << "location 3: GP RMC field 5";
    QTest::newRow("with the icon KT")
        << tenOf(IconFirst, IconRepeat) << "location 3: GP RMC field 5, icon KT";
    QTest::newRow("an instrument at location 2")
        << tenOf(RpmFirst, RpmRepeat) << "location 2: NX20/40 ENGINE RPM";
}

void tst_Display::soundSends()
{
    QFETCH(QList<QByteArray>, frames);
    QFETCH(QString, line);
    const Heard h = hear(paced(frames));
    QCOMPARE(h.lines, QStringList{line}); // no warning at all
    QCOMPARE(h.verdicts.size(), 1);
    QVERIFY(h.verdicts[0].accepted);
    QCOMPARE(h.verdicts[0].repetitions, 10);
}

void tst_Display::faults_data()
{
    QTest::addColumn<Stream>("stream");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("reported"); // each must appear in some line

    QList<QByteArray> wrongCheck = tenOf(First, Repeat);
    wrongCheck[4][9] = char(0x5C);
    QTest::newRow("one wrong check byte: a warning naming repetition 5, still taken")
        << paced(wrongCheck) << true
        << QStringList{"warning: send 1, repetition 5: the check byte 5C is wrong",
                       "location 3: GP RMC field 5"};

    QList<QByteArray> allWrong = tenOf(First, Repeat);
    for (QByteArray &f : allWrong)
        f[9] = char(0x00);
    QTest::newRow("every check byte wrong: rejected")
        << paced(allWrong) << false
        << QStringList{"repetition 10: the check byte 00 is wrong",
                       "send 1 rejected: no repetition was a sound frame"};

    QList<QByteArray> nine = tenOf(First, Repeat);
    nine.removeLast();
    QTest::newRow("a missing repetition: a warning, still taken")
        << paced(nine) << true
        << QStringList{"warning: send 1: 9 repetitions where a send has 10", "location 3: GP RMC field 5"};

    QTest::newRow("the first repetition missing: named as lost")
        << paced(tenOf(First, Repeat).mid(1)) << true
        << QStringList{
               "repetition 1: ends with the repeat check byte 5B where the first repetition of a send ends "
               "with 7B: the first repetition was lost"};

    QTest::newRow("an extra repetition: a warning")
        << paced(tenOf(First, Repeat) << Repeat) << true
        << QStringList{"warning: send 1: 11 repetitions where a send has 10"};

    QTest::newRow("the first check byte on every repetition: warnings")
        << paced(QList<QByteArray>(10, First)) << true
        << QStringList{"repetition 2: ends with the first frame's check byte 7B where repetitions 2 to 10 "
                       "end with 5B"};

    Stream close = paced(tenOf(First, Repeat));
    for (int i = 23; i < close.size(); ++i) // from byte 4 of repetition 3 on, everything 30 ms sooner
        close[i].at -= 30ms;
    QTest::newRow("one byte sent too close: a warning, still taken")
        << close << true
        << QStringList{
               "warning: send 1, repetition 3: byte 4 came 20 ms after the one before, closer than the "
               "display's 50 ms",
               "location 3: GP RMC field 5"};

    QTest::newRow("every byte 10 ms apart: rejected")
        << paced(tenOf(First, Repeat), 0ms, 10ms, {}, 0ms) << false
        << QStringList{"closer than the display's 50 ms", "came without its 100 ms pause",
                       "send 1 rejected: no repetition was a sound frame with the display's pacing"};

    QByteArray shortFrame = First.left(7);
    QTest::newRow("a repetition cut short: its length named")
        << paced(QList<QByteArray>{First, shortFrame} + tenOf(First, Repeat).mid(2)) << true
        << QStringList{"repetition 2: 7 bytes where a frame has 10"};

    QByteArray unknownLocation = First;
    unknownLocation[1] = 'A';
    QTest::newRow("a memory byte naming no location: rejected")
        << paced(QList<QByteArray>(10, unknownLocation)) << false
        << QStringList{"the memory byte 41 names no location", "send 1 rejected"};
}

void tst_Display::faults()
{
    QFETCH(Stream, stream);
    QFETCH(bool, accepted);
    QFETCH(QStringList, reported);
    const Heard h = hear(stream);
    QCOMPARE(h.verdicts.size(), 1);
    QCOMPARE(h.verdicts[0].accepted, accepted);
    const QString all = h.lines.join(QLatin1Char('\n'));
    for (const QString &text : reported)
        QVERIFY2(all.contains(text), qPrintable(QStringLiteral("missing \"%1\" in:\n%2").arg(text, all)));
    QVERIFY2(!h.verdicts[0].findings.isEmpty(), qPrintable(all));
}

void tst_Display::productDecidesFrameLength()
{
    // An 11-byte send to a display said to be product 0 is not for it.
    const Heard given = hear(paced(tenOf(IconFirst, IconRepeat)), 0);
    QCOMPARE(given.verdicts.size(), 1);
    QVERIFY(!given.verdicts[0].accepted);
    QVERIFY2(given.verdicts[0].rejection.contains("11-byte frames (with an icon byte) are not for product 0"),
             qPrintable(given.verdicts[0].rejection));

    // Without a product, the first send taken decides; a send of the other length after it is rejected.
    const Heard mixed = hear(paced(tenOf(First, Repeat) + tenOf(IconFirst, IconRepeat)));
    QCOMPARE(mixed.verdicts.size(), 2);
    QVERIFY(mixed.verdicts[0].accepted);
    QVERIFY(!mixed.verdicts[1].accepted);
    QVERIFY(mixed.verdicts[1].rejection.contains("one display is one product"));
}

void tst_Display::lastSendToALocationWins()
{
    sim::Display display;
    Stream s = paced(tenOf(First, Repeat));
    s += paced(tenOf(RpmFirst, RpmRepeat), s.last().at + 2s);
    s += paced(tenOf(First, Repeat), s.last().at + 2s);
    hear(display, s);
    QCOMPARE(display.accepted(), 3);
    QCOMPARE(display.rejected(), 0);
    QVERIFY(display.locations()[2].has_value());
    QCOMPARE(display.locations()[2]->sends, 2);
    QCOMPARE(display.locations()[1]->configuration.shows(), QStringLiteral("NX20/40 ENGINE RPM"));
    QVERIFY(!display.locations()[0].has_value());
    const QStringList rows = display.table().split(QLatin1Char('\n'));
    QVERIFY2(rows.value(2).startsWith(QLatin1String("  1  -")), qPrintable(rows.value(2)));
    QVERIFY2(rows.value(3).startsWith(QLatin1String("  2  NX20/40 ENGINE RPM")), qPrintable(rows.value(3)));
    QVERIFY2(rows.value(4).startsWith(QLatin1String("  3  GP RMC field 5")) && rows.value(4).endsWith(" 2"),
             qPrintable(rows.value(4)));
}

void tst_Display::tableFitsEightyColumns()
{
    // The longest text a location can show: XDR, field 25, the longest transducer type, the longest icon.
    plan::Location l;
    l.location = 10;
    l.what = frame::Standard{0, vocabulary::XdrPosition, 25, 0};
    l.icon = frame::findIcon(QStringLiteral("MILES"));
    sim::Display display;
    hear(display, paced(plan::frames(2, l)));
    QCOMPARE(display.accepted(), 1);
    const QString shown = display.locations()[9]->configuration.shows();
    QVERIFY2(shown.endsWith(QLatin1String("field 25 type A - Angular Displacement, Degrees, icon MILES")),
             qPrintable(shown));
    const QStringList rows = display.table().split(QLatin1Char('\n'));
    for (const QString &row : rows)
        QVERIFY2(row.size() < 80, qPrintable(row));
    QVERIFY(display.table().contains(shown)); // whole, not cut
}

void tst_Display::jsonMarksRejection()
{
    QList<QByteArray> allWrong = tenOf(First, Repeat);
    for (QByteArray &f : allWrong)
        f[9] = char(0x00);
    const Heard h = hear(paced(tenOf(IconFirst, IconRepeat) + allWrong));
    QCOMPARE(h.verdicts.size(), 2);
    const QJsonObject taken = sim::Display::toJson(h.verdicts[0]);
    QCOMPARE(taken.value("accepted").toBool(), true);
    QVERIFY(!taken.contains("rejected"));
    QCOMPARE(taken.value("location").toInt(), 3);
    QCOMPARE(taken.value("talker").toString(), QStringLiteral("GP"));
    QCOMPARE(taken.value("sentence").toString(), QStringLiteral("RMC"));
    QCOMPARE(taken.value("field").toInt(), 5);
    QCOMPARE(taken.value("icon").toString(), QStringLiteral("KT"));
    QCOMPARE(taken.value("warnings").toArray().size(), 0);

    const QJsonObject rejected = sim::Display::toJson(h.verdicts[1]);
    QCOMPARE(rejected.value("accepted").toBool(true), false);
    QCOMPARE(rejected.value("rejected").toBool(), true);
    QCOMPARE(rejected.value("frames").toArray().size(), 10);
    QCOMPARE(rejected.value("frames").toArray().at(0).toString(),
             QStringLiteral("24 32 47 50 52 4D 43 05 35 00"));
    QCOMPARE(rejected.value("problems").toArray().size(), 10);
}

void tst_Display::planComesBack_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("displayProduct"); // as the command line's --product gives it, -1 for none
    QTest::newRow("MD90 1.3 with icons, standard, XDR and instruments") << QByteArray(R"(product = 2
[location.1]
talker = "GP"
sentence = "RMC"
field = 7
icon = "KT"
[location.2]
talker = "II"
sentence = "XDR"
field = 3
type = "C"
icon = "DegC"
[location.4]
instrument = "WX20/40 WINDLASS BATTERY VOLTAGE"
icon = "MILES"
[location.10]
talker = "GP"
sentence = "GGA"
field = 9
)") << -1;
    QTest::newRow("MD90 1.0, said by --product") << QByteArray(R"(product = 1
[location.3]
instrument = "NX20/40 ENGINE RPM"
[location.5]
talker = "SD"
sentence = "DBT"
field = 1
)") << 1;
}

void tst_Display::planComesBack()
{
    QFETCH(QByteArray, text);
    QFETCH(int, displayProduct);
    const plan::ReadResult original = plan::parsePlan(text, QStringLiteral("sent.toml"));
    QVERIFY(original.faults.isEmpty());

    // Sent as plan send does, with no byte slot and short pauses, so each repetition is a burst of bytes
    // after a silence; the silences are then stretched to the display's pacing.
    RecordingPort port;
    plan::SendOptions options;
    options.pacing.slot = 0us;
    options.pacing.pause = 40ms;
    options.gap = 300ms;
    const plan::SendReport report = plan::sendPlan(original.plan, port, QStringLiteral("recorded"), options);
    QVERIFY2(report.complete(), qPrintable(report.failure));
    Stream s;
    Micros t = 0us;
    for (int i = 0; i < port.written.size(); ++i) {
        if (i > 0) {
            const auto gap = port.times[i] - port.times[i - 1];
            t += gap >= 200ms ? 2s : gap >= 20ms ? sim::Slot + sim::Pause : sim::Slot;
        }
        s.append({std::uint8_t(port.written[i]), t});
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("received.toml"));
    sim::Display display(displayProduct);
    hear(display, s);
    QCOMPARE(display.rejected(), 0);
    QCOMPARE(display.accepted(), int(original.plan.locations.size()));
    const std::optional<QString> failed = display.writePlan(path);
    QVERIFY2(!failed, qPrintable(failed.value_or(QString())));

    const plan::ReadResult back = plan::readPlan(path);
    QVERIFY2(back.faults.isEmpty(), qPrintable(back.faults.value(0).text()));
    QCOMPARE(back.plan.product, original.plan.product);
    QCOMPARE(back.plan.locations.size(), original.plan.locations.size());
    for (int i = 0; i < original.plan.locations.size(); ++i) {
        const plan::Location &a = original.plan.locations[i];
        const plan::Location &b = back.plan.locations[i];
        QCOMPARE(b.location, a.location);
        QCOMPARE(frame::shows(b, vocabulary::product(back.plan.product)),
                 frame::shows(a, vocabulary::product(original.plan.product)));
        QCOMPARE(plan::frames(back.plan.product, b), plan::frames(original.plan.product, a));
    }
}

void tst_Display::tenByteFramesSayProductIsAssumed()
{
    sim::Display display;
    QVERIFY(display.planText().isEmpty()); // nothing taken, nothing to write
    hear(display, paced(tenOf(First, Repeat)));
    const QString text = display.planText();
    QCOMPARE(display.product(), 0);
    QVERIFY(display.productAssumed());
    QVERIFY2(
        text.contains(QLatin1String("\n# 10-byte frames are sent alike to products 0 and 1: product 0 is "
                                    "assumed")),
        qPrintable(text));
    const plan::ReadResult back = plan::parsePlan(text.toUtf8(), QStringLiteral("x.toml"));
    QVERIFY(back.faults.isEmpty());
    QCOMPARE(back.plan.product, 0);

    // Told the product, it says nothing of the sort.
    sim::Display told(1);
    hear(told, paced(tenOf(First, Repeat)));
    QVERIFY(!told.planText().contains(QLatin1String("assumed")));
    QCOMPARE(plan::parsePlan(told.planText().toUtf8(), QStringLiteral("x.toml")).plan.product, 1);
}

void tst_Display::planPathRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("a symbolic link, even to a regular file") << "link";
    QTest::newRow("a dangling symbolic link") << "dangling";
    QTest::newRow("a directory") << "directory";
    QTest::newRow("a FIFO") << "fifo";
    QTest::newRow("a device") << "device";
    QTest::newRow("in a folder that does not exist") << "no folder";
}

void tst_Display::planPathRefused()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("target.toml"));
    QFile f(target);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("kept\n");
    f.close();
    QString path = dir.filePath(QStringLiteral("plan.toml"));
    if (kind == QLatin1String("link"))
        QVERIFY(QFile::link(target, path));
    else if (kind == QLatin1String("dangling"))
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere")), path));
    else if (kind == QLatin1String("directory"))
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("plan.toml")));
    else if (kind == QLatin1String("fifo"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (kind == QLatin1String("no folder"))
        path = dir.filePath(QStringLiteral("nowhere/plan.toml"));
    else
        path = QStringLiteral("/dev/null");

    QVERIFY(sim::Display::refusePlanPath(path).has_value());
    sim::Display display;
    hear(display, paced(tenOf(First, Repeat)));
    const std::optional<QString> refused = display.writePlan(path);
    QVERIFY(refused.has_value());
    QVERIFY2(refused->contains(path), qPrintable(*refused));
    QFile kept(target);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("kept\n")); // nothing written through the link
    if (kind == QLatin1String("link") || kind == QLatin1String("dangling"))
        QVERIFY(QFileInfo(path).isSymLink()); // the link itself left in place
}

// simulate run as root, writing a user's plan, leaves the file the user's, with its mode.
void tst_Display::planOutKeepsOwnerAndMode()
{
    if (::geteuid() != 0)
        QSKIP("giving a file to another user needs root");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("received.toml"));
    const QByteArray name = QFile::encodeName(path);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QCOMPARE(::chown(name.constData(), 1234, 2345), 0);
    QCOMPARE(::chmod(name.constData(), 0604), 0);
    sim::Display display;
    hear(display, paced(tenOf(First, Repeat)));
    QCOMPARE(display.writePlan(path), std::nullopt);
    QCOMPARE(plan::readPlan(path).plan.locations.size(), 1);
    struct stat st {};
    QCOMPARE(::lstat(name.constData(), &st), 0);
    QCOMPARE(st.st_uid, uid_t(1234));
    QCOMPARE(st.st_gid, gid_t(2345));
    QCOMPARE(st.st_mode & 07777, mode_t(0604));
}

void tst_Display::planOutMergesIntoAPlan_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after"); // empty: the file is refused and left as it was
    const QByteArray head = "# the helm display\nproduct = 0   # MD20/MD40\n\n"
                            "[location.1]   # the wind\nnote = \"apparent wind\"\ntalker = \"II\"\n"
                            "sentence = \"MWV\"\nfield = 1\n\n";
    const QByteArray tail = "# engine below\n[location.5]\ninstrument = 11\n";
    QTest::newRow("the location taken replaces its table, its note gone with what it showed; the rest stays")
        << head +
               "[location.3]\nnote = \"log\"\ntalker = \"VW\"   # from the log\nsentence = \"VHW\"\n"
               "field = 5\n\n" +
               tail
        << head + "[location.3]\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = 5\n\n" + tail;
    QTest::newRow("the same location taken again keeps its note")
        << head + "[location.3]\nnote = \"speed\"\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = 5\n\n" + tail
        << head + "[location.3]\nnote = \"speed\"\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = 5\n\n" + tail;
    QTest::newRow("a location the plan lacks is added at the end")
        << head + tail << head + tail + "\n[location.3]\ntalker = \"GP\"\nsentence = \"RMC\"\nfield = 5\n";
    QTest::newRow("a plan for another product is left alone")
        << QByteArray("product = 2\n[location.3]\ninstrument = 1\n") << QByteArray();
    QTest::newRow("a file that is no plan is left alone")
        << QByteArray("# README\nSome notes.\n") << QByteArray();
}

// Sending a location to a simulated display that keeps an existing plan changes that location only.
void tst_Display::planOutMergesIntoAPlan()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("helm.mdplan.toml"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(before) == before.size());
    f.close();
    sim::Display display;
    hear(display, paced(tenOf(First, Repeat))); // GP RMC field 5 at location 3
    const std::optional<QString> failed = display.writePlan(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), after.isEmpty() ? before : after);
    QCOMPARE(failed.has_value(), after.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Display)
#include "tst_display.moc"
