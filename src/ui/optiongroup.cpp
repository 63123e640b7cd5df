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
        // Only a click may focus an option that is not the selected one (and selects it). The keyboard focus
        // that comes back to the group any other way (Tab, a window that becomes active again) lands on the
        // selected option, so a Space there changes nothing.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        QAbstractButton *selected = checkedButton();
        if (reason != Qt::MouseFocusReason && selected && selected != watched)
            selected->setFocus(reason);
    }
    return QButtonGroup::eventFilter(watched, event);
}

} // namespace ui
