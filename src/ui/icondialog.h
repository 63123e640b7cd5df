// frmIcons: which unit icon an MD90 from version 1.3 on is to activate. Keeps its choice from send to send.
// The dialog hands the choice back as a value; the main window alone keeps the program's icon index.
#pragma once

#include "ui/layout.h"
#include "ui/optiongroup.h"
#include "ui/secondarywindow.h"

#include <QList>

#include <cstdint>
#include <optional>

class QPushButton;
class QRadioButton;

namespace ui {

const QList<ControlSpec> &iconDialogLayout();

class IconDialog : public SecondaryWindow {
    Q_OBJECT
public:
    IconDialog();

    int selectedIndex() const;
    // The index of the selected option; nothing when no option is selected.
    std::optional<std::int16_t> chosenIcon() const;
    QRadioButton *optIcons(int index) const { return m_optIcons.at(index); }
    QPushButton *cmdIconsContinue() const { return m_cmdIconsContinue; }

signals:
    // The dialog is hidden; the main window takes chosenIcon() and goes on with its send.
    void continued();
    void selectionChanged();

protected:
    QWidget *initialFocus() const override;

private:
    void cmdIconsContinue_Click();

    QPushButton *m_cmdIconsContinue = nullptr;
    QList<QRadioButton *> m_optIcons;
    OptionGroup *m_group = nullptr;
};

} // namespace ui
