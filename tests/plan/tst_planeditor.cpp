// The plan writer, notes and comments, and the editing model behind the plan window: what a save writes
// reads back as the same plan, a note survives, comments a save would drop are named, and a check puts
// each fault on its own row.
#include "plan/planeditor.h"

#include "support/files.h"

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Everything a plan says about a location, for comparing two plans.
QString described(const plan::Plan &p)
{
    QStringList lines{QString::number(p.product)};
    for (const plan::Location &l : p.locations)
        lines << QString::fromUtf8(QJsonDocument(frame::toJson(l, true)).toJson(QJsonDocument::Compact)) +
                     QStringLiteral(" [") + l.note + QLatin1Char(']');
    return lines.join(QLatin1Char('\n'));
}

// A row of the given kind, with its first entries.
plan::Row used(plan::RowKind kind)
{
    plan::Row r;
    r.kind = kind;
    return r;
}

plan::Plan parsed(const QByteArray &text)
{
    const plan::ReadResult r = plan::parsePlan(text, QStringLiteral("test.mdplan.toml"));
    for (const plan::Fault &f : r.faults)
        qWarning("%s", qPrintable(f.text()));
    return r.faults.isEmpty() ? r.plan : plan::Plan{};
}

} // namespace

class tst_PlanEditor : public QObject {
    Q_OBJECT
private slots:
    void writerRoundTrip_data();
    void writerRoundTrip();
    void badNotes_data();
    void badNotes();
    void droppedComments_data();
    void droppedComments();
    void checkPutsFaultsOnTheirRows();
    void openRefusesWhatIsNoPlanAndKeepsThePlan();
    void saveKeepsNotesAndClearsTheMark();
    void reportMarksOnlyWholeSends();
};

void tst_PlanEditor::writerRoundTrip_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("the example plan, comments and all")
        << readAll(QStringLiteral(MDCONFIG_EXAMPLES "/helm-md90.mdplan.toml"));
    QTest::newRow("notes with quotes, backslashes and accents")
        << QByteArray("product = 2\n[location.4]\nnote = \"the \\\"main\\\" C:\\\\ tank, Überlauf\"\n"
                      "instrument = 4\nicon = \"VOLTS\"\n");
    QTest::newRow("XDR type kept, icons dropped for a product without them")
        << QByteArray("product = 1\n[location.10]\ntalker = \"II\"\nsentence = \"XDR\"\nfield = 25\n"
                      "type = \"V\"\n[location.1]\ntalker = \"GP\"\nsentence = \"GGA\"\nfield = 9\n");
    QTest::newRow("a note of the longest length")
        << QByteArray("product = 0\n[location.2]\ninstrument = 12\nnote = \"") +
               QByteArray(plan::MaxNoteLength, 'x') + QByteArray("\"\n");
}

void tst_PlanEditor::writerRoundTrip()
{
    QFETCH(QByteArray, text);
    const plan::Plan original = parsed(text);
    QVERIFY(!original.locations.isEmpty());
    const QByteArray written = plan::planText(original);
    QCOMPARE(described(parsed(written)), described(original));
    // Written twice, the text is the same: a save of an unchanged plan changes nothing.
    QCOMPARE(plan::planText(parsed(written)), written);
}

void tst_PlanEditor::badNotes_data()
{
    QTest::addColumn<QByteArray>("note");
    QTest::addColumn<QString>("fault");
    QTest::newRow("a line break") << QByteArray("\"one\\ntwo\"") << "one line of text";
    QTest::newRow("a bell") << QByteArray("\"ring\\u0007\"") << "one line of text";
    QTest::newRow("a number") << QByteArray("3") << "text in quotes";
    QTest::newRow("one character too long")
        << QByteArray("\"") + QByteArray(plan::MaxNoteLength + 1, 'n') + "\""
        << "at most 200 characters";
}

void tst_PlanEditor::badNotes()
{
    QFETCH(QByteArray, note);
    QFETCH(QString, fault);
    const plan::ReadResult r = plan::parsePlan(
        "product = 0\n[location.1]\ninstrument = 1\nnote = " + note + "\n", QStringLiteral("p"));
    QCOMPARE(r.faults.size(), 1);
    QCOMPARE(r.faults.first().line, 4);
    QVERIFY2(r.faults.first().message.contains(QStringLiteral("location 1: note: ")) &&
                 r.faults.first().message.contains(fault),
             qPrintable(r.faults.first().text()));
}

void tst_PlanEditor::droppedComments_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QStringList>("dropped");
    QTest::newRow("the writer's own header is kept") << plan::productText(2).toUtf8() << QStringList{};
    QTest::newRow("a comment after a value")
        << QByteArray("product = 2   # the helm\n[location.1]   # speed\ninstrument = 1\n")
        << QStringList{"the helm", "speed"};
    QTest::newRow("a hash inside a string is no comment")
        << QByteArray("product = 2\n[location.1]\nnote = \"tank #2\"\ninstrument = 1\n") << QStringList{};
    QTest::newRow("nor inside a literal or a multi-line string")
        << QByteArray("a = 'x # y'\nb = \"\"\"\n# inside\n\"\"\"\n# outside\n") << QStringList{"outside"};
    QTest::newRow("an escaped quote does not end the string")
        << QByteArray("a = \"say \\\"#\\\" \" # after\n") << QStringList{"after"};
}

void tst_PlanEditor::droppedComments()
{
    QFETCH(QByteArray, existing);
    QFETCH(QStringList, dropped);
    QCOMPARE(plan::droppedComments(existing, plan::planText(plan::Plan{2, {}})), dropped);
}

