// One array of option buttons: one group, one keyboard stop. Tab into the group, or a window's focus
// returning to it, lands on the selected button, not on whichever button comes first.
#pragma once

#include <QButtonGroup>
#include <QHash>
#include <QList>

class QRadioButton;

namespace ui {

class OptionGroup : public QButtonGroup {
    Q_OBJECT
public:
    explicit OptionGroup(QObject *parent = nullptr);

    // Adds the built controls "name(0)" to "name(count - 1)", each with its index as id, and returns them.
    QList<QRadioButton *> addArray(const QHash<QString, QWidget *> &controls, const QString &name, int count);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateStops();
};

} // namespace ui
