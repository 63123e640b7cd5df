// A plan checked as a value, built here as the window and the page build theirs (no text): each fault
// with the location and key it belongs to, in location order.
#include "plan/plan.h"

#include <QTest>

namespace {

using Expected = QStringList; // "location/key: words the message holds"

plan::Location standard(int location, int talker, int sentence, int field, int type = -1, int icon = 0)
{
    plan::Location l;
    l.location = location;
    l.what = frame::Standard{talker, sentence, field, type};
    l.icon = icon;
    return l;
}

plan::Location instrument(int location, int which, const QString &note = {})
{
    plan::Location l;
    l.location = location;
    l.what = frame::Instrument{which};
    l.note = note;
    return l;
}

// List positions as the window's lists hold them, found by their texts.
int talker(const char *t)
{
    return int(vocabulary::entries(vocabulary::List::Talker).indexOf(t));
}
int sentence(const char *s)
{
    return int(vocabulary::entries(vocabulary::List::Identifier).indexOf(s));
}

} // namespace

Q_DECLARE_METATYPE(plan::Plan)

class tst_Check : public QObject {
    Q_OBJECT
private slots:
    void faults_data();
    void faults();
};

void tst_Check::faults_data()
{
    QTest::addColumn<plan::Plan>("plan");
    QTest::addColumn<Expected>("expected");
    const int gp = talker("GP"), rmc = sentence("RMC"), xdr = sentence("XDR");
    const plan::Location rmc7 = standard(1, gp, rmc, 7);

    QTest::newRow("clean: standard with icon, XDR with type, instrument with note")
        << plan::Plan{2,
                      {standard(1, gp, rmc, 7, -1, 4), standard(2, talker("II"), xdr, 3, 1),
                       instrument(5, 9, "rpm")}}
        << Expected{};
    QTest::newRow("a fresh plan, no location yet") << plan::Plan{0, {}} << Expected{};
    QTest::newRow("no product") << plan::Plan{-1, {rmc7}} << Expected{"0/product: product is missing"};
    QTest::newRow("a product past the last")
        << plan::Plan{3, {}} << Expected{"0/product: \"3\" is not valid"};
    QTest::newRow("no talker chosen")
        << plan::Plan{2, {standard(3, -1, rmc, 7)}} << Expected{"3/talker: location 3: talker is missing"};
    QTest::newRow("sentence and field missing, in that order")
        << plan::Plan{2, {standard(6, gp, -1, 0)}}
        << Expected{"6/sentence: location 6: sentence is missing", "6/field: location 6: field is missing"};
    QTest::newRow("shows nothing: one fault, not four")
        << plan::Plan{2, {standard(4, -1, -1, 0)}} << Expected{"4/: location 4: shows nothing"};
    QTest::newRow("field past 25") << plan::Plan{2, {standard(1, gp, rmc, 26)}}
                                   << Expected{"1/field: location 1: field: \"26\" is not valid"};
    QTest::newRow("XDR without its type")
        << plan::Plan{2, {standard(2, gp, xdr, 3)}} << Expected{"2/type: location 2: type is missing"};
    QTest::newRow("a type on RMC") << plan::Plan{2, {standard(1, gp, rmc, 7, 0)}}
                                   << Expected{"1/type: type applies only to the sentence XDR, not RMC"};
    QTest::newRow("no instrument chosen")
        << plan::Plan{2, {instrument(8, -1)}} << Expected{"8/instrument: location 8: instrument is missing"};
    QTest::newRow("instrument 13 of 12")
        << plan::Plan{2, {instrument(8, 12)}} << Expected{"8/instrument: instrument: \"13\" is not valid"};
    QTest::newRow("icon on a product without icons")
        << plan::Plan{0, {standard(1, gp, rmc, 7, -1, 4)}}
        << Expected{"1/icon: location 1 has an icon, but product 0 (MD20/MD40) shows none"};
    QTest::newRow("icon None on a product without icons") << plan::Plan{1, {rmc7}} << Expected{};
    QTest::newRow("note of two lines") << plan::Plan{2, {instrument(7, 0, "bilge\npump")}}
                                       << Expected{"7/note: location 7: note: a note is one line"};
    QTest::newRow("note one too long")
        << plan::Plan{2, {instrument(7, 0, QString(plan::MaxNoteLength + 1, QLatin1Char('n')))}}
        << Expected{"7/note: at most 200 characters; this one has 201"};
    QTest::newRow("note at the longest")
        << plan::Plan{2, {instrument(7, 0, QString(plan::MaxNoteLength, 'n'))}} << Expected{};
    QTest::newRow("a location twice: told once, its second holding not read")
        << plan::Plan{2, {instrument(6, 0), standard(6, -1, -1, 0)}}
        << Expected{"6/: location 6 is given twice; each location is given at most once"};
    QTest::newRow("location 11") << plan::Plan{2, {instrument(11, 0)}}
                                 << Expected{"0/location: location \"11\" is out of range"};
    QTest::newRow("location 0") << plan::Plan{2, {instrument(0, 0)}}
                                << Expected{"0/location: location \"0\" is out of range"};
    plan::Location unreadTalker = standard(2, -1, -1, 0);
    unreadTalker.unread = {QStringLiteral("talker")};
    QTest::newRow("a talker that named nothing is not missing too")
        << plan::Plan{2, {unreadTalker}}
        << Expected{"2/sentence: sentence is missing", "2/field: field is missing"};
    plan::Plan unreadProduct{-1, {}};
    unreadProduct.unread = {QStringLiteral("product")};
    QTest::newRow("a product that named nothing is not missing too") << unreadProduct << Expected{};
    QTest::newRow("faults in location order, plan-wide first")
        << plan::Plan{-1, {instrument(9, -1), standard(2, -1, rmc, 7)}}
        << Expected{"0/product: missing", "2/talker: missing", "9/instrument: missing"};
}

void tst_Check::faults()
{
    QFETCH(plan::Plan, plan);
    QFETCH(Expected, expected);
    const QList<plan::Fault> faults = plan::check(plan);
    QStringList messages;
    for (const plan::Fault &f : faults)
        messages << QStringLiteral("%1/%2: %3").arg(f.location).arg(f.key, f.message);
    QCOMPARE(faults.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QString where = expected[i].section(QLatin1Char(' '), 0, 0);
        const QString words = expected[i].section(QLatin1Char(' '), 1);
        QVERIFY2(messages[i].startsWith(where) && messages[i].contains(words),
                 qPrintable(messages.join('\n')));
        QVERIFY(faults[i].file.isEmpty() && faults[i].line == 0); // a value has no file
    }
}

QTEST_GUILESS_MAIN(tst_Check)
#include "tst_check.moc"
