#include "support/files.h"
#include "support/modal.h"
#include "support/recordingport.h"
#include "ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using ui::ControlSpec;
using ui::Kind;
using ui::pixels;

Q_DECLARE_METATYPE(ControlSpec)

namespace {

// Where a dialog goes: 1000 twips right of and below the main window's outer corner.
QPoint besideMain(const QWidget *main)
{
    return {ui::pixels(ui::twips(main->x()) + 1000), ui::pixels(ui::twips(main->y()) + 1000)};
}

// The part of a control that is drawn: an option button or label drawn larger than its caption needs (as
// the window's tables give some) draws nothing in the rest.
QRect drawn(QWidget *w)
{
    if (!qobject_cast<QRadioButton *>(w) && !qobject_cast<QLabel *>(w))
        return w->geometry();
    const QSize hint = w->sizeHint();
    return QRect(w->pos(), QSize(qMin(w->width(), hint.width()), qMin(w->height(), hint.height())));
}

// A started program: its folder a temporary one holding the given settings file.
struct Started {
    explicit Started(const QByteArray &settingsFile = QByteArray(), bool withFile = true)
    {
        if (withFile)
            writeAll(settingsPath(), settingsFile);
        window.Form_Load(dir.path());
    }
    QString settingsPath() const { return dir.filePath("MD40_90.INI"); }

    QTemporaryDir dir;
    app::Program program;
    RecordingPort port;
    ui::MainWindow window{program, port};
};

} // namespace

class tst_Windows : public QObject {
    Q_OBJECT
private slots:
    void init() { m_cwd = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(m_cwd); }

    void layout_data();
    void layout();
    void labelText_data();
    void labelText();
    void windowSizesAndTitles();
    void secondaryWindowsCannotBeClosed();
    void productOptionsShowTheProducts();
    void beforeStartUp();
    void startUp_data();
    void startUp();
    void keyboardOrder();
    void transducerListOnlyForXdr();
    void typedTextChoosesAnEntry_data();
    void typedTextChoosesAnEntry();
    void portDialogAccept();
    void portDialogNamesTheDevices();
    void quitWritesTheSettings();
    void quitReportsAFailedWrite();
    void closeBoxWritesNothing();
    void closeIgnoredWhileDisabled();
    void helpAndAbout_data();
    void helpAndAbout();

private:
    QString m_cwd;
};

void tst_Windows::layout_data()
{
    QTest::addColumn<QString>("window");
    for (const char *window : {"frmMain", "frmComms", "frmIcons", "frmProgress"})
        QTest::newRow(window) << QString::fromLatin1(window);
}

