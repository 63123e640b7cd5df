#include "ui/accessibility.h"

#include <QLabel>
#include <QWidget>

namespace ui {

void nameAfterCaption(QWidget *control, const QString &caption)
{
    // Captions hold two blanks in places ("MD90  Ver 1.3 +"); a reader needs only one.
    const QString spoken = caption.simplified();
    if (!spoken.isEmpty())
        control->setAccessibleName(spoken);
}

void nameByLabels(const QHash<QString, QWidget *> &controls, const QList<QPair<QString, QString>> &pairs)
{
    for (const auto &[labelName, controlName] : pairs) {
        auto *label = qobject_cast<QLabel *>(controls.value(labelName));
        QWidget *control = controls.value(controlName);
        if (!label || !control)
            continue;
        label->setBuddy(control);
        control->setAccessibleName(label->text().simplified());
    }
}

} // namespace ui
