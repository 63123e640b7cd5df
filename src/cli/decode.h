// mdconfig-cli decode: what a captured frame configures.
#pragma once

#include "cli/command.h"

namespace cli {

int decode(const QStringList &arguments, Io &io);

} // namespace cli