// What a wrong row in a window's table would break: a control outside its frame or window, two controls on
// top of each other, a tab index twice or a keyboard order that does not follow the indices.
void tst_Windows::layout()
{
    QFETCH(QString, window);
    Started s;
    ui::ProgressWindow progress;
    QWidget *top = window == "frmMain"    ? static_cast<QWidget *>(&s.window)
                   : window == "frmComms" ? static_cast<QWidget *>(s.window.frmComms())
                   : window == "frmIcons" ? static_cast<QWidget *>(s.window.frmIcons())
                                          : static_cast<QWidget *>(&progress);
    const QList<ControlSpec> &table = window == "frmMain"    ? ui::mainWindowLayout()
                                      : window == "frmComms" ? ui::portDialogLayout()
                                      : window == "frmIcons" ? ui::iconDialogLayout()
                                                             : ui::progressWindowLayout();
    QList<QWidget *> controls;
    QHash<QWidget *, int> tabOf;
    for (const ControlSpec &row : table) {
        QWidget *w = top->findChild<QWidget *>(row.name);
        QVERIFY2(w, qPrintable("no control named " + row.name));
        controls << w;
        if (row.tab >= 0)
            tabOf.insert(w, row.tab);
    }

    for (QWidget *w : std::as_const(controls)) {
        QWidget *container = w->parentWidget();
        // A frame's caption takes its top line; the controls stand below it and inside its border.
        const QRect room = container->rect();
        QVERIFY2(room.contains(drawn(w)),
                 qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 is not inside %6 (%7x%8)")
                                .arg(w->objectName())
                                .arg(w->x())
                                .arg(w->y())
                                .arg(w->width())
                                .arg(w->height())
                                .arg(container->objectName())
                                .arg(room.width())
                                .arg(room.height())));
        if (qobject_cast<QGroupBox *>(container))
            QVERIFY2(w->y() >= container->fontMetrics().height() / 2,
                     qPrintable(w->objectName() + " stands on its frame's caption"));
    }
    for (int a = 0; a < controls.size(); ++a) {
        for (int b = a + 1; b < controls.size(); ++b) {
            QWidget *x = controls[a];
            QWidget *y = controls[b];
            if (x->parentWidget() != y->parentWidget())
                continue;
            QVERIFY2(!drawn(x).intersects(drawn(y)),
                     qPrintable(x->objectName() + " overlaps " + y->objectName()));
        }
    }

    QList<int> tabs = tabOf.values();
    std::sort(tabs.begin(), tabs.end());
    QVERIFY2(std::adjacent_find(tabs.begin(), tabs.end()) == tabs.end(), "a tab index is given twice");
    // Tab moves from each control to the one with the next index.
    QList<QWidget *> byTab = tabOf.keys();
    std::sort(byTab.begin(), byTab.end(), [&](QWidget *x, QWidget *y) { return tabOf[x] < tabOf[y]; });
    QList<QWidget *> focusable;
    for (QWidget *w : std::as_const(byTab)) {
        if (w->focusPolicy() & Qt::TabFocus)
            focusable << w;
    }
    for (int i = 0; i + 1 < focusable.size(); ++i) {
        QWidget *next = focusable[i]->nextInFocusChain();
        while (next && !focusable.contains(next) && next != top)
            next = next->nextInFocusChain();
        QVERIFY2(next == focusable[i + 1], qPrintable(QStringLiteral("after %1 (tab %2) comes %3, not %4")
                                                          .arg(focusable[i]->objectName())
                                                          .arg(tabOf[focusable[i]])
                                                          .arg(next ? next->objectName() : QString())
                                                          .arg(focusable[i + 1]->objectName())));
    }
}

void tst_Windows::labelText_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("label");
    QTest::newRow("3") << 3 << "COM Port =  3";
    QTest::newRow("0") << 0 << "COM Port =  0";
    QTest::newRow("16") << 16 << "COM Port =  16";
    QTest::newRow("negative") << -1 << "COM Port = -1";
}

void tst_Windows::labelText()
{
    QFETCH(int, port);
    QFETCH(QString, label);
    QCOMPARE(ui::portLabel(port), label);
}

