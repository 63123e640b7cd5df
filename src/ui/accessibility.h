// What a screen reader says for the controls: every control carries an accessible name, taken from its own
// caption or from the label that names it, and such a label is its control's buddy.
#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>

class QWidget;

namespace ui {

// Names a built control after its caption (buttons, option buttons, labels, frames with a caption).
void nameAfterCaption(QWidget *control, const QString &caption);

// Each pair is (label, control): the label becomes the control's buddy, and its text the control's name.
void nameByLabels(const QHash<QString, QWidget *> &controls, const QList<QPair<QString, QString>> &pairs);

} // namespace ui
