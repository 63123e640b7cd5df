#include "serial/networkaddress.h"

#include "serial/devicepath.h"

#include <QRegularExpression>

namespace serial {

bool isNetworkAddress(const QString &name)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(name).hasMatch();
}

QString networkSendRefusal(const QString &name)
{
    return QStringLiteral("%1: a network address: nothing is sent to a display over a network link. The "
                          "display needs a byte every 50 ms on the wire, and a network bridge bunches and "
                          "delays bytes; run mdconfig-cli serve on a computer wired to the display instead.")
        .arg(printable(name));
}

std::optional<QString> refuseNetworkAddress(const QString &name, bool forWriting)
{
    if (!isNetworkAddress(name))
        return std::nullopt;
    if (forWriting)
        return networkSendRefusal(name);
    return QStringLiteral("%1: a network address, not a serial device: only listening to the bus reads "
                          "from the network.")
        .arg(printable(name));
}

} // namespace serial
