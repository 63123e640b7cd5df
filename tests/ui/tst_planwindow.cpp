// The plan window driven as an installer drives it, offscreen: the example loaded, rows edited, checked,
// saved and loaded again; a fault on its row; Send All through a recording port with Stop mid-plan and Send
// From; unsaved changes asked about before the window closes; and the main window's new menu.
#include "plan/plan.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/recordingport.h"
#include "ui/mainwindow.h"
#include "ui/planwindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString Device = QStringLiteral("/dev/ttyPLANTEST");

// A plan window on a recording port, with a clock that moves only when the send waits, and a copy of the
// example plan in a folder of its own.
struct Fixture {
    Fixture()
    {
        qputenv("MDCONFIG_COM3", Device.toUtf8());
        program.ComPortNumber = 3;
        program.pacing.now = [this] { return now; };
        program.pacing.wait = [this](frame::Clock::time_point until) {
            now = std::max(now, until);
            if (onWait)
                onWait();
        };
        example = dir.filePath(QStringLiteral("helm.mdplan.toml"));
        QFile::copy(QStringLiteral(MDCONFIG_EXAMPLES "/helm-md90.mdplan.toml"), example);
        QFile::setPermissions(example, QFile::ReadOwner | QFile::WriteOwner);
        window.show();
    }
    ~Fixture() { qunsetenv("MDCONFIG_COM3"); }

    QTemporaryDir dir;
    QString example;
    app::Program program;
    RecordingPort port;
    frame::Clock::time_point now{};
    std::function<void()> onWait;
    ui::PlanWindow window{program, port, [](plan::RowKind) { return frame::Configuration{}; }};
};

QString described(const plan::Plan &p)
{
    QStringList lines{QString::number(p.product)};
    for (const plan::Location &l : p.locations)
        lines << QStringLiteral("%1: ").arg(l.location) + frame::shows(l, vocabulary::product(p.product)) +
                     QStringLiteral(" [") + l.note + QLatin1Char(']');
    return lines.join(QLatin1Char('\n'));
}

QByteArray framesFrom(const plan::Plan &p, int from)
{
    QByteArray bytes;
    for (const plan::Location &l : p.locations) {
        if (l.location >= from)
            bytes += plan::frames(p.product, l).join();
    }
    return bytes;
}

void pressButton(QWidget *box, QMessageBox::StandardButton which)
{
    auto *message = qobject_cast<QMessageBox *>(box);
    QVERIFY(message);
    message->button(which)->click();
}

} // namespace

class tst_PlanWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void editSaveAndLoadAgain_data();
    void editSaveAndLoadAgain();
    void faultShownOnItsRow();
    void openAPlanWithFaults_data();
    void openAPlanWithFaults();
    void mendARowAndSave();
    void sendAllStopAndSendFrom_data();
    void sendAllStopAndSendFrom();
    void askBeforeEachLocation();
    void portFailureShownOnTheRow_data();
    void portFailureShownOnTheRow();
    void unsavedChangesAskedBeforeClose_data();
    void unsavedChangesAskedBeforeClose();
    void mainWindowMenuAndChoices();
    void keyboardAndNames();
    void reachAndShortcuts();
    void fileDialogsStartInThePlansFolder_data();
    void fileDialogsStartInThePlansFolder();
    void rowsNameAndWarn_data();
    void rowsNameAndWarn();
    void fitsTheScreen();
};

void tst_PlanWindow::editSaveAndLoadAgain_data()
{
    QTest::addColumn<int>("location");
    QTest::addColumn<int>("kind"); // as the row's list offers: not used, standard, instrument
    QTest::addColumn<QString>("sentence");
    QTest::addColumn<QString>("note");
    QTest::newRow("a standard row gets another sentence and a note")
        << 3 << 1 << QStringLiteral("VTG") << QStringLiteral("speed, \"true\" track");
    QTest::newRow("an unused row becomes an instrument") << 8 << 2 << QString() << QStringLiteral("rode out");
    QTest::newRow("a used row is given up") << 1 << 0 << QString() << QString();
    QTest::newRow("XDR keeps its transducer type")
        << 2 << 1 << QStringLiteral("XDR") << QStringLiteral("oil");
}

