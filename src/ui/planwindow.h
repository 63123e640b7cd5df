// The plan window: a whole display, ten rows "Location 1" to "Location 10", kept in a plan file, checked,
// sent all at once through the main window's port, and proven with the test pattern. The plan and its rows'
// state live in plan::PlanEditor; this window shows them and hands it what the user does.
#pragma once

#include "app/program.h"
#include "app/serialline.h"
#include "plan/planeditor.h"
#include "serial/serialport.h"

#include <QMainWindow>

#include <array>
#include <chrono>
#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace ui {

class OptionGroup;

class PlanWindow : public QMainWindow {
    Q_OBJECT
public:
    // What the main window's lists and icon dialog choose now, for a row of the kind asked for.
    using MainChoices = std::function<frame::Configuration(plan::RowKind kind)>;

    // Sends on the program's serial line, which the main window and the bus monitor share.
    PlanWindow(app::SerialLine &line, MainChoices mainChoices);
    // A window of its own, on a line of its own (tests, a plan opened without the main window).
    PlanWindow(app::Program &program, serial::SerialPort &port, MainChoices mainChoices);
    ~PlanWindow() override;

    plan::PlanEditor &editor() { return m_editor; }
    bool isBusy() const { return m_busy; }
    // Between two locations of a send; one second for users, shorter in tests.
    void setGap(std::chrono::milliseconds gap) { m_gap = gap; }

    // The keys of Check and Send All, also in the Plan menu.
    static constexpr char CheckShortcut[] = "Ctrl+K";
    static constexpr char SendAllShortcut[] = "Ctrl+Return";

    // A new plan for the product, without asking: for a window just made.
    void startNew(int product);
    // The commands, also for `mdconfig PLAN` and for tests; each asks as the buttons do.
    void newPlan();
    bool openFile(const QString &path); // asks first when the plan has unsaved changes
    bool saveTo(const QString &path);   // says first which comments a save would drop
    bool save();                        // Save As when the plan has no file yet
    void check();
    void sendAll(int from = plan::FirstLocation);
    void sendFrom(); // after a stop or a failure, from the location that did not go out
    void stop();
    void testDisplay();
    void takeMainChoices(int location, plan::RowKind kind);
    // A field picked on the bus for a row: talker, sentence, field and the XDR type; the row's icon and note
    // stay. Nothing when the row took it, otherwise why not.
    std::optional<QString> takeStandard(int location, const frame::Standard &standard);

    // The row's controls, for tests and screen readers alike.
    QComboBox *kindBox(int location) const;
    QComboBox *listBox(int location, const char *which) const; // "talker", "sentence", "field", ...
    QLineEdit *noteEdit(int location) const;
    QLabel *showsLabel(int location) const;
    QLabel *statusLabel(int location) const;
    QLabel *faultLabel(int location) const;
    QLabel *warningLabel(int location) const;
    QLabel *portLabel() const { return m_portLabel; }
    QPushButton *button(const char *name) const;
    QProgressBar *progressBar() const { return m_progress; }
    QCheckBox *askBeforeEach() const { return m_askBeforeEach; }
    QLabel *message() const { return m_message; }
    QRadioButton *productOption(int index) const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    struct Row {
        QLabel *label = nullptr;
        QComboBox *kind = nullptr;
        QStackedWidget *what = nullptr;
        QComboBox *talker = nullptr;
        QComboBox *sentence = nullptr;
        QComboBox *field = nullptr;
        QComboBox *type = nullptr;
        QComboBox *instrument = nullptr;
        QComboBox *icon = nullptr;
        QLineEdit *note = nullptr;
        QPushButton *take = nullptr;
        QLabel *shows = nullptr;
        QLabel *status = nullptr;
        QLabel *faults = nullptr;
        QLabel *warnings = nullptr;
    };

    QWidget *buildRows();
    void buildChoices(Row &r, const QString &where, QWidget *area);
    void buildRowTexts(Row &r, int n, QGridLayout *grid, int line, QWidget *area);
    QWidget *buildCommands();
    void buildMenu();
    void rowEdited(int location);
    void refreshRow(int location);
    void refreshAll();
    void refreshTitle();
    void refreshRecent();
    void refreshPort();
    void remember(const QString &path);
    bool askToKeepChanges(); // false: the user cancelled
    void openWithDialog();
    bool saveAsWithDialog();
    // Takes the line for a plan send or the test pattern: the device, or empty after saying why not.
    QString takeLine(app::Holder who);
    void setBusy(bool busy);
    void say(const QString &text, bool warning = false);

    app::Program &m_program;
    serial::SerialPort &m_port;
    app::SerialLine &m_line;
    MainChoices m_mainChoices;
    plan::PlanEditor m_editor;
    std::array<Row, plan::LastLocation> m_rows;
    OptionGroup *m_productGroup = nullptr;
    QList<QRadioButton *> m_optProduct;
    QHash<QString, QPushButton *> m_buttons;
    QCheckBox *m_askBeforeEach = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_message = nullptr;
    QLabel *m_portLabel = nullptr;
    QMenu *m_recentMenu = nullptr;
    std::chrono::milliseconds m_gap{1000};
    std::optional<int> m_resumeAt;
    bool m_busy = false;
    bool m_stopRequested = false;
    bool m_refreshing = false;
};

} // namespace ui
