// Where the windows go on the screen: the rule from a table, then the real windows on the screen this run
// has (a large one, or 1366 by 768 at 150% scaling; see tests/CMakeLists.txt).
#include "support/files.h"
#include "support/recordingport.h"
#include "ui/mainwindow.h"
#include "ui/placement.h"

#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <QTimer>
#include <cmath>

class tst_Placement : public QObject {
    Q_OBJECT
private slots:
    void keepInside_data();
    void keepInside();
    void screenAreaFor_data();
    void screenAreaFor();
    void windowsOnThisScreen();

private:
    void checkOnScreen(QWidget *window, const QPoint &asked, const QRect &area);
};

void tst_Placement::keepInside_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QPoint>("corner");
    const QRect hd(0, 0, 1920, 1040);
    // 1366 by 768 at 150%, less a 32-pixel panel at the bottom.
    const QRect small(0, 0, 911, 480);
    QTest::newRow("fits: the corner is kept") << QRect(300, 300, 667, 284) << hd << QPoint(300, 300);
    QTest::newRow("fits exactly at the bottom right edge")
        << QRect(1253, 756, 667, 284) << hd << QPoint(1253, 756);
    QTest::newRow("start-up corner on the small screen: moved up only")
        << QRect(300, 300, 667, 284) << small << QPoint(244, 196);
    QTest::newRow("dialog beside the main window, off the right edge")
        << QRect(800, 100, 454, 160) << small << QPoint(457, 100);
    QTest::newRow("off the left and top edges") << QRect(-50, -20, 200, 100) << hd << QPoint(0, 0);
    QTest::newRow("wider than the screen: its left edge shows")
        << QRect(300, 10, 1000, 200) << small << QPoint(0, 10);
    QTest::newRow("taller than the screen: its title bar shows")
        << QRect(10, 100, 300, 600) << small << QPoint(10, 0);
    QTest::newRow("area not at the origin (a panel on the left)")
        << QRect(0, 0, 300, 200) << QRect(48, 0, 1872, 1080) << QPoint(48, 0);
    QTest::newRow("second screen to the right")
        << QRect(3700, 500, 300, 200) << QRect(1920, 0, 1920, 1080) << QPoint(3540, 500);
    QTest::newRow("no screen known: left where it is") << QRect(5, 6, 7, 8) << QRect() << QPoint(5, 6);
}

void tst_Placement::keepInside()
{
    QFETCH(QRect, frame);
    QFETCH(QRect, area);
    QFETCH(QPoint, corner);
    QCOMPARE(ui::keepInside(frame, area), corner);
}

void tst_Placement::screenAreaFor_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<int>("screen"); // index into the areas below, -1 for none
    // A large screen on the left, a small one to its right, lower down.
    QTest::newRow("corner on the first") << QRect(300, 300, 667, 284) << 0;
    QTest::newRow("corner on the second") << QRect(2000, 700, 667, 284) << 1;
    QTest::newRow("corner in the gap above the second, mostly over it") << QRect(2000, 100, 667, 400) << 1;
    QTest::newRow("corner off every screen, nearest the first") << QRect(-400, 200, 300, 200) << 0;
    QTest::newRow("corner far right, nearest the second") << QRect(5000, 900, 300, 200) << 1;
}

void tst_Placement::screenAreaFor()
{
    QFETCH(QRect, frame);
    QFETCH(int, screen);
    const QList<QRect> areas = {QRect(0, 0, 1920, 1080), QRect(1920, 300, 911, 512)};
    QCOMPARE(ui::screenAreaFor(frame, areas), areas.value(screen));
    QCOMPARE(ui::screenAreaFor(frame, {}), QRect());
}

