#include "bus/models.h"

#include "vocabulary/fields.h"

namespace bus {

SnapshotModel::SnapshotModel(QStringList headers, QObject *parent)
    : QAbstractTableModel(parent), m_headers(std::move(headers))
{
}

int SnapshotModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SnapshotModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_headers.size());
}

QVariant SnapshotModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_headers.size())
        return {};
    const Row &r = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return r.cells.value(index.column());
    case Qt::ToolTipRole:
        return r.toolTip.isEmpty() ? QVariant() : QVariant(r.toolTip);
    case OfferedRole:
        return r.offered;
    case AlternatesRole:
        return r.alternates;
    default:
        return {};
    }
}

QVariant SnapshotModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_headers.value(section);
    return section + 1;
}

const SnapshotModel::Row *SnapshotModel::rowAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? &m_rows[row] : nullptr;
}

void SnapshotModel::update(const QList<Row> &rows)
{
    // A merge of two key-ordered lists: rows gone are removed, rows new are inserted where they belong, rows
    // kept are told once each when something in them changed.
    qsizetype i = 0;
    for (const Row &r : rows) {
        while (i < m_rows.size() && m_rows[i].key < r.key) {
            beginRemoveRows({}, int(i), int(i));
            m_rows.removeAt(i);
            endRemoveRows();
        }
        if (i < m_rows.size() && m_rows[i].key == r.key) {
            Row &old = m_rows[i];
            if (old.cells != r.cells || old.toolTip != r.toolTip || old.offered != r.offered ||
                old.alternates != r.alternates) {
                old = r;
                emit dataChanged(index(int(i), 0), index(int(i), int(m_headers.size()) - 1));
            }
        } else {
            beginInsertRows({}, int(i), int(i));
            m_rows.insert(i, r);
            endInsertRows();
        }
        ++i;
    }
    if (i < m_rows.size()) {
        beginRemoveRows({}, int(i), int(m_rows.size()) - 1);
        m_rows.resize(i);
        endRemoveRows();
    }
}

QString rateText(std::optional<double> rate)
{
    if (!rate)
        return QStringLiteral("-");
    return QString::number(*rate, 'f', *rate < 10 ? 1 : 0) + QStringLiteral("/s");
}

QString ageText(qint64 ageMs)
{
    const qint64 s = std::max<qint64>(ageMs, 0) / 1000;
    if (s < 100)
        return QStringLiteral("%1 s").arg(s);
    if (s < 6000)
        return QStringLiteral("%1 min").arg(s / 60);
    return QStringLiteral("%1 h").arg(s / 3600);
}

const VariantRow *variantAt(const Snapshot &table, const RowRef &ref)
{
    if (ref.variant < 0)
        return nullptr;
    const SentenceRow *row = table.row(ref.key);
    if (!row || ref.variant >= row->variants.size())
        return nullptr;
    return &row->variants[ref.variant];
}

namespace {

const Sentence *sentenceAt(const Snapshot &table, const std::optional<RowRef> &ref)
{
    if (!ref)
        return nullptr;
    if (ref->variant < 0)
        return table.others.count > 0 ? &table.others.last : nullptr;
    const VariantRow *v = variantAt(table, *ref);
    return v ? &v->last : nullptr;
}

QString paddedKey(int n)
{
    return QString::number(n).rightJustified(6, QLatin1Char('0'));
}

} // namespace

RowModel::RowModel(QObject *parent)
    : SnapshotModel({QStringLiteral("Talker"), QStringLiteral("Sentence"), QStringLiteral("Variant"),
                     QStringLiteral("In our lists"), QStringLiteral("Count"), QStringLiteral("Rate"),
                     QStringLiteral("Age"), QStringLiteral("Bad checksum"), QStringLiteral("No checksum"),
                     QStringLiteral("Last sentence")},
                    parent)
{
}