void tst_PlanWindow::editSaveAndLoadAgain()
{
    QFETCH(int, location);
    QFETCH(int, kind);
    QFETCH(QString, sentence);
    QFETCH(QString, note);
    Fixture f;
    QVERIFY(f.window.openFile(f.example));
    QVERIFY(!f.window.isWindowModified());
    QVERIFY(f.window.windowTitle().startsWith(QStringLiteral("helm.mdplan.toml")));

    f.window.kindBox(location)->setCurrentIndex(kind);
    if (!sentence.isEmpty()) {
        QComboBox *box = f.window.listBox(location, "sentence");
        box->setCurrentIndex(box->findText(sentence));
    }
    if (!note.isEmpty()) {
        f.window.noteEdit(location)->clear();
        QTest::keyClicks(f.window.noteEdit(location), note);
    }
    QVERIFY(f.window.isWindowModified());
    f.window.button("cmdCheck")->click();
    QVERIFY2(!f.window.editor().hasFaults(), qPrintable(f.window.message()->text()));
    const QString edited = described(f.window.editor().plan());

    // The example's comments are not kept: the window says so, and the save goes on when told to.
    bool asked = false;
    answerModal([&](QWidget *box) {
        asked = box->objectName() == QLatin1String("commentsLost");
        pressButton(box, QMessageBox::Save);
    });
    QVERIFY(f.window.saveTo(f.example));
    QVERIFY(asked);
    QVERIFY(!f.window.isWindowModified());

    // Loaded again, in a new window and by the plan reader, the plan is the one edited, notes and all.
    Fixture again;
    QVERIFY(again.window.openFile(f.example));
    QCOMPARE(described(again.window.editor().plan()), edited);
    QCOMPARE(described(plan::readPlan(f.example).plan), edited);
    if (kind != 0)
        QCOMPARE(again.window.noteEdit(location)->text(),
                 note.isEmpty() ? f.window.noteEdit(location)->text() : note);
    QCOMPARE(again.window.kindBox(location)->currentIndex(), kind);
}

void tst_PlanWindow::faultShownOnItsRow()
{
    Fixture f;
    QVERIFY(f.window.openFile(f.example));
    // A row whose list has no entry (as a typed-over list gives) and a note the file cannot hold.
    plan::Row row = f.window.editor().row(3);
    row.standard.talker = -1;
    f.window.editor().setRow(3, row);
    f.window.editor().setNote(5, QStringLiteral("two\nlines"));
    f.window.button("cmdCheck")->click();
    for (int n = plan::FirstLocation; n <= plan::LastLocation; ++n)
        QCOMPARE(f.window.faultLabel(n)->isVisibleTo(&f.window), n == 3 || n == 5);

    // Each row's text names the plan's file and says what is wrong there, as `plan check` words it.
    QCOMPARE(f.window.faultLabel(3)->text(),
             f.example + QStringLiteral(": location 3: talker is missing; valid values: one of the 49 talker "
                                        "IDs of the window's list, AG to ZV"));
    QCOMPARE(f.window.faultLabel(5)->text(),
             f.example + QStringLiteral(": location 5: note: a note is one line of text, without line breaks "
                                        "or control characters"));

    // Send All sends nothing while a fault stands.
    f.window.button("cmdSendAll")->click();
    QVERIFY(f.port.written.isEmpty());
}

