#include "ui/optiongroup.h"

#include <QAbstractButton>
#include <QFocusEvent>

namespace ui {

OptionGroup::OptionGroup(QObject *parent) : QButtonGroup(parent) {}

void OptionGroup::addOption(QAbstractButton *button, int index)
{
    addButton(button, index);
    button->installEventFilter(this);
}

bool OptionGroup::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        QAbstractButton *selected = checkedButton();
        if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) && selected &&
            selected != watched)
            selected->setFocus(reason);
    }
    return QButtonGroup::eventFilter(watched, event);
}

} // namespace ui