void RowModel::refresh(const Snapshot &table)
{
    m_table = table;
    const qint64 nowMs = table.nowMs;
    QList<Row> rows;
    QList<RowRef> refs;
    const auto cells = [&](const QString &talker, const QString &identifier, const QString &variant,
                           const QString &lists, qint64 count, std::optional<double> rate, qint64 lastMs,
                           qint64 bad, qint64 missing, const Sentence &last) {
        return QStringList{talker,
                           identifier,
                           variant,
                           lists,
                           QString::number(count),
                           rateText(rate),
                           ageText(nowMs - lastMs),
                           QString::number(bad),
                           QString::number(missing),
                           QString::fromLatin1(last.text)};
    };
    for (const SentenceRow &r : table.rows) {
        const bool isOffered = offered(r);
        const QString lists = isOffered ? QStringLiteral("yes") : QStringLiteral("no: ") + offerText(r);
        for (int v = 0; v < r.variants.size(); ++v) {
            const VariantRow &vr = r.variants[v];
            Row row;
            // Keys sort by talker and sentence, then by the order the variants came in.
            row.key = r.key() + QChar(0x1f) + paddedKey(v);
            row.cells = cells(r.talker, r.identifier, vr.label, lists, vr.count,
                              rateOf(vr.count, vr.firstMs, vr.lastMs), vr.lastMs, vr.badChecksum,
                              vr.missingChecksum, vr.last);
            row.offered = isOffered;
            row.alternates = r.alternates();
            row.toolTip = offerText(r);
            if (row.alternates)
                row.toolTip += QStringLiteral("\n") + QLatin1String(AlternatesText);
            rows << row;
            refs << RowRef{r.key(), v};
        }
    }
    const SentenceRow &o = table.others;
    if (o.count > 0) {
        Row row;
        row.key = QString(QChar(0xffff));
        row.cells =
            cells(QString(), o.identifier, QString(),
                  QStringLiteral("no: not kept, past %1 names").arg(Monitor::MaxRows), o.count,
                  rateOf(o.count, o.firstMs, o.lastMs), o.lastMs, o.badChecksum, o.missingChecksum, o.last);
        row.offered = false;
        row.toolTip = QStringLiteral("sentences under further names, counted together");
        rows << row;
        refs << RowRef{QString(), -1};
    }
    m_refs = refs;
    update(rows);
}

std::optional<RowRef> RowModel::refAt(int row) const
{
    if (row < 0 || row >= m_refs.size())
        return std::nullopt;
    return m_refs[row];
}

FieldModel::FieldModel(QObject *parent)
    : SnapshotModel({QStringLiteral("Field"), QStringLiteral("Value"), QStringLiteral("Note")}, parent)
{
}

void FieldModel::show(const std::optional<RowRef> &ref)
{
    m_ref = ref;
    rebuild();
}

void FieldModel::refresh(const Snapshot &table)
{
    m_table = table;
    rebuild();
}

void FieldModel::rebuild()
{
    QList<Row> rows;
    if (const Sentence *s = sentenceAt(m_table, m_ref)) {
        const KindField *kind = kindFieldOf(*s);
        const QStringList parts = {QStringLiteral("type"), QStringLiteral("value"), QStringLiteral("units"),
                                   QStringLiteral("name")};
        for (int n = 1; n <= s->fields.size(); ++n) {
            Row row;
            row.key = paddedKey(n);
            QString note;
            if (isXdr(*s))
                note = QStringLiteral("%1 of transducer %2").arg(parts[(n - 1) % 4]).arg((n - 1) / 4 + 1);
            else if (kind && n == kind->field)
                note = QStringLiteral("kind: ") + QLatin1String(kind->meaning);
            else if (!s->proprietary)
                note = vocabulary::fieldName(s->identifier, n);
            if (n > MaxCommas) {
                note = (note.isEmpty() ? QString() : note + QStringLiteral("; ")) +
                       QStringLiteral("beyond \"Commas\" %1").arg(MaxCommas);
                row.offered = false;
            }
            row.cells = QStringList{QString::number(n), s->fields[n - 1], note};
            rows << row;
        }
    }
    update(rows);
}

QuadrupletModel::QuadrupletModel(QObject *parent)
    : SnapshotModel({QStringLiteral("Fields"), QStringLiteral("Type"), QStringLiteral("Value"),
                     QStringLiteral("Units"), QStringLiteral("Name")},
                    parent)
{
}

void QuadrupletModel::show(const std::optional<RowRef> &ref)
{
    m_ref = ref;
    rebuild();
}

void QuadrupletModel::refresh(const Snapshot &table)
{
    m_table = table;
    rebuild();
}

void QuadrupletModel::rebuild()
{
    QList<Row> rows;
    m_quadruplets.clear();
    const Sentence *s = sentenceAt(m_table, m_ref);
    if (s && isXdr(*s)) {
        m_quadruplets = quadrupletsOf(*s);
        for (const Quadruplet &q : m_quadruplets) {
            Row row;
            row.key = paddedKey(q.firstField);
            const auto numbered = [](int n, const QString &value) {
                return QStringLiteral("%1: %2").arg(n).arg(value);
            };
            row.cells = QStringList{QStringLiteral("%1-%2").arg(q.firstField).arg(q.firstField + 3),
                                    numbered(q.firstField, q.type), numbered(q.firstField + 1, q.value),
                                    numbered(q.firstField + 2, q.units), numbered(q.firstField + 3, q.name)};
            row.offered = !whyNotOffered(Pick{s->talker, s->identifier, q.valueField(), q.type});
            rows << row;
        }
    }
    update(rows);
}

std::optional<Quadruplet> QuadrupletModel::quadrupletAt(int row) const
{
    if (row < 0 || row >= m_quadruplets.size())
        return std::nullopt;
    return m_quadruplets[row];
}

} // namespace bus