void tst_PlanWindow::openAPlanWithFaults_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("faultRows"); // empty and not opened: refused
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("said"); // words of the window's message
    QTest::addColumn<bool>("sends");   // Send All sends what the rows hold, as the window keeps the plan

    QTest::newRow("a talker naming nothing and a wrong icon, each on its row")
        << QByteArray("product = 2\n[location.3]\ntalker = \"XX\"\nsentence = \"RMC\"\nfield = 7\n"
                      "[location.5]\ninstrument = 1\n[location.7]\ninstrument = 2\nicon = \"KTT\"\n")
        << QList<int>{3, 7} << true << QStringLiteral("each shown on its row") << false;
    // The window sends no icon to such a product, as for any plan switched to it: the row shows the file's
    // fault, and the plan sends.
    QTest::newRow("an icon product 0 cannot show")
        << QByteArray("product = 0\n[location.1]\ninstrument = 1\nicon = \"KT\"\n") << QList<int>{1} << true
        << QStringLiteral("each shown on its row") << true;
    QTest::newRow("no product: the plan's fault, no row's")
        << QByteArray("[location.2]\ninstrument = 1\n") << QList<int>{} << true
        << QStringLiteral("product is missing") << false;
    QTest::newRow("not TOML: refused") << QByteArray("product = 2\n[location.1\n") << QList<int>{} << false
                                       << QStringLiteral("was not opened") << false;
    QTest::newRow("over 1 MB: refused") << QByteArray(plan::MaxPlanBytes + 1, '#') << QList<int>{} << false
                                        << QStringLiteral("larger than 1 MB") << false;
}

void tst_PlanWindow::openAPlanWithFaults()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, faultRows);
    QFETCH(bool, opened);
    QFETCH(QString, said);
    QFETCH(bool, sends);
    Fixture f;
    const QString path = f.dir.filePath(QStringLiteral("faulty.mdplan.toml"));
    QVERIFY(writeAll(path, text));
    QCOMPARE(f.window.openFile(path), opened);
    QVERIFY2(f.window.message()->text().contains(said), qPrintable(f.window.message()->text()));
    QCOMPARE(f.window.editor().path(), opened ? path : QString());
    for (int n = plan::FirstLocation; n <= plan::LastLocation; ++n) {
        QLabel *label = f.window.faultLabel(n);
        QCOMPARE(label->isVisibleTo(&f.window), faultRows.contains(n));
        // Where `plan check` puts it: FILE:LINE:COLUMN: location N: ...
        if (faultRows.contains(n))
            QVERIFY2(label->text().startsWith(path + QLatin1Char(':')) &&
                         label->text().contains(QStringLiteral(": location %1").arg(n)),
                     qPrintable(label->text()));
    }
    // Nothing is sent while a fault stands.
    f.window.button("cmdSendAll")->click();
    QCOMPARE(f.port.written.isEmpty(), !sends);
}

void tst_PlanWindow::mendARowAndSave()
{
    Fixture f;
    const QString path = f.dir.filePath(QStringLiteral("faulty.mdplan.toml"));
    QVERIFY(writeAll(path, "product = 2\n[location.4]\ntalker = \"GX\"\nsentence = \"RMC\"\nfield = 7\n"));
    QVERIFY(f.window.openFile(path));
    QVERIFY(f.window.faultLabel(4)->isVisibleTo(&f.window));
    QVERIFY(f.window.saveTo(path) == false); // a plan with faults is not saved
    QComboBox *talker = f.window.listBox(4, "talker");
    talker->setCurrentIndex(talker->findText(QStringLiteral("GP")));
    QVERIFY(!f.window.faultLabel(4)->isVisibleTo(&f.window));
    f.window.button("cmdCheck")->click();
    QVERIFY2(!f.window.editor().hasFaults(), qPrintable(f.window.message()->text()));
    QVERIFY(f.window.saveTo(path));
    const plan::ReadResult saved = plan::readPlan(path);
    QVERIFY(saved.faults.isEmpty());
    QCOMPARE(described(saved.plan), QStringLiteral("2\n4: GP RMC field 7, icon None []"));
}

void tst_PlanWindow::sendAllStopAndSendFrom_data()
{
    QTest::addColumn<int>("stopAtByte");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<int>("resumeAt");
    QTest::addColumn<QString>("resumedRow"); // the status of the row the send stopped at
    // The example uses locations 1 to 5 with product 2: 110 bytes a location.
    QTest::newRow("mid location 3") << 275 << QStringLiteral("1-2") << 3
                                    << QStringLiteral(
                                           "stopped: interrupted after 55 of 110 bytes of location 3");
    QTest::newRow("in the gap after location 2")
        << 220 << QStringLiteral("1-2") << 3 << QStringLiteral("not sent: interrupted before location 3");
    QTest::newRow("after the first byte")
        << 1 << QStringLiteral("none") << 1
        << QStringLiteral("stopped: interrupted after 1 of 110 bytes of location 1");
}

