#include "ui/mainwindow.h"

#include "plan/plan.h"
#include "serial/portmap.h"
#include "vocabulary/fields.h"

#include "app/texts.h"
#include "ui/adapterquestion.h"
#include "ui/choicecombo.h"
#include "ui/keyboard.h"
#include "ui/messages.h"
#include "ui/placement.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>

namespace ui {

QString portLabel(int comPortNumber)
{
    return QStringLiteral("COM Port = ") + serial::signPosition(comPortNumber);
}

MainWindow::MainWindow(app::Program &program, serial::SerialPort &port)
    : m_program(program), m_line(program, port)
{
    m_form.setupUi(this);
    setWindowTitle(app::mainWindowTitle(m_program));
    keepOnScreenWhenShown(this);
    // Also where no window manager hands out the focus, the keyboard works from the start.
    takeFocusWhenShown(this);

    using Handler = void (MainWindow::*)();
    for (const auto &[action, handler] :
         {std::pair<QAction *, Handler>{m_form.ComsPort, &MainWindow::ComsPort_Click},
          {m_form.Help_MD20_40, &MainWindow::Help_MD20_40_Click},
          {m_form.Help_MD90, &MainWindow::Help_MD90_Click},
          {m_form.About, &MainWindow::About_Click},
          {m_form.Plan, &MainWindow::Plan_Click},
          {m_form.BusMonitor, &MainWindow::BusMonitor_Click}})
        connect(action, &QAction::triggered, this, handler);
    for (const auto &[button, handler] :
         {std::pair<QPushButton *, Handler>{m_form.cmdSend1, &MainWindow::cmdSend1_Click},
          {m_form.cmdSend2, &MainWindow::cmdSend2_Click},
          {m_form.cmdQuit, &MainWindow::cmdQuit_Click}})
        connect(button, &QPushButton::clicked, this, handler);
    connect(m_form.cmbNmeaID, &QComboBox::currentIndexChanged, this, &MainWindow::cmbNmeaID_Click);
    for (const auto &[combo, list] : m_form.lists)
        connect(combo, &QComboBox::currentIndexChanged, this, &MainWindow::updatePreviews);
    connect(m_form.productGroup, &QButtonGroup::idToggled, this, &MainWindow::updatePreviews);
    connect(&m_line, &app::SerialLine::numberChanged, this, &MainWindow::lineNumberChanged);
    connect(&m_line, &app::SerialLine::holderChanged, this, &MainWindow::lineHolderChanged);
}

MainWindow::~MainWindow() = default;

void MainWindow::Form_Load(const QString &programDir)
{
    m_program.ProgramVersion = app::ProgramVersionText;
    setWindowTitle(app::mainWindowTitle(m_program));
    app::loadProgram(m_program, programDir);
    refreshPortLabel();
    m_form.optProduct[m_program.ProductIndex]->setChecked(true);
    moveTwips(this, 4500, 4500);
    keepOnScreen(this);

    m_frmComms = std::make_unique<PortDialog>();
    m_frmComms->setOwner(this);
    m_frmIcons = std::make_unique<IconDialog>();
    m_frmIcons->setOwner(this);
    placeDialogs();
    m_frmComms->Form_Load(m_program.ComPortNumber);
    connect(m_frmComms.get(), &PortDialog::accepted, this, &MainWindow::cmdCommsAccept_Click);
    connect(m_frmIcons.get(), &IconDialog::continued, this, &MainWindow::cmdIconsContinue_Click);
    connect(m_frmIcons.get(), &IconDialog::selectionChanged, this, &MainWindow::updatePreviews);

    for (const auto &[combo, list] : m_form.lists)
        fillList(combo, list);
    updatePreviews();
}

void MainWindow::refreshPortLabel()
{
    m_form.lblCommsPort->setText(portLabel(m_line.number()));
    // What the number opens, so COM1 is never taken for the USB adapter by mistake.
    const QString what = m_line.describe();
    m_form.lblCommsPort->setToolTip(what.toHtmlEscaped());
    m_form.lblCommsPort->setAccessibleDescription(what);
    fitCaption(m_form.lblCommsPort, Kind::Label);
}

const vocabulary::Product &MainWindow::chosenProduct() const
{
    // Only a selected option that takes the icon byte adds one; with none selected no frame carries one.
    const int selected = m_form.productGroup->checkedId();
    return selected >= 0 ? vocabulary::product(selected) : vocabulary::Products[0];
}

void MainWindow::lineNumberChanged()
{
    m_frmComms->select(m_line.number());
    refreshPortLabel();
}

void MainWindow::lineHolderChanged(app::Holder holder)
{
    const bool elsewhere = m_line.busy() && holder != app::Holder::Send;
    if (elsewhere != m_heldElsewhere) {
        m_heldElsewhere = elsewhere;
        setEnabled(!elsewhere);
    }
}

void MainWindow::placeBeside(QWidget *window)
{
    const QPoint corner = positionTwips(this);
    moveTwips(window, corner.x() + 1000, corner.y() + 1000);
}

void MainWindow::placeDialogs()
{
    placeBeside(m_frmComms.get());
    placeBeside(m_frmIcons.get());
}

void MainWindow::cmbNmeaID_Click()
{
    m_form.cboXDR->setVisible(m_form.cmbNmeaID->currentIndex() == vocabulary::XdrPosition);
}

void MainWindow::BusMonitor_Click()
{
    if (!m_frmBusMonitor) {
        BusMonitorHost host;
        host.line = &m_line;
        host.useInMainWindow = [this](const frame::Standard &s) { showStandard(s); };
        host.planOpen = [this] { return m_frmPlan && m_frmPlan->isVisible(); };
        host.useInPlanRow = [this](int location, const frame::Standard &s) -> std::optional<QString> {
            if (!m_frmPlan || !m_frmPlan->isVisible())
                return QStringLiteral("no plan window is open");
            return m_frmPlan->takeStandard(location, s);
        };
        m_frmBusMonitor = std::make_unique<BusMonitor>(std::move(host));
        m_frmBusMonitor->setOwner(this);
        placeBeside(m_frmBusMonitor.get());
    }
    m_frmBusMonitor->show();
    m_frmBusMonitor->raise();
}

void MainWindow::showStandard(const frame::Standard &s)
{
    m_form.showStandard(s);
}

void MainWindow::cmdSend1_Click()
{
    send(Sentence::Standard);
}

void MainWindow::cmdSend2_Click()
{
    send(Sentence::Proprietary);
}

frame::Configuration MainWindow::readConfiguration(Sentence kind, int icon) const
{
    return kind == Sentence::Standard ? m_form.standard(icon) : m_form.proprietary(icon);
}

void MainWindow::send(Sentence kind)
{
    // The window is disabled while a send runs; this also holds for a press that reaches us another way.
    if (m_line.busy() || !m_frmComms)
        return;
    if (kind == Sentence::Standard && !acceptWarnings(readConfiguration(kind, 0)))
        return;
    if (const std::optional<QString> refused = m_line.claim(app::Holder::Send)) {
        showText(this, app::NothingSentTitle, *refused, true);
        return;
    }
    // Whatever the outcome, the keyboard is back on the button that was pressed, never on an option that
    // one Space would select.
    QPushButton *pressed = kind == Sentence::Standard ? m_form.cmdSend1 : m_form.cmdSend2;
    const auto idle = qScopeGuard([this, pressed] {
        m_line.release(app::Holder::Send);
        takeFocus(this, pressed);
    });

    placeDialogs();
    runIconStep();
    const frame::Configuration c = readConfiguration(kind, m_program.IconIndex);
    if (const frame::EncodeError missing = app::composeSentence(m_program, c, chosenProduct())) {
        showText(this, app::NothingSentTitle, app::nothingSentText(*missing), true);
        return;
    }
    TransmitSentence();
}

bool MainWindow::acceptWarnings(const frame::Configuration &c)
{
    const QStringList warnings = plan::warnings(c);
    if (warnings.isEmpty())
        return true;
    QMessageBox box(QMessageBox::Warning, app::FieldWarningTitle, app::fieldWarningText(warnings),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("fieldWarning"));
    box.setDefaultButton(QMessageBox::Ok);
    takeFocusWhenShown(&box);
    return box.exec() == QMessageBox::Ok;
}

void MainWindow::runIconStep()
{
    m_program.IconsDone = true;
    if (!chosenProduct().sendsIconByte)
        return;
    m_frmIcons->show();
    m_frmIcons->raise();
    QApplication::beep();
    m_program.IconsDone = false;
    setEnabled(false);
    // The send goes on once the dialog hands back its choice (Continue is its only way out).
    QEventLoop answered;
    connect(m_frmIcons.get(), &IconDialog::continued, &answered, &QEventLoop::quit);
    answered.exec();
}

void MainWindow::cmdIconsContinue_Click()
{
    setEnabled(true);
    m_program.IconIndex = m_frmIcons->chosenIcon().value_or(m_program.IconIndex);
    m_program.IconsDone = true;
}

void MainWindow::TransmitSentence()
{
    frame::SendEvents events;
    events.askPort = [this](const QString &prompt) { return askComPortNumber(this, prompt); };
    events.admitPort = [this](std::int16_t number) {
        return admitAdapter(this, m_program.adaptersLocation, number);
    };
    events.started = [this](const frame::SendProgress &) {
        setEnabled(false);
        if (!m_frmProgress) {
            m_frmProgress = std::make_unique<ProgressWindow>();
            m_frmProgress->setOwner(this);
        }
        m_frmProgress->startSend();
    };
    events.progress = [this](const frame::SendProgress &p) { m_frmProgress->showProgress(p); };
    const frame::SendReport report = m_line.transmitSentence(events);
    // Cancel at the port prompt abandons this send: nothing would reach the display, so nothing pretends to.
    if (report.outcome == frame::SendOutcome::NotOpened)
        return;
    m_frmProgress->hide();
    setEnabled(true);
    if (!report.sent())
        showText(this, app::NotSentTitle, m_line.notSentMessage(report), true);
}

void MainWindow::ComsPort_Click()
{
    // The menu is not a keyboard stop of the window: Accept brings the focus back to the control that had it.
    m_focusBeforePort = focusedStop(centralWidget());
    placeDialogs();
    m_frmComms->show();
    m_frmComms->raise();
    setEnabled(false);
}

void MainWindow::cmdCommsAccept_Click()
{
    setEnabled(true);
    // With no option selected the number stays as it was.
    const std::int16_t chosen = m_frmComms->chosenPort().value_or(m_line.number());
    if (chosen != m_line.number())
        keepChosenAdapter(this, m_program.adaptersLocation, chosen);
    m_line.setNumber(chosen);
    takeFocus(this, m_focusBeforePort);
}

void MainWindow::cmdQuit_Click()
{
    // A plan with unsaved changes is asked about first; Cancel there keeps the program running.
    if (m_frmPlan && m_frmPlan->isVisible() && !m_frmPlan->close())
        return;
    const int selected = m_form.productGroup->checkedId();
    const std::optional<QString> failure = app::quitProgram(m_program, selected, m_line.port());
    refreshPortLabel();
    if (failure) {
        const QString path = QDir::toNativeSeparators(m_program.settingsLocation.writePath);
        showText(this, app::NotSavedTitle, app::notSavedText(path, *failure), true);
    }
    endProgram();
}

void MainWindow::endProgram()
{
    if (m_frmBusMonitor)
        m_frmBusMonitor->stop();
    for (QWidget *w :
         std::initializer_list<QWidget *>{m_frmProgress.get(), m_frmIcons.get(), m_frmComms.get(),
                                          m_frmPlan.get(), m_frmBusMonitor.get()}) {
        if (w)
            w->hide();
    }
    hide();
    QCoreApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A disabled window is still closed by a window manager's request unless the request is refused.
    if (!isEnabled() || m_line.busy() || (m_frmPlan && m_frmPlan->isVisible() && !m_frmPlan->close())) {
        event->ignore();
        return;
    }
    event->accept();
    endProgram();
}

void MainWindow::Help_MD20_40_Click()
{
    showText(this, app::HelpMd2040Title, app::helpMd2040Text());
}

void MainWindow::Help_MD90_Click()
{
    showText(this, app::HelpMd90Title, app::helpMd90Text());
}

void MainWindow::About_Click()
{
    showText(this, app::AboutTitle, app::aboutText(m_program.ProgramVersion));
}

void MainWindow::Plan_Click()
{
    if (!m_frmPlan) {
        m_frmPlan = std::make_unique<PlanWindow>(
            m_line, [this](plan::RowKind kind) { return chosenConfiguration(kind); });
        m_frmPlan->startNew(std::max(m_form.productGroup->checkedId(), 0));
        placeBeside(m_frmPlan.get());
    }
    m_frmPlan->show();
    m_frmPlan->raise();
    m_frmPlan->activateWindow();
}

frame::Configuration MainWindow::chosenConfiguration(plan::RowKind kind) const
{
    return readConfiguration(kind == plan::RowKind::Instrument ? Sentence::Proprietary : Sentence::Standard,
                             std::max(m_frmIcons ? m_frmIcons->selectedIndex() : 0, 0));
}

void MainWindow::updatePreviews()
{
    if (!m_frmIcons)
        return;
    // Read from the lists and the icon dialog as they stand: the preview changes no program-wide value.
    const int icon = qMax(0, m_frmIcons->selectedIndex());
    const frame::Configuration standard = readConfiguration(Sentence::Standard, icon);
    QString preview = app::sendPreview(standard, chosenProduct());
    for (const QString &warning : plan::warnings(standard))
        preview += QStringLiteral("\nWarning: ") + warning;
    m_form.cmdSend1->setToolTip(preview);
    m_form.showFieldCaptions();
    m_form.cmdSend2->setToolTip(
        app::sendPreview(readConfiguration(Sentence::Proprietary, icon), chosenProduct()));
}

} // namespace ui
