// The bus monitor's Record… dialog: the new file to record into, with the .nmea ending, and the size the
// recording stops at, asked together in one dialog.
#pragma once

#include <QFileDialog>

class QSpinBox;

namespace ui {

class RecordDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit RecordDialog(QWidget *parent = nullptr);

    // The file chosen, with .nmea added when the name has no ending; empty until accepted.
    QString chosenFile() const;
    // The size to stop at, in bytes.
    qint64 limit() const;

protected:
    // Takes the file as the dialog ends: the dialog's folder listing, on a thread of its own, may clear the
    // name afterwards.
    void done(int result) override;

private:
    QSpinBox *m_spnLimit = nullptr;
    QString m_chosen;
};

} // namespace ui
