// frmComms, "Communication Port": the user picks the COM port number; Accept only sets the number.
#pragma once

#include "ui/layout.h"
#include "ui/optiongroup.h"
#include "ui/secondarywindow.h"

#include <QList>

#include <cstdint>

class QLabel;
class QPushButton;
class QRadioButton;

namespace ui {

const QList<ControlSpec> &portDialogLayout();

class PortDialog : public SecondaryWindow {
    Q_OBJECT
public:
    explicit PortDialog(std::int16_t &comPortNumber);

    void Form_Load();
    // Selects the option of a port number, as when a number is typed at the port error prompt.
    void select(int index);
    int selectedIndex() const;
    QRadioButton *optComm(int index) const { return m_optComm.at(index); }
    QPushButton *cmdCommsAccept() const { return m_cmdCommsAccept; }

signals:
    // ComPortNumber is set and the dialog hidden; the main window enables itself and refreshes its label.
    void accepted();

protected:
    QWidget *initialFocus() const override;
    void showEvent(QShowEvent *event) override;

private:
    void cmdCommsAccept_Click();
    void refreshDeviceTips();

    std::int16_t &m_comPortNumber;
    QLabel *m_lblComms = nullptr;
    QPushButton *m_cmdCommsAccept = nullptr;
    QList<QRadioButton *> m_optComm;
    OptionGroup *m_group = nullptr;
};

} // namespace ui
