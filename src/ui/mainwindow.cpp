#include "ui/mainwindow.h"

#include "app/texts.h"
#include "frame/configuration.h"
#include "frame/sendstep.h"
#include "ui/choicecombo.h"
#include "ui/keyboard.h"
#include "ui/messages.h"
#include "ui/placement.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>

// The window icons are compiled into this library; a static library's resources must be registered by hand.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace ui {

using vocabulary::List;

QString portLabel(int comPortNumber)
{
    return QStringLiteral("COM Port = ") + serial::signPosition(comPortNumber);
}

MainWindow::MainWindow(app::Program &program, serial::SerialPort &port) : m_program(program), m_port(port)
{
    initResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(app::mainWindowTitle(m_program));
    setWindowIcon(QIcon(QStringLiteral(":/icons/mdconfig.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("clientArea"));
    client->setFixedSize(pixels(9975), pixels(3525));
    setCentralWidget(client);
    const auto controls = buildControls(client, mainWindowLayout());
    auto combo = [&](const char *name) {
        return qobject_cast<QComboBox *>(controls.value(QLatin1String(name)));
    };
    auto button = [&](const char *name) {
        return qobject_cast<QPushButton *>(controls.value(QLatin1String(name)));
    };
    m_cmbNmeaTalker = combo("cmbNmeaTalker");
    m_cmbNmeaID = combo("cmbNmeaID");
    m_cmbNmeaCommas = combo("cmbNmeaCommas");
    m_cboMemoryLocation1 = combo("cboMemoryLocation1");
    m_cboXDR = combo("cboXDR");
    m_cboVmInstrumentID = combo("cboVmInstrumentID");
    m_cboMemoryLocation2 = combo("cboMemoryLocation2");
    m_cmdSend1 = button("cmdSend1");
    m_cmdSend2 = button("cmdSend2");
    m_cmdQuit = button("cmdQuit");
    m_lblCommsPort = qobject_cast<QLabel *>(controls.value(QStringLiteral("lblCommsPort")));
    m_cboXDR->hide();
    nameMainControls(controls);

    m_productGroup = new OptionGroup(this);
    m_optProduct = m_productGroup->addArray(controls, QStringLiteral("optProduct"), vocabulary::ProductCount);
    m_optProduct[vocabulary::DefaultProductIndex]->setChecked(true);

    QMenu *edit = menuBar()->addMenu(QStringLiteral("Edit"));
    edit->setObjectName(QStringLiteral("Edit"));
    QAction *comsPort = edit->addAction(QStringLiteral("COM Port"), this, &MainWindow::ComsPort_Click);
    comsPort->setObjectName(QStringLiteral("ComsPort"));
    QMenu *help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help"));
    help->addAction(QStringLiteral("MD20/40"), this, &MainWindow::Help_MD20_40_Click)
        ->setObjectName(QStringLiteral("Help_MD20_40"));
    help->addAction(QStringLiteral("MD90"), this, &MainWindow::Help_MD90_Click)
        ->setObjectName(QStringLiteral("Help_MD90"));
    help->addAction(QStringLiteral("About"), this, &MainWindow::About_Click)
        ->setObjectName(QStringLiteral("About"));

    layout()->setSizeConstraint(QLayout::SetFixedSize);
    keepOnScreenWhenShown(this);
    // Also where no window manager hands out the focus, the keyboard works from the start.
    takeFocusWhenShown(this);

    connect(m_cmdSend1, &QPushButton::clicked, this, &MainWindow::cmdSend1_Click);
    connect(m_cmdSend2, &QPushButton::clicked, this, &MainWindow::cmdSend2_Click);
    connect(m_cmdQuit, &QPushButton::clicked, this, &MainWindow::cmdQuit_Click);
    connect(m_cmbNmeaID, &QComboBox::currentIndexChanged, this, &MainWindow::cmbNmeaID_Click);
    for (const auto &[name, list] : mainLists())
        connect(qobject_cast<QComboBox *>(controls.value(name)), &QComboBox::currentIndexChanged, this,
                &MainWindow::updatePreviews);
    connect(m_productGroup, &QButtonGroup::idToggled, this, &MainWindow::updatePreviews);
}

MainWindow::~MainWindow() = default;

void MainWindow::Form_Load(const QString &programDir)
{
    m_program.ProgramVersion = app::ProgramVersionText;
    setWindowTitle(app::mainWindowTitle(m_program));
    app::loadProgram(m_program, programDir);
    refreshPortLabel();
    m_optProduct[m_program.ProductIndex]->setChecked(true);
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

    fillLists();
    updatePreviews();
}

void MainWindow::fillLists()
{
    for (const auto &[name, list] : mainLists())
        fillList(findChild<QComboBox *>(name), list);
}

void MainWindow::refreshPortLabel()
{
    m_lblCommsPort->setText(portLabel(m_program.ComPortNumber));
    fitCaption(m_lblCommsPort, Kind::Label);
}

int MainWindow::selectedProduct() const
{
    return m_productGroup->checkedId();
}

const vocabulary::Product &MainWindow::chosenProduct() const
{
    // Only a selected option that takes the icon byte adds one; with none selected no frame carries one.
    const int selected = selectedProduct();
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
    m_cboXDR->setVisible(m_cmbNmeaID->currentIndex() == vocabulary::XdrPosition);
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
    frame::Configuration c;
    c.icon = icon;
    if (kind == Sentence::Standard) {
        c.location = vocabulary::shownNumber(List::MemoryLocation1, m_cboMemoryLocation1->currentIndex());
        c.what = frame::Standard{m_cmbNmeaTalker->currentIndex(), m_cmbNmeaID->currentIndex(),
                                 vocabulary::shownNumber(List::Commas, m_cmbNmeaCommas->currentIndex()),
                                 m_cboXDR->currentIndex()};
    } else {
        c.location = vocabulary::shownNumber(List::MemoryLocation2, m_cboMemoryLocation2->currentIndex());
        c.what = frame::Instrument{m_cboVmInstrumentID->currentIndex()};
    }
    return c;
}

void MainWindow::send(Sentence kind)
{
    // The window is disabled while a send runs; this also holds for a press that reaches us another way.
    if (m_busy || !m_frmComms)
        return;
    m_busy = true;
    // Whatever the outcome, the keyboard is back on the button that was pressed, never on an option that
    // one Space would select.
    QPushButton *pressed = kind == Sentence::Standard ? m_cmdSend1 : m_cmdSend2;
    const auto idle = qScopeGuard([this, pressed] {
        m_busy = false;
        takeFocus(this, pressed);
    });

    placeDialogs();
    runIconStep();
    const vocabulary::Product &product = chosenProduct();
    const frame::Configuration configuration = readConfiguration(kind, m_program.IconIndex);
    if (const frame::EncodeError missing = frame::encode(configuration, product, m_program.SentenceBytes)) {
        showText(this, app::NothingSentTitle, app::nothingSentText(*missing), true);
        return;
    }
    m_program.IconIndex = std::int16_t(frame::iconSent(configuration, product));
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
    const frame::SendReport report = frame::send(m_port, frame::ComPort{m_program.ComPortNumber},
                                                 m_program.SentenceBytes, events, m_program.pacing);
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
    // The menu is not a keyboard stop of the window: Accept brings the focus back to the control that had
    // it.
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
    const std::optional<QString> failure = app::quitProgram(m_program, selectedProduct(), m_port);
    refreshPortLabel();
    if (failure) {
        showText(this, app::NotSavedTitle,
                 app::notSavedText(QDir::toNativeSeparators(m_program.settingsLocation.writePath), *failure),
                 true);
    }
    endProgram();
}

void MainWindow::endProgram()
{
    if (m_frmProgress)
        m_frmProgress->hide();
    if (m_frmIcons)
        m_frmIcons->hide();
    if (m_frmComms)
        m_frmComms->hide();
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
    const vocabulary::Product &product = chosenProduct();
    for (Sentence kind : {Sentence::Standard, Sentence::Proprietary}) {
        // A copy of everything a send would touch: the preview changes no program-wide value.
        frame::SentenceBytes s;
        const frame::Configuration c = readConfiguration(kind, qMax(0, m_frmIcons->selectedIndex()));
        const frame::EncodeError missing = frame::encode(c, product, s);
        const QString tip =
            missing ? QStringLiteral("Choose an entry in the \"%1\" list to send.")
                          .arg(vocabulary::listCaption(*missing))
                    : QStringLiteral("Sends ten times: %1").arg(frame::toHex(frame::sendFrames(s).first()));
        (kind == Sentence::Standard ? m_cmdSend1 : m_cmdSend2)->setToolTip(tip);
    }
}

} // namespace ui
