// How mdconfig-cli meets signals: a closed output pipe does not end it (it finishes the send and exits by its
// own status), and Ctrl-C or a termination request ends a send after the byte on the wire, not inside it.
#pragma once

namespace cli {

// Ignores SIGPIPE and makes SIGINT and SIGTERM only note that they came. Call once, before any output.
void installInterruptHandlers();

// Whether SIGINT or SIGTERM has come since the handlers were installed.
bool interruptRequested();

} // namespace cli
