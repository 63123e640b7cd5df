#include "ui/mainwindow.h"

#include "app/texts.h"
#include "frame/configuration.h"
#include "serial/portopener.h"
#include "ui/accessibility.h"
#include "ui/choicecombo.h"
#include "ui/keyboard.h"
#include "ui/placement.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
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

namespace {

// The standard message box, except that it never wraps a line: the help texts are laid out line by line with
// leading blanks, and a wrapped line would break their wiring tables apart.
class TextBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent *event) override
    {
        // The box wraps a text wider than half the screen or 500 pixels; as wide as its longest line, its
        // label has nothing left to wrap.
        if (auto *label = findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
            label->setWordWrap(false);
            label->setMinimumWidth(label->sizeHint().width());
        }
        QMessageBox::showEvent(event);
    }
};

} // namespace

QString portLabel(int comPortNumber)
{
    return QStringLiteral("COM Port = ") + serial::signPosition(comPortNumber);
}

// The product option rows below stand one beneath the other; a product added to the table needs its row.
static_assert(vocabulary::ProductCount == 3, "one optProduct row per product");

// The lists are named by the labels above them; the transducer type list has none of its own.
static void nameControls(const QHash<QString, QWidget *> &controls)
{
    nameByLabels(controls, {{"lblNmeaTalker", "cmbNmeaTalker"},
                            {"lblNmeaID", "cmbNmeaID"},
                            {"lblNmeaCommas", "cmbNmeaCommas"},
                            {"lblMemoryLocation1", "cboMemoryLocation1"},
                            {"lblVmInstrumentID", "cboVmInstrumentID"},
                            {"lblMemoryLocation2", "cboMemoryLocation2"}});
    controls.value(QStringLiteral("cboXDR"))->setAccessibleName(QStringLiteral("Transducer type"));
}

const QList<ControlSpec> &mainWindowLayout()
{
    static const QList<ControlSpec> table = {
        {"fraProductID", Kind::Frame, "Product ID", {}, 150, 240, 2835, 1575, 0},
        {"fraNmea", Kind::Frame, "Standard NMEA 0183 Sentences", {}, 3240, 240, 6550, 1575, 4},
        {"fraComPort", Kind::Frame, "", {}, 150, 1920, 2835, 615, 14},
        {"fraVelmora",
         Kind::Frame,
         "Velmora $PVLM Proprietary NMEA 0183 Sentences",
         {},
         3240,
         1920,
         6550,
         1335,
         17},
        {"cmdQuit", Kind::CommandButton, "Quit", {}, 150, 2760, 2835, 500, 13},

        {"optProduct(0)", Kind::OptionButton, vocabulary::Products[0].caption, "fraProductID", 240, 360, 1215,
         375, 1},
        {"optProduct(1)", Kind::OptionButton, vocabulary::Products[1].caption, "fraProductID", 240, 720, 2175,
         375, 2},
        {"optProduct(2)", Kind::OptionButton, vocabulary::Products[2].caption, "fraProductID", 240, 1080,
         2175, 375, 3},

        {"lblCommsPort", Kind::Label, "COM Port = 0", "fraComPort", 840, 240, 1095, 255, 15},

        {"lblNmeaTalker", Kind::Label, "Talker ID", "fraNmea", 210, 300, 675, 255, 10},
        {"lblNmeaID", Kind::Label, "Indentifier", "fraNmea", 1650, 300, 705, 255, 9},
        {"lblNmeaCommas", Kind::Label, "Commas", "fraNmea", 3045, 300, 630, 255, 8},
        {"lblMemoryLocation1", Kind::Label, "Memory Location", "fraNmea", 3900, 300, 1335, 255, 12},
        {"cmbNmeaTalker", Kind::ComboBox, "AG", "fraNmea", 120, 645, 850, 315, 7},
        {"cmbNmeaID", Kind::ComboBox, "AAM", "fraNmea", 1350, 645, 1300, 315, 6},
        {"cmbNmeaCommas", Kind::ComboBox, "1", "fraNmea", 3000, 645, 735, 315, 5},
        {"cboMemoryLocation1", Kind::ComboBox, "1", "fraNmea", 3960, 645, 1215, 315, 11},
        {"cmdSend1", Kind::CommandButton, "Send", "fraNmea", 5280, 645, 1155, 315, 16},
        {"cboXDR", Kind::ComboBox, "A - Amps", "fraNmea", 1350, 1080, 5100, 315, 23},

        {"lblVmInstrumentID", Kind::Label, "Velmora Instrument", "fraVelmora", 1560, 480, 1335, 255, 22},
        {"lblMemoryLocation2", Kind::Label, "Memory Location", "fraVelmora", 3900, 480, 1335, 255, 20},
        {"cboVmInstrumentID", Kind::ComboBox, "WX20/40 WINDLASS BATTERY VOLTAGE", "fraVelmora", 120, 825,
         3735, 315, 21},
        {"cboMemoryLocation2", Kind::ComboBox, "1", "fraVelmora", 3960, 825, 1215, 315, 19},
        {"cmdSend2", Kind::CommandButton, "Send", "fraVelmora", 5280, 825, 1155, 315, 18},
    };
    return table;
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
    nameControls(controls);

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
    for (QComboBox *list : {m_cmbNmeaTalker, m_cmbNmeaID, m_cmbNmeaCommas, m_cboMemoryLocation1, m_cboXDR,
                            m_cboVmInstrumentID, m_cboMemoryLocation2})
        connect(list, &QComboBox::currentIndexChanged, this, &MainWindow::updatePreviews);
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
    const QPoint corner = positionTwips(this);
    moveTwips(m_frmComms.get(), corner.x() + 1000, corner.y() + 1000);
    m_frmComms->Form_Load(m_program.ComPortNumber);
    moveTwips(m_frmIcons.get(), corner.x() + 1000, corner.y() + 1000);
    connect(m_frmComms.get(), &PortDialog::accepted, this, &MainWindow::cmdCommsAccept_Click);
    connect(m_frmIcons.get(), &IconDialog::continued, this, &MainWindow::cmdIconsContinue_Click);
    connect(m_frmIcons.get(), &IconDialog::selectionChanged, this, &MainWindow::updatePreviews);

    fillLists();
    updatePreviews();
}

