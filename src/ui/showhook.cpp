#include "ui/showhook.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace ui {
namespace {

class ShowHook : public QObject {
public:
    ShowHook(QWidget *window, std::function<void(QWidget *)> act) : QObject(window), m_act(std::move(act)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            m_act(static_cast<QWidget *>(watched));
        return false;
    }

private:
    std::function<void(QWidget *)> m_act;
};

} // namespace

void onEachShow(QWidget *window, std::function<void(QWidget *)> act)
{
    window->installEventFilter(new ShowHook(window, std::move(act)));
}

void onceShown(QWidget *window, std::function<void()> act)
{
    QTimer::singleShot(0, window, [window, act = std::move(act)] {
        if (window->isVisible())
            act();
    });
}

} // namespace ui
