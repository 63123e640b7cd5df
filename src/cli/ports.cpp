// ports: the COM port numbers that name a device on this computer, what each opens and what it is.
#include "cli/cli.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"
#include "serial/adapteridentity.h"
#include "serial/devicepath.h"
#include "serial/portmap.h"
#include "settings/adapters.h"

#include <QJsonArray>
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
        io.out << usageText();
        return Ok;
    }
    int listed = 0;
    const settings::RememberedAdapters remembered =
        settings::loadAdapters(settings::adaptersLocation().readPath);
    if (!remembered.problem.isEmpty())
        io.err << "mdconfig-cli: note: " << remembered.problem << '\n';
    for (const serial::PortDevice &p : serial::portTable()) {
        if (p.device.isEmpty())
            continue;
        ++listed;
        // The numbers this adapter is remembered for: its own, or another it had before a re-plug.
        const QList<int> rememberedFor = settings::rememberedFor(remembered.adapters, serial::identityOf(p));
        if (o.has(QStringLiteral("--json"))) {
            QJsonArray numbers;
            for (int n : rememberedFor)
                numbers << n;
            io.out << jsonLine(QJsonObject{{QStringLiteral("port"), p.number},
                                           {QStringLiteral("device"), serial::printable(p.device)},
                                           {QStringLiteral("description"), p.description},
                                           {QStringLiteral("kind"), QLatin1String(kindName(p.kind))},
                                           {QStringLiteral("manufacturer"), p.manufacturer},
                                           {QStringLiteral("product"), p.product},
                                           {QStringLiteral("serialNumber"), p.serialNumber},
                                           {QStringLiteral("byId"), p.byId},
                                           {QStringLiteral("what"), serial::kindText(p)},
                                           {QStringLiteral("rememberedFor"), numbers}})
                   << '\n';
            continue;
        }
        QStringList marks;
        for (int n : rememberedFor)
            marks << QStringLiteral("COM%1").arg(n);
        io.out << QStringLiteral("COM%1").arg(p.number).leftJustified(7) << serial::portLine(p)
               << (marks.isEmpty()
                       ? QString()
                       : QStringLiteral("  [remembered for %1]").arg(marks.join(QStringLiteral(", "))))
               << '\n';
    }
    if (listed == 0 && !o.has(QStringLiteral("--json")))
        io.out << "no serial port found on this computer\n";
    return Ok;
}

} // namespace cli
