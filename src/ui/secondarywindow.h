// Base of the port dialog, the icon dialog and the progress window: a title but no close box, and a close
// request from the window manager or the system menu is refused; each goes away only by its own button.
// Each takes the keyboard focus when it appears and is kept whole on the screen.
#pragma once

#include <QWidget>

namespace ui {

class SecondaryWindow : public QWidget {
    Q_OBJECT
public:
    explicit SecondaryWindow(const QString &title, int clientWidthTwips, int clientHeightTwips);

    // Not a child of the main window (a disabled main window would disable it too), but kept above it.
    void setOwner(QWidget *owner) { m_owner = owner; }

protected:
    // The control that has the keyboard focus when the window appears; none gives its first stop.
    virtual QWidget *initialFocus() const { return nullptr; }
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QWidget *m_owner = nullptr;
};

} // namespace ui