void tst_Windows::windowSizesAndTitles()
{
    Started s;
    QCOMPARE(s.window.centralWidget()->size(), QSize(665, 235));
    QCOMPARE(s.window.windowTitle(),
             QStringLiteral("Velmora MD20/MD40/MD90 Configuration Program Ver. " MDCONFIG_VERSION));
    QCOMPARE(s.window.frmComms()->size(), QSize(452, 132));
    QCOMPARE(s.window.frmComms()->windowTitle(), QStringLiteral("Communication Port"));
    QCOMPARE(s.window.frmIcons()->size(), QSize(402, 158));
    QCOMPARE(s.window.frmIcons()->windowTitle(),
             QStringLiteral("You can activate one of these Icons on MD90 Ver 1.3+"));
    ui::ProgressWindow progress;
    QCOMPARE(progress.size(), QSize(271, 69));
    QCOMPARE(progress.windowTitle(), QStringLiteral("Transferring Data"));
    QVERIFY(!s.window.windowIcon().isNull());
    QVERIFY(!s.window.frmComms()->windowIcon().isNull());
    QVERIFY(!progress.windowIcon().isNull());
    QCOMPARE(s.window.windowIcon().availableSizes().value(0), QSize(32, 32));
    QCOMPARE(progress.windowIcon().availableSizes().value(0), QSize(16, 16));
    QCOMPARE(progress.ProgressBar1()->minimum(), 0);
    QCOMPARE(progress.ProgressBar1()->maximum(), 10);
    QCOMPARE(progress.ProgressBar1()->value(), 0);
    QVERIFY(!progress.ProgressBar1()->isTextVisible());

    const Qt::WindowFlags main = s.window.windowFlags();
    QVERIFY(!(main & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(main & Qt::WindowMaximizeButtonHint));
    QVERIFY(main & Qt::WindowCloseButtonHint);
    const QStringList menus = {"Edit", "Display", "Help"};
    QStringList seen;
    for (QAction *a : s.window.menuBar()->actions())
        seen << a->text();
    QCOMPARE(seen, menus);
    QStringList items;
    for (QAction *a : s.window.findChild<QMenu *>("Help")->actions())
        items << a->text() + "=" + a->objectName();
    QCOMPARE(items, (QStringList{"MD20/40=Help_MD20_40", "MD90=Help_MD90", "About=About"}));
    QCOMPARE(s.window.findChild<QAction *>("ComsPort")->text(), QStringLiteral("COM Port"));
}

// The options a user picks a display by, top to bottom, each a product the settings file can store.
void tst_Windows::productOptionsShowTheProducts()
{
    Started s;
    const QStringList captions = {"MD20/MD40", "MD90  Ver 1.0,  1.1,  1.2", "MD90  Ver 1.3 +"};
    int above = -1;
    for (int i = 0; i < captions.size(); ++i) {
        auto *option = s.window.findChild<QRadioButton *>(QStringLiteral("optProduct(%1)").arg(i));
        QVERIFY(option);
        QCOMPARE(option->text(), captions[i]);
        QVERIFY(option->y() > above);
        above = option->y();
    }
    QVERIFY(!s.window.findChild<QRadioButton *>(QStringLiteral("optProduct(%1)").arg(captions.size())));
}

void tst_Windows::secondaryWindowsCannotBeClosed()
{
    Started s;
    ui::ProgressWindow progress;
    for (QWidget *w : {static_cast<QWidget *>(s.window.frmComms()),
                       static_cast<QWidget *>(s.window.frmIcons()), static_cast<QWidget *>(&progress)}) {
        const Qt::WindowFlags flags = w->windowFlags();
        QVERIFY(!(flags & Qt::WindowCloseButtonHint));
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(w->parent() == nullptr); // a window of its own: disabling the main window leaves it usable
        w->show();
        QVERIFY(!w->close());
        QTest::keyClick(w, Qt::Key_Escape);
        QVERIFY(w->isVisible());
        w->hide();
    }
}

void tst_Windows::beforeStartUp()
{
    app::Program program;
    RecordingPort port;
    ui::MainWindow window(program, port);
    const QList<QPair<const char *, const char *>> initial = {
        {"cmbNmeaTalker", "AG"},
        {"cmbNmeaID", "AAM"},
        {"cmbNmeaCommas", "1"},
        {"cboMemoryLocation1", "1"},
        {"cboXDR", "A - Amps"},
        {"cboMemoryLocation2", "1"},
        {"cboVmInstrumentID", "WX20/40 WINDLASS BATTERY VOLTAGE"}};
    for (const auto &[name, text] : initial) {
        auto *combo = window.findChild<QComboBox *>(name);
        QCOMPARE(combo->currentText(), QString(text));
        QCOMPARE(combo->currentIndex(), -1);
        QVERIFY(combo->isEditable());
    }
    QVERIFY(window.findChild<QRadioButton *>("optProduct(2)")->isChecked());
    QCOMPARE(window.findChild<QLabel *>("lblCommsPort")->text(), QStringLiteral("COM Port = 0"));
    QVERIFY(window.findChild<QComboBox *>("cboXDR")->isHidden());
}

void tst_Windows::startUp_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("product");
    QTest::addColumn<int>("port");
    QTest::newRow("product 2, port 3") << QByteArray(" 2  3 \r\n") << true << 2 << 3;
    QTest::newRow("product 0, port 0") << QByteArray(" 0  0 \r\n") << true << 0 << 0;
    QTest::newRow("COM16") << QByteArray("1,16") << true << 1 << 16;
    QTest::newRow("missing file") << QByteArray() << false << 2 << 0;
    QTest::newRow("empty file") << QByteArray() << true << 2 << 0;
    QTest::newRow("binary data") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10) << true << 2 << 0;
    QTest::newRow("negative port") << QByteArray("0 -3") << true << 0 << 0;
    QTest::newRow("port too large for 16 bits") << QByteArray("1 99999") << true << 1 << 0;
    QTest::newRow("product out of range") << QByteArray("7 5") << true << 2 << 5;
}

