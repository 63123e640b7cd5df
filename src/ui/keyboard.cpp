#include "ui/keyboard.h"

#include "ui/showhook.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace ui {

namespace {

class EnterPresses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto *key = static_cast<QKeyEvent *>(event);
        const auto modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || modifiers != Qt::NoModifier)
            return false;
        auto *button = static_cast<QAbstractButton *>(watched);
        // Held down, the key presses once, as Space does.
        if (!key->isAutoRepeat() && button->isEnabled())
            button->click();
        return true;
    }
};

} // namespace

void pressWithEnter(QAbstractButton *button)
{
    button->installEventFilter(new EnterPresses(button));
}

void takeFocus(QWidget *window, QWidget *control)
{
    window->activateWindow();
    if (control && control->isVisible() && control->isEnabled()) {
        control->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The first keyboard stop: the next widget in the chain that Tab would reach.
    for (QWidget *w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled() && w->window() == window) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void takeFocusOnceShown(QWidget *window, QWidget *control)
{
    // Some window systems ignore an activation asked for before the window is on the screen.
    if (control)
        control->setFocus(Qt::OtherFocusReason);
    onceShown(window, [window, control = QPointer<QWidget>(control)] { takeFocus(window, control); });
}

void takeFocusWhenShown(QWidget *window)
{
    onEachShow(window, [](QWidget *w) { takeFocusOnceShown(w, w->focusWidget()); });
}

QWidget *focusedStop(QWidget *area)
{
    QWidget *focus = area ? area->window()->focusWidget() : nullptr;
    const bool stop =
        focus && focus != area && area->isAncestorOf(focus) && (focus->focusPolicy() & Qt::TabFocus);
    return stop ? focus : nullptr;
}

} // namespace ui
