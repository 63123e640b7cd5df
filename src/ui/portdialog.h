// frmComms, "Communication Port": the user picks the COM port number. The dialog hands the choice back as a
// value; the main window alone keeps the program's port number.
#pragma once

#include "ui/layout.h"
#include "ui/optiongroup.h"
#include "ui/secondarywindow.h"

#include <QList>

#include <cstdint>
#include <optional>

class QLabel;
class QPushButton;
class QRadioButton;

namespace ui {

const QList<ControlSpec> &portDialogLayout();

class PortDialog : public SecondaryWindow {
    Q_OBJECT
public:
    PortDialog();

    // Selects the option of the program's port number when the dialog is first loaded.
    void Form_Load(int comPortNumber);
    // Selects the option of a port number, as when a number is typed at the port error prompt.
    void select(int index);
    int selectedIndex() const;
    // The number of the selected option; nothing when no option is selected.
    std::optional<std::int16_t> chosenPort() const;
    QRadioButton *optComm(int index) const { return m_optComm.at(index); }
    QPushButton *cmdCommsAccept() const { return m_cmdCommsAccept; }

signals:
    // The dialog is hidden; the main window takes chosenPort(), enables itself and refreshes its label.
    void accepted();

protected:
    QWidget *initialFocus() const override;
    void showEvent(QShowEvent *event) override;

private:
    void cmdCommsAccept_Click();
    void refreshDeviceTips();

    QLabel *m_lblComms = nullptr;
    QPushButton *m_cmdCommsAccept = nullptr;
    QList<QRadioButton *> m_optComm;
    OptionGroup *m_group = nullptr;
};

} // namespace ui
