#include "cli/adaptercheck.h"

#include "serial/adapteridentity.h"
#include "serial/devicepath.h"
#include "settings/adapters.h"

#include <QFileInfo>

namespace cli {

bool anyAdapterOf(const Options &o, const Target &target)
{
    const QString any = QStringLiteral("--any-adapter");
    if (target.port == 0)
        o.refuse({any}, QStringLiteral("to --device, which names the device itself"));
    return o.has(any);
}

bool admitTarget(const Target &target, bool anyAdapter, Io &io)
{
    if (target.port == 0)
        return true;
    QString refusal;
    QStringList notes;
    const bool admitted = settings::admitAdapter(
        settings::adaptersLocation(), target.port,
        [&](const serial::AdapterChange &change) {
            if (anyAdapter) {
                notes << serial::changeText(change) + QStringLiteral("; sending to it and remembering it, as "
                                                                     "--any-adapter says");
                return true;
            }
            refusal = serial::changeText(change) +
                      QStringLiteral("; nothing was sent: check which adapter the display is wired to, or "
                                     "give --port %1 --any-adapter to send to the one it opens now and "
                                     "remember it")
                          .arg(change.number);
            return false;
        },
        &notes);
    for (const QString &note : notes)
        io.err << "mdconfig-cli: note: " << note << '\n';
    if (!admitted)
        io.err << "mdconfig-cli: " << refusal << '\n';
    io.err << Qt::flush;
    return admitted;
}

QString stableDevice(const Target &target, const QString &device)
{
    if (target.port == 0)
        return device;
    const serial::AdapterIdentity adapter = serial::adapterAt(target.port);
    // The link udev made is used only while it is there.
    return adapter.name.isEmpty() || !QFileInfo::exists(adapter.name) ? device : adapter.name;
}

} // namespace cli
