// The verbs of mdconfig-cli, one unit each (src/cli/<verb>.cpp); the dispatcher's table names them.
#pragma once

#include "cli/command.h"

namespace cli {

int frames(const QStringList &arguments, Io &io);
int send(const QStringList &arguments, Io &io);
int ports(const QStringList &arguments, Io &io);
// check, show, send and build display plans
int plan(const QStringList &arguments, Io &io);
// what a captured frame configures
int decode(const QStringList &arguments, Io &io);
// which talkers, sentences and fields a boat's NMEA 0183 bus carries, each field numbered as the display's
// "Commas" counts it
int listen(const QStringList &arguments, Io &io);
// plays a display in programming mode on a serial device or a pseudo-terminal, says what each send
// configures and what is wrong with it, and can keep what it took as a display plan
int simulate(const QStringList &arguments, Io &io);
// plays a recording of a bus onto a serial device or a pseudo-terminal, paced as it was heard
int replay(const QStringList &arguments, Io &io);
// serves a page for a phone on the boat's network: plans, sends and the bus, behind a token
int serve(const QStringList &arguments, Io &io);
// writes the page on its own (mdconfig-page.html), which reaches the display through a USB adapter
int page(const QStringList &arguments, Io &io);

} // namespace cli
