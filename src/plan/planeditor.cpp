#include "plan/planeditor.h"

#include "file/regularfile.h"

#include <QFileInfo>

namespace plan {

QString RowStatus::text() const
{
    switch (state) {
    case RowState::NotSent:
        return why.isEmpty() ? QStringLiteral("not sent") : QStringLiteral("not sent: ") + why;
    case RowState::Sending:
        return QStringLiteral("sending");
    case RowState::Sent:
        return QStringLiteral("sent");
    case RowState::Failed:
        return QStringLiteral("failed: ") + why;
    case RowState::Stopped:
        return QStringLiteral("stopped: ") + why;
    }
    return {};
}

QString progressText(int ordinal, int total, int repetition)
{
    return QStringLiteral("location %1 of %2, repetition %3 of %4")
        .arg(ordinal)
        .arg(total)
        .arg(repetition)
        .arg(frame::Repetitions);
}

PlanEditor::PlanEditor()
{
    newPlan(vocabulary::DefaultProductIndex);
}

int PlanEditor::index(int location)
{
    return qBound(FirstLocation, location, LastLocation) - FirstLocation;
}

void PlanEditor::newPlan(int product)
{
    m_product = product;
    m_rows.fill(Row{});
    m_status.fill(RowStatus{});
    m_rowFaults.clear();
    m_planFaults.clear();
    m_productFaults.clear();
    m_path.clear();
    m_modified = false;
}

QStringList PlanEditor::open(const QString &path)
{
    const ReadResult r = readPlan(path);
    QStringList faults;
    for (const Fault &f : r.faults)
        faults << f.text();
    if (!r.isPlan)
        return faults;
    // A product the file names wrongly is shown as the one the window starts with; its fault says so.
    newPlan(r.plan.product >= 0 ? r.plan.product : vocabulary::DefaultProductIndex);
    for (const Location &l : r.plan.locations) {
        // Choices a row does not use keep the first entry, for when the user picks that kind; an entry the
        // file names wrongly stays unchosen, so the row keeps its fault until it is mended.
        Row &row = m_rows[std::size_t(index(l.location))];
        if (const frame::Instrument *in = l.instrument()) {
            row.kind = RowKind::Instrument;
            row.instrument = *in;
        } else {
            row.kind = RowKind::Standard;
            row.standard = *l.standard();
            if (row.standard.type < 0 && !l.isXdr())
                row.standard.type = 0;
        }
        row.icon = l.icon;
        row.note = l.note;
    }
    takeFaults(r.faults);
    for (const Fault &f : r.faults) {
        if (f.key == QLatin1String("product"))
            m_productFaults << f.text();
    }
    m_path = path;
    return {};
}

QStringList PlanEditor::commentsLostBySave(const QString &path) const
{
    // What cannot be read (nothing there yet, a FIFO) the save itself refuses or creates; no comment is lost.
    const file::Contents existing = file::read(path, MaxPlanBytes);
    return existing.ok() ? droppedComments(existing.bytes, text()) : QStringList{};
}

std::optional<QString> PlanEditor::saveAs(const QString &path)
{
    check();
    if (hasFaults())
        return QStringLiteral("the plan has faults, so it was not saved; Check shows each on its row");
    if (const std::optional<QString> failed = replaceFile(path, text()))
        return failed;
    m_path = path;
    m_modified = false;
    return std::nullopt;
}

void PlanEditor::setProduct(int product)
{
    m_productFaults.clear(); // a product the user picks mends the file's
    if (product == m_product)
        return;
    m_product = product;
    m_modified = true;
    // Every frame changes with the product: nothing on the display is what the plan says any more.
    for (RowStatus &s : m_status)
        s = {};
}

const Row &PlanEditor::row(int location) const
{
    return m_rows[std::size_t(index(location))];
}

void PlanEditor::setRow(int location, const Row &changedRow)
{
    Row &r = m_rows[std::size_t(index(location))];
    Row next = changedRow;
    next.note = r.note;
    if (next == r)
        return;
    r = next;
    changed(location);
}

Location PlanEditor::location(int location) const
{
    const Row &r = row(location);
    Location l;
    l.location = location;
    if (r.kind == RowKind::Instrument) {
        l.what = r.instrument;
    } else {
        frame::Standard st = r.standard;
        if (st.sentence != vocabulary::XdrPosition)
            st.type = -1; // the type list is offered for XDR only
        l.what = st;
    }
    // As the plan text keeps it: a product that shows no icon is sent none.
    l.icon = vocabulary::showsIcons(m_product) ? r.icon : 0;
    l.note = r.note;
    return l;
}

void PlanEditor::setNote(int location, const QString &note)
{
    const std::size_t i = std::size_t(index(location));
    if (m_rows[i].note == note)
        return;
    m_rows[i].note = note;
    // A note is not sent: what the display holds stays as it was.
    m_modified = true;
}

void PlanEditor::changed(int location)
{
    m_modified = true;
    m_status[std::size_t(index(location))] = {};
    m_rowFaults.remove(location);
}

Plan PlanEditor::plan() const
{
    Plan p;
    p.product = m_product;
    for (int n = FirstLocation; n <= LastLocation; ++n) {
        if (kind(n) != RowKind::Unused)
            p.locations << location(n);
    }
    return p;
}

QByteArray PlanEditor::text() const
{
    return planText(plan());
}

QString PlanEditor::name() const
{
    return m_path.isEmpty() ? QStringLiteral("new plan") : QFileInfo(m_path).fileName();
}

QStringList PlanEditor::warnings(int location) const
{
    return kind(location) == RowKind::Standard ? plan::warnings(this->location(location)) : QStringList();
}

void PlanEditor::check()
{
    QList<Fault> faults = plan::check(plan());
    for (Fault &f : faults)
        f.file = m_path.isEmpty() ? name() : m_path;
    takeFaults(faults);
    m_planFaults = m_productFaults + m_planFaults;
}

void PlanEditor::takeFaults(const QList<Fault> &faults)
{
    m_rowFaults.clear();
    m_planFaults.clear();
    for (const Fault &f : faults) {
        if (f.location >= FirstLocation && f.location <= LastLocation)
            m_rowFaults[f.location] << f.text();
        else
            m_planFaults << f.text();
    }
}

bool PlanEditor::hasFaults() const
{
    return !m_rowFaults.isEmpty() || !m_planFaults.isEmpty();
}

const RowStatus &PlanEditor::status(int location) const
{
    return m_status[std::size_t(index(location))];
}

void PlanEditor::setStatus(int location, const RowStatus &status)
{
    m_status[std::size_t(index(location))] = status;
}

std::optional<int> PlanEditor::takeReport(const SendReport &report)
{
    for (int n : report.sent)
        setStatus(n, {RowState::Sent, {}});
    if (report.complete())
        return std::nullopt;
    const int first = report.notSent.first();
    // The location the send was cut in may have reached the display in part: stopped or failed, never a
    // send. One it never began is simply not sent.
    const bool begun =
        report.cut != 0 ? report.cut == first : !report.stopped && status(first).state == RowState::Sending;
    if (begun)
        setStatus(first, {report.stopped ? RowState::Stopped : RowState::Failed, report.failure});
    else
        setStatus(first, {RowState::NotSent, report.failure});
    for (qsizetype i = 1; i < report.notSent.size(); ++i)
        setStatus(report.notSent[i], {RowState::NotSent, QStringLiteral("the send stopped before it")});
    return first;
}

} // namespace plan
