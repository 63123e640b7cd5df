// The windows by keyboard and screen reader: Return and Enter on a focused button, where the focus goes after
// each way a send can end, windows that take the focus when they appear, drop-down lists that show every
// entry in full, and the controls' accessible names.
#include "support/files.h"
#include "support/modal.h"
#include "support/recordingport.h"
#include "ui/choicecombo.h"
#include "ui/mainwindow.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono;

namespace {

struct Started {
    explicit Started(const QByteArray &settings = " 0  4 \r\n")
    {
        qputenv("MDCONFIG_COM4", "/dev/fake-adapter");
        writeAll(dir.filePath("MD40_90.INI"), settings);
        program.pacing = frame::Pacing{microseconds(2000), microseconds(1000)};
        window.Form_Load(dir.path());
        window.show();
        QApplication::setActiveWindow(&window);
    }
    ~Started() { qunsetenv("MDCONFIG_COM4"); }
    template <class W = QWidget> W *find(const char *name) { return window.findChild<W *>(name); }
    QRadioButton *product(int i)
    {
        return find<QRadioButton>(qPrintable(QStringLiteral("optProduct(%1)").arg(i)));
    }
    int selectedProduct()
    {
        for (int i = 0; i < 3; ++i)
            if (product(i)->isChecked())
                return i;
        return -1;
    }

    QTemporaryDir dir;
    app::Program program;
    RecordingPort port;
    ui::MainWindow window{program, port};
};

// The widget that has the keyboard focus, named; a combo box's text field counts as its combo box.
QString focusName()
{
    QWidget *focus = QApplication::focusWidget();
    while (focus && focus->objectName().isEmpty())
        focus = focus->parentWidget();
    return focus ? focus->objectName() : QStringLiteral("<none>");
}

// Answers the icon dialog by keyboard once it is up: it must have the focus on its selected option.
void continueByKeyboard(ui::MainWindow &window, QString *focusWhenShown = nullptr)
{
    auto *timer = new QTimer(&window);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, &window, focusWhenShown] {
        if (!window.frmIcons()->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        (void)QTest::qWaitFor([&window] { return QApplication::activeWindow() == window.frmIcons(); }, 2000);
        if (focusWhenShown)
            *focusWhenShown =
                focusName() + (QApplication::activeWindow() == window.frmIcons() ? "" : " (inactive)");
        QTest::keyClick(window.frmIcons()->cmdIconsContinue(), Qt::Key_Return);
    });
    timer->start();
}

} // namespace

class tst_Keyboard : public QObject {
    Q_OBJECT
private slots:
    void init() { m_cwd = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(m_cwd); }

    void enterPressesTheFocusedButton_data();
    void enterPressesTheFocusedButton();
    void enterElsewherePressesNothing();
    void enterInTheDialogs();
    void enterClosesAMessageBox();
    void focusAfterASend_data();
    void focusAfterASend();
    void spaceAfterASendKeepsTheProduct();
    void portDialogTakesAndGivesBackTheFocus();
    void optionGroupNeverFocusesAnUnselectedOption();
    void popupShowsEveryEntryInFull();
    void accessibleNames();
    void portOptionsDescribeTheirDevice();

private:
    QString m_cwd;
};

void tst_Keyboard::enterPressesTheFocusedButton_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("key");
    QTest::newRow("Return on the standard Send") << "cmdSend1" << int(Qt::Key_Return);
    QTest::newRow("keypad Enter on the standard Send") << "cmdSend1" << int(Qt::Key_Enter);
    QTest::newRow("Return on the proprietary Send") << "cmdSend2" << int(Qt::Key_Return);
    QTest::newRow("Space on the proprietary Send") << "cmdSend2" << int(Qt::Key_Space);
}

void tst_Keyboard::enterPressesTheFocusedButton()
{
    QFETCH(QString, button);
    QFETCH(int, key);
    Started s;
    auto *send = s.find<QPushButton>(qPrintable(button));
    send->setFocus(Qt::TabFocusReason);
    const QByteArray expected = button == "cmdSend1"
                                    ? QByteArray::fromHex("24304147414141000000") // AG AAM 1, at 1
                                    : QByteArray();
    QTest::keyClick(send, Qt::Key(key));
    QCOMPARE(s.port.written.size(), 100); // ten frames: the key pressed Send
    QCOMPARE(s.port.opened, QStringList{"/dev/fake-adapter"});
    if (!expected.isEmpty())
        QCOMPARE(s.port.written.left(5), expected.left(5));
}

