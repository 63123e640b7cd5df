// Sends one send of each frame length through a socat pseudo-terminal pair with the real pacing and prints
// how long it took against its floor, how far apart the receiver saw the bytes, and the sender's CPU time.
#include "frame/configuration.h"
#include "frame/transmitter.h"
#include "serial/qtserialport.h"
#include "support/ptypair.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace std::chrono;

namespace {

double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

bool measure(bool md90v13)
{
    PtyPair pty;
    if (!pty.start()) {
        std::fprintf(stderr, "bench_send: could not start socat (apt-get install socat)\n");
        return false;
    }
    serial::QtSerialPort port;
    if (!port.open(pty.sendEnd())) {
        std::fprintf(stderr, "bench_send: %s\n", qPrintable(port.errorString()));
        return false;
    }
    frame::SentenceBytes s;
    frame::encode({3, frame::Standard{15, 59, 5}, 9}, vocabulary::Products[md90v13 ? 2 : 0], s);
    const int frameLength = md90v13 ? 11 : 10;

    const double cpuBefore = threadCpuSeconds();
    const auto start = steady_clock::now();
    const std::optional<QString> failure = frame::Transmitter(port).TransmitSentence(s);
    const double total = duration<double>(steady_clock::now() - start).count();
    const double cpu = threadCpuSeconds() - cpuBefore;
    if (failure) {
        std::fprintf(stderr, "bench_send: %s\n", qPrintable(*failure));
        return false;
    }
    pty.waitFor(10 * frameLength, 2000);
    const auto at = pty.arrivals();

    std::vector<double> spacings; // between bytes of one repetition, as the receiver saw them
    for (size_t i = 1; i < at.size(); ++i) {
        if (i % frameLength != 0)
            spacings.push_back(duration<double, std::milli>(at[i] - at[i - 1]).count());
    }
    std::sort(spacings.begin(), spacings.end());
    const double floor = md90v13 ? 6.5 : 6.0;
    std::printf("%d-byte frames: %zu bytes received\n", frameLength, at.size());
    std::printf("  total      %.3f s (floor %.1f s, target < %.2f s)\n", total, floor, floor + 0.05);
    if (!spacings.empty()) {
        std::printf("  spacing    median %.2f ms, smallest %.2f ms, largest %.2f ms (target < 55 ms)\n",
                    spacings[spacings.size() / 2], spacings.front(), spacings.back());
    }
    std::printf("  sender CPU %.3f s, %.2f%% of one core (target < 2%%)\n", cpu, 100.0 * cpu / total);
    return int(at.size()) == 10 * frameLength;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const bool ok = measure(false) && measure(true);
    return ok ? 0 : 1;
}
