// frmMain's controls as the window is drawn: one row per control in twips, the product options made from
// the product table, and the names a screen reader gives the lists.
#pragma once

#include "ui/layout.h"
#include "vocabulary/vocabulary.h"

namespace ui {

const QList<ControlSpec> &mainWindowLayout();

// Each list of the window with the entries it holds, in the order start-up fills them.
const QList<QPair<QString, vocabulary::List>> &mainLists();

// The lists are named by the labels above them; the transducer type list has none of its own.
void nameMainControls(const QHash<QString, QWidget *> &controls);

} // namespace ui