void tst_PlanWindow::sendAllStopAndSendFrom()
{
    QFETCH(int, stopAtByte);
    QFETCH(QString, sent);
    QFETCH(int, resumeAt);
    QFETCH(QString, resumedRow);
    Fixture f;
    QVERIFY(f.window.openFile(f.example));
    const plan::Plan whole = f.window.editor().plan();
    QStringList progress;
    f.onWait = [&] {
        progress << f.window.progressBar()->format();
        if (f.port.written.size() == stopAtByte && f.window.isBusy())
            f.window.button("cmdStop")->click();
    };
    f.window.button("cmdSendAll")->click();
    QVERIFY(!f.window.isBusy());
    // One bar over the whole plan: the ordinal of the location among those sent, and its repetition.
    if (stopAtByte > 110)
        QVERIFY(progress.contains(QStringLiteral("location 2 of 5, repetition 4 of 10")));
    QCOMPARE(f.port.written, framesFrom(whole, 1).left(stopAtByte));
    QVERIFY2(f.window.message()->text().contains(QStringLiteral("Sent: ") + sent),
             qPrintable(f.window.message()->text()));
    for (int n = plan::FirstLocation; n < resumeAt; ++n)
        QCOMPARE(f.window.statusLabel(n)->text(), QStringLiteral("sent"));
    QVERIFY2(f.window.statusLabel(resumeAt)->text().startsWith(resumedRow),
             qPrintable(f.window.statusLabel(resumeAt)->text()));
    QPushButton *from = f.window.button("cmdSendFrom");
    QVERIFY(from->isEnabled());
    QCOMPARE(from->text().remove(QLatin1Char('&')), QStringLiteral("Send from location %1").arg(resumeAt));

    f.onWait = nullptr;
    f.port.written.clear();
    progress.clear();
    f.onWait = [&] { progress << f.window.progressBar()->format(); };
    from->click();
    QCOMPARE(f.port.written, framesFrom(whole, resumeAt));
    QVERIFY(progress.contains(QStringLiteral("location 1 of %1, repetition 10 of 10").arg(6 - resumeAt)));
    for (int n = plan::FirstLocation; n <= 5; ++n)
        QCOMPARE(f.window.statusLabel(n)->text(), QStringLiteral("sent"));
    QVERIFY(!from->isEnabled());
    QCOMPARE(f.window.progressBar()->value(), f.window.progressBar()->maximum());
}

void tst_PlanWindow::askBeforeEachLocation()
{
    Fixture f;
    QVERIFY(f.window.openFile(f.example));
    f.window.askBeforeEach()->setChecked(true);
    // OK for location 1; Cancel for location 2, as a user whose display did not come back to "rdY".
    QStringList asked;
    answerModal([&](QWidget *first) {
        asked << qobject_cast<QMessageBox *>(first)->text();
        answerModal([&](QWidget *second) {
            asked << qobject_cast<QMessageBox *>(second)->text();
            pressButton(second, QMessageBox::Cancel);
        });
        pressButton(first, QMessageBox::Ok);
    });
    f.window.button("cmdSendAll")->click();
    QCOMPARE(asked.size(), 2);
    QVERIFY2(asked[1].contains(QStringLiteral("send location 2")), qPrintable(asked[1]));
    QCOMPARE(f.port.written, framesFrom(f.window.editor().plan(), 1).left(110));
    QCOMPARE(f.window.statusLabel(1)->text(), QStringLiteral("sent"));
    QVERIFY2(f.window.statusLabel(2)->text().startsWith(QStringLiteral("not sent: ")),
             qPrintable(f.window.statusLabel(2)->text()));
    QCOMPARE(f.window.button("cmdSendFrom")->text().remove(QLatin1Char('&')),
             QStringLiteral("Send from location 2"));
}

