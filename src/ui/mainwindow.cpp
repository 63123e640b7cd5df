#include "ui/mainwindow.h"

#include "app/texts.h"
#include "ui/choicecombo.h"
#include "ui/keyboard.h"
#include "ui/messages.h"
#include "ui/placement.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>

namespace ui {

QString portLabel(int comPortNumber)
{
    return QStringLiteral("COM Port = ") + serial::signPosition(comPortNumber);
}

MainWindow::MainWindow(app::Program &program, serial::SerialPort &port) : m_program(program), m_port(port)
{
    m_form.setupUi(this);
    setWindowTitle(app::mainWindowTitle(m_program));
    keepOnScreenWhenShown(this);
    // Also where no window manager hands out the focus, the keyboard works from the start.
    takeFocusWhenShown(this);

    connect(m_form.ComsPort, &QAction::triggered, this, &MainWindow::ComsPort_Click);
    connect(m_form.Help_MD20_40, &QAction::triggered, this, &MainWindow::Help_MD20_40_Click);
    connect(m_form.Help_MD90, &QAction::triggered, this, &MainWindow::Help_MD90_Click);
    connect(m_form.About, &QAction::triggered, this, &MainWindow::About_Click);
    connect(m_form.cmdSend1, &QPushButton::clicked, this, &MainWindow::cmdSend1_Click);
    connect(m_form.cmdSend2, &QPushButton::clicked, this, &MainWindow::cmdSend2_Click);
    connect(m_form.cmdQuit, &QPushButton::clicked, this, &MainWindow::cmdQuit_Click);
    connect(m_form.cmbNmeaID, &QComboBox::currentIndexChanged, this, &MainWindow::cmbNmeaID_Click);
    for (const auto &[combo, list] : m_form.lists)
        connect(combo, &QComboBox::currentIndexChanged, this, &MainWindow::updatePreviews);
    connect(m_form.productGroup, &QButtonGroup::idToggled, this, &MainWindow::updatePreviews);
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
    m_form.lblCommsPort->setText(portLabel(m_program.ComPortNumber));
    fitCaption(m_form.lblCommsPort, Kind::Label);
}

const vocabulary::Product &MainWindow::chosenProduct() const
{
    // Only a selected option that takes the icon byte adds one; with none selected no frame carries one.
    const int selected = m_form.productGroup->checkedId();
    return selected >= 0 ? vocabulary::product(selected) : vocabulary::Products[0];
}

void MainWindow::setComPortNumber(std::int16_t number)
{
    m_program.ComPortNumber = number;
    m_frmComms->select(number);
    refreshPortLabel();
}

void MainWindow::placeDialogs()
{
    const QPoint corner = positionTwips(this);
    moveTwips(m_frmComms.get(), corner.x() + 1000, corner.y() + 1000);
    moveTwips(m_frmIcons.get(), corner.x() + 1000, corner.y() + 1000);
}

void MainWindow::cmbNmeaID_Click()
{
    m_form.cboXDR->setVisible(m_form.cmbNmeaID->currentIndex() == vocabulary::XdrPosition);
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
    using vocabulary::List;
    const MainForm &f = m_form;
    if (kind == Sentence::Standard) {
        return {vocabulary::shownNumber(List::MemoryLocation1, f.cboMemoryLocation1->currentIndex()),
                frame::Standard{f.cmbNmeaTalker->currentIndex(), f.cmbNmeaID->currentIndex(),
                                vocabulary::shownNumber(List::Commas, f.cmbNmeaCommas->currentIndex()),
                                f.cboXDR->currentIndex()},
                icon};
    }
    return {vocabulary::shownNumber(List::MemoryLocation2, f.cboMemoryLocation2->currentIndex()),
            frame::Instrument{f.cboVmInstrumentID->currentIndex()}, icon};
}

void MainWindow::send(Sentence kind)
{
    // The window is disabled while a send runs; this also holds for a press that reaches us another way.
    if (m_busy || !m_frmComms)
        return;
    m_busy = true;
    // Whatever the outcome, the keyboard is back on the button that was pressed, never on an option that
    // one Space would select.
    QPushButton *pressed = kind == Sentence::Standard ? m_form.cmdSend1 : m_form.cmdSend2;
    const auto idle = qScopeGuard([this, pressed] {
        m_busy = false;
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

void MainWindow::runIconStep()
{
    m_program.IconsDone = true;
    if (chosenProduct().sendsIconByte) {
        m_frmIcons->show();
        m_frmIcons->raise();
        QApplication::beep();
        m_program.IconsDone = false;
        setEnabled(false);
    }
    while (!m_program.IconsDone)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void MainWindow::cmdIconsContinue_Click()
{
    setEnabled(true);
    const int selected = m_frmIcons->selectedIndex();
    if (selected >= 0)
        m_program.IconIndex = std::int16_t(selected);
    m_program.IconsDone = true;
}

void MainWindow::TransmitSentence()
{
    frame::SendEvents events;
    events.askPort = [this](const QString &prompt) { return askComPortNumber(this, prompt); };
    events.portChanged = [this](std::int16_t number) { setComPortNumber(number); };
    events.started = [this](const frame::SendProgress &) {
        setEnabled(false);
        if (!m_frmProgress) {
            m_frmProgress = std::make_unique<ProgressWindow>();
            m_frmProgress->setOwner(this);
        }
        m_frmProgress->startSend();
    };
    events.progress = [this](const frame::SendProgress &p) { m_frmProgress->showProgress(p); };
    const frame::SendReport report = app::transmitSentence(m_program, m_port, events);
    // Cancel at the port prompt abandons this send: nothing would reach the display, so nothing pretends to.
    if (report.outcome == frame::SendOutcome::NotOpened)
        return;
    m_frmProgress->hide();
    setEnabled(true);
    if (!report.sent())
        showText(this, app::NotSentTitle, app::notSentText(report.failure()), true);
}

void MainWindow::ComsPort_Click()
{
    // The menu is not a keyboard stop of the window: Accept brings the focus back to the control that had it.
    QWidget *focus = focusWidget();
    const bool stop = focus && focus != centralWidget() && centralWidget()->isAncestorOf(focus) &&
                      (focus->focusPolicy() & Qt::TabFocus);
    m_focusBeforePort = stop ? focus : nullptr;
    placeDialogs();
    m_frmComms->show();
    m_frmComms->raise();
    setEnabled(false);
}

void MainWindow::cmdCommsAccept_Click()
{
    setEnabled(true);
    // With no option selected the number stays as it was.
    setComPortNumber(m_frmComms->chosenPort().value_or(m_program.ComPortNumber));
    takeFocus(this, m_focusBeforePort);
}

void MainWindow::cmdQuit_Click()
{
    const int selected = m_form.productGroup->checkedId();
    const std::optional<QString> failure = app::quitProgram(m_program, selected, m_port);
    refreshPortLabel();
    if (failure) {
        const QString path = QDir::toNativeSeparators(m_program.settingsLocation.writePath);
        showText(this, app::NotSavedTitle, app::notSavedText(path, *failure), true);
    }
    endProgram();
}

void MainWindow::endProgram()
{
    for (QWidget *w :
         std::initializer_list<QWidget *>{m_frmProgress.get(), m_frmIcons.get(), m_frmComms.get()}) {
        if (w)
            w->hide();
    }
    hide();
    QCoreApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A disabled window is still closed by a window manager's request unless the request is refused.
    if (!isEnabled() || m_busy) {
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

void MainWindow::updatePreviews()
{
    if (!m_frmIcons)
        return;
    // Read from the lists and the icon dialog as they stand: the preview changes no program-wide value.
    const int icon = qMax(0, m_frmIcons->selectedIndex());
    m_form.cmdSend1->setToolTip(
        app::sendPreview(readConfiguration(Sentence::Standard, icon), chosenProduct()));
    m_form.cmdSend2->setToolTip(
        app::sendPreview(readConfiguration(Sentence::Proprietary, icon), chosenProduct()));
}

} // namespace ui
