#include "ui/portdialog.h"

#include "serial/devicepath.h"
#include "serial/portmap.h"
#include "serial/portopener.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace ui {

const QList<ControlSpec> &portDialogLayout()
{
    static const QList<ControlSpec> table = [] {
        QList<ControlSpec> t = {
            {"lblComms", Kind::Label, "Please select a COM port", {}, 210, 210, 2010, 750, 0},
            {"cmdCommsAccept", Kind::CommandButton, "Accept", {}, 210, 1260, 855, 435, 9},
            {"optComm(0)", Kind::OptionButton, "None", {}, 1365, 1470, 750, 200, 10},
        };
        struct Row {
            int left, top, width, height, tab;
        };
        const Row rows[serial::MaxPortNumber] = {
            {2415, 210, 1170, 225, 1},  {2400, 630, 1170, 225, 2},  {2400, 1050, 1170, 225, 3},
            {2400, 1460, 1170, 225, 4}, {3500, 210, 1170, 200, 5},  {3500, 630, 1170, 200, 6},
            {3500, 1050, 1170, 200, 7}, {3500, 1460, 1170, 200, 8}, {4585, 210, 1050, 225, 18},
            {4585, 630, 1050, 225, 17}, {4585, 1050, 930, 225, 16}, {4585, 1460, 930, 225, 15},
            {5665, 210, 1170, 200, 14}, {5665, 630, 1170, 200, 13}, {5665, 1050, 1170, 200, 12},
            {5665, 1460, 1170, 200, 11}};
        for (int n = 1; n <= serial::MaxPortNumber; ++n) {
            const Row &r = rows[n - 1];
            t.append({QStringLiteral("optComm(%1)").arg(n),
                      Kind::OptionButton,
                      QStringLiteral("COM%1").arg(n),
                      {},
                      r.left,
                      r.top,
                      r.width,
                      r.height,
                      r.tab});
        }
        return t;
    }();
    return table;
}

PortDialog::PortDialog() : SecondaryWindow(QStringLiteral("Communication Port"), 6780, 1980)
{
    setObjectName(QStringLiteral("frmComms"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/port.png")));
    const auto controls = buildControls(this, portDialogLayout());
    m_lblComms = qobject_cast<QLabel *>(controls.value(QStringLiteral("lblComms")));
    m_cmdCommsAccept = qobject_cast<QPushButton *>(controls.value(QStringLiteral("cmdCommsAccept")));
    m_group = new OptionGroup(this);
    m_optComm = m_group->addArray(controls, QStringLiteral("optComm"), serial::MaxPortNumber + 1);
    connect(m_cmdCommsAccept, &QPushButton::clicked, this, &PortDialog::cmdCommsAccept_Click);
}

void PortDialog::Form_Load(int comPortNumber)
{
    select(comPortNumber);
}

void PortDialog::select(int index)
{
    if (index >= 0 && index < m_optComm.size())
        m_optComm[index]->setChecked(true);
}

int PortDialog::selectedIndex() const
{
    return m_group->checkedId();
}

std::optional<std::int16_t> PortDialog::chosenPort() const
{
    const int chosen = selectedIndex();
    return chosen >= 0 ? std::optional<std::int16_t>(std::int16_t(chosen)) : std::nullopt;
}

void PortDialog::cmdCommsAccept_Click()
{
    hide();
    emit accepted();
}

void PortDialog::showEvent(QShowEvent *event)
{
    refreshDeviceTips();
    SecondaryWindow::showEvent(event);
}

void PortDialog::refreshDeviceTips()
{
    // Adapters come and go: tell what each number opens on this computer now.
    const QList<serial::PortDevice> table = serial::portTable();
    for (const serial::PortDevice &port : table) {
        // A name from MDCONFIG_COM<n> is the user's text: control characters escaped, and never read as
        // the markup a tooltip would otherwise render.
        // Each says what the device is (a built-in port or a USB adapter, with its maker, product, serial and
        // stable name), so COM1 is never taken for the adapter by mistake.
        const QString tip =
            port.device.isEmpty() ? serial::noDeviceText(port.number) : serial::portLine(port);
        m_optComm[port.number]->setToolTip(
            QStringLiteral("<p style='white-space:pre'>%1</p>").arg(tip.toHtmlEscaped()));
        m_optComm[port.number]->setAccessibleDescription(tip);
    }
    m_optComm[0]->setToolTip(QStringLiteral("No port: a send asks for a port number."));
    m_optComm[0]->setAccessibleDescription(QStringLiteral("No port: a send asks for a port number."));
}

QWidget *PortDialog::initialFocus() const
{
    // The selected option: arrows choose another, Tab reaches the button.
    QWidget *selected = m_group->checkedButton();
    return selected ? selected : m_cmdCommsAccept;
}

} // namespace ui