void tst_PlanWindow::portFailureShownOnTheRow_data()
{
    QTest::addColumn<bool>("busy");
    QTest::addColumn<int>("failAfter");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("status");
    QTest::newRow("a busy port")
        << true << -1 << 1 << QStringLiteral("not sent: cannot open %1: permission denied.").arg(Device);
    QTest::newRow("an adapter pulled out during location 2")
        << false << 150 << 2 << QStringLiteral("failed: location 2 failed: the device was removed");
}

void tst_PlanWindow::portFailureShownOnTheRow()
{
    QFETCH(bool, busy);
    QFETCH(int, failAfter);
    QFETCH(int, row);
    QFETCH(QString, status);
    Fixture f;
    if (busy)
        f.port.refused << Device;
    f.port.failAfter = failAfter;
    QVERIFY(f.window.openFile(f.example));
    f.window.button("cmdSendAll")->click();
    QVERIFY2(f.window.statusLabel(row)->text().startsWith(status),
             qPrintable(f.window.statusLabel(row)->text()));
    // Nothing after it claims to be sent, and the row before it did go out whole.
    for (int n = row + 1; n <= 5; ++n)
        QVERIFY(f.window.statusLabel(n)->text().startsWith(QStringLiteral("not sent")));
    if (row > 1)
        QCOMPARE(f.window.statusLabel(row - 1)->text(), QStringLiteral("sent"));
    QCOMPARE(f.window.button("cmdSendFrom")->text().remove(QLatin1Char('&')),
             QStringLiteral("Send from location %1").arg(row));
}

void tst_PlanWindow::unsavedChangesAskedBeforeClose_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("written");
    QTest::newRow("Cancel keeps the window") << int(QMessageBox::Cancel) << false << false;
    QTest::newRow("Discard closes it, the file as it was") << int(QMessageBox::Discard) << true << false;
    QTest::newRow("Save writes, then closes") << int(QMessageBox::Save) << true << true;
}

void tst_PlanWindow::unsavedChangesAskedBeforeClose()
{
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(bool, written);
    Fixture f;
    // A file without comments, so a save asks nothing more.
    QVERIFY(writeAll(f.example, "product = 0\n[location.1]\ninstrument = 1\n"));
    QVERIFY(f.window.openFile(f.example));
    const QByteArray before = readAll(f.example);
    f.window.kindBox(4)->setCurrentIndex(2);
    QVERIFY(f.window.isWindowModified());
    QString asked;
    answerModal([&](QWidget *box) {
        asked = box->objectName();
        pressButton(box, QMessageBox::StandardButton(answer));
    });
    QCOMPARE(f.window.close(), closed);
    QCOMPARE(asked, QStringLiteral("unsavedChanges"));
    QCOMPARE(f.window.isVisible(), !closed);
    QCOMPARE(readAll(f.example) != before, written);
    if (written)
        QCOMPARE(plan::readPlan(f.example).plan.locations.size(), 2);
}

void tst_PlanWindow::mainWindowMenuAndChoices()
{
    QTemporaryDir dir;
    writeAll(dir.filePath(QStringLiteral("MD40_90.INI")), " 2  0 \r\n");
    app::Program program;
    RecordingPort port;
    ui::MainWindow main(program, port);
    main.Form_Load(dir.path());
    main.show();
    // The original menus keep their order and items; the new one stands after "Edit".
    QStringList menus;
    for (QAction *a : main.menuBar()->actions())
        menus << a->text();
    QCOMPARE(menus, (QStringList{"Edit", "Display", "Help"}));
    main.findChild<QAction *>(QStringLiteral("Plan"))->trigger();
    ui::PlanWindow *plan = main.frmPlan();
    QVERIFY(plan && plan->isVisible());
    QVERIFY(plan->productOption(2)->isChecked());

    // A row takes what the main window's lists choose now.
    auto choose = [&](const char *name, const QString &entry) {
        auto *box = main.findChild<QComboBox *>(name);
        box->setCurrentIndex(box->findText(entry));
    };
    choose("cmbNmeaTalker", QStringLiteral("SD"));
    choose("cmbNmeaID", QStringLiteral("XDR"));
    choose("cmbNmeaCommas", QStringLiteral("6"));
    choose("cboXDR", QStringLiteral("P - Pressure, Bars or Pascals"));
    choose("cboVmInstrumentID", QStringLiteral("NX20/40 ENGINE RPM"));
    plan->takeMainChoices(6, plan::RowKind::Standard);
    plan->takeMainChoices(7, plan::RowKind::Instrument);
    QCOMPARE(plan->showsLabel(6)->text(),
             QStringLiteral("Shows SD XDR field 6 type P - Pressure, Bars or Pascals, icon None"));
    QCOMPARE(plan->showsLabel(7)->text(), QStringLiteral("Shows NX20/40 ENGINE RPM, icon None"));
    QVERIFY(plan->listBox(6, "type")->isVisibleTo(plan));

    // While the plan window sends, the main window takes no command.
    QVERIFY(!main.line().claim(app::Holder::PlanSend));
    QVERIFY(!main.isEnabled());
    main.line().release(app::Holder::PlanSend);
    QVERIFY(main.isEnabled());
    plan->editor().newPlan(2); // nothing to ask about when the program ends
    main.close();
}

