// mdconfig-cli listen: which talkers, sentences and fields a boat's NMEA 0183 bus carries, with each field
// numbered as the display's "Commas" counts it.
#pragma once

#include "cli/command.h"

namespace cli {

int listen(const QStringList &arguments, Io &io);

} // namespace cli
