#include "ui/icondialog.h"

#include "frame/sentencebytes.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>

namespace ui {

const QList<ControlSpec> &iconDialogLayout()
{
    static const QList<ControlSpec> table = [] {
        QList<ControlSpec> t;
        const int lefts[5] = {240, 1440, 2640, 3840, 5040};
        const int tops[3] = {240, 720, 1200};
        const QStringList &captions = frame::iconCaptions();
        for (int i = 0; i < frame::IconCount; ++i) {
            // Filled down each column, keyboard order along the rows.
            const int column = i / 3;
            const int row = i % 3;
            const int width = captions[i] == QLatin1String("VOLTS") ? 825 : 800;
            t.append({QStringLiteral("optIcons(%1)").arg(i),
                      Kind::OptionButton,
                      captions[i],
                      {},
                      lefts[column],
                      tops[row],
                      width,
                      200,
                      row * 5 + column});
        }
        t.append({"cmdIconsContinue", Kind::CommandButton, "Continue", {}, 2040, 1680, 1815, 375, 15});
        return t;
    }();
    return table;
}

IconDialog::IconDialog()
    : SecondaryWindow(QStringLiteral("You can activate one of these Icons on MD90 Ver 1.3+"), 6030, 2370)
{
    setObjectName(QStringLiteral("frmIcons"));
    const auto controls = buildControls(this, iconDialogLayout());
    m_cmdIconsContinue = qobject_cast<QPushButton *>(controls.value(QStringLiteral("cmdIconsContinue")));
    m_group = new OptionGroup(this);
    m_optIcons = m_group->addArray(controls, QStringLiteral("optIcons"), frame::IconCount);
    m_optIcons[0]->setChecked(true);
    connect(m_group, &QButtonGroup::idToggled, this, [this](int, bool on) {
        if (on)
            emit selectionChanged();
    });
    connect(m_cmdIconsContinue, &QPushButton::clicked, this, &IconDialog::cmdIconsContinue_Click);
}

int IconDialog::selectedIndex() const
{
    return m_group->checkedId();
}

std::optional<std::int16_t> IconDialog::chosenIcon() const
{
    const int chosen = selectedIndex();
    return chosen >= 0 ? std::optional<std::int16_t>(std::int16_t(chosen)) : std::nullopt;
}

void IconDialog::cmdIconsContinue_Click()
{
    hide();
    emit continued();
}

QWidget *IconDialog::initialFocus() const
{
    // The selected option: arrows choose another, Tab reaches the button.
    QWidget *selected = m_group->checkedButton();
    return selected ? selected : m_cmdIconsContinue;
}

} // namespace ui
