// Not a test: prints how much of one processor core reading a bus costs at 38400 baud of continuous input
// (3840 characters a second, the yacht's capture over and over). Target: under 5% of a core.
//   1. In-process: the monitor and the window's models (refreshed four times a second), fed a simulated
//      minute of bus as fast as it will go; the processor time it took against the minute.
//   2. The real thing, when socat is installed: mdconfig-cli replay plays the capture at 38400 baud's wire
//      rate into a pseudo-terminal pair and mdconfig-cli listen --json --log reads the other end for 10 s;
//      the listener's processor time (from /proc) against the wall time.
#include "bus/models.h"
#include "bus/recording.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <ctime>

namespace {

double processSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// utime + stime of a process, in seconds.
double cpuOf(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QFile capture(QStringLiteral(CAPTURE));
    if (!capture.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_listen: cannot read %s\n", CAPTURE);
        return 1;
    }
    const QByteArray bus = capture.readAll();

    // 1. In-process.
    constexpr int BytesPerSecond = 3840;
    constexpr int Seconds = 60;
    bus::Monitor monitor;
    bus::RowModel rows;
    bus::FieldModel fields;
    const double start = processSeconds();
    qint64 fed = 0;
    for (int tick = 0; tick < Seconds * 10; ++tick) { // a read every tenth of a second, as listen makes
        QByteArray chunk;
        while (chunk.size() < BytesPerSecond / 10) {
            const qsizetype at = fed % bus.size();
            const qsizetype take = std::min<qsizetype>(BytesPerSecond / 10 - chunk.size(), bus.size() - at);
            chunk += bus.mid(at, take);
            fed += take;
        }
        monitor.feed(chunk, tick * 100);
        if (tick % 10 == 0 && !fields.shown() && rows.rowCount() > 0)
            fields.show(rows.refAt(0));
        if ((tick + 1) * 100 / 250 != tick * 100 / 250) { // a refresh each quarter second, near enough
            const bus::Snapshot table = bus::snapshotOf(monitor);
            rows.refresh(table);
            fields.refresh(table);
        }
    }
    const double used = processSeconds() - start;
    std::printf("in-process: %d s of 38400-baud bus (%lld bytes, %lld sentences) took %.3f s of processor: "
                "%.2f%% of a core (target under 5%%)\n",
                Seconds, static_cast<long long>(fed), static_cast<long long>(monitor.totals().sentences),
                used, 100.0 * used / Seconds);

    // 2. Through pseudo-terminals.
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty()) {
        std::printf("listen process: skipped (socat is not installed)\n");
        return 0;
    }
    QTemporaryDir dir;
    QFile recording(dir.filePath(QStringLiteral("fast.nmea")));
    if (!recording.open(QIODevice::WriteOnly))
        return 1;
    recording.write("# line 38400 baud, 8 data bits, no parity, 1 stop bit\n");
    recording.write(bus);
    recording.close();
    QProcess socat;
    socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=%1").arg(dir.filePath("a")),
                                          QStringLiteral("pty,raw,echo=0,link=%1").arg(dir.filePath("b"))});
    socat.waitForStarted();
    for (int i = 0; i < 250 && !QFile::exists(dir.filePath("b")); ++i)
        QThread::msleep(20);
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/mdconfig-cli");
    QProcess listen;
    listen.setStandardOutputFile(QProcess::nullDevice());
    listen.start(cli, {QStringLiteral("listen"), QStringLiteral("--device"), dir.filePath("b"),
                       QStringLiteral("--baud"), QStringLiteral("38400"), QStringLiteral("--json"),
                       QStringLiteral("--log"), dir.filePath("heard.nmea")});
    listen.waitForStarted();
    QThread::msleep(500);
    QProcess replay;
    replay.start(
        cli, {QStringLiteral("replay"), recording.fileName(), QStringLiteral("--device"), dir.filePath("a")});
    replay.waitForStarted();
    QElapsedTimer wall;
    wall.start();
    const double before = cpuOf(listen.processId());
    QThread::msleep(10'000);
    const double after = cpuOf(listen.processId());
    const double seconds = double(wall.elapsed()) / 1000.0;
    replay.kill();
    replay.waitForFinished();
    ::kill(pid_t(listen.processId()), SIGINT);
    listen.waitForFinished();
    socat.kill();
    socat.waitForFinished();
    const qint64 heard = QFile(dir.filePath("heard.nmea")).size();
    std::printf(
        "listen process (--json --log, 38400 baud, replayed): %.3f s of processor in %.1f s: %.2f%% of a "
        "core (target under 5%%); recorded %lld bytes (%.0f a second, the wire carries 3840)\n",
        after - before, seconds, 100.0 * (after - before) / seconds, static_cast<long long>(heard),
        double(heard) / seconds);
    return 0;
}
