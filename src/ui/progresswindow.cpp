#include "ui/progresswindow.h"

#include "ui/accessibility.h"

#include <QLabel>
#include <QProgressBar>

namespace ui {

const QList<ControlSpec> &progressWindowLayout()
{
    static const QList<ControlSpec> table = {
        {"lblProgress", Kind::Label, "Progress", {}, 240, 360, 735, 255, 0},
        {"ProgressBar1", Kind::ProgressBar, {}, {}, 1080, 360, 2595, 255, 1},
    };
    return table;
}

ProgressWindow::ProgressWindow() : SecondaryWindow(QStringLiteral("Transferring Data"), 4065, 1035)
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/progress.png")));
    const auto controls = buildControls(this, progressWindowLayout());
    m_lblProgress = qobject_cast<QLabel *>(controls.value(QStringLiteral("lblProgress")));
    m_progressBar1 = qobject_cast<QProgressBar *>(controls.value(QStringLiteral("ProgressBar1")));
    m_progressBar1->setRange(0, 10);
    m_progressBar1->setValue(0);
    nameByLabels(controls, {{QStringLiteral("lblProgress"), QStringLiteral("ProgressBar1")}});
    // Its window definition puts the client area over the left part of the main window.
    moveTwips(this, 4680, 5700);
}

void ProgressWindow::startSend()
{
    m_progressBar1->setValue(0);
    setWindowTitle(QStringLiteral("Sending new sentence..."));
    show();
}

void ProgressWindow::showProgress(const frame::SendProgress &progress)
{
    m_progressBar1->setValue(progress.barValue());
}

} // namespace ui
