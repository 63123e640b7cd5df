// A network source of NMEA 0183 as a user writes it: tcp://HOST:PORT for a multiplexer, gateway or Signal K
// server that serves the bus over TCP, udp://[ADDRESS:]PORT for one that sends it in datagrams.
#pragma once

#include <QString>

#include <optional>

namespace source {

struct SourceAddress {
    enum class Protocol { Tcp, Udp };
    Protocol protocol = Protocol::Tcp;
    // TCP: the host to connect to (a name or an address, IPv6 without brackets). UDP: the address of this
    // computer or the multicast group to listen on; empty for every address.
    QString host;
    quint16 port = 0;

    // As messages name it: "tcp://gateway.local:10110", "tcp://[::1]:10110", "udp://10110".
    QString shown() const;
};

// The source a text names, or a usage error in one line saying what is wrong and what is expected.
// Only for texts serial::isNetworkAddress() takes for network addresses.
std::optional<SourceAddress> parseSourceAddress(const QString &text, QString *why);

} // namespace source