void tst_Keyboard::enterElsewherePressesNothing()
{
    Started s;
    for (const char *name : {"cmbNmeaTalker", "cboVmInstrumentID", "optProduct(0)"}) {
        QWidget *w = s.find(name);
        w->setFocus(Qt::OtherFocusReason);
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : w;
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
    }
    QVERIFY(s.port.opened.isEmpty());
    QVERIFY(s.window.isVisible());
    // Quit by Return: the settings are written and the window goes.
    s.find<QPushButton>("cmdQuit")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(s.find("cmdQuit"), Qt::Key_Return);
    QVERIFY(!s.window.isVisible());
    QCOMPARE(readAll(s.dir.filePath("MD40_90.INI")), QByteArray(" 0  4 \r\n"));
}

void tst_Keyboard::enterInTheDialogs()
{
    Started s(" 2  4 \r\n");
    // Icon dialog: arrows choose, Return on Continue answers it.
    auto *timer = new QTimer;
    timer->setInterval(5);
    bool escapeKeptIt = false;
    QObject::connect(timer, &QTimer::timeout, [&, timer] {
        if (!s.window.frmIcons()->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        QTest::keyClick(s.window.frmIcons(), Qt::Key_Escape);
        escapeKeptIt = s.window.frmIcons()->isVisible();
        s.window.frmIcons()->optIcons(14)->setChecked(true);
        s.window.frmIcons()->cmdIconsContinue()->setFocus(Qt::TabFocusReason);
        QTest::keyClick(s.window.frmIcons()->cmdIconsContinue(), Qt::Key_Return);
    });
    timer->start();
    s.find<QPushButton>("cmdSend2")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(s.find("cmdSend2"), Qt::Key_Return);
    QVERIFY(escapeKeptIt);
    QCOMPARE(s.program.IconIndex, std::int16_t(14));
    QCOMPARE(s.port.written.size(), 110);

    // Port dialog: Return on a port option accepts nothing; Return on Accept does.
    s.window.ComsPort_Click();
    s.window.frmComms()->optComm(7)->setChecked(true);
    s.window.frmComms()->optComm(7)->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(s.window.frmComms()->optComm(7), Qt::Key_Return);
    QTest::keyClick(s.window.frmComms(), Qt::Key_Escape);
    QVERIFY(s.window.frmComms()->isVisible());
    QCOMPARE(s.program.ComPortNumber, std::int16_t(4));
    QTest::keyClick(s.window.frmComms()->cmdCommsAccept(), Qt::Key_Enter);
    QVERIFY(!s.window.frmComms()->isVisible());
    QCOMPARE(s.program.ComPortNumber, std::int16_t(7));
    QVERIFY(s.window.isEnabled());
}

void tst_Keyboard::enterClosesAMessageBox()
{
    Started s;
    bool boxHadFocus = false;
    answerModal([&](QWidget *box) {
        (void)QTest::qWaitFor([box] { return QApplication::activeWindow() == box; }, 2000);
        boxHadFocus = QApplication::activeWindow() == box && box->isAncestorOf(QApplication::focusWidget());
        if (boxHadFocus)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else
            qobject_cast<QDialog *>(box)->accept();
    });
    s.window.About_Click(); // returns only once the box is closed
    QVERIFY(boxHadFocus);
    QVERIFY(!QApplication::activeModalWidget());
}

void tst_Keyboard::focusAfterASend_data()
{
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("button");
    QTest::newRow("standard send") << "sent"
                                   << "cmdSend1";
    QTest::newRow("proprietary send") << "sent"
                                      << "cmdSend2";
    QTest::newRow("send through the icon dialog") << "icon"
                                                  << "cmdSend2";
    QTest::newRow("failed write") << "failed"
                                  << "cmdSend1";
    QTest::newRow("Cancel at the port prompt") << "cancel"
                                               << "cmdSend2";
    QTest::newRow("no choice in a list") << "nochoice"
                                         << "cmdSend1";
}

void tst_Keyboard::focusAfterASend()
{
    QFETCH(QString, outcome);
    QFETCH(QString, button);
    Started s(outcome == "icon" ? " 2  4 \r\n" : " 0  4 \r\n");
    QString promptFocus;
    if (outcome == "icon")
        continueByKeyboard(s.window, &promptFocus);
    if (outcome == "failed")
        s.port.failAfter = 15;
    if (outcome == "cancel")
        s.port.refused << "/dev/fake-adapter";
    if (outcome == "nochoice") {
        auto *talker = s.find<QComboBox>("cmbNmeaTalker");
        talker->lineEdit()->selectAll();
        QTest::keyClicks(talker->lineEdit(), "ZZ");
    }
    if (outcome == "failed" || outcome == "cancel" || outcome == "nochoice") {
        answerModal([&](QWidget *box) {
            (void)QTest::qWaitFor([box] { return QApplication::activeWindow() == box; }, 2000);
            promptFocus = focusName() + (QApplication::activeWindow() == box ? "" : " (inactive)");
            QWidget *focus = QApplication::focusWidget();
            if (auto *input = qobject_cast<QInputDialog *>(box))
                input->reject();
            else if (focus && box->isAncestorOf(focus))
                QTest::keyClick(focus, Qt::Key_Return);
            else
                qobject_cast<QDialog *>(box)->accept(); // the test fails below; it must not hang
        });
    }
    s.find<QPushButton>(qPrintable(button))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(s.find(qPrintable(button)), Qt::Key_Return);
    // The outcome did happen: a send, or the box or prompt that ends it.
    if (outcome == "sent" || outcome == "icon")
        QVERIFY(s.port.written.size() >= 100);
    else
        QVERIFY(!promptFocus.isEmpty());
    if (outcome == "icon")
        QCOMPARE(promptFocus, QStringLiteral("optIcons(0)"));
    else if (outcome == "cancel")
        QVERIFY2(promptFocus.endsWith("communicationsError") || !promptFocus.contains("inactive"),
                 qPrintable(promptFocus));
    else if (outcome != "sent")
        QVERIFY2(!promptFocus.contains("inactive"), qPrintable(promptFocus));
    QVERIFY(s.window.isEnabled());
    QTRY_COMPARE(QApplication::activeWindow(), &s.window);
    QCOMPARE(focusName(), button);
}

void tst_Keyboard::spaceAfterASendKeepsTheProduct()
{
    Started s(" 2  4 \r\n");
    continueByKeyboard(s.window);
    s.find<QPushButton>("cmdSend1")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(s.find("cmdSend1"), Qt::Key_Space);
    QCOMPARE(s.port.written.size(), 110);
    // The one key a user might press next: it must not change what the next send configures.
    QTRY_VERIFY(QApplication::focusWidget());
    continueByKeyboard(s.window);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(s.selectedProduct(), 2);
    s.port.written.clear();
    continueByKeyboard(s.window);
    s.window.cmdSend1_Click();
    QCOMPARE(s.port.written.size(), 110); // still with the icon byte
}

void tst_Keyboard::portDialogTakesAndGivesBackTheFocus()
{
    Started s;
    s.find("cmbNmeaCommas")->setFocus(Qt::TabFocusReason);
    s.window.ComsPort_Click();
    QTRY_COMPARE(QApplication::activeWindow(), s.window.frmComms());
    QCOMPARE(focusName(), QStringLiteral("optComm(4)"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);  // COM3
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // on to Accept
    QCOMPARE(focusName(), QStringLiteral("cmdCommsAccept"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(s.program.ComPortNumber, std::int16_t(3));
    QTRY_COMPARE(QApplication::activeWindow(), &s.window);
    QCOMPARE(focusName(), QStringLiteral("cmbNmeaCommas"));

    // Opened with no control of the window focused: back on its first stop, the selected product.
    s.window.centralWidget()->setFocus(Qt::OtherFocusReason);
    s.window.ComsPort_Click();
    QTest::keyClick(s.window.frmComms()->cmdCommsAccept(), Qt::Key_Return);
    QTRY_COMPARE(focusName(), QStringLiteral("optProduct(0)"));
}

void tst_Keyboard::optionGroupNeverFocusesAnUnselectedOption()
{
    Started s(" 2  4 \r\n");
    // Whichever way the focus comes back to the group, it lands on the selected option.
    for (auto reason : {Qt::OtherFocusReason, Qt::ActiveWindowFocusReason, Qt::TabFocusReason,
                        Qt::BacktabFocusReason, Qt::ShortcutFocusReason}) {
        s.product(0)->setFocus(reason);
        QCOMPARE(focusName(), QStringLiteral("optProduct(2)"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QCOMPARE(s.selectedProduct(), 2);
    }
    // Arrows still choose another product, on purpose.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QCOMPARE(s.selectedProduct(), 1);
    QCOMPARE(focusName(), QStringLiteral("optProduct(1)"));
}

void tst_Keyboard::popupShowsEveryEntryInFull()
{
    Started s;
    for (const char *name :
         {"cboVmInstrumentID", "cboXDR", "cmbNmeaID", "cmbNmeaTalker", "cboMemoryLocation1"}) {
        auto *combo = s.find<QComboBox>(name);
        combo->setVisible(true);
        const QRect before = combo->geometry();
        QAbstractItemView *view = combo->view();
        const QFontMetrics metrics(view->font());
        int widest = 0, widestRow = 0;
        for (int i = 0; i < combo->count(); ++i) {
            const int w = metrics.horizontalAdvance(combo->itemText(i));
            if (w > widest) {
                widest = w;
                widestRow = i;
            }
        }
        combo->showPopup();
        QTRY_VERIFY(view->isVisible());
        QVERIFY2(view->window()->width() >= widest, name);
        view->scrollTo(view->model()->index(widestRow, 0));
        const QRect item = view->visualRect(view->model()->index(widestRow, 0));
        QVERIFY2(item.width() >= widest, qPrintable(QStringLiteral("%1: widest entry %2 px in a row of %3 px")
                                                        .arg(name)
                                                        .arg(widest)
                                                        .arg(item.width())));
        QVERIFY2(view->viewport()->width() >= widest, name);
        combo->hidePopup();
        QCOMPARE(combo->geometry(), before); // the box itself keeps its size
        QCOMPARE(combo->toolTip(), combo->currentText());
    }
    // Reached by Tab, a long chosen name shows its beginning, selected so that typing replaces it.
    auto *instrument = s.find<QComboBox>("cboVmInstrumentID");
    instrument->setFocus(Qt::TabFocusReason);
    QCOMPARE(instrument->lineEdit()->selectedText(), instrument->currentText());
    QCOMPARE(instrument->lineEdit()->cursorPosition(), 0);
    // Two instruments whose names differ only in their middle are both whole in the list.
    auto *instruments = s.find<QComboBox>("cboVmInstrumentID");
    instruments->setCurrentIndex(instruments->count() - 1);
    QCOMPARE(instruments->toolTip(), instruments->itemText(instruments->count() - 1));
}

void tst_Keyboard::accessibleNames()
{
    Started s;
    // An independent transcription of which label names which list.
    const QList<QPair<const char *, const char *>> named = {{"cmbNmeaTalker", "Talker ID"},
                                                            {"cmbNmeaID", "Indentifier"},
                                                            {"cmbNmeaCommas", "Commas"},
                                                            {"cboMemoryLocation1", "Memory Location"},
                                                            {"cboVmInstrumentID", "Velmora Instrument"},
                                                            {"cboMemoryLocation2", "Memory Location"},
                                                            {"cboXDR", "Transducer type"}};
    for (const auto &[name, text] : named)
        QCOMPARE(s.find(name)->accessibleName(), QString(text));
    for (const char *label : {"lblNmeaTalker", "lblNmeaID", "lblNmeaCommas", "lblMemoryLocation1",
                              "lblVmInstrumentID", "lblMemoryLocation2"}) {
        QWidget *buddy = s.find<QLabel>(label)->buddy();
        QVERIFY2(buddy, label);
        QCOMPARE(buddy->accessibleName(), s.find<QLabel>(label)->text());
        // What a screen reader on Linux reads a combo box's name from: the label it is labelled by.
        const auto labels = QAccessible::queryAccessibleInterface(buddy)->relations(QAccessible::Label);
        QVERIFY2(!labels.isEmpty(), label);
        QCOMPARE(labels.first().first->text(QAccessible::Name), s.find<QLabel>(label)->text());
    }
    ui::ProgressWindow progress;
    QCOMPARE(progress.ProgressBar1()->accessibleName(), QStringLiteral("Progress"));

    // Every control of every window has a name, and no two in the same frame share one.
    for (QWidget *window : {static_cast<QWidget *>(&s.window), static_cast<QWidget *>(s.window.frmComms()),
                            static_cast<QWidget *>(s.window.frmIcons()), static_cast<QWidget *>(&progress)}) {
        QHash<QWidget *, QStringList> namesIn;
        const QList<QWidget *> all = window->findChildren<QWidget *>();
        for (QWidget *w : all) {
            if (!qobject_cast<QAbstractButton *>(w) && !qobject_cast<QComboBox *>(w) &&
                !qobject_cast<QProgressBar *>(w))
                continue;
            if (w->objectName().isEmpty() || w->objectName().startsWith("qt_") || !w->isVisibleTo(window))
                continue; // parts of a composite control, Qt's own helpers
            const QString spoken = w->accessibleName();
            QVERIFY2(!spoken.trimmed().isEmpty(), qPrintable(w->objectName()));
            QStringList &names = namesIn[w->parentWidget()];
            QVERIFY2(!names.contains(spoken), qPrintable(w->objectName() + " repeats " + spoken));
            names << spoken;
        }
    }
    QCOMPARE(QAccessible::queryAccessibleInterface(s.product(1))->text(QAccessible::Name),
             QStringLiteral("MD90 Ver 1.0, 1.1, 1.2"));
    QCOMPARE(QAccessible::queryAccessibleInterface(s.find("cmdSend2"))->text(QAccessible::Name),
             QStringLiteral("Send"));
}

void tst_Keyboard::portOptionsDescribeTheirDevice()
{
    Started s;
    s.window.ComsPort_Click();
    QVERIFY(s.window.frmComms()->optComm(4)->accessibleDescription().contains("/dev/fake-adapter"));
    for (int i = 0; i <= 16; ++i)
        QVERIFY(!s.window.frmComms()->optComm(i)->accessibleDescription().isEmpty());
    s.window.frmComms()->cmdCommsAccept()->click();
}

QTEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"