void MainWindow::fillLists()
{
    const QList<QPair<QComboBox *, List>> lists = {{m_cmbNmeaTalker, List::Talker},
                                                   {m_cmbNmeaID, List::Identifier},
                                                   {m_cmbNmeaCommas, List::Commas},
                                                   {m_cboMemoryLocation1, List::MemoryLocation1},
                                                   {m_cboXDR, List::Xdr},
                                                   {m_cboVmInstrumentID, List::Instrument},
                                                   {m_cboMemoryLocation2, List::MemoryLocation2}};
    for (const auto &[combo, list] : lists) {
        {
            // The selection is set only once every entry is in, so its handler sees the whole list.
            const QSignalBlocker blocker(combo);
            combo->clear();
            combo->addItems(vocabulary::entries(list));
            combo->setCurrentIndex(-1);
        }
        combo->setCurrentIndex(0);
    }
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
        showText(QStringLiteral("Nothing sent"),
                 QStringLiteral(
                     "No entry is chosen in the \"%1\" list.\r\n\r\nPlease choose one of its entries and "
                     "press Send again.")
                     .arg(vocabulary::listCaption(*missing)),
                 true);
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

bool MainWindow::OpenComPort()
{
    const auto ask = [this](const QString &prompt) -> std::optional<QString> {
        QInputDialog box(this);
        box.setObjectName(QStringLiteral("communicationsError"));
        box.setWindowTitle(QStringLiteral("Communications Error"));
        box.setInputMode(QInputDialog::TextInput);
        box.setLabelText(displayText(prompt));
        box.setTextValue(QStringLiteral("0"));
        box.setWindowModality(Qt::ApplicationModal);
        takeFocusWhenShown(&box);
        if (box.exec() != QDialog::Accepted)
            return std::nullopt;
        return box.textValue();
    };
    const auto changed = [this](std::int16_t number) { setComPortNumber(number); };
    return serial::OpenComPort(m_port, m_program.ComPortNumber, ask, changed);
}

void MainWindow::TransmitSentence()
{
    // Cancel at the port prompt abandons this send: nothing would reach the display, so nothing pretends to.
    if (!OpenComPort())
        return;
    setEnabled(false);
    if (!m_frmProgress) {
        m_frmProgress = std::make_unique<ProgressWindow>();
        m_frmProgress->setOwner(this);
    }
    m_frmProgress->ProgressBar1()->setValue(0);
    m_frmProgress->setWindowTitle(QStringLiteral("Sending new sentence..."));
    m_frmProgress->show();

    frame::Transmitter transmitter(m_port, m_program.pacing);
    const std::optional<QString> failure = transmitter.TransmitSentence(
        m_program.SentenceBytes, [this](int value) { m_frmProgress->ProgressBar1()->setValue(value); });

    m_frmProgress->hide();
    setEnabled(true);
    if (failure) {
        showText(
            QStringLiteral("Sentence not sent"),
            QStringLiteral("The sentence was not sent: the serial port failed during the transfer.\r\n\r\n%1"
                           "\r\n\r\nCheck the cable and the serial adapter, then press Send again.")
                .arg(frame::failedAfter(*failure, transmitter.repetitionsSent())),
            true);
    }
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
    const std::optional<QString> failure = app::quitProgram(m_program, selectedProduct(), m_port);
    refreshPortLabel();
    if (failure) {
        showText(QStringLiteral("Settings not saved"),
                 QStringLiteral("The product and COM port could not be saved to\r\n%1\r\n\r\n%2")
                     .arg(QDir::toNativeSeparators(m_program.settingsLocation.writePath), *failure),
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
    showText(app::HelpMd2040Title, app::helpMd2040Text());
}

void MainWindow::Help_MD90_Click()
{
    showText(app::HelpMd90Title, app::helpMd90Text());
}

void MainWindow::About_Click()
{
    showText(app::AboutTitle, app::aboutText(m_program.ProgramVersion));
}

void MainWindow::showText(const QString &title, const QString &text, bool warning)
{
    TextBox box(warning ? QMessageBox::Warning : QMessageBox::NoIcon, title, displayText(text),
                QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    takeFocusWhenShown(&box);
    box.exec();
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
