#include "source/opener.h"

#include "serial/networkaddress.h"

namespace source {

std::unique_ptr<serial::ReceivePort> openReceiver(const QString &name, int baud, QString *why,
                                                  const NetworkTiming &timing)
{
    if (!serial::isNetworkAddress(name)) {
        auto port = std::make_unique<serial::QtReceivePort>();
        if (!port->open(name, baud)) {
            *why = port->errorString();
            return nullptr;
        }
        return port;
    }
    const std::optional<SourceAddress> address = parseSourceAddress(name, why);
    if (!address)
        return nullptr;
    if (address->protocol == SourceAddress::Protocol::Tcp)
        return std::make_unique<TcpSource>(*address, timing);
    auto udp = std::make_unique<UdpSource>(*address, timing);
    if (!udp->open()) {
        *why = udp->errorString();
        return nullptr;
    }
    return udp;
}

} // namespace source
