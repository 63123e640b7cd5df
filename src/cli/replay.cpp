// replay: plays a recording of a bus (or a capture) onto a serial device or a pseudo-terminal, paced as it
// was heard, to feed the bus monitor, listen or a display on a bench.
#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"

#include "bus/recording.h"
#include "serial/devicepath.h"
#include "serial/pseudoterminal.h"
#include "serial/receiveport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QThread>

#include <functional>

namespace cli {
namespace {

struct Replaying {
    QString file;
    QString device;
    bool pty = false;
    double speed = 1.0;
    bool json = false;
};

std::optional<Replaying> parse(const QStringList &arguments, Io &io)
{
    Options p(declaration(QStringLiteral("replay")));
    p.parse(arguments);
    if (p.helpAsked()) {
        io.out << p.help() << Qt::flush;
        return std::nullopt;
    }
    Replaying o;
    if (p.positional().isEmpty())
        throw UsageError{
            QStringLiteral("replay: FILE is missing; valid values: a recording or capture file")};
    o.file = p.positional().first();
    o.pty = p.has(QStringLiteral("--pty"));
    if (o.pty == p.has(QStringLiteral("--device"))) {
        throw UsageError{QStringLiteral("replay: %1; valid values: --device PATH or --pty")
                             .arg(o.pty ? QStringLiteral("--device and --pty are both given, give one")
                                        : QStringLiteral("--device or --pty is missing"))};
    }
    o.device = p.value(QStringLiteral("--device"));
    if (p.has(QStringLiteral("--speed"))) {
        bool ok = false;
        o.speed = p.value(QStringLiteral("--speed")).toDouble(&ok);
        if (!ok || !(o.speed >= 0.1 && o.speed <= 100)) // nan fails both comparisons
            p.unknownValue(QStringLiteral("--speed"), QStringLiteral("0.1 to 100"));
    }
    o.json = p.has(QStringLiteral("--json"));
    return o;
}

// A recording opened for playing: read through once before anything is played, so a line that cannot be
// played is found first and the lines are counted; then played from its first line, a line at a time.
struct Opened {
    QFile file;
    bus::RecordingReader reader;
    qint64 lines = 0;
};

bool openRecording(const QString &path, Opened &r, QString *why)
{
    const QString shown = serial::printable(path);
    r.file.setFileName(path);
    if (!r.file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("%1: %2").arg(shown, serial::printable(r.file.errorString()));
        return false;
    }
    if (r.file.isSequential()) {
        *why = QStringLiteral("%1: not a recording file (a regular file)").arg(shown);
        return false;
    }
    std::optional<QString> problem = r.reader.start(&r.file);
    while (!problem && r.reader.next())
        ++r.lines;
    if (!problem && !r.reader.error().isEmpty())
        problem = r.reader.error();
    if (!problem && !r.reader.rewind())
        problem = serial::printable(r.file.errorString());
    if (problem)
        *why = QStringLiteral("%1: %2").arg(shown, serial::printable(*problem));
    return !problem;
}

// Makes the pseudo-terminal pair and waits until the listener opens its far end; false, said, when it
// cannot be made or Ctrl-C came first.
bool openForListener(serial::PseudoTerminal &pty, Io &io)
{
    if (!pty.open()) {
        io.err << "mdconfig-cli: " << pty.errorString() << '\n' << Qt::flush;
        return false;
    }
    pty.releaseFarEnd();
    io.out << "replaying on " << pty.farEnd()
           << ": give this path to the listener; it starts when it is opened\n"
           << Qt::flush;
    while (!pty.farEndHeld()) {
        if (interruptRequested()) {
            io.err << "mdconfig-cli: interrupted before anything was played\n" << Qt::flush;
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}

struct Played {
    qint64 bytes = 0;
    qint64 lines = 0;
    qint64 lastLine = 0; // the last line's bytes
    bool failed = false; // the line failed (not: Ctrl-C)
};

// Plays the recording's lines, each when its schedule says, until the end, Ctrl-C or a failed write.
Played playLines(bus::RecordingReader &reader, double speed, const std::function<bool(QByteArrayView)> &write,
                 const QElapsedTimer &clock)
{
    bus::Schedule schedule(reader.baud(), reader.timestamps(), speed);
    Played p;
    while (!interruptRequested()) {
        const std::optional<bus::Recording::Line> line = reader.next();
        if (!line)
            break;
        const qint64 due = schedule.due(*line);
        // Sleep in short steps so Ctrl-C is heard within a tenth of a second however long the gap.
        while (clock.elapsed() < due && !interruptRequested())
            QThread::msleep(std::clamp<qint64>(due - clock.elapsed(), 1, 100));
        if (interruptRequested())
            break;
        if (!write(line->bytes)) {
            p.failed = !interruptRequested();
            break;
        }
        p.bytes += line->bytes.size();
        p.lastLine = line->bytes.size();
        ++p.lines;
    }
    return p;
}

// Writes all the bytes to the pseudo-terminal; false when its listener has gone or Ctrl-C came.
bool writeAll(serial::PseudoTerminal &pty, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const qsizetype n = pty.write(bytes, 100);
        if (n < 0 || !pty.farEndHeld())
            return false;
        if (interruptRequested())
            return false;
        bytes = bytes.sliced(n);
    }
    return true;
}

void printPlayed(Io &io, const Replaying &o, const QString &shown, const Played &played, qint64 lines,
                 double seconds)
{
    if (o.json) {
        io.out << jsonLine(QJsonObject{{QStringLiteral("file"), serial::printable(o.file)},
                                       {QStringLiteral("device"), shown},
                                       {QStringLiteral("lines"), played.lines},
                                       {QStringLiteral("bytes"), played.bytes},
                                       {QStringLiteral("seconds"), std::round(seconds * 1000) / 1000},
                                       {QStringLiteral("complete"), played.lines == lines}})
               << '\n';
    } else {
        io.out << "played " << played.lines << " of " << lines << " lines, " << played.bytes << " bytes, in "
               << QString::number(seconds, 'f', 1) << " s\n";
    }
    io.out << Qt::flush;
}

} // namespace

int replay(const QStringList &arguments, Io &io)
{
    const std::optional<Replaying> o = parse(arguments, io);
    if (!o)
        return Ok;
    QString why;
    Opened recording;
    if (!openRecording(o->file, recording, &why)) {
        io.err << "mdconfig-cli: " << why << '\n' << Qt::flush;
        return Failed;
    }

    serial::PseudoTerminal pty;
    serial::QtPlayPort port;
    std::function<bool(QByteArrayView)> write;
    QString shown;
    if (o->pty) {
        if (!openForListener(pty, io))
            return Failed;
        shown = pty.farEnd();
        write = [&](QByteArrayView bytes) { return writeAll(pty, bytes); };
    } else {
        shown = serial::shownDevice(o->device);
        if (!port.open(o->device, recording.reader.baud())) {
            io.err << "mdconfig-cli: cannot open " << port.errorString() << '\n' << Qt::flush;
            return Failed;
        }
        write = [&](QByteArrayView bytes) { return port.write(bytes, 1000); };
    }
    io.err << "replaying " << serial::printable(o->file) << " (" << recording.lines << " lines, "
           << recording.reader.baud() << " baud, "
           << (recording.reader.timestamps() ? "by its timestamps" : "at the wire rate")
           << (o->speed != 1.0 ? QStringLiteral(", %1 times as fast").arg(o->speed) : QString()) << ") to "
           << shown << "; Ctrl-C ends\n"
           << Qt::flush;

    QElapsedTimer clock;
    clock.start();
    const Played played = playLines(recording.reader, o->speed, write, clock);
    const qint64 sentLines = played.lines;
    const qint64 lastLine = played.lastLine;
    const bool failed = played.failed;
    // A pseudo-terminal drops what its reader has not yet taken when this side closes: give the reader the
    // time the last line takes on the wire, and half a second more, unless it has gone.
    if (o->pty && !failed) {
        const qint64 linger = 500 + lastLine * 10'000LL / recording.reader.baud();
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < linger && pty.farEndHeld() && !interruptRequested())
            QThread::msleep(20);
    }
    port.close();
    const bool whole = sentLines == recording.lines;
    printPlayed(io, *o, shown, played, recording.lines, double(clock.elapsed()) / 1000.0);
    if (failed) {
        io.err << "mdconfig-cli: the line failed while playing: "
               << (o->pty ? QStringLiteral("%1: the listener closed it").arg(shown) : port.errorString())
               << '\n'
               << Qt::flush;
        return Failed;
    }
    if (!whole) {
        io.err << "mdconfig-cli: interrupted after " << sentLines << " of " << recording.lines << " lines\n"
               << Qt::flush;
        return Failed;
    }
    return Ok;
}

} // namespace cli