void tst_Windows::startUp()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, exists);
    QFETCH(int, product);
    QFETCH(int, port);
    QTemporaryDir elsewhere;
    QDir::setCurrent(elsewhere.path());
    Started s(file, exists);
    QCOMPARE(QDir::current().canonicalPath(), QDir(s.dir.path()).canonicalPath());
    QVERIFY(s.window.findChild<QRadioButton *>(QStringLiteral("optProduct(%1)").arg(product))->isChecked());
    QCOMPARE(s.window.findChild<QLabel *>("lblCommsPort")->text(),
             QStringLiteral("COM Port =  %1").arg(port));
    QVERIFY(s.window.frmComms()->optComm(port)->isChecked());
    QCOMPARE(s.window.frmComms()->selectedIndex(), port);
    QVERIFY(s.window.frmIcons()->optIcons(0)->isChecked());
    // Placed at 4500 twips, the dialogs 1000 twips right of and below, all hidden.
    QCOMPARE(s.window.pos(), QPoint(300, 300));
    QCOMPARE(s.window.frmComms()->pos(), QPoint(367, 367));
    QCOMPARE(s.window.frmIcons()->pos(), QPoint(367, 367));
    QVERIFY(!s.window.frmComms()->isVisible());
    QVERIFY(!s.window.frmIcons()->isVisible());
    QVERIFY(!s.window.frmProgress());
    QVERIFY(s.port.opened.isEmpty()); // start-up does not touch the port
    const QList<QPair<const char *, QString>> first = {
        {"cmbNmeaTalker", "AG"},
        {"cmbNmeaID", "AAM"},
        {"cmbNmeaCommas", "1"},
        {"cboMemoryLocation1", "1"},
        {"cboXDR", "A - Angular Displacement, Degrees"},
        {"cboVmInstrumentID", "WX20/40 WINDLASS BATTERY VOLTAGE"},
        {"cboMemoryLocation2", "1"}};
    for (const auto &[name, text] : first) {
        auto *combo = s.window.findChild<QComboBox *>(name);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(combo->currentText(), text);
    }
    QVERIFY(s.window.findChild<QComboBox *>("cboXDR")->isHidden());
    QCOMPARE(s.window.findChild<QComboBox *>("cmbNmeaID")->count(), 120);
}

