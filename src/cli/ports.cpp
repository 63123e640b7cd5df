// ports: the COM port numbers that name a device on this computer, what each opens and what it is.
#include "cli/cli.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"
#include "serial/devicepath.h"
#include "serial/portmap.h"

#include <QJsonObject>

namespace cli {
namespace {

const char *kindName(serial::PortKind kind)
{
    switch (kind) {
    case serial::PortKind::BuiltIn:
        return "built-in";
    case serial::PortKind::UsbAdapter:
        return "usb";
    case serial::PortKind::Other:
        break;
    }
    return "other";
}

} // namespace

int ports(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("ports")));
    o.parse(arguments);
    if (o.helpAsked()) {
        io.out << o.help();
        return Ok;
    }
    int listed = 0;
    for (const serial::PortDevice &p : serial::portTable()) {
        if (p.device.isEmpty())
            continue;
        ++listed;
        if (o.has(QStringLiteral("--json"))) {
            io.out << jsonLine(QJsonObject{{QStringLiteral("port"), p.number},
                                           {QStringLiteral("device"), serial::printable(p.device)},
                                           {QStringLiteral("description"), p.description},
                                           {QStringLiteral("kind"), QLatin1String(kindName(p.kind))},
                                           {QStringLiteral("manufacturer"), p.manufacturer},
                                           {QStringLiteral("product"), p.product},
                                           {QStringLiteral("serialNumber"), p.serialNumber},
                                           {QStringLiteral("byId"), p.byId},
                                           {QStringLiteral("what"), serial::kindText(p)}})
                   << '\n';
            continue;
        }
        io.out << QStringLiteral("COM%1").arg(p.number).leftJustified(7) << serial::portLine(p) << '\n';
    }
    if (listed == 0 && !o.has(QStringLiteral("--json")))
        io.out << "no serial port found on this computer\n";
    return Ok;
}

} // namespace cli
