// The command line's side of adapters known by who they are: a send to --port N that would now reach
// another adapter than the one remembered for N is refused with both named, unless --any-adapter says to
// go on; the adapter N opens is remembered for the next run (and for the window).
#pragma once

#include "cli/command.h"
#include "cli/options.h"

namespace cli {

// Whether --any-adapter is given; a usage error with --device, which names the device itself.
bool anyAdapterOf(const Options &o, const Target &target);

// Before anything is sent to the target: false, with why on standard error, when the send must not go on.
// A --device target is opened by its own name and needs no check.
bool admitTarget(const Target &target, bool anyAdapter, Io &io);

// The name to open the target by for a long run: for --port N, the adapter's stable name when it has one
// (the page and the log then show who it is, and a re-plug finds it again); the device itself otherwise.
QString stableDevice(const Target &target, const QString &device);

} // namespace cli
