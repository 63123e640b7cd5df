// frmProgress: shown while a sentence is on its way, its bar counting the ten repetitions.
#pragma once

#include "frame/sendstep.h"
#include "ui/layout.h"
#include "ui/secondarywindow.h"

class QLabel;
class QProgressBar;

namespace ui {

const QList<ControlSpec> &progressWindowLayout();

class ProgressWindow : public SecondaryWindow {
    Q_OBJECT
public:
    ProgressWindow();

    QLabel *lblProgress() const { return m_lblProgress; }
    QProgressBar *ProgressBar1() const { return m_progressBar1; }

    // A send begins: the bar at 0, the title "Sending new sentence...", the window shown.
    void startSend();
    // A repetition went out: the bar counts it, back to 0 after the last.
    void showProgress(const frame::SendProgress &progress);

private:
    QLabel *m_lblProgress = nullptr;
    QProgressBar *m_progressBar1 = nullptr;
};

} // namespace ui
