// How mdconfig-cli meets signals: a closed output pipe does not end it (it finishes the send and exits by its
// own status), and Ctrl-C or a termination request ends a send after the byte on the wire, not inside it.
#pragma once

namespace cli {

// Ignores SIGPIPE and makes SIGINT and SIGTERM only note that they came. Call once, before any output.
void installInterruptHandlers();

// Whether SIGINT or SIGTERM has come since the handlers were installed.
bool interruptRequested();

// Waits until a line can be read from a terminal on standard input; false when SIGINT or SIGTERM came
// first. Ctrl-C at a prompt then ends the wait at once, which a blocking read would not (the handlers
// restart it). Input that is not a terminal is left to the reader.
bool waitForTerminalInput();

} // namespace cli
