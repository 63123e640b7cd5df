#include "ui/adapterquestion.h"

#include "settings/adapters.h"

#include <QMessageBox>

namespace ui {

namespace {

void showNotes(QWidget *parent, const QStringList &notes)
{
    if (notes.isEmpty())
        return;
    QMessageBox box(QMessageBox::Information, QStringLiteral("Remembered adapters"),
                    notes.join(QStringLiteral("\n\n")) + QLatin1Char('.'), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("adapterNote"));
    box.exec();
}

} // namespace

bool admitAdapter(QWidget *parent, const settings::Location &where, int number)
{
    QStringList notes;
    const bool admitted = settings::admitAdapter(
        where, number,
        [parent](const serial::AdapterChange &change) {
            QMessageBox box(QMessageBox::Question, AdapterQuestionTitle,
                            serial::changeText(change) +
                                QStringLiteral(".\n\nSend to the adapter COM%1 opens now, and remember it?")
                                    .arg(change.number),
                            QMessageBox::Yes | QMessageBox::No, parent);
            box.setObjectName(QStringLiteral("adapterQuestion"));
            // A slip of the Enter key sends nothing to the wrong display.
            box.setDefaultButton(QMessageBox::No);
            return box.exec() == QMessageBox::Yes;
        },
        &notes);
    showNotes(parent, notes);
    return admitted;
}

void keepChosenAdapter(QWidget *parent, const settings::Location &where, int number)
{
    QStringList notes;
    settings::admitAdapter(
        where, number, [](const serial::AdapterChange &) { return true; }, &notes);
    showNotes(parent, notes);
}

} // namespace ui
