#include "plan/planeditor.h"

#include "file/regularfile.h"

#include <QFileInfo>
#include <QRegularExpression>

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
    for (int n = FirstLocation; n <= LastLocation; ++n) {
        // The first entry of every list, as the main window starts.
        Location l;
        l.number = n;
        l.talker = 0;
        l.identifier = 0;
        l.field = 1;
        l.xdr = 0;
        l.instrument = 0;
        m_rows[std::size_t(index(n))] = l;
        m_kinds[std::size_t(index(n))] = RowKind::Unused;
        m_status[std::size_t(index(n))] = {};
    }
    m_rowFaults.clear();
    m_planFaults.clear();
    m_path.clear();
    m_modified = false;
}

QStringList PlanEditor::open(const QString &path)
{
    const ReadResult r = readPlan(path);
    QStringList faults;
    for (const Fault &f : r.faults)
        faults << f.text();
    if (!faults.isEmpty())
        return faults;
    newPlan(r.plan.product);
    for (Location l : r.plan.locations) {
        const std::size_t i = std::size_t(index(l.number));
        // Choices a row does not use keep the first entry, for when the user picks that kind.
        if (l.proprietary) {
            l.talker = m_rows[i].talker;
            l.identifier = m_rows[i].identifier;
            l.field = m_rows[i].field;
        } else {
            l.instrument = m_rows[i].instrument;
        }
        if (l.xdr < 0)
            l.xdr = 0;
        m_rows[i] = l;
        m_kinds[i] = l.proprietary ? RowKind::Instrument : RowKind::Standard;
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
    if (product == m_product)
        return;
    m_product = product;
    m_modified = true;
    // Every frame changes with the product: nothing on the display is what the plan says any more.
    for (RowStatus &s : m_status)
        s = {};
}

RowKind PlanEditor::kind(int location) const
{
    return m_kinds[std::size_t(index(location))];
}

const Location &PlanEditor::row(int location) const
{
    return m_rows[std::size_t(index(location))];
}

void PlanEditor::setRow(int location, RowKind kind, const Location &choices)
{
    const std::size_t i = std::size_t(index(location));
    Location l = choices;
    l.number = location;
    l.proprietary = kind == RowKind::Instrument;
    l.note = m_rows[i].note;
    if (m_kinds[i] == kind && m_rows[i].talker == l.talker && m_rows[i].identifier == l.identifier &&
        m_rows[i].field == l.field && m_rows[i].xdr == l.xdr && m_rows[i].instrument == l.instrument &&
        m_rows[i].icon == l.icon)
        return;
    m_kinds[i] = kind;
    m_rows[i] = l;
    changed(location);
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
            p.locations << row(n);
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

void PlanEditor::check()
{
    m_rowFaults.clear();
    m_planFaults.clear();
    const QByteArray t = text();
    // Where each location's table starts in the text a save writes: a fault belongs to the table above it.
    static const QRegularExpression header(QStringLiteral("^\\[location\\.(\\d+)\\]"));
    QList<QPair<int, int>> tables; // (line, location)
    const QList<QByteArray> lines = t.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = header.match(QString::fromUtf8(lines[i]));
        if (m.hasMatch())
            tables.append({i + 1, m.captured(1).toInt()});
    }
    const ReadResult r = parsePlan(t, m_path.isEmpty() ? name() : m_path);
    for (const Fault &f : r.faults) {
        int location = 0;
        for (const auto &[line, n] : tables) {
            if (line <= f.line)
                location = n;
        }
        if (location > 0)
            m_rowFaults[location] << f.text();
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
    // The location the send stopped in may have reached the display in part: that is a failure, never a
    // send. One it never began is simply not sent.
    if (status(first).state == RowState::Sending)
        setStatus(first, {RowState::Failed, report.failure});
    else
        setStatus(first, {RowState::NotSent, report.failure});
    for (qsizetype i = 1; i < report.notSent.size(); ++i)
        setStatus(report.notSent[i], {RowState::NotSent, QStringLiteral("the send stopped before it")});
    return first;
}

} // namespace plan