void tst_Windows::keyboardOrder()
{
    Started s;
    s.window.show();
    QApplication::setActiveWindow(&s.window);
    QVERIFY(QTest::qWaitForWindowActive(&s.window));
    auto focusAfterTab = [&](const char *from) -> QString {
        QWidget *start = s.window.findChild<QWidget *>(from);
        start->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *focus = QApplication::focusWidget();
        while (focus && focus->objectName().isEmpty())
            focus = focus->parentWidget(); // the text field of a combo box
        return focus ? focus->objectName() : QString();
    };
    QCOMPARE(focusAfterTab("cmbNmeaCommas"), QStringLiteral("cmbNmeaID"));
    QCOMPARE(focusAfterTab("cmbNmeaID"), QStringLiteral("cmbNmeaTalker"));
    QCOMPARE(focusAfterTab("cmbNmeaTalker"), QStringLiteral("cboMemoryLocation1"));
    QCOMPARE(focusAfterTab("cboMemoryLocation1"), QStringLiteral("cmdQuit"));
    QCOMPARE(focusAfterTab("cmdQuit"), QStringLiteral("cmdSend1"));
    QCOMPARE(focusAfterTab("cmdSend1"), QStringLiteral("cmdSend2"));
    QCOMPARE(focusAfterTab("cmdSend2"), QStringLiteral("cboMemoryLocation2"));
    QCOMPARE(focusAfterTab("cboMemoryLocation2"), QStringLiteral("cboVmInstrumentID"));
    // The hidden transducer list is skipped; the product options are one stop, at the selected one.
    QCOMPARE(focusAfterTab("cboVmInstrumentID"), QStringLiteral("optProduct(2)"));
    QCOMPARE(focusAfterTab("optProduct(2)"), QStringLiteral("cmbNmeaCommas"));
    // Shown, the transducer list comes last.
    s.window.findChild<QComboBox *>("cmbNmeaID")->setCurrentIndex(100);
    QCOMPARE(focusAfterTab("cboVmInstrumentID"), QStringLiteral("cboXDR"));

    // In the port dialog too, Tab from Accept lands on the selected port, not on "None".
    s.window.ComsPort_Click();
    QApplication::setActiveWindow(s.window.frmComms());
    QVERIFY(QTest::qWaitForWindowActive(s.window.frmComms()));
    s.window.frmComms()->optComm(5)->setChecked(true);
    s.window.frmComms()->cmdCommsAccept()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(s.window.frmComms()->cmdCommsAccept(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(s.window.frmComms()->optComm(5)));

    auto *commsLabel = s.window.frmComms()->findChild<QLabel *>("lblComms");
    QCOMPARE(commsLabel->text(), QStringLiteral("Please select a COM port"));
    // Port dialog: COM8 (tab 8), then Accept (9), None (10), COM16 (11).
    QWidget *after8 = s.window.frmComms()->optComm(8)->nextInFocusChain();
    QCOMPARE(after8, static_cast<QWidget *>(s.window.frmComms()->cmdCommsAccept()));
    QCOMPARE(after8->nextInFocusChain(), static_cast<QWidget *>(s.window.frmComms()->optComm(0)));
    QCOMPARE(s.window.frmComms()->optComm(0)->nextInFocusChain(),
             static_cast<QWidget *>(s.window.frmComms()->optComm(16)));
    QCOMPARE(s.window.frmComms()->optComm(10)->nextInFocusChain(),
             static_cast<QWidget *>(s.window.frmComms()->optComm(9)));
    // Icon dialog: along the rows, None DEG FT KT MPH, then AH.
    QCOMPARE(s.window.frmIcons()->optIcons(0)->nextInFocusChain(),
             static_cast<QWidget *>(s.window.frmIcons()->optIcons(3)));
    QCOMPARE(s.window.frmIcons()->optIcons(12)->nextInFocusChain(),
             static_cast<QWidget *>(s.window.frmIcons()->optIcons(1)));
    QCOMPARE(s.window.frmIcons()->optIcons(14)->nextInFocusChain(),
             static_cast<QWidget *>(s.window.frmIcons()->cmdIconsContinue()));
}

void tst_Windows::transducerListOnlyForXdr()
{
    Started s;
    auto *id = s.window.findChild<QComboBox *>("cmbNmeaID");
    auto *xdr = s.window.findChild<QComboBox *>("cboXDR");
    xdr->setCurrentIndex(5);
    id->setCurrentIndex(vocabulary::XdrPosition);
    QVERIFY(!xdr->isHidden());
    id->setCurrentIndex(99);
    QVERIFY(xdr->isHidden());
    QCOMPARE(xdr->currentIndex(), 5); // keeps its choice while hidden
    id->setCurrentIndex(101);
    QVERIFY(xdr->isHidden());
    id->lineEdit()->selectAll();
    QTest::keyClicks(id->lineEdit(), "xdr");
    QVERIFY(!xdr->isHidden());
    QTest::keyClick(id->lineEdit(), Qt::Key_Backspace);
    QVERIFY(xdr->isHidden());
}

void tst_Windows::typedTextChoosesAnEntry_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("position");
    QTest::newRow("exact") << "GGA" << 24;
    QTest::newRow("other case") << "gga" << 24;
    QTest::newRow("not an entry") << "GGX" << -1;
    QTest::newRow("part of an entry") << "GG" << -1;
}

