#include "ui/optiongroup.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QRadioButton>

namespace ui {

OptionGroup::OptionGroup(QObject *parent) : QButtonGroup(parent) {}

QList<QRadioButton *> OptionGroup::addArray(const QHash<QString, QWidget *> &controls, const QString &name,
                                            int count)
{
    QList<QRadioButton *> options;
    for (int i = 0; i < count; ++i) {
        auto *option =
            qobject_cast<QRadioButton *>(controls.value(QStringLiteral("%1(%2)").arg(name).arg(i)));
        addButton(option, i);
        option->installEventFilter(this);
        options.append(option);
    }
    return options;
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
