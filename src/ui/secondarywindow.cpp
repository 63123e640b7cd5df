#include "ui/secondarywindow.h"

#include "ui/keyboard.h"
#include "ui/layout.h"
#include "ui/placement.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QWindow>

namespace ui {

SecondaryWindow::SecondaryWindow(const QString &title, int clientWidthTwips, int clientHeightTwips)
{
    makeSecondaryWindow(this);
    setWindowTitle(title);
    setFixedSize(pixels(clientWidthTwips), pixels(clientHeightTwips));
    keepOnScreenWhenShown(this);
}

void SecondaryWindow::showEvent(QShowEvent *event)
{
    if (m_owner && windowHandle() && m_owner->windowHandle())
        windowHandle()->setTransientParent(m_owner->windowHandle());
    QWidget::showEvent(event);
    takeFocusOnceShown(this, initialFocus());
}

void SecondaryWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
}

void SecondaryWindow::keyPressEvent(QKeyEvent *event)
{
    // Escape closes nothing here.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace ui
