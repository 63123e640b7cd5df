#include "cli/interrupt.h"

#include <QtGlobal>

#include <csignal>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <unistd.h>
#endif

namespace cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void noteInterrupt(int)
{
    interrupted = 1;
}

} // namespace

void installInterruptHandlers()
{
#ifdef Q_OS_UNIX
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);

    struct sigaction note {};
    note.sa_handler = noteInterrupt;
    sigemptyset(&note.sa_mask);
    note.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &note, nullptr);
    ::sigaction(SIGTERM, &note, nullptr);
#else
    std::signal(SIGINT, noteInterrupt);
    std::signal(SIGTERM, noteInterrupt);
#endif
}

bool interruptRequested()
{
    return interrupted != 0;
}

bool waitForTerminalInput()
{
#ifdef Q_OS_UNIX
    if (::isatty(STDIN_FILENO) != 1)
        return !interruptRequested();
    while (!interruptRequested()) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (::poll(&in, 1, 100) > 0)
            return true;
    }
    return false;
#else
    return !interruptRequested();
#endif
}

} // namespace cli