void tst_Windows::typedTextChoosesAnEntry()
{
    QFETCH(QString, typed);
    QFETCH(int, position);
    Started s;
    auto *id = s.window.findChild<QComboBox *>("cmbNmeaID");
    id->lineEdit()->selectAll();
    QTest::keyClicks(id->lineEdit(), typed);
    QCOMPARE(id->currentIndex(), position);
    QCOMPARE(id->currentText().toUpper(), typed.toUpper()); // what was typed stays in the box
    QCOMPARE(id->count(), 120);                             // and is never added to the list
}

void tst_Windows::portDialogAccept()
{
    Started s(" 2  3 \r\n");
    s.window.move(120, 90);
    s.window.ComsPort_Click();
    QVERIFY(s.window.frmComms()->isVisible());
    QVERIFY(!s.window.isEnabled());
    QCOMPARE(s.window.frmComms()->pos(), besideMain(&s.window));
    QCOMPARE(s.window.frmIcons()->pos(), besideMain(&s.window));
    QVERIFY(s.window.frmComms()->isEnabled());
    s.window.frmComms()->optComm(7)->click();
    s.window.frmComms()->cmdCommsAccept()->click();
    QVERIFY(!s.window.frmComms()->isVisible());
    QVERIFY(s.window.isEnabled());
    QCOMPARE(s.program.ComPortNumber, std::int16_t(7));
    QCOMPARE(s.window.findChild<QLabel *>("lblCommsPort")->text(), QStringLiteral("COM Port =  7"));
    QVERIFY(s.port.opened.isEmpty());
    QCOMPARE(readAll(s.settingsPath()), QByteArray(" 2  3 \r\n"));
    // Shown again, it keeps the selection.
    s.window.ComsPort_Click();
    QVERIFY(s.window.frmComms()->optComm(7)->isChecked());
    s.window.frmComms()->cmdCommsAccept()->click();
}

void tst_Windows::portDialogNamesTheDevices()
{
    Started s;
    qputenv("MDCONFIG_COM3", "/dev/serial/by-id/usb-test-adapter");
    s.window.ComsPort_Click();
    QVERIFY(s.window.frmComms()->optComm(3)->toolTip().contains("/dev/serial/by-id/usb-test-adapter"));
    s.window.frmComms()->cmdCommsAccept()->click();
    // Looked up again each time the dialog is shown: the adapter has gone.
    qunsetenv("MDCONFIG_COM3");
    s.window.ComsPort_Click();
    QVERIFY(!s.window.frmComms()->optComm(3)->toolTip().contains("usb-test-adapter"));
    QVERIFY(!s.window.frmComms()->optComm(3)->toolTip().isEmpty());
    s.window.frmComms()->cmdCommsAccept()->click();

    // A name from the environment is shown as text: no control character, no markup taking effect.
    qputenv("MDCONFIG_COM3", "/dev/<b>bold</b>\x1b[2J");
    s.window.ComsPort_Click();
    const QString tip = s.window.frmComms()->optComm(3)->toolTip();
    const QString said = s.window.frmComms()->optComm(3)->accessibleDescription();
    qunsetenv("MDCONFIG_COM3");
    QVERIFY2(tip.contains("&lt;b&gt;bold&lt;/b&gt;") && !tip.contains("<b>"), qPrintable(tip));
    QVERIFY2(said.contains("/dev/<b>bold</b>\\e[2J") && !said.contains(QChar(0x1b)), qPrintable(said));
    s.window.frmComms()->cmdCommsAccept()->click();
}

void tst_Windows::quitWritesTheSettings()
{
    Started s(" 2  3 \r\n");
    s.window.show();
    s.window.findChild<QRadioButton *>("optProduct(0)")->click();
    s.window.ComsPort_Click();
    s.window.frmComms()->optComm(12)->click();
    s.window.frmComms()->cmdCommsAccept()->click();
    s.port.open("/dev/fake"); // as after a send
    s.window.findChild<QPushButton *>("cmdQuit")->click();
    QCOMPARE(readAll(s.settingsPath()), QByteArray::fromHex("203020203132200D0A"));
    QVERIFY(!s.port.isOpen());
    QVERIFY(!s.window.isVisible());
    QVERIFY(!s.window.frmComms()->isVisible());
}

