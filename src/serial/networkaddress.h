// Names of network sources (tcp://, udp://) as they reach the serial layer, and the one answer to a send
// aimed at one: the bus may be read over a network, a display is never written over one.
#pragma once

#include <QString>

#include <optional>

namespace serial {

// Whether a name is a network address ("tcp://...", "udp://...", any "scheme://") rather than a device.
bool isNetworkAddress(const QString &name);

// Why nothing is sent to a network address; the address is named as given, escaped.
QString networkSendRefusal(const QString &name);

// The refusal for a name about to be opened as a serial device: nothing for a device name; for a network
// address the send refusal when writing, and for reading that only bus listeners read the network.
std::optional<QString> refuseNetworkAddress(const QString &name, bool forWriting);

} // namespace serial
