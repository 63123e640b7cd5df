#include "ui/busmonitor.h"

#include "bus/fieldadvice.h"
#include "bus/lentport.h"
#include "serial/devicepath.h"
#include "serial/networkaddress.h"
#include "source/busopener.h"
#include "source/sourceaddress.h"
#include "ui/keyboard.h"
#include "ui/recorddialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

namespace ui {
namespace {

const QString AutoWord = QStringLiteral("Auto");

QTableView *makeTable(QWidget *parent, QAbstractItemModel *model, const QString &name)
{
    auto *t = new QTableView(parent);
    t->setModel(model);
    t->setObjectName(name);
    t->setAccessibleName(name);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->hide();
    t->horizontalHeader()->setStretchLastSection(true);
    // Tab moves on to the next control rather than through the cells.
    t->setTabKeyNavigation(false);
    return t;
}

QPushButton *makeButton(QWidget *parent, const QString &caption, const QString &name)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    b->setAutoDefault(false);
    pressWithEnter(b);
    return b;
}

QLabel *labelFor(QWidget *parent, const QString &caption, QWidget *control)
{
    auto *l = new QLabel(caption, parent);
    l->setBuddy(control);
    control->setAccessibleName(QString(caption).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    return l;
}

} // namespace

frame::Standard standardOf(const bus::Pick &pick)
{
    frame::Standard s;
    s.talker = vocabulary::findEntry(vocabulary::List::Talker, pick.talker);
    s.sentence = vocabulary::findEntry(vocabulary::List::Identifier, pick.identifier);
    s.field = pick.field;
    if (s.sentence == vocabulary::XdrPosition)
        s.type = vocabulary::findTransducerLetter(pick.xdrType);
    return s;
}

BusMonitor::BusMonitor(BusMonitorHost host)
    : SecondaryWindow(QStringLiteral("Bus monitor"), 12000, 7050), m_host(std::move(host)),
      m_listener([this](const QString &name, int baud, QString *why) {
          return serial::isNetworkAddress(name) ? m_networkOpener(name, baud, why)
                                                : lendPort(name, baud, why);
      })
{
    source::BusOpenerEvents events;
    // Reconnecting, "no data for N s": each names the source.
    events.notice = [this](const QString &text) { showStatus(serial::printable(text)); };
    m_networkOpener = source::busOpener(events);
    setObjectName(QStringLiteral("frmBusMonitor"));
    m_rows = new bus::RowModel(this);
    m_fields = new bus::FieldModel(this);
    m_transducers = new bus::QuadrupletModel(this);
    m_filter = new QSortFilterProxyModel(this);
    m_filter->setSourceModel(m_rows);
    m_filter->setFilterKeyColumn(-1);
    m_filter->setFilterCaseSensitivity(Qt::CaseInsensitive);
    makeControls();
    layOut();
    connectControls();
    updateCarry();
    fitColumns();
}

void BusMonitor::makeControls()
{
    m_cboSpeed = new QComboBox(this);
    m_cboSpeed->setObjectName(QStringLiteral("cboSpeed"));
    m_cboSpeed->addItems(bus::speedWords());
    m_cboSpeed->addItem(AutoWord);
    m_txtSource = new QLineEdit(this);
    m_txtSource->setObjectName(QStringLiteral("txtSource"));
    m_txtSource->setPlaceholderText(
        QStringLiteral("the main window's port, or tcp://HOST:PORT, udp://[ADDRESS:]PORT"));
    m_txtSource->setClearButtonEnabled(true);
    m_cmdStart = makeButton(this, QStringLiteral("Start"), QStringLiteral("cmdStart"));
    m_chkPause = new QCheckBox(QStringLiteral("Pause"), this);
    m_chkPause->setObjectName(QStringLiteral("chkPause"));
    m_chkPause->setAccessibleName(QStringLiteral("Pause"));
    m_cmdClear = makeButton(this, QStringLiteral("Clear"), QStringLiteral("cmdClear"));
    m_cmdRecord = makeButton(this, QStringLiteral("Record…"), QStringLiteral("cmdRecord"));
    m_txtFilter = new QLineEdit(this);
    m_txtFilter->setObjectName(QStringLiteral("txtFilter"));
    m_txtFilter->setClearButtonEnabled(true);
    m_lblStatus = new QLabel(QStringLiteral("Press Start to read the bus."), this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setWordWrap(true);
    m_lblBanner = new QLabel(this);
    m_lblBanner->setObjectName(QStringLiteral("lblBanner"));
    m_cmdTrySpeed = makeButton(this, QStringLiteral("Try %1").arg(bus::otherSpeed(bus::DefaultSpeed)),
                               QStringLiteral("cmdTrySpeed"));
    m_rowTable = makeTable(this, m_filter, QStringLiteral("Sentences on the bus"));
    m_lblWarning = new QLabel(this);
    m_lblWarning->setObjectName(QStringLiteral("lblWarning"));
    m_lblWarning->setWordWrap(true);
    m_fieldTable = makeTable(this, m_fields, QStringLiteral("Fields"));
    m_transducerTable = makeTable(this, m_transducers, QStringLiteral("Transducers"));
    m_cmdUseMain = makeButton(this, QStringLiteral("Use in main window"), QStringLiteral("cmdUseMain"));
    m_spnPlanRow = new QSpinBox(this);
    m_spnPlanRow->setObjectName(QStringLiteral("spnPlanRow"));
    m_spnPlanRow->setRange(1, 10);
    m_cmdUsePlan = makeButton(this, QStringLiteral("Use in plan row 1"), QStringLiteral("cmdUsePlan"));
    m_lblCarry = new QLabel(this);
    m_lblCarry->setObjectName(QStringLiteral("lblCarry"));
    m_lblCarry->setWordWrap(true);
    m_cmdClose = makeButton(this, QStringLiteral("Close"), QStringLiteral("cmdClose"));
}

void BusMonitor::layOut()
{
    auto *source = new QHBoxLayout;
    source->addWidget(labelFor(this, QStringLiteral("S&ource:"), m_txtSource));
    source->addWidget(m_txtSource, 1);
    auto *controls = new QHBoxLayout;
    controls->addWidget(labelFor(this, QStringLiteral("&Speed:"), m_cboSpeed));
    controls->addWidget(m_cboSpeed);
    controls->addWidget(m_cmdStart);
    controls->addWidget(m_chkPause);
    controls->addWidget(m_cmdClear);
    controls->addWidget(m_cmdRecord);
    controls->addWidget(labelFor(this, QStringLiteral("&Filter:"), m_txtFilter));
    controls->addWidget(m_txtFilter, 1);
    auto *banner = new QHBoxLayout;
    banner->addWidget(m_lblBanner, 1);
    banner->addWidget(m_cmdTrySpeed);
    auto *details = new QHBoxLayout;
    details->addWidget(m_fieldTable, 1);
    details->addWidget(m_transducerTable, 2);
    auto *carry = new QHBoxLayout;
    carry->addWidget(m_cmdUseMain);
    carry->addWidget(labelFor(this, QStringLiteral("Plan &row:"), m_spnPlanRow));
    carry->addWidget(m_spnPlanRow);
    carry->addWidget(m_cmdUsePlan);
    carry->addWidget(m_lblCarry, 1);
    carry->addWidget(m_cmdClose);
    auto *all = new QVBoxLayout(this);
    all->addLayout(source);
    all->addLayout(controls);
    all->addWidget(m_lblStatus);
    all->addLayout(banner);
    all->addWidget(m_rowTable, 3);
    all->addWidget(m_lblWarning);
    all->addLayout(details, 2);
    all->addLayout(carry);
    m_lblBanner->hide();
    m_cmdTrySpeed->hide();
    m_transducerTable->hide();

    // Keyboard order follows the window from top left to bottom right.
    QWidget *order[] = {m_txtSource,       m_cboSpeed,   m_cmdStart,    m_chkPause,   m_cmdClear,
                        m_cmdRecord,       m_txtFilter,  m_cmdTrySpeed, m_rowTable,   m_fieldTable,
                        m_transducerTable, m_cmdUseMain, m_spnPlanRow,  m_cmdUsePlan, m_cmdClose};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void BusMonitor::connectControls()
{
    m_timer.setInterval(RefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &BusMonitor::tick);
    connect(m_cmdStart, &QPushButton::clicked, this, [this] { running() ? stop() : start(); });
    connect(m_cboSpeed, &QComboBox::currentTextChanged, this,
            [this](const QString &t) { setSpeed(t == AutoWord ? source::AutoSpeed : t.toInt()); });
    // A network source has no line speed: the bridge sets it.
    connect(m_txtSource, &QLineEdit::textChanged, this, [this](const QString &t) {
        m_cboSpeed->setEnabled(t.trimmed().isEmpty());
        showSource();
    });
    connect(m_cmdTrySpeed, &QPushButton::clicked, this,
            [this] { m_cboSpeed->setCurrentText(QString::number(bus::otherSpeed(m_listener.baud()))); });
    connect(m_cmdClear, &QPushButton::clicked, this, &BusMonitor::clear);
    connect(m_cmdRecord, &QPushButton::clicked, this, &BusMonitor::record);
    connect(m_txtFilter, &QLineEdit::textChanged, m_filter, &QSortFilterProxyModel::setFilterFixedString);
    connect(m_rowTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &BusMonitor::selectRow);
    connect(m_fieldTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &BusMonitor::updateCarry);
    connect(m_transducerTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &BusMonitor::updateCarry);
    connect(m_spnPlanRow, &QSpinBox::valueChanged, this, &BusMonitor::updateCarry);
    connect(m_cmdUseMain, &QPushButton::clicked, this, &BusMonitor::useInMainWindow);
    connect(m_cmdUsePlan, &QPushButton::clicked, this, &BusMonitor::useInPlanRow);
    connect(m_cmdClose, &QPushButton::clicked, this, [this] {
        stop();
        m_listener.stopRecording();
        hide();
    });
}

BusMonitor::~BusMonitor() = default;

void BusMonitor::fitColumns()
{
    // Each column as wide as its head or a typical value, whichever is wider; the last sentence gets room
    // for a short one. The window opens wide enough for all of them, within the screen.
    QHeaderView *head = m_rowTable->horizontalHeader();
    const QFontMetrics metrics(m_rowTable->font());
    const int padding = 2 * metrics.averageCharWidth();
    const QStringList typical{QStringLiteral("WW"),     QStringLiteral("WWWW"),   QStringLiteral("C AIRTEMP"),
                              QStringLiteral("no"),     QStringLiteral("000000"), QStringLiteral("00.0/s"),
                              QStringLiteral("00.0 s"), QStringLiteral("0000"),   QStringLiteral("0000")};
    int width = 0;
    for (int c = 0; c < m_rows->columnCount() - 1; ++c) {
        const int wanted =
            std::max(head->sectionSizeHint(c), metrics.horizontalAdvance(typical.value(c)) + padding);
        head->resizeSection(c, wanted);
        width += wanted;
    }
    width += metrics.horizontalAdvance(QStringLiteral("$GPRMC,094737,A,5251.0093,N,00518.8170,E,5.6"));
    width += m_rowTable->verticalScrollBar()->sizeHint().width() + 2 * m_rowTable->frameWidth();
    width += layout()->contentsMargins().left() + layout()->contentsMargins().right();
    const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, width, height());
    if (width > this->width())
        setFixedWidth(std::min(width, area.width() - 20));
}

void BusMonitor::showEvent(QShowEvent *event)
{
    showSource();
    SecondaryWindow::showEvent(event);
}

void BusMonitor::showSource()
{
    // What the monitor reads: the network source typed, or else the main window's port, which may have
    // changed since the last time.
    const QString typed = m_txtSource->text().trimmed();
    const QString device = m_host.line ? m_host.line->devicePath() : QString();
    const QString shown = !typed.isEmpty()   ? typed
                          : device.isEmpty() ? QString()
                                             : serial::shownDevice(device);
    setWindowTitle(shown.isEmpty() ? QStringLiteral("Bus monitor - no port")
                                   : QStringLiteral("Bus monitor - %1").arg(shown));
}

QWidget *BusMonitor::initialFocus() const
{
    return m_cmdStart;
}

void BusMonitor::showStatus(const QString &text)
{
    m_lblStatus->setText(text);
}

std::unique_ptr<serial::ReceivePort> BusMonitor::lendPort(const QString &device, int baud, QString *why)
{
    serial::SerialPort *port = &m_host.line->port();
    // After a send the line is read as the send left it: a port it closed is not opened again unasked.
    const bool resuming = m_listener.paused();
    if (!port->isOpen() && !resuming && !port->open(device)) {
        *why = QStringLiteral("The port will not open: %1").arg(port->errorString());
        return nullptr;
    }
    if (!port->setReceiveSpeed(baud)) {
        *why = resuming ? QStringLiteral("After the send the port is closed: %1 Press Start to read again.")
                              .arg(port->errorString())
                        : QStringLiteral("The port refuses %1 baud: %2").arg(baud).arg(port->errorString());
        return nullptr;
    }
    port->readReceived(); // what waited in the port came before this start, or is the send's
    return std::make_unique<bus::LentPort>(*port);
}

void BusMonitor::start()
{
    if (running())
        return;
    const QString text = m_txtSource->text().trimmed();
    if (!text.isEmpty()) {
        startNetwork(text);
        return;
    }
    if (!m_host.line)
        return;
    if (const std::optional<QString> refused = m_host.line->claim(app::Holder::Monitor)) {
        showStatus(*refused);
        return;
    }
    auto release = qScopeGuard([this] { m_host.line->release(app::Holder::Monitor); });
    QString why;
    QString device;
    if (!m_host.line->port().isOpen()) {
        device = m_host.line->devicePath();
        if (device.isEmpty()) {
            showStatus(*m_host.line->whyNot());
            return;
        }
    }
    if (m_cboSpeed->currentText() == AutoWord) {
        // The port is opened as for reading (a port another program holds is refused here), then searched.
        if (!lendPort(device, bus::DefaultSpeed, &why)) {
            showStatus(why);
            return;
        }
        m_search = std::make_unique<source::LentSpeedSearch>();
        showStatus(QStringLiteral("Finding the bus speed…"));
    } else if (!m_listener.start(device, m_listener.baud(), &why)) {
        showStatus(why);
        return;
    } else {
        showStatus(QStringLiteral("Reading the bus at %1 baud, 8N1.").arg(m_listener.baud()));
    }
    release.dismiss();
    m_claimed = true;
    showRunning(true);
    m_timer.start();
}

void BusMonitor::startNetwork(const QString &text)
{
    QString why;
    const std::optional<source::SourceAddress> address =
        serial::isNetworkAddress(text) ? source::parseSourceAddress(text, &why) : std::nullopt;
    if (!address) {
        // Not tried, not claimed: only what was written is wrong.
        showStatus(why.isEmpty()
                       ? QStringLiteral("%1: not a network source; write tcp://HOST:PORT or "
                                        "udp://[ADDRESS:]PORT, or nothing for the main window's port.")
                             .arg(serial::printable(text))
                       : why);
        return;
    }
    // Read-only and not on the main window's line: a send neither waits for it nor pauses it.
    if (!m_listener.start(text, bus::DefaultSpeed, &why)) {
        showStatus(serial::printable(why));
        return;
    }
    m_networkSource = address->shown();
    showRunning(true);
    showStatus(QStringLiteral("Reading the bus from %1, read-only.").arg(serial::printable(m_networkSource)));
    m_timer.start();
}

void BusMonitor::serveSearch()
{
    serial::SerialPort &port = m_host.line->port();
    if (m_host.line->holder() != app::Holder::Monitor || !port.isOpen()) {
        const QString why =
            port.isOpen()
                ? QStringLiteral("A send took the port: no speed was found. Press Start to search again.")
                : QStringLiteral("The port closed: %1 Press Start to read again.").arg(port.errorString());
        stop();
        showStatus(why);
        return;
    }
    const std::optional<source::SpeedFound> found = m_search->serve(
        [&port](int baud, QString *why) {
            if (port.setReceiveSpeed(baud))
                return true;
            *why = QStringLiteral("The port refuses %1 baud: %2").arg(baud).arg(port.errorString());
            return false;
        },
        [&port] { return port.readReceived(); });
    if (!found)
        return;
    m_search.reset();
    QString why;
    if (found->baud == 0 || !m_listener.setSpeed(found->baud, &why) ||
        !m_listener.start(QString(), found->baud, &why)) {
        stop();
        showStatus(QStringLiteral("No bus speed found: %1").arg(found->baud == 0 ? found->reason : why));
        return;
    }
    showStatus(QStringLiteral("Reading the bus at %1 baud, 8N1. Speed found: %2.")
                   .arg(found->baud)
                   .arg(found->reason));
}

void BusMonitor::showRunning(bool running)
{
    const QString caption = running ? QStringLiteral("Stop") : QStringLiteral("Start");
    m_cmdStart->setText(caption);
    m_cmdStart->setAccessibleName(caption);
    m_txtSource->setEnabled(!running);
}

void BusMonitor::stop()
{
    m_search.reset();
    if (m_claimed && m_host.line)
        m_host.line->release(app::Holder::Monitor);
    m_claimed = false;
    m_networkSource.clear();
    m_timer.stop();
    m_listener.stop();
    showRunning(false);
    showStatus(QStringLiteral("Stopped."));
}

void BusMonitor::tick()
{
    if (m_search) {
        serveSearch();
        return;
    }
    if (!m_listener.listening())
        return;
    const bool network = !m_networkSource.isEmpty();
    if (!network && !m_host.line)
        return;
    if (!network && m_host.line->holder() != app::Holder::Monitor) {
        // The send has the port; what comes in meanwhile may be at the send's speed, so it is not read.
        if (!m_listener.paused()) {
            m_listener.pause();
            showStatus(QStringLiteral("A send is using the port: the monitor resumes after it."));
        }
        return;
    }
    QString why;
    if (!network && m_listener.paused()) {
        if (!m_listener.resume(&why)) {
            stop();
            showStatus(why);
            return;
        }
        showStatus(QStringLiteral("Reading the bus at %1 baud, 8N1 (resumed after the send).")
                       .arg(m_listener.baud()));
    }
    const bus::Listener::Step step = m_listener.poll(0);
    if (step.failed) {
        const QString failure = serial::printable(m_listener.failure());
        stop();
        showStatus(network ? QStringLiteral("The source stopped: %1 Press Start to read again.").arg(failure)
                           : QStringLiteral("The port closed: %1 Press Start to read again.").arg(failure));
        return;
    }
    if (step.recordingFailed) {
        showStatus(serial::printable(m_listener.recorder().error()));
        m_listener.stopRecording();
        m_cmdRecord->setText(QStringLiteral("Record…"));
    }
    // Paused: the view keeps what it showed while counting goes on.
    if (!m_chkPause->isChecked()) {
        refreshViews();
        updateCarry();
    }
    updateBanner();
}

void BusMonitor::refreshViews()
{
    const bus::Snapshot table = m_listener.snapshot();
    m_rows->refresh(table);
    m_fields->refresh(table);
    m_transducers->refresh(table);
}

void BusMonitor::updateBanner()
{
    const bool wrong = m_listener.monitor().speed().looksWrong();
    const QString tryOther = QStringLiteral("Try %1").arg(bus::otherSpeed(m_listener.baud()));
    m_lblBanner->setText(
        QStringLiteral("This looks like the wrong speed: most of what comes in is not text."));
    m_cmdTrySpeed->setText(tryOther);
    m_cmdTrySpeed->setAccessibleName(tryOther);
    m_lblBanner->setVisible(wrong);
    // A network source has no line speed to try.
    m_cmdTrySpeed->setVisible(wrong && m_networkSource.isEmpty());
}

void BusMonitor::setSpeed(int baud)
{
    if (baud == source::AutoSpeed) {
        // Chosen while reading the main window's port: the search starts now; otherwise at Start.
        if (m_listener.listening() && m_networkSource.isEmpty()) {
            stop();
            start();
        }
        return;
    }
    if (m_search) {
        // Another speed chosen during the search: it ends, and that speed is read.
        QString unused;
        m_listener.setSpeed(baud, &unused);
        stop();
        start();
        return;
    }
    const bool reading = m_listener.listening() && !m_listener.paused();
    QString why;
    if (!m_listener.setSpeed(baud, &why)) {
        stop();
        showStatus(why);
        return;
    }
    if (reading)
        showStatus(QStringLiteral("Reading the bus at %1 baud, 8N1.").arg(baud));
}

void BusMonitor::selectRow()
{
    const QModelIndex current = m_filter->mapToSource(m_rowTable->selectionModel()->currentIndex());
    const std::optional<bus::RowRef> ref = m_rows->refAt(current.row());
    m_fields->show(ref);
    m_transducers->show(ref);
    const bus::SentenceRow *row = ref ? m_rows->table().row(ref->key) : nullptr;
    m_transducerTable->setVisible(row && bus::isXdr(row->last));
    if (row && row->alternates()) {
        QStringList labels;
        for (const bus::VariantRow &v : row->variants)
            labels << v.label;
        m_lblWarning->setText(QStringLiteral("Warning: %1 %2 %3 (%4).")
                                  .arg(row->talker, row->identifier, QLatin1String(bus::AlternatesText),
                                       labels.join(QStringLiteral("; "))));
    } else {
        m_lblWarning->clear();
    }
    updateCarry();
}

std::optional<bus::Pick> BusMonitor::currentPick() const
{
    const QModelIndex current = m_filter->mapToSource(m_rowTable->selectionModel()->currentIndex());
    const std::optional<bus::RowRef> ref = m_rows->refAt(current.row());
    const bus::VariantRow *v = ref ? bus::variantAt(m_rows->table(), *ref) : nullptr;
    if (!v)
        return std::nullopt;
    bus::Pick pick{v->last.talker, v->last.identifier, 0, {}, v->last.proprietary};
    if (bus::isXdr(v->last)) {
        const std::optional<bus::Quadruplet> q =
            m_transducers->quadrupletAt(m_transducerTable->selectionModel()->currentIndex().row());
        if (q) {
            pick.field = q->valueField();
            pick.xdrType = q->type;
        }
    } else if (m_fieldTable->selectionModel()->currentIndex().isValid()) {
        pick.field = m_fields->fieldAt(m_fieldTable->selectionModel()->currentIndex().row());
    }
    return pick;
}

void BusMonitor::updateCarry()
{
    const std::optional<bus::Pick> pick = currentPick();
    const QString why = bus::whyNotUsable(pick).value_or(QString());
    const bool usable = why.isEmpty();
    m_cmdUseMain->setEnabled(usable);
    m_cmdUseMain->setToolTip(usable ? bus::pickText(*pick) : why);
    const QString planCaption = QStringLiteral("Use in plan row %1").arg(m_spnPlanRow->value());
    m_cmdUsePlan->setText(planCaption);
    m_cmdUsePlan->setAccessibleName(planCaption);
    const bool planOpen = m_host.useInPlanRow && (!m_host.planOpen || m_host.planOpen());
    const QString planWhy = !usable    ? why
                            : planOpen ? QString()
                                       : QStringLiteral("No plan is open: Display > Plan… opens one.");
    m_cmdUsePlan->setEnabled(planWhy.isEmpty());
    m_cmdUsePlan->setToolTip(planWhy.isEmpty() ? bus::pickText(*pick) : planWhy);
    m_lblCarry->setText(usable ? bus::pickText(*pick) + (m_lblWarning->text().isEmpty()
                                                             ? QString()
                                                             : QStringLiteral(": alternates"))
                               : why);
}

void BusMonitor::useInMainWindow()
{
    const std::optional<bus::Pick> pick = currentPick();
    if (!pick || bus::whyNotOffered(*pick) || !m_host.useInMainWindow)
        return;
    m_host.useInMainWindow(standardOf(*pick));
    showStatus(QStringLiteral("Set in the main window: %1.").arg(bus::pickText(*pick)));
}

void BusMonitor::useInPlanRow()
{
    const std::optional<bus::Pick> pick = currentPick();
    if (!pick || bus::whyNotOffered(*pick) || !m_host.useInPlanRow)
        return;
    const int row = m_spnPlanRow->value();
    if (const std::optional<QString> refused = m_host.useInPlanRow(row, standardOf(*pick)))
        showStatus(QStringLiteral("Plan row %1 did not take it: %2").arg(row).arg(*refused));
    else
        showStatus(QStringLiteral("Set in plan row %1: %2.").arg(row).arg(bus::pickText(*pick)));
}

void BusMonitor::record()
{
    const bus::Recorder &recorder = m_listener.recorder();
    if (recorder.isOpen()) {
        m_listener.stopRecording();
        m_cmdRecord->setText(QStringLiteral("Record…"));
        showStatus(QStringLiteral("Recorded %1 bytes into %2.")
                       .arg(recorder.written())
                       .arg(serial::printable(recorder.path())));
        return;
    }
    RecordDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted || dialog.chosenFile().isEmpty())
        return;
    const QString path = dialog.chosenFile();
    const QString device = !m_networkSource.isEmpty() ? m_networkSource
                           : m_host.line              ? serial::shownDevice(m_host.line->devicePath())
                                                      : QString();
    if (const std::optional<QString> refused = m_listener.record(path, device, dialog.limit(), true)) {
        showStatus(QStringLiteral("Not recording: %1").arg(serial::printable(*refused)));
        return;
    }
    m_cmdRecord->setText(QStringLiteral("Stop recording"));
    showStatus(QStringLiteral("Recording into %1.").arg(serial::printable(path)));
}

void BusMonitor::clear()
{
    m_listener.clear();
    refreshViews();
    m_lblWarning->clear();
    updateBanner();
    updateCarry();
}

} // namespace ui
