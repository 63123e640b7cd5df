#include "cli/interrupt.h"

#include <QtGlobal>

#include <csignal>

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

} // namespace cli
