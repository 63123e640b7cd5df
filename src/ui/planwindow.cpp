#include "ui/planwindow.h"

#include "plan/testpattern.h"
#include "serial/devicepath.h"
#include "serial/portmap.h"
#include "settings/recentplans.h"
#include "ui/adapterquestion.h"
#include "ui/choicecombo.h"
#include "ui/keyboard.h"
#include "ui/optiongroup.h"
#include "ui/placement.h"
#include "vocabulary/fields.h"
#include "vocabulary/programmingmode.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>

namespace ui {

using plan::RowKind;
using vocabulary::List;

namespace {

const QString FileFilter =
    QStringLiteral("Display plans (*.mdplan.toml);;TOML files (*.toml);;All files (*)");
const QString PlanEnding = QStringLiteral("mdplan.toml");
const QStringList KindCaptions = {QStringLiteral("not used"), QStringLiteral("standard sentence"),
                                  QStringLiteral("Velmora instrument")};

QPushButton *makeButton(const QString &caption, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setDefault(false);
    pressWithEnter(b);
    return b;
}

// A list as wide as its widest entry, so every entry reads whole in the closed box too.
QComboBox *makeList(const QStringList &entries, const QString &name, QWidget *parent)
{
    auto *box = new SearchCombo(parent);
    box->addItems(entries);
    box->setAccessibleName(name);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return box;
}

// Where a file dialog starts: the plan's own folder, or the home folder for a plan not saved yet (never the
// folder the program happened to be started in).
QString startFolder(const QString &planPath)
{
    return planPath.isEmpty() ? QDir::homePath() : QFileInfo(planPath).absolutePath();
}

int whichPage(RowKind kind)
{
    return kind == RowKind::Unused ? 0 : kind == RowKind::Standard ? 1 : 2;
}

} // namespace

PlanWindow::PlanWindow(app::Program &program, serial::SerialPort &port, MainChoices mainChoices)
    : PlanWindow(*new app::SerialLine(program, port), std::move(mainChoices))
{
    m_line.setParent(this);
}

PlanWindow::PlanWindow(app::SerialLine &line, MainChoices mainChoices)
    : m_program(line.program()), m_port(line.port()), m_line(line), m_mainChoices(std::move(mainChoices))
{
    // Another window's send has the line: this one takes no command until it is done.
    connect(&m_line, &app::SerialLine::holderChanged, this, [this](app::Holder holder) {
        setEnabled(!m_line.busy() || holder == app::Holder::PlanSend || holder == app::Holder::TestPattern);
    });
    connect(&m_line, &app::SerialLine::numberChanged, this, &PlanWindow::refreshPort);
    setObjectName(QStringLiteral("frmPlan"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/mdconfig.png")));
    auto *client = new QWidget(this);
    auto *column = new QVBoxLayout(client);
    column->addWidget(buildCommands());
    auto *scroll = new QScrollArea(client);
    scroll->setObjectName(QStringLiteral("rows"));
    scroll->setWidget(buildRows());
    scroll->setWidgetResizable(true);
    scroll->setFocusPolicy(Qt::NoFocus);
    column->addWidget(scroll, 1);
    m_message = new QLabel(client);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_message);
    setCentralWidget(client);
    buildMenu();

    // Wide enough for a row without scrolling where the screen allows; never larger than the screen.
    scroll->widget()->ensurePolished();
    scroll->widget()->layout()->activate();
    const int rowsWidth = scroll->widget()->layout()->sizeHint().width() +
                          scroll->verticalScrollBar()->sizeHint().width() + 2 * scroll->frameWidth();
    const QSize wanted(rowsWidth + 2 * column->contentsMargins().left(), 720);
    const QRect area =
        screen() ? screen()->availableGeometry() : QRect(0, 0, wanted.width(), wanted.height());
    resize(std::min(wanted.width(), area.width() - 20), std::min(wanted.height(), area.height() - 60));
    keepOnScreenWhenShown(this);
    takeFocusWhenShown(this);
    refreshAll();
}

PlanWindow::~PlanWindow() = default;

QWidget *PlanWindow::buildCommands()
{
    auto *box = new QWidget;
    auto *grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    // Checking and sending come first, for the keyboard too; each button has its own Alt letter.
    const QList<QPair<const char *, const char *>> sends = {{"&Check", "cmdCheck"},
                                                            {"Send A&ll", "cmdSendAll"},
                                                            {"S&top", "cmdStop"},
                                                            {"Send f&rom location 1", "cmdSendFrom"},
                                                            {"Test &display", "cmdTestDisplay"}};
    const QList<QPair<const char *, const char *>> files = {
        {"&New", "cmdNew"}, {"&Open…", "cmdOpen"}, {"&Save", "cmdSave"}, {"Save &As…", "cmdSaveAs"}};
    int column = 0;
    for (const auto &[caption, name] : sends + files) {
        QPushButton *b = makeButton(QString::fromUtf8(caption), QString::fromLatin1(name), box);
        m_buttons.insert(QString::fromLatin1(name), b);
        grid->addWidget(b, 0, column++);
    }
    connect(m_buttons[QStringLiteral("cmdNew")], &QPushButton::clicked, this, &PlanWindow::newPlan);
    connect(m_buttons[QStringLiteral("cmdOpen")], &QPushButton::clicked, this, &PlanWindow::openWithDialog);
    connect(m_buttons[QStringLiteral("cmdSave")], &QPushButton::clicked, this, &PlanWindow::save);
    connect(m_buttons[QStringLiteral("cmdSaveAs")], &QPushButton::clicked, this,
            &PlanWindow::saveAsWithDialog);
    connect(m_buttons[QStringLiteral("cmdCheck")], &QPushButton::clicked, this, &PlanWindow::check);
    connect(m_buttons[QStringLiteral("cmdSendAll")], &QPushButton::clicked, this, [this] { sendAll(); });
    connect(m_buttons[QStringLiteral("cmdStop")], &QPushButton::clicked, this, &PlanWindow::stop);
    connect(m_buttons[QStringLiteral("cmdSendFrom")], &QPushButton::clicked, this, &PlanWindow::sendFrom);
    connect(m_buttons[QStringLiteral("cmdTestDisplay")], &QPushButton::clicked, this,
            &PlanWindow::testDisplay);

    auto *products = new QGroupBox(QStringLiteral("Product ID"), box);
    products->setObjectName(QStringLiteral("fraProductID"));
    auto *productRow = new QHBoxLayout(products);
    QHash<QString, QWidget *> options;
    for (int p = 0; p < vocabulary::ProductCount; ++p) {
        const QString caption = QString::fromLatin1(vocabulary::Products[std::size_t(p)].caption);
        auto *option = new QRadioButton(caption, products);
        option->setAccessibleName(caption.simplified());
        const QString name = QStringLiteral("optProduct(%1)").arg(p);
        option->setObjectName(name);
        options.insert(name, option);
        productRow->addWidget(option);
    }
    m_productGroup = new OptionGroup(this);
    m_optProduct = m_productGroup->addArray(options, QStringLiteral("optProduct"), vocabulary::ProductCount);
    connect(m_productGroup, &QButtonGroup::idToggled, this, [this](int id, bool on) {
        if (!on || m_refreshing)
            return;
        m_editor.setProduct(id);
        refreshAll();
    });
    grid->addWidget(products, 1, 0, 1, 5);

    m_askBeforeEach = new QCheckBox(QStringLiteral("Ask &before each location"), box);
    m_askBeforeEach->setObjectName(QStringLiteral("chkAskBeforeEach"));
    m_askBeforeEach->setToolTip(
        QStringLiteral("For a display that leaves programming mode after each location: "
                       "the send waits for you to put it back (%1).")
            .arg(vocabulary::programmingModeHow()));
    grid->addWidget(m_askBeforeEach, 1, 5, 1, 4);

    m_progress = new QProgressBar(box);
    m_progress->setObjectName(QStringLiteral("progress"));
    m_progress->setAccessibleName(QStringLiteral("Progress"));
    m_progress->setTextVisible(true);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("not sending"));
    grid->addWidget(m_progress, 2, 0, 1, column);

    m_portLabel = new QLabel(box);
    m_portLabel->setObjectName(QStringLiteral("lblPort"));
    m_portLabel->setTextFormat(Qt::PlainText);
    grid->addWidget(m_portLabel, 3, 0, 1, column);
    return box;
}

// The row's two kinds of choices, one page each, after a blank page for a row not used.
void PlanWindow::buildChoices(Row &r, const QString &where, QWidget *area)
{
    r.what = new QStackedWidget(area);
    r.what->addWidget(new QWidget(r.what));
    auto *standard = new QWidget(r.what);
    auto *row = new QHBoxLayout(standard);
    row->setContentsMargins(0, 0, 0, 0);
    r.talker = makeList(vocabulary::entries(List::Talker), where + QStringLiteral(" Talker ID"), standard);
    r.sentence =
        makeList(vocabulary::entries(List::Identifier), where + QStringLiteral(" Identifier"), standard);
    r.field = makeList(vocabulary::entries(List::Commas), where + QStringLiteral(" Commas"), standard);
    r.type = makeList(vocabulary::entries(List::Xdr), where + QStringLiteral(" Transducer type"), standard);
    for (QComboBox *b : {r.talker, r.sentence, r.field, r.type})
        row->addWidget(b);
    row->addStretch(1);
    r.what->addWidget(standard);
    auto *instrument = new QWidget(r.what);
    auto *instrumentRow = new QHBoxLayout(instrument);
    instrumentRow->setContentsMargins(0, 0, 0, 0);
    r.instrument = makeList(vocabulary::entries(List::Instrument),
                            where + QStringLiteral(" Velmora Instrument"), instrument);
    instrumentRow->addWidget(r.instrument);
    instrumentRow->addStretch(1);
    r.what->addWidget(instrument);
    r.what->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

// What the row shows, what a send did, its faults and its warnings, on the lines below its choices.
void PlanWindow::buildRowTexts(Row &r, int n, QGridLayout *grid, int line, QWidget *area)
{
    r.shows = new QLabel(area);
    r.shows->setTextFormat(Qt::PlainText);
    grid->addWidget(r.shows, line + 1, 1, 1, 3);
    r.status = new QLabel(area);
    r.status->setTextFormat(Qt::PlainText);
    r.status->setWordWrap(true);
    grid->addWidget(r.status, line + 1, 4, 1, 2);
    r.faults = new QLabel(area);
    r.faults->setTextFormat(Qt::PlainText);
    r.faults->setWordWrap(true);
    r.faults->setTextInteractionFlags(Qt::TextSelectableByMouse);
    r.faults->setStyleSheet(QStringLiteral("color: #b00000"));
    grid->addWidget(r.faults, line + 2, 1, 1, 5);
    r.warnings = new QLabel(area);
    r.warnings->setObjectName(QStringLiteral("lblWarnings(%1)").arg(n));
    r.warnings->setTextFormat(Qt::PlainText);
    r.warnings->setWordWrap(true);
    r.warnings->setTextInteractionFlags(Qt::TextSelectableByMouse);
    r.warnings->setStyleSheet(QStringLiteral("color: #8a4b00"));
    grid->addWidget(r.warnings, line + 3, 1, 1, 5);
}

QWidget *PlanWindow::buildRows()
{
    auto *area = new QWidget;
    auto *grid = new QGridLayout(area);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    const int em = area->fontMetrics().horizontalAdvance(QLatin1Char('M'));
    for (int n = plan::FirstLocation; n <= plan::LastLocation; ++n) {
        Row &r = m_rows[std::size_t(n - plan::FirstLocation)];
        const QString where = QStringLiteral("Location %1").arg(n);
        const int line = (n - plan::FirstLocation) * 4;
        r.label = new QLabel(where, area);
        r.label->setObjectName(QStringLiteral("lblLocation(%1)").arg(n));
        QFont bold = r.label->font();
        bold.setBold(true);
        r.label->setFont(bold);
        grid->addWidget(r.label, line, 0);

        r.kind = makeList(KindCaptions, where + QStringLiteral(": what it shows"), area);
        r.kind->setObjectName(QStringLiteral("cboKind(%1)").arg(n));
        r.label->setBuddy(r.kind);
        grid->addWidget(r.kind, line, 1);

        buildChoices(r, where, area);
        grid->addWidget(r.what, line, 2);

        r.icon = makeList(frame::iconCaptions(), where + QStringLiteral(" icon"), area);
        grid->addWidget(r.icon, line, 3);
        r.note = new QLineEdit(area);
        r.note->setMaxLength(plan::MaxNoteLength);
        r.note->setPlaceholderText(QStringLiteral("note, such as \"speed over ground\""));
        r.note->setAccessibleName(where + QStringLiteral(" note"));
        r.note->setMinimumWidth(16 * em);
        grid->addWidget(r.note, line, 4);

        r.take = makeButton(QStringLiteral("From main window"), QStringLiteral("cmdTake(%1)").arg(n), area);
        r.take->setAccessibleName(where + QStringLiteral(": take the main window's choices"));
        auto *menu = new QMenu(r.take);
        menu->addAction(QStringLiteral("Its standard sentence"), this,
                        [this, n] { takeMainChoices(n, RowKind::Standard); });
        menu->addAction(QStringLiteral("Its Velmora instrument"), this,
                        [this, n] { takeMainChoices(n, RowKind::Instrument); });
        r.take->setMenu(menu);
        grid->addWidget(r.take, line, 5);

        buildRowTexts(r, n, grid, line, area);

        for (QComboBox *b : {r.kind, r.talker, r.sentence, r.field, r.type, r.instrument, r.icon})
            connect(b, &QComboBox::currentIndexChanged, this, [this, n] { rowEdited(n); });
        connect(r.note, &QLineEdit::textEdited, this, [this, n](const QString &text) {
            m_editor.setNote(n, text);
            refreshTitle();
        });
    }
    grid->setColumnStretch(4, 1); // the note takes what room is left
    return area;
}

void PlanWindow::buildMenu()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File"));
    file->addAction(QStringLiteral("&New"), QKeySequence::New, this, &PlanWindow::newPlan);
    file->addAction(QStringLiteral("&Open…"), QKeySequence::Open, this, &PlanWindow::openWithDialog);
    m_recentMenu = file->addMenu(QStringLiteral("Open &Recent"));
    m_recentMenu->setObjectName(QStringLiteral("OpenRecent"));
    file->addAction(QStringLiteral("&Save"), QKeySequence::Save, this, &PlanWindow::save);
    file->addAction(QStringLiteral("Save &As…"), QKeySequence(QStringLiteral("Ctrl+Shift+S")), this,
                    &PlanWindow::saveAsWithDialog);
    file->addSeparator();
    file->addAction(QStringLiteral("&Close"), QKeySequence::Close, this, &QWidget::close);
    refreshRecent();
    QMenu *planMenu = menuBar()->addMenu(QStringLiteral("&Plan"));
    planMenu->setObjectName(QStringLiteral("Plan"));
    planMenu->addAction(QStringLiteral("&Check"), QKeySequence(CheckShortcut), this, &PlanWindow::check);
    planMenu->addAction(QStringLiteral("Send &All"), QKeySequence(SendAllShortcut), this,
                        [this] { sendAll(); });
}

QComboBox *PlanWindow::kindBox(int location) const
{
    return m_rows[std::size_t(location - plan::FirstLocation)].kind;
}

QComboBox *PlanWindow::listBox(int location, const char *which) const
{
    const Row &r = m_rows[std::size_t(location - plan::FirstLocation)];
    const QByteArray w(which);
    return w == "talker"       ? r.talker
           : w == "sentence"   ? r.sentence
           : w == "field"      ? r.field
           : w == "type"       ? r.type
           : w == "instrument" ? r.instrument
           : w == "icon"       ? r.icon
                               : nullptr;
}

QLineEdit *PlanWindow::noteEdit(int location) const
{
    return m_rows[std::size_t(location - plan::FirstLocation)].note;
}

QLabel *PlanWindow::showsLabel(int location) const
{
    return m_rows[std::size_t(location - plan::FirstLocation)].shows;
}

QLabel *PlanWindow::statusLabel(int location) const
{
    return m_rows[std::size_t(location - plan::FirstLocation)].status;
}

QLabel *PlanWindow::faultLabel(int location) const
{
    return m_rows[std::size_t(location - plan::FirstLocation)].faults;
}

QLabel *PlanWindow::warningLabel(int location) const
{
    return m_rows[std::size_t(location - plan::FirstLocation)].warnings;
}

QPushButton *PlanWindow::button(const char *name) const
{
    return m_buttons.value(QString::fromLatin1(name));
}

QRadioButton *PlanWindow::productOption(int index) const
{
    return m_optProduct.value(index);
}

void PlanWindow::rowEdited(int location)
{
    if (m_refreshing)
        return;
    const Row &r = m_rows[std::size_t(location - plan::FirstLocation)];
    plan::Row row = m_editor.row(location);
    row.kind = RowKind(r.kind->currentIndex());
    row.standard = {r.talker->currentIndex(), r.sentence->currentIndex(),
                    vocabulary::shownNumber(List::Commas, r.field->currentIndex()), r.type->currentIndex()};
    row.instrument = {r.instrument->currentIndex()};
    row.icon = r.icon->currentIndex();
    m_editor.setRow(location, row);
    refreshRow(location);
    refreshTitle();
}

void PlanWindow::refreshRow(int location)
{
    const Row &r = m_rows[std::size_t(location - plan::FirstLocation)];
    const plan::Row &row = m_editor.row(location);
    const RowKind kind = row.kind;
    const QScopedValueRollback<bool> refreshing(m_refreshing, true);
    r.kind->setCurrentIndex(whichPage(kind));
    r.what->setCurrentIndex(whichPage(kind));
    r.talker->setCurrentIndex(row.standard.talker);
    r.sentence->setCurrentIndex(row.standard.sentence);
    r.field->setCurrentIndex(r.field->findText(QString::number(row.standard.field)));
    // What each field of the chosen sentence holds, where the field is chosen.
    const QString identifier = vocabulary::entries(List::Identifier).value(row.standard.sentence);
    for (int i = 0; i < r.field->count(); ++i)
        r.field->setItemData(i, vocabulary::fieldCaption(identifier, i + 1), Qt::ToolTipRole);
    r.field->setToolTip(vocabulary::fieldCaption(identifier, row.standard.field));
    r.type->setCurrentIndex(row.standard.type);
    r.type->setVisible(row.standard.sentence == vocabulary::XdrPosition);
    r.instrument->setCurrentIndex(row.instrument.instrument);
    r.icon->setCurrentIndex(row.icon);
    const bool icons = vocabulary::showsIcons(m_editor.product());
    r.icon->setEnabled(icons && kind != RowKind::Unused);
    r.icon->setToolTip(icons ? QString()
                             : QStringLiteral("Only product %1 shows icons").arg(vocabulary::iconProducts()));
    if (r.note->text() != row.note)
        r.note->setText(row.note);
    QString shows = kind == RowKind::Unused
                        ? QStringLiteral("not used")
                        : QStringLiteral("Shows ") + frame::shows(m_editor.location(location),
                                                                  vocabulary::product(m_editor.product()));
    if (kind == RowKind::Standard && row.standard.sentence != vocabulary::XdrPosition) {
        if (const QString name = vocabulary::fieldName(identifier, row.standard.field); !name.isEmpty())
            shows += QStringLiteral(" (%1)").arg(name);
    }
    r.shows->setText(shows);
    r.status->setText(kind == RowKind::Unused ? QString() : m_editor.status(location).text());
    const QStringList faults = m_editor.faults(location);
    r.faults->setText(faults.join(QLatin1Char('\n')));
    r.faults->setVisible(!faults.isEmpty());
    const QStringList warnings = m_editor.warnings(location);
    QStringList lines;
    for (const QString &w : warnings)
        lines << QStringLiteral("Warning: ") + w;
    r.warnings->setText(lines.join(QLatin1Char('\n')));
    r.warnings->setVisible(!warnings.isEmpty());
}

void PlanWindow::refreshAll()
{
    {
        const QScopedValueRollback<bool> refreshing(m_refreshing, true);
        if (QRadioButton *option = m_optProduct.value(m_editor.product()))
            option->setChecked(true);
    }
    for (int n = plan::FirstLocation; n <= plan::LastLocation; ++n)
        refreshRow(n);
    refreshTitle();
}

void PlanWindow::refreshTitle()
{
    setWindowTitle(m_editor.name() + QStringLiteral("[*] - Display plan"));
    setWindowModified(m_editor.isModified());
    const bool idle = !m_busy;
    for (const char *name :
         {"cmdNew", "cmdOpen", "cmdSave", "cmdSaveAs", "cmdCheck", "cmdSendAll", "cmdTestDisplay"})
        button(name)->setEnabled(idle);
    button("cmdStop")->setEnabled(m_busy);
    button("cmdSendFrom")->setEnabled(idle && m_resumeAt.has_value());
    button("cmdSendFrom")
        ->setText(QStringLiteral("Send f&rom location %1").arg(m_resumeAt.value_or(plan::FirstLocation)));
    refreshPort();
    menuBar()->setEnabled(idle);
    centralWidget()->findChild<QWidget *>(QStringLiteral("rows"))->setEnabled(idle);
    for (QRadioButton *option : m_optProduct)
        option->setEnabled(idle);
}

void PlanWindow::refreshPort()
{
    const QString device = m_line.devicePath();
    m_portLabel->setText(
        device.isEmpty()
            ? *m_line.whyNot()
            : QStringLiteral("Sends on: COM%1, %2").arg(m_line.number()).arg(serial::shownDevice(device)));
}

void PlanWindow::showEvent(QShowEvent *event)
{
    refreshPort(); // the main window may have chosen another port since
    QMainWindow::showEvent(event);
}

void PlanWindow::refreshRecent()
{
    m_recentMenu->clear();
    const QStringList recent = settings::loadRecentPlans(settings::recentPlansPath());
    for (const QString &path : recent)
        m_recentMenu->addAction(path, this, [this, path] { openFile(path); });
    m_recentMenu->setEnabled(!recent.isEmpty());
}

void PlanWindow::remember(const QString &path)
{
    const QString file = settings::recentPlansPath();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // Not being able to remember a plan loses nothing of the plan itself: the menu only stays as it was.
    settings::saveRecentPlans(file, settings::remember(settings::loadRecentPlans(file), absolute));
    refreshRecent();
}

void PlanWindow::say(const QString &text, bool warning)
{
    m_message->setText(text);
    m_message->setStyleSheet(warning ? QStringLiteral("color: #b00000") : QString());
}

bool PlanWindow::askToKeepChanges()
{
    if (!m_editor.isModified())
        return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Unsaved changes"),
                    QStringLiteral("The plan %1 has changes that are not saved.\n\nSave them first?")
                        .arg(m_editor.name()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("unsavedChanges"));
    box.setDefaultButton(QMessageBox::Save);
    takeFocusWhenShown(&box);
    switch (box.exec()) {
    case QMessageBox::Save:
        return save();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void PlanWindow::startNew(int product)
{
    m_editor.newPlan(product);
    m_resumeAt.reset();
    say(QString());
    refreshAll();
}

void PlanWindow::newPlan()
{
    if (m_busy || !askToKeepChanges())
        return;
    m_editor.newPlan(m_editor.product());
    m_resumeAt.reset();
    say(QString());
    refreshAll();
}

bool PlanWindow::openFile(const QString &path)
{
    if (m_busy || !askToKeepChanges())
        return false;
    const QStringList faults = m_editor.open(path);
    if (!faults.isEmpty()) {
        say(QStringLiteral("%1 was not opened: mend what `mdconfig-cli plan check` finds there.\n%2")
                .arg(path, faults.join(QLatin1Char('\n'))),
            true);
        return false;
    }
    m_resumeAt.reset();
    remember(path);
    refreshAll();
    if (!m_editor.hasFaults())
        say(QStringLiteral("Opened %1.").arg(path));
    else if (m_editor.planFaults().isEmpty())
        say(QStringLiteral("Opened %1. It has faults, each shown on its row; mend them to send or save it.")
                .arg(path),
            true);
    else
        say(QStringLiteral("Opened %1. It has faults; mend them to send or save it:\n%2")
                .arg(path, m_editor.planFaults().join(QLatin1Char('\n'))),
            true);
    return true;
}

void PlanWindow::openWithDialog()
{
    if (m_busy || !askToKeepChanges())
        return;
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open a display plan"),
                                                      startFolder(m_editor.path()), FileFilter);
    if (!path.isEmpty())
        openFile(path); // already asked
}

bool PlanWindow::saveTo(const QString &path)
{
    const QStringList lost = m_editor.commentsLostBySave(path);
    if (!lost.isEmpty()) {
        QStringList shown;
        for (const QString &c : lost.mid(0, 8))
            shown << QStringLiteral("# ") + c;
        if (lost.size() > 8)
            shown << QStringLiteral("and %1 more").arg(lost.size() - 8);
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Comments will be lost"),
                        QStringLiteral("%1 holds comments that the plan window does not keep:\n\n%2\n\nNotes "
                                       "(note = \"...\") are kept. Save over it anyway?")
                            .arg(path, shown.join(QLatin1Char('\n'))),
                        QMessageBox::Save | QMessageBox::Cancel, this);
        box.setObjectName(QStringLiteral("commentsLost"));
        box.setDefaultButton(QMessageBox::Cancel);
        takeFocusWhenShown(&box);
        if (box.exec() != QMessageBox::Save)
            return false;
    }
    if (const std::optional<QString> failed = m_editor.saveAs(path)) {
        say(*failed, true);
        refreshAll();
        return false;
    }
    remember(path);
    say(QStringLiteral("Saved %1.").arg(path));
    refreshAll();
    return true;
}

bool PlanWindow::save()
{
    if (m_editor.path().isEmpty())
        return saveAsWithDialog();
    return saveTo(m_editor.path());
}

bool PlanWindow::saveAsWithDialog()
{
    QFileDialog dialog(this, QStringLiteral("Save the display plan"), startFolder(m_editor.path()),
                       FileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(PlanEnding);
    if (!m_editor.path().isEmpty())
        dialog.selectFile(m_editor.path());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    return saveTo(dialog.selectedFiles().first());
}

void PlanWindow::check()
{
    m_editor.check();
    refreshAll();
    if (!m_editor.hasFaults()) {
        QList<int> used;
        QList<int> warned;
        for (const plan::Location &l : m_editor.plan().locations) {
            used << l.location;
            if (!m_editor.warnings(l.location).isEmpty())
                warned << l.location;
        }
        QString text = QStringLiteral("The plan is clean: locations %1.").arg(plan::locationRanges(used));
        if (!warned.isEmpty())
            text +=
                QStringLiteral(" Warnings, each on its row, for location %1: the plan sends, but see that "
                               "the display shows what you expect.")
                    .arg(plan::locationRanges(warned));
        say(text);
    } else {
        say(m_editor.planFaults().isEmpty()
                ? QStringLiteral("The plan has faults; each is shown on its row.")
                : QStringLiteral("The plan has faults:\n") + m_editor.planFaults().join(QLatin1Char('\n')),
            true);
    }
}

void PlanWindow::takeMainChoices(int location, RowKind kind)
{
    if (!m_mainChoices)
        return;
    frame::Configuration chosen = m_mainChoices(kind);
    chosen.location = location; // the row's own location, whatever the main window's list says
    frame::SentenceBytes scratch;
    if (const frame::EncodeError missing =
            frame::encode(chosen, vocabulary::product(m_editor.product()), scratch)) {
        say(QStringLiteral("The main window's \"%1\" list has no entry chosen; choose one there first.")
                .arg(vocabulary::listCaption(*missing)),
            true);
        return;
    }
    plan::Row row = m_editor.row(location);
    row.kind = kind;
    if (const frame::Instrument *in = chosen.instrument()) {
        row.instrument = *in;
    } else if (const frame::Standard *st = chosen.standard()) {
        row.standard = *st;
        if (row.standard.type < 0)
            row.standard.type = 0;
    }
    row.icon = chosen.icon;
    m_editor.setRow(location, row);
    refreshRow(location);
    refreshTitle();
}

std::optional<QString> PlanWindow::takeStandard(int location, const frame::Standard &standard)
{
    if (m_busy)
        return QStringLiteral("the plan is being sent");
    if (location < plan::FirstLocation || location > plan::LastLocation)
        return QStringLiteral("there is no location %1").arg(location);
    plan::Row row = m_editor.row(location);
    row.kind = RowKind::Standard;
    row.standard = standard;
    if (row.standard.type < 0)
        row.standard.type = 0;
    m_editor.setRow(location, row);
    refreshRow(location);
    refreshTitle();
    return std::nullopt;
}

QString PlanWindow::takeLine(app::Holder who)
{
    const QString device = m_line.devicePath();
    if (!device.isEmpty() && !admitAdapter(this, m_program.adaptersLocation, m_line.number()))
        return {}; // the user said No to another adapter than the one remembered
    const std::optional<QString> refused = device.isEmpty() ? m_line.whyNot() : m_line.claim(who);
    if (refused)
        say(*refused, true);
    return refused ? QString() : device;
}

void PlanWindow::setBusy(bool busy)
{
    m_busy = busy;
    m_stopRequested = false;
    refreshTitle();
}

void PlanWindow::sendAll(int from)
{
    if (m_busy)
        return;
    check();
    if (m_editor.hasFaults())
        return;
    const plan::Plan whole = m_editor.plan();
    int total = 0;
    for (const plan::Location &l : whole.locations)
        total += l.location >= from ? 1 : 0;
    if (total == 0) {
        say(QStringLiteral("No location is used from location %1 on: nothing to send.").arg(from), true);
        return;
    }
    const QString device = takeLine(app::Holder::PlanSend);
    if (device.isEmpty())
        return;

    setBusy(true);
    const auto idle = qScopeGuard([this] {
        m_line.release(app::Holder::PlanSend);
        setBusy(false);
    });
    for (const plan::Location &l : whole.locations) {
        if (l.location >= from)
            m_editor.setStatus(l.location, {});
    }
    m_progress->setRange(0, total * frame::Repetitions);
    m_progress->setValue(0);
    say(QStringLiteral("Sending %1 location(s) on %2.").arg(total).arg(device));
    int ordinal = 0;

    plan::SendOptions options;
    options.pacing = m_program.pacing;
    options.gap = m_gap;
    options.from = from;
    options.stopRequested = [this] { return m_stopRequested; };
    plan::SendEvents events;
    if (m_askBeforeEach->isChecked()) {
        events.confirm = [this](const plan::Location &l) {
            QMessageBox box(
                QMessageBox::Information, QStringLiteral("Next location"),
                vocabulary::programmingModePrompt(QStringLiteral("OK"), QString::number(l.location)) +
                    QLatin1Char('.'),
                QMessageBox::Ok | QMessageBox::Cancel, this);
            box.setObjectName(QStringLiteral("askBeforeLocation"));
            takeFocusWhenShown(&box);
            return box.exec() == QMessageBox::Ok;
        };
    }
    events.starting = [&](const plan::Location &l) {
        ++ordinal;
        m_editor.setStatus(l.location, {plan::RowState::Sending, {}});
        m_progress->setFormat(plan::progressText(ordinal, total, 0));
        refreshRow(l.location);
    };
    events.repetition = [&](const plan::Location &, int repetition) {
        m_progress->setValue((ordinal - 1) * frame::Repetitions + repetition);
        m_progress->setFormat(plan::progressText(ordinal, total, repetition));
    };
    events.sent = [&](const plan::Location &l) {
        m_editor.setStatus(l.location, {plan::RowState::Sent, {}});
        refreshRow(l.location);
    };
    const plan::SendReport report = plan::sendPlan(whole, m_port, device, options, events);
    m_resumeAt = m_editor.takeReport(report);
    refreshAll();
    if (m_resumeAt) {
        m_progress->setFormat((report.stopped ? QStringLiteral("stopped: ") : QStringLiteral("failed: ")) +
                              report.failure);
        say(QStringLiteral("Sent: %1. Not sent: %2 (%3).")
                .arg(plan::locationRanges(report.sent), plan::locationRanges(report.notSent), report.failure),
            true);
    } else {
        m_progress->setFormat(QStringLiteral("all %1 location(s) sent").arg(total));
        say(QStringLiteral("Sent: %1.").arg(plan::locationRanges(report.sent)));
    }
}

void PlanWindow::sendFrom()
{
    if (m_resumeAt)
        sendAll(*m_resumeAt);
}

void PlanWindow::stop()
{
    m_stopRequested = true;
}

void PlanWindow::testDisplay()
{
    if (m_busy)
        return;
    check();
    if (m_editor.hasFaults())
        return;
    const plan::TestPattern pattern = plan::makeTestPattern(m_editor.plan());
    QStringList lines;
    for (const plan::Covered &c : pattern.covered)
        lines << QStringLiteral("location %1 shows %2 (%3 field %4)")
                     .arg(c.location)
                     .arg(c.value, c.sentence)
                     .arg(c.field);
    for (const plan::NotCovered &c : pattern.notCovered)
        lines << QStringLiteral("location %1 is not covered: %2").arg(c.location).arg(c.reason);
    if (pattern.sentences.isEmpty()) {
        say(QStringLiteral("No location can be shown by the test pattern.\n") + lines.join(QLatin1Char('\n')),
            true);
        return;
    }
    const QString device = takeLine(app::Holder::TestPattern);
    if (device.isEmpty())
        return;
    setBusy(true);
    const auto idle = qScopeGuard([this] {
        m_line.release(app::Holder::TestPattern);
        setBusy(false);
    });
    say(QStringLiteral("Test pattern on %1 for a display in normal use; Stop ends it.\n").arg(device) +
        lines.join(QLatin1Char('\n')));
    m_progress->setRange(0, 0); // runs until stopped
    const plan::TestRun run = plan::runTestPattern(
        pattern, m_port, device, m_program.pacing, [this] { return m_stopRequested; },
        [this](int round) { m_progress->setFormat(QStringLiteral("test pattern: round %1").arg(round)); });
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    if (!run.failure.isEmpty()) {
        m_progress->setFormat(QStringLiteral("test pattern stopped"));
        say(QStringLiteral("The test pattern stopped: %1").arg(run.failure), true);
    } else {
        m_progress->setFormat(QStringLiteral("test pattern: %1 round(s) sent").arg(run.rounds));
    }
}

void PlanWindow::closeEvent(QCloseEvent *event)
{
    // A send or test on the way is stopped with Stop first; closing would leave the port mid-frame.
    if (m_busy || !askToKeepChanges()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace ui
