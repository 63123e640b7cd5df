// mdconfig-cli plan: check, show, send and build display plans.
#pragma once

#include "cli/command.h"

namespace cli {

int plan(const QStringList &arguments, Io &io);

} // namespace cli
