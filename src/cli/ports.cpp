// ports: the COM port numbers that name a device on this computer, and what each opens.
#include "cli/cli.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"
#include "serial/devicepath.h"
#include "serial/portmap.h"

#include <QJsonObject>

namespace cli {

int ports(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("ports")));
    o.parse(arguments);
    if (o.helpAsked()) {
        io.out << usageText();
        return Ok;
    }
    int listed = 0;
    for (const serial::PortDevice &p : serial::portTable()) {
        if (p.device.isEmpty())
            continue;
        ++listed;
        if (o.has(QStringLiteral("--json"))) {
            io.out << jsonLine({{"port", p.number},
                                {"device", serial::printable(p.device)},
                                {"description", p.description}})
                   << '\n';
            continue;
        }
        io.out << QStringLiteral("COM%1").arg(p.number).leftJustified(7) << serial::shownDevice(p.device);
        if (!p.description.isEmpty())
            io.out << "  " << p.description;
        io.out << '\n';
    }
    if (listed == 0 && !o.has(QStringLiteral("--json")))
        io.out << "no serial port found on this computer\n";
    return Ok;
}

} // namespace cli
