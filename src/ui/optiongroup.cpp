#include "ui/optiongroup.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QRadioButton>

namespace ui {

OptionGroup::OptionGroup(QObject *parent) : QButtonGroup(parent)
{
    connect(this, &QButtonGroup::buttonToggled, this, &OptionGroup::updateStops);
}

void OptionGroup::updateStops()
{
    // The selected option is the group's one keyboard stop: the others take the focus by a click or an
    // arrow key only. Were they stops too, Shift+Tab from the selected one would land on the one before it
    // and be sent back, and never leave the group.
    QAbstractButton *selected = checkedButton();
    for (QAbstractButton *b : buttons())
        b->setFocusPolicy(!selected || b == selected ? Qt::StrongFocus : Qt::ClickFocus);
}

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
    updateStops();
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
