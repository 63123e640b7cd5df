// The verbs of mdconfig-cli, one unit each (src/cli/<verb>.cpp); the dispatcher's table names them.
#pragma once

#include "cli/command.h"

namespace cli {

int frames(const QStringList &arguments, Io &io);
int send(const QStringList &arguments, Io &io);
int ports(const QStringList &arguments, Io &io);

} // namespace cli
