// The windows' side of adapters known by who they are: before a send to COMn that now opens another
// adapter than the one remembered for it, a question naming both.
#pragma once

#include "settings/settings.h"

#include <QString>
#include <QWidget>

namespace ui {

inline const QString AdapterQuestionTitle = QStringLiteral("Another adapter");

// Yes sends and remembers the adapter COMn opens now, No sends nothing; with nothing remembered there is no
// question and the adapter is remembered. A damaged file of remembered adapters is said in a box of its own.
bool admitAdapter(QWidget *parent, const settings::Location &where, int number);

// A number chosen in the port dialog: the adapter it opens now is the one meant, and is remembered.
void keepChosenAdapter(QWidget *parent, const settings::Location &where, int number);

} // namespace ui