void tst_PlanEditor::checkPutsFaultsOnTheirRows()
{
    plan::PlanEditor editor;
    editor.check();
    QVERIFY(!editor.hasFaults()); // a fresh plan with no location yet is clean

    plan::Row noTalker = used(plan::RowKind::Standard);
    noTalker.standard.talker = -1; // as a list with no entry chosen gives it
    editor.setRow(3, noTalker);
    editor.setRow(7, used(plan::RowKind::Instrument));
    editor.setNote(7, QStringLiteral("bilge\tpump"));
    editor.check();
    QVERIFY(editor.planFaults().isEmpty());
    for (int n = plan::FirstLocation; n <= plan::LastLocation; ++n)
        QCOMPARE(editor.faults(n).isEmpty(), n != 3 && n != 7);
    QVERIFY2(editor.faults(3).first().contains(QStringLiteral("location 3: talker")),
             qPrintable(editor.faults(3).first()));
    QVERIFY2(editor.faults(7).first().contains(QStringLiteral("location 7: note")),
             qPrintable(editor.faults(7).first()));
    // The text is what `plan check` prints for the saved file: FILE:LINE:COLUMN: message.
    QVERIFY(editor.faults(3).first().startsWith(QStringLiteral("new plan:")));
}

void tst_PlanEditor::openRefusesWhatIsNoPlanAndKeepsThePlan()
{
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.mdplan.toml"));
    QVERIFY(writeAll(bad, "product = 0\n[location.1]\ntalker = \"GP\n"));
    plan::PlanEditor editor;
    editor.setRow(2, used(plan::RowKind::Instrument));
    const QStringList faults = editor.open(bad);
    QCOMPARE(faults.size(), 1);
    QVERIFY(faults.first().startsWith(bad + QStringLiteral(":3:")));
    QCOMPARE(editor.kind(2), plan::RowKind::Instrument);
    QVERIFY(editor.isModified());
    QVERIFY(editor.path().isEmpty());

    // A plan with faults opens, each on its row; a product that names nothing stays the plan's fault until
    // one is picked.
    QVERIFY(writeAll(bad, "product = 9\n[location.1]\ntalker = \"GX\"\nsentence = \"RMC\"\nfield = 1\n"));
    QCOMPARE(editor.open(bad), QStringList{});
    QCOMPARE(editor.kind(1), plan::RowKind::Standard);
    QCOMPARE(editor.row(1).standard.talker, -1);
    QVERIFY(editor.faults(1).first().startsWith(bad + QStringLiteral(":3:10: location 1: talker")));
    editor.check();
    QVERIFY(editor.faults(1).first().contains(QStringLiteral("talker is missing")));
    QCOMPARE(editor.planFaults().size(), 1);
    editor.setProduct(1);
    editor.check();
    QVERIFY(editor.planFaults().isEmpty());
}

void tst_PlanEditor::saveKeepsNotesAndClearsTheMark()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("boat.mdplan.toml"));
    plan::PlanEditor editor;
    editor.newPlan(2);
    editor.setRow(5, used(plan::RowKind::Standard));
    editor.setNote(5, QStringLiteral("depth \"below keel\""));
    QVERIFY(editor.isModified());
    QCOMPARE(editor.saveAs(path), std::nullopt);
    QVERIFY(!editor.isModified());
    QCOMPARE(editor.name(), QStringLiteral("boat.mdplan.toml"));

    plan::PlanEditor again;
    QCOMPARE(again.open(path), QStringList{});
    QCOMPARE(described(again.plan()), described(editor.plan()));
    QCOMPARE(again.row(5).note, QStringLiteral("depth \"below keel\""));

    // A plan with faults is not written: the file stays as it was.
    const QByteArray before = readAll(path);
    plan::Row noSentence = used(plan::RowKind::Standard);
    noSentence.standard.sentence = -1;
    again.setRow(1, noSentence);
    QVERIFY(again.saveAs(path).has_value());
    QCOMPARE(readAll(path), before);
}

void tst_PlanEditor::reportMarksOnlyWholeSends()
{
    plan::PlanEditor editor;
    for (int n : {2, 4, 6, 8})
        editor.setRow(n, used(plan::RowKind::Instrument));
    editor.setStatus(6, {plan::RowState::Sending, {}});
    plan::SendReport report;
    report.sent = {2, 4};
    report.notSent = {6, 8};
    report.failure = QStringLiteral("location 6 failed: the device was removed.");
    QCOMPARE(editor.takeReport(report), std::optional<int>(6));
    QCOMPARE(editor.status(2).state, plan::RowState::Sent);
    QCOMPARE(editor.status(6).state, plan::RowState::Failed); // begun, so in part on the display
    QCOMPARE(editor.status(6).text(), QStringLiteral("failed: ") + report.failure);
    QCOMPARE(editor.status(8).state, plan::RowState::NotSent);

    // A location the send stopped before it began is not sent, not failed.
    report.sent = {};
    report.notSent = {8};
    report.failure = QStringLiteral("interrupted before location 8");
    QCOMPARE(editor.takeReport(report), std::optional<int>(8));
    QCOMPARE(editor.status(8).text(), QStringLiteral("not sent: interrupted before location 8"));

    // Editing a sent row makes it not sent again.
    editor.setRow(2, used(plan::RowKind::Standard));
    QCOMPARE(editor.status(2).state, plan::RowState::NotSent);
}

QTEST_GUILESS_MAIN(tst_PlanEditor)
#include "tst_planeditor.moc"
