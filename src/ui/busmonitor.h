// The bus monitor: what the boat's NMEA 0183 bus carries, read from the receive line of the port the main
// window holds (at a speed chosen or found) or from a network source, read-only, with each sentence's fields
// numbered as "Commas" counts them, so a field can be picked straight into the main window's lists or a plan
// row. The counting and the tables live in bus/; this window reads its controls, drives them on a timer and
// shows what they hold.
#pragma once

#include "app/serialline.h"
#include "bus/listener.h"
#include "bus/models.h"
#include "frame/configuration.h"
#include "serial/serialport.h"
#include "source/lentsearch.h"
#include "ui/secondarywindow.h"

#include <QTimer>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QSpinBox;
class QTableView;

namespace ui {

// What the monitor needs from the main window.
struct BusMonitorHost {
    // The program's serial line: the monitor holds it while it reads, and gives way to a send.
    app::SerialLine *line = nullptr;
    // Puts a picked field into the main window's lists.
    std::function<void(const frame::Standard &)> useInMainWindow;
    // Puts a picked field into plan row 1..10; nothing when it was taken, otherwise why not. Unset while no
    // plan window is there to take it.
    std::function<std::optional<QString>(int row, const frame::Standard &)> useInPlanRow;
    // Whether a plan window is there to take a row now; unset: whenever useInPlanRow is set.
    std::function<bool()> planOpen;
};

// A field picked on the bus as the lists' entries: the pick is one the lists offer.
frame::Standard standardOf(const bus::Pick &pick);

class BusMonitor : public SecondaryWindow {
    Q_OBJECT
public:
    // At most four view updates a second.
    static constexpr int RefreshMs = 250;

    explicit BusMonitor(BusMonitorHost host);
    ~BusMonitor() override;

    void start();
    void stop();
    bool running() const { return m_listener.listening() || m_search; }
    const bus::Monitor &monitor() const { return m_listener.monitor(); }
    const bus::RowModel &rows() const { return *m_rows; }
    // Takes the bytes that came and refreshes the view; the timer calls it, tests may too.
    void tick();
    // The pick the selection makes now, or nothing when no field is chosen.
    std::optional<bus::Pick> currentPick() const;

    QTableView *rowTable() const { return m_rowTable; }
    QTableView *fieldTable() const { return m_fieldTable; }
    QTableView *transducerTable() const { return m_transducerTable; }

protected:
    QWidget *initialFocus() const override;
    void showEvent(QShowEvent *event) override;

private:
    void makeControls();
    void layOut();
    void connectControls();
    // The receive line of the main window's port for the listener, or null with why in the window's words.
    std::unique_ptr<serial::ReceivePort> lendPort(const QString &device, int baud, QString *why);
    void startNetwork(const QString &text);
    void startReading(const QString &device, int baud, const QString &found);
    // "Auto" on the main window's port: the search runs aside and is served on the timer.
    void serveSearch();
    void showRunning(bool running);
    void refreshViews();
    void selectRow();
    void updateCarry();
    void updateBanner();
    void setSpeed(int baud);
    void useInMainWindow();
    void useInPlanRow();
    void record();
    void clear();
    void showStatus(const QString &text);
    // The title names what is read: the source typed, or the main window's port.
    void showSource();
    void fitColumns();

    BusMonitorHost m_host;
    bus::Listener m_listener;
    bus::RowModel *m_rows = nullptr;
    bus::FieldModel *m_fields = nullptr;
    bus::QuadrupletModel *m_transducers = nullptr;
    QSortFilterProxyModel *m_filter = nullptr;
    QTimer m_timer;
    bus::PortOpener m_networkOpener;
    std::unique_ptr<source::LentSpeedSearch> m_search;
    bool m_claimed = false;  // the monitor holds the main window's line
    QString m_networkSource; // as shown, while reading one

    QLineEdit *m_txtSource = nullptr;
    QComboBox *m_cboSpeed = nullptr;
    QPushButton *m_cmdStart = nullptr;
    QCheckBox *m_chkPause = nullptr;
    QPushButton *m_cmdClear = nullptr;
    QPushButton *m_cmdRecord = nullptr;
    QLineEdit *m_txtFilter = nullptr;
    QLabel *m_lblStatus = nullptr;
    QLabel *m_lblBanner = nullptr;
    QPushButton *m_cmdTrySpeed = nullptr;
    QTableView *m_rowTable = nullptr;
    QLabel *m_lblWarning = nullptr;
    QTableView *m_fieldTable = nullptr;
    QTableView *m_transducerTable = nullptr;
    QPushButton *m_cmdUseMain = nullptr;
    QSpinBox *m_spnPlanRow = nullptr;
    QPushButton *m_cmdUsePlan = nullptr;
    QLabel *m_lblCarry = nullptr;
    QPushButton *m_cmdClose = nullptr;
};

} // namespace ui
