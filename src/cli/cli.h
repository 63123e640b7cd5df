// mdconfig-cli: the frames a send puts on the wire, sending from a terminal, and the port numbers of this
// computer, on the same core as the window.
#pragma once

#include "cli/command.h"

namespace cli {

int run(const QStringList &args, QTextStream &out, QTextStream &err, bool outIsTerminal);

} // namespace cli