void tst_PlanWindow::keyboardAndNames()
{
    Fixture f;
    QVERIFY(f.window.openFile(f.example));
    // Tab walks the commands, then the rows in location order, each control once; a screen reader has a
    // name for every stop.
    QList<QWidget *> stops;
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    QWidget *w = f.window.button("cmdNew");
    w->setFocus();
    QTRY_VERIFY(w->hasFocus());
    for (int i = 0; i < 200 && !stops.contains(QApplication::focusWidget()); ++i) {
        stops << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    int lastRow = 0;
    for (QWidget *stop : stops) {
        const QString name =
            stop->accessibleName().isEmpty()
                ? (qobject_cast<QAbstractButton *>(stop) ? qobject_cast<QAbstractButton *>(stop)->text()
                                                         : QString())
                : stop->accessibleName();
        QVERIFY2(!name.isEmpty(), qPrintable(stop->objectName() + " has no name"));
        if (name.startsWith(QStringLiteral("Location "))) {
            const int row =
                name.mid(9, name.indexOf(QRegularExpression(QStringLiteral("[ :]")), 9) - 9).toInt();
            QVERIFY2(row >= lastRow, qPrintable(name)); // rows in order
            lastRow = row;
        }
    }
    QCOMPARE(lastRow, 10);
    QVERIFY(stops.contains(f.window.noteEdit(10)));

    // Enter presses the button that has the focus, and only that one.
    f.window.button("cmdCheck")->setFocus();
    QTRY_VERIFY(f.window.button("cmdCheck")->hasFocus());
    f.window.message()->clear();
    QTest::keyClick(f.window.button("cmdCheck"), Qt::Key_Return);
    QVERIFY(f.window.message()->text().startsWith(QStringLiteral("The plan is clean")));
    QVERIFY(f.port.written.isEmpty()); // Send All was not pressed
}

void tst_PlanWindow::reachAndShortcuts()
{
    Fixture f;
    QVERIFY(f.window.openFile(f.example));
    // The window says which port it sends on.
    QVERIFY2(f.window.portLabel()->text().contains(QStringLiteral("COM3, ") + Device),
             qPrintable(f.window.portLabel()->text()));
    // Check and Send All are the first keyboard stops; Shift+Tab walks back through every stop Tab walks.
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    QCOMPARE(QApplication::focusWidget(), f.window.button("cmdCheck"));
    QList<QWidget *> forward;
    for (int i = 0; i < 200 && !forward.contains(QApplication::focusWidget()); ++i) {
        forward << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(forward.value(1), f.window.button("cmdSendAll"));
    QList<QWidget *> backward;
    for (int i = 0; i < 200 && !backward.contains(QApplication::focusWidget()); ++i) {
        backward << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    }
    QCOMPARE(backward.size(), forward.size());
    // Every command has an Alt letter of its own.
    QSet<QChar> letters;
    for (const char *name : {"cmdCheck", "cmdSendAll", "cmdStop", "cmdSendFrom", "cmdTestDisplay", "cmdNew",
                             "cmdOpen", "cmdSave", "cmdSaveAs"}) {
        const QString text = f.window.button(name)->text();
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        QVERIFY2(amp >= 0 && !letters.contains(text.at(amp + 1).toLower()), name);
        letters.insert(text.at(amp + 1).toLower());
    }
    // Ctrl+K checks.
    f.window.message()->clear();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::ControlModifier);
    QVERIFY2(f.window.message()->text().startsWith(QStringLiteral("The plan is clean")),
             qPrintable(f.window.message()->text()));
    QVERIFY(f.port.written.isEmpty());
}

void tst_PlanWindow::fileDialogsStartInThePlansFolder_data()
{
    QTest::addColumn<bool>("planOpened");
    QTest::addColumn<QString>("button");
    QTest::newRow("Open, new plan: home") << false << "cmdOpen";
    QTest::newRow("Save As, new plan: home") << false << "cmdSaveAs";
    QTest::newRow("Open, opened plan: its folder") << true << "cmdOpen";
}

void tst_PlanWindow::fileDialogsStartInThePlansFolder()
{
    QFETCH(bool, planOpened);
    QFETCH(QString, button);
    Fixture f;
    QTemporaryDir programFolder;
    const QString before = QDir::currentPath();
    QDir::setCurrent(programFolder.path()); // where the program was started from
    if (planOpened)
        QVERIFY(f.window.openFile(f.example));
    QString shown;
    answerModal([&](QWidget *box) {
        auto *dialog = qobject_cast<QFileDialog *>(box);
        shown = dialog ? dialog->directory().absolutePath() : QStringLiteral("no file dialog");
        box->close();
    });
    f.window.button(button.toLatin1().constData())->click();
    QDir::setCurrent(before);
    QCOMPARE(shown, planOpened ? QFileInfo(f.example).absolutePath() : QDir::homePath());
}

void tst_PlanWindow::rowsNameAndWarn_data()
{
    QTest::addColumn<QString>("sentence");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("warning");
    QTest::newRow("RMC 7: named, no warning") << "RMC" << 7 << "speed over ground, knots"
                                              << "";
    QTest::newRow("MWV alternates") << "MWV" << 1 << "wind angle"
                                    << "MWV alternates";
    QTest::newRow("DPT 10 is past the last") << "DPT" << 10 << ""
                                             << "past the last field of DPT";
}

void tst_PlanWindow::rowsNameAndWarn()
{
    QFETCH(QString, sentence);
    QFETCH(int, field);
    QFETCH(QString, name);
    QFETCH(QString, warning);
    Fixture f;
    f.window.kindBox(4)->setCurrentIndex(1);
    QComboBox *list = f.window.listBox(4, "sentence");
    list->setCurrentIndex(list->findText(sentence));
    f.window.listBox(4, "field")->setCurrentIndex(field - 1);
    QVERIFY2(f.window.showsLabel(4)->text().contains(name), qPrintable(f.window.showsLabel(4)->text()));
    QCOMPARE(f.window.warningLabel(4)->isVisibleTo(&f.window), !warning.isEmpty());
    QVERIFY2(f.window.warningLabel(4)->text().contains(warning),
             qPrintable(f.window.warningLabel(4)->text()));
    // Warnings leave the plan clean.
    f.window.button("cmdCheck")->click();
    QVERIFY(!f.window.editor().hasFaults());
    QCOMPARE(f.window.message()->text().contains(QStringLiteral("Warnings")), !warning.isEmpty());
    // Typing a number chooses that field, whole: "1" is field 1, never field 10.
    QComboBox *fields = f.window.listBox(4, "field");
    fields->setFocus();
    QTest::keyClick(fields, Qt::Key_1);
    QCOMPARE(fields->currentText(), QStringLiteral("1"));
}

// On the screen the test runs with (a small one at 150% among them), the whole window is on it.
void tst_PlanWindow::fitsTheScreen()
{
    Fixture f;
    f.window.move(3000, 2000); // far off, as a corner beside the main window can be
    f.window.hide();
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    QTRY_VERIFY(f.window.screen()->availableGeometry().contains(f.window.frameGeometry()));
}

QTEST_MAIN(tst_PlanWindow)
#include "tst_planwindow.moc"
