// One array of option buttons: one group, one keyboard stop. Tab into the group lands on the selected
// button, as users of such dialogs expect, not on whichever button comes first.
#pragma once

#include <QButtonGroup>

namespace ui {

class OptionGroup : public QButtonGroup {
    Q_OBJECT
public:
    explicit OptionGroup(QObject *parent = nullptr);

    void addOption(QAbstractButton *button, int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace ui
