// mdconfig-cli simulate: plays a display in programming mode on a serial device or a pseudo-terminal, says
// what each send configures and what is wrong with it, and can keep what it took as a display plan.
#pragma once

#include "cli/command.h"

namespace cli {

int simulate(const QStringList &arguments, Io &io);

} // namespace cli