void tst_Windows::quitReportsAFailedWrite()
{
    Started s;
    QFile::remove(s.settingsPath());
    QDir(s.dir.path()).mkdir("MD40_90.INI"); // a folder where the file should go: it cannot be written
    s.window.show();
    s.port.open("/dev/fake");
    QString title, text;
    QList<QMessageBox::StandardButton> buttons;
    answerModal([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    s.window.findChild<QPushButton *>("cmdQuit")->click();
    QCOMPARE(title, QStringLiteral("Settings not saved"));
    QVERIFY2(text.contains(QDir::toNativeSeparators(s.settingsPath())), qPrintable(text));
    QVERIFY2(text.contains("folder, not a regular file"), qPrintable(text));
    QVERIFY(QFileInfo(s.settingsPath()).isDir());
    QVERIFY(!s.port.isOpen());
    QVERIFY(!s.window.isVisible());
}

void tst_Windows::closeBoxWritesNothing()
{
    Started s(" 1  4 \r\n");
    s.window.show();
    s.window.findChild<QRadioButton *>("optProduct(0)")->click();
    QVERIFY(s.window.close());
    QCOMPARE(readAll(s.settingsPath()), QByteArray(" 1  4 \r\n"));
    QVERIFY(!s.window.frmComms()->isVisible());
}

void tst_Windows::closeIgnoredWhileDisabled()
{
    Started s;
    s.window.show();
    s.window.ComsPort_Click();
    QVERIFY(!s.window.close());
    QVERIFY(s.window.isVisible());
    s.window.frmComms()->cmdCommsAccept()->click();
    QVERIFY(s.window.close());
}

void tst_Windows::helpAndAbout_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("lines"); // lines the box must show, each whole
    QTest::newRow("MD20/40") << "Help_MD20_40"
                             << "MD20/40 Help"
                             << QStringList{"    Show 'rdY'.",
                                            "         DB-9 Pin 3 ---> MD20/40 terminal 'F'",
                                            "         DB-25 Pin 2 ---> MD20/40 terminal 'F'"};
    QTest::newRow("MD90") << "Help_MD90"
                          << "MD90 Help"
                          << QStringList{"    below (and in the MD90 users manual):",
                                         "         DB-9 Pin 3 ---> MD90, White wire (channel 4 input)"};
    // The version the build was given, not one written into the window.
    QTest::newRow("About") << "About"
                           << "About MD20/40 MD90 Programmer"
                           << QStringList{QStringLiteral("MD20/40 MD90 programmer Ver. " MDCONFIG_VERSION),
                                          "For Win98, WinXP, Win2K & Vista"};
}

void tst_Windows::helpAndAbout()
{
    QFETCH(QString, action);
    QFETCH(QString, title);
    QFETCH(QStringList, lines);
    Started s;
    s.window.show();
    QMessageBox *seen = nullptr;
    QString shownTitle, shownText;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::RichText;
    int labelWidth = 0, longestLine = 0;
    answerModal([&](QWidget *w) {
        seen = qobject_cast<QMessageBox *>(w);
        QVERIFY(seen);
        auto *label = seen->findChild<QLabel *>("qt_msgbox_label");
        labelWidth = label->width();
        for (const QString &line : seen->text().split('\n'))
            longestLine = qMax(longestLine, label->fontMetrics().horizontalAdvance(line));
        shownTitle = seen->windowTitle();
        shownText = seen->text();
        icon = seen->icon();
        buttons = seen->standardButtons();
        format = seen->textFormat();
        seen->button(QMessageBox::Ok)->click();
    });
    s.window.findChild<QAction *>(action)->trigger();
    QVERIFY(seen);
    QCOMPARE(shownTitle, title);
    QVERIFY2(!shownText.contains('\r'), qPrintable(shownText)); // one line break, not two
    const QStringList shownLines = shownText.split('\n');
    for (const QString &line : std::as_const(lines))
        QVERIFY2(shownLines.contains(line), qPrintable(line));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(format, Qt::PlainText);
    // No line is wrapped: the wiring tables keep their shape.
    QVERIFY2(labelWidth >= longestLine,
             qPrintable(QStringLiteral("%1 < %2").arg(labelWidth).arg(longestLine)));
}

QTEST_MAIN(tst_Windows)
#include "tst_windows.moc"
