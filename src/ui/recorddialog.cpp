#include "ui/recorddialog.h"

#include "bus/recording.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

namespace ui {

RecordDialog::RecordDialog(QWidget *parent)
    : QFileDialog(parent, QStringLiteral("Record the bus into a new file"))
{
    // Qt's own dialog, so the limit can sit under the file name; a system dialog takes no extra field.
    setOption(QFileDialog::DontUseNativeDialog);
    // The recorder refuses a name that exists: no question of replacing it is asked.
    setOption(QFileDialog::DontConfirmOverwrite);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilters({QStringLiteral("NMEA recordings (*.nmea)"), QStringLiteral("All files (*)")});
    setDefaultSuffix(QStringLiteral("nmea"));
    setDirectory(QDir::homePath());

    m_spnLimit = new QSpinBox(this);
    m_spnLimit->setObjectName(QStringLiteral("spnLimit"));
    m_spnLimit->setRange(1, 4096);
    m_spnLimit->setValue(int(bus::DefaultRecordingLimit / (1024 * 1024)));
    m_spnLimit->setSuffix(QStringLiteral(" MiB"));
    m_spnLimit->setAccessibleName(QStringLiteral("Stop at"));
    auto *label = new QLabel(QStringLiteral("S&top at:"), this);
    label->setBuddy(m_spnLimit);
    if (auto *grid = qobject_cast<QGridLayout *>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(m_spnLimit, row, 1);
    }
}

void RecordDialog::done(int result)
{
    m_chosen = result == QDialog::Accepted ? selectedFiles().value(0) : QString();
    QFileDialog::done(result);
}

QString RecordDialog::chosenFile() const
{
    return result() == QDialog::Accepted ? m_chosen : QString();
}

qint64 RecordDialog::limit() const
{
    return qint64(m_spnLimit->value()) * 1024 * 1024;
}

} // namespace ui
