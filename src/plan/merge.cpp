// Writing plan files that may already hold a plan: a location appended or merged under a lock, so runs
// made at the same time follow one another, and a whole file replaced in one step.
#include "plan/plan.h"

#include "file/regularfile.h"
#include "serial/devicepath.h"
#include "vocabulary/products.h"

#include <algorithm>

namespace plan {

using vocabulary::productCaption;

std::optional<QString> appendLocation(const QString &path, const Location &location, int product,
                                      bool *notAPlanFile)
{
    // Held from the read to the replacement, so that an append made meanwhile is read, not written over.
    // The name as it may be printed: a file name can carry escape sequences.
    const QString shownPath = serial::printable(path);
    file::Change change(path, MaxPlanBytes);
    if (notAPlanFile)
        *notAPlanFile =
            change.problem() == file::Problem::NotRegular || change.problem() == file::Problem::TooLarge;
    if (!change.ok())
        return QStringLiteral("%1 %2; nothing was added").arg(shownPath, change.failure());
    QByteArray text = change.bytes();
    // An empty file (made with touch, say, or just now for this location) is taken as a new plan.
    if (!text.isEmpty()) {
        const ReadResult existing = parsePlan(text, path);
        if (!existing.faults.isEmpty()) {
            return QStringLiteral("%1 is not a clean plan, so nothing was added (%2 fault(s); the first: %3)")
                .arg(shownPath)
                .arg(existing.faults.size())
                .arg(existing.faults.first().text());
        }
        if (existing.plan.product != product) {
            return QStringLiteral("%1 is a plan for product %2 (%3), not %4 (%5); nothing was added")
                .arg(shownPath)
                .arg(existing.plan.product)
                .arg(productCaption(existing.plan.product))
                .arg(product)
                .arg(productCaption(product));
        }
        for (const Location &l : existing.plan.locations) {
            if (l.location == location.location)
                return QStringLiteral("%1 already has location %2 (line %3); nothing was added")
                    .arg(shownPath)
                    .arg(l.location)
                    .arg(l.line);
        }
        if (!text.endsWith('\n'))
            text += '\n';
    } else {
        text = productText(product).toUtf8();
    }
    text += '\n' + locationText(location, product).toUtf8();
    // The result is checked as a whole before it replaces anything.
    const ReadResult written = parsePlan(text, path);
    if (!written.faults.isEmpty())
        return QStringLiteral("the new plan would not be clean (%1); nothing was added")
            .arg(written.faults.first().text());
    if (const std::optional<QString> failed = change.commit(text)) {
        if (notAPlanFile)
            *notAPlanFile = change.problem() == file::Problem::NotRegular;
        return QStringLiteral("%1 %2; nothing was added").arg(shownPath, *failed);
    }
    return std::nullopt;
}

namespace {

// The note a location taken over an old one carries: its own, else the old one's while the location still
// shows the same; a name for the speed over ground must not stay on a location that now shows the depth.
QString keptNote(const Location &taken, const Location &before)
{
    if (!taken.note.isEmpty())
        return taken.note;
    return taken.what == before.what ? before.note : QString();
}

// The whole plan written anew with the taken locations in it, for a text whose tables cannot be replaced
// one by one.
QByteArray rewritten(const Plan &existing, const QList<Location> &taken)
{
    Plan whole = existing;
    for (const Location &n : taken) {
        Location kept = n;
        for (const Location &e : existing.locations)
            if (e.location == n.location)
                kept.note = keptNote(n, e);
        whole.locations.removeIf([&](const Location &e) { return e.location == n.location; });
        whole.locations << kept;
    }
    return planText(whole);
}

// The lines of a text by its location tables: where each starts and ends, from its header to its last key,
// so comment lines and blank lines before the next table stay with what follows.
class Tables {
public:
    Tables(const QByteArray &text, const Plan &existing) : m_lines(text.split('\n'))
    {
        for (const Location &l : existing.locations)
            m_headers << l.line - 1; // 0-based
        std::sort(m_headers.begin(), m_headers.end());
    }

    bool ownTable(const Location &l) const
    {
        return m_lines.value(l.line - 1).trimmed().startsWith("[location");
    }

    // Replaced from the end of the text backwards, so the lines of tables not yet replaced keep their place.
    void replace(QList<QPair<int, Location>> replaced, int product)
    {
        std::sort(replaced.begin(), replaced.end(),
                  [](const auto &a, const auto &b) { return a.first > b.first; });
        for (const auto &[header, l] : replaced) {
            const int last = spanEnd(header);
            QList<QByteArray> table = locationText(l, product).toUtf8().split('\n');
            if (table.last().isEmpty())
                table.removeLast();
            m_lines.remove(header, last - header + 1);
            for (int i = 0; i < table.size(); ++i)
                m_lines.insert(header + i, table[i]);
        }
    }