void tst_Placement::checkOnScreen(QWidget *window, const QPoint &asked, const QRect &area)
{
    const QRect frame = window->frameGeometry();
    QVERIFY2(area.contains(frame), qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 is not inside %6x%7")
                                                  .arg(window->objectName())
                                                  .arg(frame.x())
                                                  .arg(frame.y())
                                                  .arg(frame.width())
                                                  .arg(frame.height())
                                                  .arg(area.width())
                                                  .arg(area.height())));
    // A window that fits where it was asked to go stays there; one that does not moves no further than it
    // must: one of its edges lies on an edge of the screen.
    const QRect atAsked(asked, frame.size());
    if (area.contains(atAsked)) {
        QCOMPARE(window->pos(), asked);
    } else {
        // At a fractional scale the window keeps one unit in from the far edges.
        const qreal ratio = window->devicePixelRatioF();
        const int in = ratio == std::floor(ratio) ? 0 : 1;
        QVERIFY(frame.right() == area.right() - in || frame.bottom() == area.bottom() - in ||
                frame.left() == area.left() || frame.top() == area.top());
    }
}

void tst_Placement::windowsOnThisScreen()
{
    const QByteArray which = qgetenv("MDCONFIG_TEST_SCREEN");
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QTemporaryDir dir;
    writeAll(dir.filePath("MD40_90.INI"), " 2  4 \r\n");
    qputenv("MDCONFIG_COM4", "/dev/fake-adapter");
    const QString cwd = QDir::currentPath();
    app::Program program;
    program.pacing = frame::Pacing{std::chrono::microseconds(2000), std::chrono::microseconds(1000)};
    RecordingPort port;
    ui::MainWindow window(program, port);
    window.Form_Load(dir.path());
    QDir::setCurrent(cwd);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(20);             // the second look, once the window has its frame
    const QPoint fixed(300, 300); // 4500 twips
    checkOnScreen(&window, fixed, area);
    if (which == "large")
        QCOMPARE(window.pos(), fixed);
    if (which == "small") {
        QVERIFY2(window.pos() != fixed, "the small screen does not hold the main window at its fixed corner");
        // In the screen's own pixels (1366 x 768 in screens/small.json) no pixel of the window is off it.
        const qreal ratio = window.devicePixelRatioF();
        const QRect frame = window.frameGeometry();
        QVERIFY2(std::ceil((frame.x() + frame.width()) * ratio) <= 1366 &&
                     std::ceil((frame.y() + frame.height()) * ratio) <= 768,
                 qPrintable(QStringLiteral("the window ends at %1,%2 pixels")
                                .arg((frame.x() + frame.width()) * ratio)
                                .arg((frame.y() + frame.height()) * ratio)));
        // Every button can be reached.
        for (const char *name : {"cmdSend1", "cmdSend2", "cmdQuit"}) {
            auto *button = window.findChild<QWidget *>(name);
            const QRect onScreen(button->mapToGlobal(QPoint(0, 0)), button->size());
            QVERIFY2(area.contains(onScreen), name);
        }
    }

    // The dialogs and the progress window, shown where a send puts them.
    const QPoint beside(ui::pixels(ui::twips(window.x()) + 1000), ui::pixels(ui::twips(window.y()) + 1000));
    QPoint progressAt;
    QWidget *progress = nullptr;
    bool iconsShown = false;
    QRect iconsFrame;
    QTimer::singleShot(20, [&] {
        iconsShown = window.frmIcons()->isVisible();
        iconsFrame = window.frmIcons()->frameGeometry();
        window.frmIcons()->cmdIconsContinue()->click();
    });
    window.cmdSend1_Click();
    QVERIFY(iconsShown);
    QVERIFY(area.contains(iconsFrame));
    if (area.contains(QRect(beside, iconsFrame.size())))
        QCOMPARE(iconsFrame.topLeft(), beside);
    progress = window.frmProgress();
    QVERIFY(progress);
    progress->move(area.right() - 10, area.bottom() - 10);
    progressAt = progress->pos();
    progress->show();
    QTest::qWait(20);
    checkOnScreen(progress, progressAt, area);
    progress->hide();
    window.ComsPort_Click();
    QTest::qWait(20);
    checkOnScreen(window.frmComms(), beside, area);
    window.frmComms()->cmdCommsAccept()->click();
}

QTEST_MAIN(tst_Placement)
#include "tst_placement.moc"
