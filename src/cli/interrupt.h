// How mdconfig-cli meets signals: a closed output pipe does not kill it (a send finishes and exits by its own
// status; a verb that runs until stopped sees the closed output and ends), and Ctrl-C, a termination request
// or a closed terminal ends a send after the byte on the wire, not inside it.
#pragma once

class QElapsedTimer;

namespace cli {

// Ignores SIGPIPE and SIGXFSZ and makes SIGINT, SIGTERM and SIGHUP only note that they came. Call once,
// before any output.
void installInterruptHandlers();

// Whether SIGINT, SIGTERM or SIGHUP has come since the handlers were installed.
bool interruptRequested();

// Whether a verb that runs until stopped goes on: no signal has come, and the seconds given (0: no limit)
// have not passed on the clock.
bool goOn(const QElapsedTimer &clock, int seconds);

// Reads one line from standard input (its text is not needed: the Enter is the answer). Ctrl-C or a kill
// ends the wait at once, which a blocking read would not (the handlers restart it), whether the input is a
// terminal, a pipe or a FIFO. Nothing past the line is read, so the next prompt finds its own line.
enum class InputLine { Read, Ended, Interrupted };
InputLine readInputLine();

} // namespace cli
