// A display plan being edited: ten rows, one per memory location, each not used, a standard sentence or an
// instrument, with the file it came from, whether it has changed since, what a check finds on each row and
// what a send did to each. The plan window only shows this and hands it what the user does; tests drive it
// without a window.
#pragma once

#include "plan/plan.h"
#include "plan/plansend.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace plan {

enum class RowKind { Unused, Standard, Instrument };

// One row as the user leaves it: the kind, the choices of both kinds (so a kind picked again finds its last
// choices), the icon and the note.
struct Row {
    RowKind kind = RowKind::Unused;
    frame::Standard standard{0, 0, 1, 0}; // the first entry of every list, as the main window starts
    frame::Instrument instrument{0};
    int icon = 0;
    QString note;

    bool operator==(const Row &) const = default;
};

// What a send did to one row.
enum class RowState { NotSent, Sending, Sent, Failed, Stopped };
struct RowStatus {
    RowState state = RowState::NotSent;
    QString why; // for Failed, Stopped and for a NotSent that a stopped send left behind

    QString text() const; // "not sent", "sending", "sent", "failed: why", "stopped: why"
};

// "location 3 of 7, repetition 4 of 10": where a send of a whole plan stands.
QString progressText(int ordinal, int total, int repetition);

class PlanEditor {
public:
    PlanEditor();

    // A new plan: every row not used, the product given, no file, nothing changed.
    void newPlan(int product);
    // Reads the file. A plan with faults is opened with each fault on its row (the others on the plan as a
    // whole); a file that is no plan at all (not TOML, too large, not a regular file) is refused and the
    // plan stays as it was. Returns the faults of a refused file, each as `plan check` writes it; empty when
    // the plan was opened.
    QStringList open(const QString &path);
    // The comments a save to path would drop from what is there now; empty when there is no file yet.
    QStringList commentsLostBySave(const QString &path) const;
    // Writes the plan to path, replacing the file whole; refuses a plan with faults (see check). Returns
    // why nothing was written; on success path becomes the plan's file and nothing is changed any more.
    std::optional<QString> saveAs(const QString &path);

    int product() const { return m_product; }
    void setProduct(int product);
    RowKind kind(int location) const { return row(location).kind; }
    const Row &row(int location) const;
    // Takes the row's kind, choices and icon; its note stays as it is (setNote).
    void setRow(int location, const Row &row);
    void setNote(int location, const QString &note);
    // The plan's location for a used row.
    Location location(int location) const;

    // The plan the used rows make, in location order.
    Plan plan() const;
    // The file text a save writes.
    QByteArray text() const;
    QString path() const { return m_path; }
    // How the plan is named in the title and in faults: the file's name, or "new plan".
    QString name() const;
    bool isModified() const { return m_modified; }

    // Checks the plan as `plan check` would check the saved file. Faults of a row go to that row, the others
    // to the plan as a whole; the texts are those `plan check` prints, named by the plan's file.
    void check();
    QStringList faults(int location) const { return m_rowFaults.value(location); }
    QStringList planFaults() const { return m_planFaults; }
    bool hasFaults() const;
    // What a used row may show other than expected (see plan::warnings); never a fault, found as it is
    // edited.
    QStringList warnings(int location) const;

    // What a send did. Editing a row makes it not sent again: the display no longer holds what it shows.
    const RowStatus &status(int location) const;
    void setStatus(int location, const RowStatus &status);
    // Takes a send's report: sent rows sent, the row it stopped at failed with the reason, the rest not
    // sent. Returns the location a "Send from" resumes at, or nothing when the whole plan went out.
    std::optional<int> takeReport(const SendReport &report);

private:
    static int index(int location);
    void takeFaults(const QList<Fault> &faults);
    void changed(int location);

    int m_product = vocabulary::DefaultProductIndex;
    std::array<Row, LastLocation> m_rows;
    std::array<RowStatus, LastLocation> m_status;
    QHash<int, QStringList> m_rowFaults;
    QStringList m_planFaults;
    // The file's product named nothing: the window shows its own until the user picks one.
    QStringList m_productFaults;
    QString m_path;
    bool m_modified = false;
};

} // namespace plan
