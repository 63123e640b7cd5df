#include "cli/interrupt.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <csignal>
#include <iostream>
#include <string>

#ifdef Q_OS_UNIX
#include <cerrno>
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
    // A file grown past the session's limit (ulimit -f) fails its write with EFBIG, which the recorder
    // reports, instead of killing the program before its summary.
    ::sigaction(SIGXFSZ, &ignore, nullptr);

    struct sigaction note {};
    note.sa_handler = noteInterrupt;
    sigemptyset(&note.sa_mask);
    note.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &note, nullptr);
    ::sigaction(SIGTERM, &note, nullptr);
    // A closed terminal ends a verb as Ctrl-C does, with its count and summary; unless it was started to
    // outlive its terminal (nohup), which leaves the hangup ignored.
    struct sigaction hangup {};
    if (::sigaction(SIGHUP, nullptr, &hangup) == 0 && hangup.sa_handler != SIG_IGN)
        ::sigaction(SIGHUP, &note, nullptr);
#else
    std::signal(SIGINT, noteInterrupt);
    std::signal(SIGTERM, noteInterrupt);
#endif
}

bool interruptRequested()
{
    return interrupted != 0;
}

bool goOn(const QElapsedTimer &clock, int seconds)
{
    return !interruptRequested() && (seconds == 0 || clock.elapsed() < qint64(seconds) * 1000);
}

InputLine readInputLine()
{
#ifdef Q_OS_UNIX
    for (;;) {
        if (interruptRequested())
            return InputLine::Interrupted;
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&in, 1, 100);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            continue;
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return InputLine::Ended;
        if (c == '\n')
            return InputLine::Read;
    }
#else
    std::string line;
    if (!std::getline(std::cin, line))
        return interruptRequested() ? InputLine::Interrupted : InputLine::Ended;
    return interruptRequested() ? InputLine::Interrupted : InputLine::Read;
#endif
}

} // namespace cli