    QByteArray text() const { return m_lines.join('\n'); }

private:
    int spanEnd(int header) const
    {
        int next = int(m_lines.size());
        for (int h : m_headers) {
            if (h > header) {
                next = h;
                break;
            }
        }
        int last = header;
        for (int i = header + 1; i < next; ++i) {
            const QByteArray t = m_lines[i].trimmed();
            if (!t.isEmpty() && !t.startsWith('#'))
                last = i;
        }
        return last;
    }

    QList<QByteArray> m_lines;
    QList<int> m_headers;
};

} // namespace

QByteArray mergedText(const QByteArray &text, const Plan &existing, const QList<Location> &taken)
{
    Tables tables(text, existing);
    QList<Location> added;
    QList<QPair<int, Location>> replaced;
    for (const Location &t : taken) {
        const auto found = std::find_if(existing.locations.begin(), existing.locations.end(),
                                        [&](const Location &e) { return e.location == t.location; });
        if (found == existing.locations.end()) {
            added << t;
            continue;
        }
        // A location given by dotted keys rather than its own [location.N] table has no span to replace.
        if (!tables.ownTable(*found))
            return rewritten(existing, taken);
        Location l = t;
        l.note = keptNote(t, *found);
        replaced.append({found->line - 1, l});
    }
    tables.replace(replaced, existing.product);
    QByteArray merged = tables.text();
    std::sort(added.begin(), added.end(),
              [](const Location &a, const Location &b) { return a.location < b.location; });
    for (const Location &l : added) {
        if (!merged.endsWith('\n'))
            merged += '\n';
        merged += '\n' + locationText(l, existing.product).toUtf8();
    }
    return merged;
}

std::optional<QString> refusePlanFile(const QString &path, int product, int *planProduct)
{
    const file::Contents c = file::read(path, MaxPlanBytes);
    if (c.problem == file::Problem::Missing || (c.ok() && c.bytes.trimmed().isEmpty()))
        return std::nullopt;
    const QString shown = serial::printable(path);
    if (!c.ok())
        return QStringLiteral("%1 %2; give a plan file").arg(shown, c.failure);
    const ReadResult r = parsePlan(c.bytes, path);
    if (!r.faults.isEmpty())
        return QStringLiteral("%1 is not a clean plan (%2 fault(s); the first: %3); nothing is written to it")
            .arg(shown)
            .arg(r.faults.size())
            .arg(r.faults.first().text());
    if (planProduct)
        *planProduct = r.plan.product;
    if (product >= 0 && r.plan.product != product)
        return QStringLiteral("%1 is a plan for product %2 (%3), not %4 (%5); nothing is written to it")
            .arg(shown)
            .arg(r.plan.product)
            .arg(productCaption(r.plan.product))
            .arg(product)
            .arg(productCaption(product));
    return std::nullopt;
}

std::optional<QString> mergeLocations(const QString &path, const QList<Location> &taken, int product,
                                      const QString &header)
{
    const QString shown = serial::printable(path);
    file::Change change(path, MaxPlanBytes);
    if (!change.ok())
        return QStringLiteral("%1 %2; it was left as it was").arg(shown, change.failure());
    QByteArray text;
    if (change.bytes().trimmed().isEmpty()) {
        Plan fresh{product, taken};
        text = header.toUtf8() + planText(fresh);
    } else {
        const ReadResult existing = parsePlan(change.bytes(), path);
        if (!existing.faults.isEmpty())
            return QStringLiteral("%1 is not a clean plan (%2); it was left as it was")
                .arg(shown, existing.faults.first().text());
        if (existing.plan.product != product)
            return QStringLiteral("%1 is a plan for product %2 (%3), not %4 (%5); it was left as it was")
                .arg(shown)
                .arg(existing.plan.product)
                .arg(productCaption(existing.plan.product))
                .arg(product)
                .arg(productCaption(product));
        text = mergedText(change.bytes(), existing.plan, taken);
    }
    const ReadResult written = parsePlan(text, path);
    if (!written.faults.isEmpty())
        return QStringLiteral("the merged plan would not be clean (%1); %2 was left as it was")
            .arg(written.faults.first().text(), shown);
    if (const std::optional<QString> failed = change.commit(text))
        return QStringLiteral("%1 %2; it was left as it was").arg(shown, *failed);
    return std::nullopt;
}

std::optional<QString> replaceFile(const QString &path, const QByteArray &text)
{
    if (const std::optional<QString> failed = file::replace(path, text))
        return QStringLiteral("%1 %2; it was left as it was").arg(serial::printable(path), *failed);
    return std::nullopt;
}

} // namespace plan
