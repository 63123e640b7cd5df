// frmMain as the window is drawn: one table row per control in twips, the product options made from the
// product table, the menus, and the form that builds them all onto the window, as a designer form would.
#pragma once

#include "frame/configuration.h"
#include "ui/layout.h"
#include "ui/optiongroup.h"
#include "vocabulary/vocabulary.h"

#include <QList>
#include <QPair>

class QAction;
class QComboBox;
class QLabel;
class QMainWindow;
class QPushButton;
class QRadioButton;

namespace ui {

const QList<ControlSpec> &mainWindowLayout();

// The controls and menu items of frmMain, by the names the product gives them.
struct MainForm {
    QList<QRadioButton *> optProduct;
    OptionGroup *productGroup = nullptr;
    QLabel *lblCommsPort = nullptr;
    QComboBox *cmbNmeaTalker = nullptr;
    QComboBox *cmbNmeaID = nullptr;
    QComboBox *cmbNmeaCommas = nullptr;
    QComboBox *cboMemoryLocation1 = nullptr;
    QComboBox *cboXDR = nullptr;
    QComboBox *cboVmInstrumentID = nullptr;
    QComboBox *cboMemoryLocation2 = nullptr;
    QPushButton *cmdSend1 = nullptr;
    QPushButton *cmdSend2 = nullptr;
    QPushButton *cmdQuit = nullptr;
    QAction *ComsPort = nullptr;
    QAction *Help_MD20_40 = nullptr;
    QAction *Help_MD90 = nullptr;
    QAction *About = nullptr;
    QAction *Plan = nullptr;       // Display > Plan…: the plan window
    QAction *BusMonitor = nullptr; // Display > Bus monitor…: what the bus carries
    // Each list with the entries it holds, in the order start-up fills them.
    QList<QPair<QComboBox *, vocabulary::List>> lists;

    // Builds the client area, the controls (the transducer type list hidden, the newest product selected)
    // and the menus onto the window; the window connects them to its handlers.
    void setupUi(QMainWindow *window);

    // What the standard frame's lists and the proprietary frame's lists choose now, with the given icon.
    frame::Configuration standard(int icon) const;
    frame::Configuration proprietary(int icon) const;
    // Sets talker, sentence, "Commas" and, for XDR, the transducer type; an entry that names nothing (-1, or
    // field 0) leaves its list as it is.
    void showStandard(const frame::Standard &s);
    // What each "Commas" entry holds in the chosen sentence, as the entries' tooltips and the list's own.
    void showFieldCaptions();
};

} // namespace ui
