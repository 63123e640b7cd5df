#include "serial/adapteridentity.h"

#include "serial/devicepath.h"

#include <tuple>

namespace serial {

bool AdapterIdentity::isEmpty() const
{
    return name.isEmpty() && manufacturer.isEmpty() && product.isEmpty() && serialNumber.isEmpty();
}

AdapterIdentity identityOf(const PortDevice &port)
{
    if (port.kind != PortKind::UsbAdapter || port.device.isEmpty())
        return {};
    const QString name = port.serialNumber.isEmpty() && !port.byPath.isEmpty() ? port.byPath
                         : port.byId.isEmpty()                                 ? port.byPath
                                                                               : port.byId;
    return {name, port.manufacturer, port.product, port.serialNumber, port.device};
}

bool sameAdapter(const AdapterIdentity &a, const AdapterIdentity &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (!a.name.isEmpty() && !b.name.isEmpty())
        return a.name == b.name;
    return std::tie(a.manufacturer, a.product, a.serialNumber) ==
           std::tie(b.manufacturer, b.product, b.serialNumber);
}

QString adapterLine(const AdapterIdentity &identity)
{
    PortDevice d;
    d.device = identity.device;
    d.kind = PortKind::UsbAdapter;
    d.manufacturer = identity.manufacturer;
    d.product = identity.product;
    d.serialNumber = identity.serialNumber;
    // The name shown is the one kept, whichever of the two it is.
    d.byId = identity.name;
    return printable(identity.device) + QStringLiteral(": ") + kindText(d);
}

AdapterIdentity adapterAt(int number)
{
    const PortDevice port = portDevice(number);
    AdapterIdentity now = identityOf(port.overridden ? describeDevice(port.device) : port);
    now.device = port.device;
    return now;
}

std::optional<AdapterChange> adapterChange(int number, const AdapterIdentity &now,
                                           const std::optional<AdapterIdentity> &remembered)
{
    if (!remembered || remembered->isEmpty() || sameAdapter(*remembered, now))
        return std::nullopt;
    return AdapterChange{number, *remembered, now};
}

QString changeText(const AdapterChange &change)
{
    QString now;
    if (!change.now.isEmpty())
        now = adapterLine(change.now);
    else if (!change.now.device.isEmpty())
        now = portLine(describeDevice(change.now.device));
    else
        now = QStringLiteral("no serial device");
    return QStringLiteral("COM%1 now opens %2, not the adapter remembered for it, %3")
        .arg(change.number)
        .arg(now, adapterLine(change.remembered));
}

} // namespace serial
