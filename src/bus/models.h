// The bus as Qt item models for a live view: the rows a monitor counts, the fields of one of them, and XDR's
// transducers. Each shows the snapshot its refresh() was given, so a paused view stays as it was while
// counting goes on. A refresh inserts and removes rows where they belong and sends one dataChanged per
// changed row: a view never sees a reset while it is live.
#pragma once

#include "bus/snapshot.h"

#include <QAbstractTableModel>
#include <QStringList>

namespace bus {

// A table of text kept as rows with a sort key; update() turns the old rows into the new ones.
class SnapshotModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        OfferedRole = Qt::UserRole + 1, // bool: whether our lists offer what the row shows
        AlternatesRole,                 // bool: a display set to this sentence shows its variants in turn
    };
    struct Row {
        QString key; // rows stay ordered by key
        QStringList cells;
        QString toolTip;
        bool offered = true;
        bool alternates = false;
    };

    SnapshotModel(QStringList headers, QObject *parent);
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    const Row *rowAt(int row) const;

protected:
    // Takes new rows, ordered by key and each key once.
    void update(const QList<Row> &rows);

private:
    QStringList m_headers;
    QList<Row> m_rows;
};

// Where a row of the bus table points: a row of the monitor and one of its variants (-1: the others).
struct RowRef {
    QString key;
    int variant = 0;
    bool operator==(const RowRef &) const = default;
};

// One row per talker, sentence and variant; a last row counts the sentences under further names.
class RowModel : public SnapshotModel {
    Q_OBJECT
public:
    enum Column { Talker, Identifier, Variant, Lists, Count, Rate, Age, BadChecksum, NoChecksum, Last };
    explicit RowModel(QObject *parent = nullptr);
    // Shows the table; ages are measured to its nowMs, the time of the last bytes fed.
    void refresh(const Snapshot &table);
    std::optional<RowRef> refAt(int row) const;
    // The table shown now.
    const Snapshot &table() const { return m_table; }

private:
    Snapshot m_table;
    QList<RowRef> m_refs;
};

// The variant a reference names in a table, or nothing when it is gone (after Clear).
const VariantRow *variantAt(const Snapshot &table, const RowRef &ref);

// The fields of one row's last sentence, numbered as the display's "Commas" counts them.
class FieldModel : public SnapshotModel {
    Q_OBJECT
public:
    enum Column { Number, Value, Note };
    explicit FieldModel(QObject *parent = nullptr);
    // Shows another row of the table last given.
    void show(const std::optional<RowRef> &ref);
    void refresh(const Snapshot &table);
    const std::optional<RowRef> &shown() const { return m_ref; }
    // The field number of a row of this table.
    int fieldAt(int row) const { return row + 1; }

private:
    void rebuild();
    Snapshot m_table;
    std::optional<RowRef> m_ref;
};

// The transducers of an XDR row, one a row: type, value, units and name with their field numbers. Empty
// for any other sentence.
class QuadrupletModel : public SnapshotModel {
    Q_OBJECT
public:
    enum Column { Fields, Type, Value, Units, Name };
    explicit QuadrupletModel(QObject *parent = nullptr);
    void show(const std::optional<RowRef> &ref);
    void refresh(const Snapshot &table);
    std::optional<Quadruplet> quadrupletAt(int row) const;

private:
    void rebuild();
    Snapshot m_table;
    std::optional<RowRef> m_ref;
    QList<Quadruplet> m_quadruplets;
};

// The texts the bus table shows for a rate and an age.
QString rateText(std::optional<double> rate);
QString ageText(qint64 ageMs);

} // namespace bus
