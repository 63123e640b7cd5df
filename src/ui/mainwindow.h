// frmMain: the product, the two sentence frames with their Send buttons, the port label, Quit and the menus.
// Handlers read the controls, call the core, and show what it returns.
#pragma once

#include "app/program.h"
#include "app/serialline.h"
#include "frame/configuration.h"
#include "ui/busmonitor.h"
#include "ui/icondialog.h"
#include "ui/mainlayout.h"
#include "ui/planwindow.h"
#include "ui/portdialog.h"
#include "ui/progresswindow.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

namespace ui {

// The port label's text: "COM Port = " and the number with its sign position, "COM Port =  3".
QString portLabel(int comPortNumber);

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(app::Program &program, serial::SerialPort &port);
    ~MainWindow() override;

    // Start-up: settings from the program's folder, the windows placed, the lists filled.
    void Form_Load(const QString &programDir);

    PortDialog *frmComms() const { return m_frmComms.get(); }
    IconDialog *frmIcons() const { return m_frmIcons.get(); }
    ProgressWindow *frmProgress() const { return m_frmProgress.get(); }
    // The plan window, made the first time "Plan…" is chosen.
    PlanWindow *frmPlan() const { return m_frmPlan.get(); }
    // The line every window of this program sends or listens on: its number, device and holder.
    app::SerialLine &line() { return m_line; }

    // Sets talker, sentence, "Commas" and, for XDR, the transducer type, as the bus monitor picks a field;
    // an entry that names nothing (-1, or field 0) leaves its list as it is.
    void showStandard(const frame::Standard &s);

    void cmdSend1_Click();
    void cmdSend2_Click();
    void cmbNmeaID_Click();
    void cmdQuit_Click();
    void ComsPort_Click();
    void Help_MD20_40_Click();
    void Help_MD90_Click();
    void About_Click();
    // Display > Bus monitor…: the bus on the receive line of the program's serial line.
    void BusMonitor_Click();
    BusMonitor *frmBusMonitor() const { return m_frmBusMonitor.get(); }
    void Plan_Click();
    // What the lists of one frame and the icon dialog choose now, for a row of the plan window.
    frame::Configuration chosenConfiguration(plan::RowKind kind) const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Sentence { Standard, Proprietary };
    void send(Sentence kind);
    void placeDialogs();
    // A window that appears beside this one: 1000 twips right of and below its corner.
    void placeBeside(QWidget *window);
    // Shows what may surprise in the chosen field (it alternates, it is past the sentence's last); false
    // when the user would rather not send it.
    bool acceptWarnings(const frame::Configuration &c);
    void runIconStep();
    void cmdIconsContinue_Click();
    void cmdCommsAccept_Click();
    void TransmitSentence();
    void refreshPortLabel();
    // The line's number changed (Accept, an answer at the port prompt): the label and the dialog follow.
    void lineNumberChanged();
    // Another window's writer has the line: this window takes no command until it is done.
    void lineHolderChanged(app::Holder holder);
    const vocabulary::Product &chosenProduct() const;
    // What the standard or the proprietary frame's lists have chosen, with the given icon.
    frame::Configuration readConfiguration(Sentence kind, int icon) const;
    void updatePreviews();
    void endProgram();

    app::Program &m_program;
    app::SerialLine m_line;
    std::unique_ptr<PortDialog> m_frmComms;
    std::unique_ptr<IconDialog> m_frmIcons;
    std::unique_ptr<ProgressWindow> m_frmProgress;
    std::unique_ptr<BusMonitor> m_frmBusMonitor;
    std::unique_ptr<PlanWindow> m_frmPlan;
    bool m_heldElsewhere = false;

    MainForm m_form;
    QPointer<QWidget> m_focusBeforePort;
};

} // namespace ui
