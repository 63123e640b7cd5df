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

const char *const HelpText =
    "Usage: mdconfig-cli replay FILE (--device PATH | --pty) [--speed X] [--json]\n"
    "\n"
    "Plays a recording made by listen --log (or any NMEA capture) onto a serial line: each line at its\n"
    "timestamp when the recording has them, otherwise at the wire rate of its baud (4800 when the file does\n"
    "not say). The header's comment lines are not played; every other byte goes out as it is.\n"
    "\n"
    "  --device PATH   a serial device, set to the recording's baud, 8N1\n"
    "  --pty           makes a pseudo-terminal pair, prints the path to give the listener, and starts "
    "playing\n"
    "                  when a program opens it\n"
    "  --speed X       plays X times as fast (0.1 to 100; default 1)\n"
    "  --json          the result as one JSON object\n"
    "  -h, --help      shows this help\n"
    "\n"
    "Exit status: 0 played to the end, 1 the file or the line failed or it was interrupted, 2 bad "
    "arguments.\n";

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
        io.out << HelpText << Qt::flush;
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
        if (!pty.open()) {
            io.err << "mdconfig-cli: " << pty.errorString() << '\n' << Qt::flush;
            return Failed;
        }
        pty.releaseFarEnd();
        shown = pty.farEnd();
        io.out << "replaying on " << shown
               << ": give this path to the listener; it starts when it is opened\n"
               << Qt::flush;
        QElapsedTimer idle;
        idle.start();
        while (!pty.farEndHeld()) {
            if (interruptRequested()) {
                io.err << "mdconfig-cli: interrupted before anything was played\n" << Qt::flush;
                return Failed;
            }
            QThread::msleep(20);
        }
        write = [&](QByteArrayView bytes) {
            while (!bytes.isEmpty()) {
                const qsizetype n = pty.write(bytes, 100);
                if (n < 0 || !pty.farEndHeld())
                    return false;
                if (interruptRequested())
                    return false;
                bytes = bytes.sliced(n);
            }
            return true;
        };
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

    bus::Schedule schedule(recording.reader.baud(), recording.reader.timestamps(), o->speed);
    QElapsedTimer clock;
    clock.start();
    qint64 sentBytes = 0;
    qint64 sentLines = 0;
    qint64 lastLine = 0;
    bool failed = false;
    while (!interruptRequested()) {
        const std::optional<bus::Recording::Line> line = recording.reader.next();
        if (!line)
            break;
        const qint64 due = schedule.due(*line);
        // Sleep in short steps so Ctrl-C is heard within a tenth of a second however long the gap.
        while (clock.elapsed() < due && !interruptRequested())
            QThread::msleep(std::clamp<qint64>(due - clock.elapsed(), 1, 100));
        if (interruptRequested())
            break;
        if (!write(line->bytes)) {
            failed = !interruptRequested();
            break;
        }
        sentBytes += line->bytes.size();
        lastLine = line->bytes.size();
        ++sentLines;
    }
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
    const double seconds = double(clock.elapsed()) / 1000.0;
    const bool whole = sentLines == recording.lines;
    if (o->json) {
        io.out << jsonLine(QJsonObject{{QStringLiteral("file"), serial::printable(o->file)},
                                       {QStringLiteral("device"), shown},
                                       {QStringLiteral("lines"), sentLines},
                                       {QStringLiteral("bytes"), sentBytes},
                                       {QStringLiteral("seconds"), std::round(seconds * 1000) / 1000},
                                       {QStringLiteral("complete"), whole}})
               << '\n';
    } else {
        io.out << "played " << sentLines << " of " << recording.lines << " lines, " << sentBytes
               << " bytes, in " << QString::number(seconds, 'f', 1) << " s\n";
    }
    io.out << Qt::flush;
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
