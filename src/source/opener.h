// Opening what a user named as the bus to listen to: a serial device at a speed, or a network source.
#pragma once

#include "serial/receiveport.h"
#include "source/networksource.h"

#include <QString>

#include <memory>

namespace source {

// The read side of name (a device path or a network address) at baud (ignored for a network source);
// nothing, with why in one line naming the device or source, when it cannot be opened.
std::unique_ptr<serial::ReceivePort> openReceiver(const QString &name, int baud, QString *why,
                                                  const NetworkTiming &timing = {});

} // namespace source
