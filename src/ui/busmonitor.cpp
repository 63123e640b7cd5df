#include "ui/busmonitor.h"

#include "bus/lentport.h"
#include "serial/devicepath.h"
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

QString pickText(const bus::Pick &p)
{
    QString text = QStringLiteral("%1 %2 field %3").arg(p.talker, p.identifier).arg(p.field);
    if (!p.xdrType.isEmpty())
        text += QStringLiteral(" type %1").arg(p.xdrType);
    return text;
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
      m_listener(
          [this](const QString &device, int baud, QString *why) { return lendPort(device, baud, why); })
{
    setObjectName(QStringLiteral("frmBusMonitor"));
    m_rows = new bus::RowModel(m_listener.monitor(), this);
    m_fields = new bus::FieldModel(m_listener.monitor(), this);
    m_transducers = new bus::QuadrupletModel(m_listener.monitor(), this);
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
    QWidget *order[] = {m_cboSpeed,   m_cmdStart,    m_chkPause,   m_cmdClear,   m_cmdRecord,
                        m_txtFilter,  m_cmdTrySpeed, m_rowTable,   m_fieldTable, m_transducerTable,
                        m_cmdUseMain, m_spnPlanRow,  m_cmdUsePlan, m_cmdClose};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void BusMonitor::connectControls()
{
    m_timer.setInterval(RefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &BusMonitor::tick);
    connect(m_cmdStart, &QPushButton::clicked, this, [this] { running() ? stop() : start(); });
    connect(m_cboSpeed, &QComboBox::currentTextChanged, this,
            [this](const QString &t) { setSpeed(t.toInt()); });
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
    // Which port the monitor reads: the main window's, which may have changed since the last time.
    const QString device = m_host.line ? m_host.line->devicePath() : QString();
    setWindowTitle(device.isEmpty() ? QStringLiteral("Bus monitor - no port")
                                    : QStringLiteral("Bus monitor - %1").arg(serial::shownDevice(device)));
    SecondaryWindow::showEvent(event);
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
    if (!m_host.line || m_listener.listening())
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
    if (!m_listener.start(device, m_listener.baud(), &why)) {
        showStatus(why);
        return;
    }
    release.dismiss();
    m_cmdStart->setText(QStringLiteral("Stop"));
    m_cmdStart->setAccessibleName(QStringLiteral("Stop"));
    showStatus(QStringLiteral("Reading the bus at %1 baud, 8N1.").arg(m_listener.baud()));
    m_timer.start();
}

void BusMonitor::stop()
{
    if (m_listener.listening() && m_host.line)
        m_host.line->release(app::Holder::Monitor);
    m_timer.stop();
    m_listener.stop();
    m_cmdStart->setText(QStringLiteral("Start"));
    m_cmdStart->setAccessibleName(QStringLiteral("Start"));
    showStatus(QStringLiteral("Stopped."));
}

void BusMonitor::tick()
{
    if (!m_listener.listening() || !m_host.line)
        return;
    if (m_host.line->holder() != app::Holder::Monitor) {
        // The send has the port; what comes in meanwhile may be at the send's speed, so it is not read.
        if (!m_listener.paused()) {
            m_listener.pause();
            showStatus(QStringLiteral("A send is using the port: the monitor resumes after it."));
        }
        return;
    }
    QString why;
    if (m_listener.paused()) {
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
        stop();
        showStatus(
            QStringLiteral("The port closed: %1 Press Start to read again.").arg(m_listener.failure()));
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
    m_rows->refresh(m_listener.nowMs());
    m_fields->refresh();
    m_transducers->refresh();
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
    m_cmdTrySpeed->setVisible(wrong);
}

void BusMonitor::setSpeed(int baud)
{
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
    const bus::SentenceRow *row = ref ? m_listener.monitor().row(ref->key) : nullptr;
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
    const bus::VariantRow *v = ref ? bus::variantAt(m_listener.monitor(), *ref) : nullptr;
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
    QString why;
    if (!pick)
        why = QStringLiteral("Choose a sentence, then a field (for XDR a transducer), to use it.");
    else if (pick->field == 0 && !pick->proprietary)
        why = pick->identifier == QLatin1String("XDR")
                  ? QStringLiteral("Choose a transducer of %1 %2 to use it.")
                        .arg(pick->talker, pick->identifier)
                  : QStringLiteral("Choose a field of %1 %2 to use it.").arg(pick->talker, pick->identifier);
    else if (const std::optional<QString> notOffered = bus::whyNotOffered(*pick))
        why = QStringLiteral("Not in the lists: ") + *notOffered;
    const bool usable = why.isEmpty();
    m_cmdUseMain->setEnabled(usable);
    m_cmdUseMain->setToolTip(usable ? pickText(*pick) : why);
    const QString planCaption = QStringLiteral("Use in plan row %1").arg(m_spnPlanRow->value());
    m_cmdUsePlan->setText(planCaption);
    m_cmdUsePlan->setAccessibleName(planCaption);
    const bool planOpen = m_host.useInPlanRow && (!m_host.planOpen || m_host.planOpen());
    const QString planWhy = !usable    ? why
                            : planOpen ? QString()
                                       : QStringLiteral("No plan is open: Display > Plan… opens one.");
    m_cmdUsePlan->setEnabled(planWhy.isEmpty());
    m_cmdUsePlan->setToolTip(planWhy.isEmpty() ? pickText(*pick) : planWhy);
    m_lblCarry->setText(
        usable
            ? pickText(*pick) + (m_lblWarning->text().isEmpty() ? QString() : QStringLiteral(": alternates"))
            : why);
}

void BusMonitor::useInMainWindow()
{
    const std::optional<bus::Pick> pick = currentPick();
    if (!pick || bus::whyNotOffered(*pick) || !m_host.useInMainWindow)
        return;
    m_host.useInMainWindow(standardOf(*pick));
    showStatus(QStringLiteral("Set in the main window: %1.").arg(pickText(*pick)));
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
        showStatus(QStringLiteral("Set in plan row %1: %2.").arg(row).arg(pickText(*pick)));
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
    const QString device = m_host.line ? m_host.line->devicePath() : QString();
    if (const std::optional<QString> refused =
            m_listener.record(path, serial::shownDevice(device), dialog.limit(), true)) {
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
