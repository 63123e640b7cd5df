#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"

#include "bus/recording.h"
#include "bus/report.h"
#include "serial/devicepath.h"
#include "serial/portmap.h"
#include "serial/receiveport.h"
#include "serial/serialport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace cli {
namespace {

struct Listening {
    Target target;
    int baud = serial::LineBaud;
    int seconds = 0; // 0: until stopped
    bool json = false;
    QString fields; // talker and sentence whose fields are shown, "GPRMC"
    QString log;
    qint64 logLimit = bus::DefaultRecordingLimit;
    bool timestamps = false;
};

// The terminal's size, or 80 by 24 when it does not say.
bus::Screen screenSize()
{
    bus::Screen screen;
#ifdef Q_OS_UNIX
    winsize w{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &w) == 0 && w.ws_col > 0 && w.ws_row > 0) {
        screen.width = w.ws_col;
        screen.height = w.ws_row;
    }
#endif
    return screen;
}

// What to listen to, or a usage error naming the option and its valid values; nothing when --help was
// answered. The device is still to be looked up.
std::optional<Listening> parse(const QStringList &arguments, Io &io)
{
    Options p(declaration(QStringLiteral("listen")));
    p.parse(arguments);
    if (p.helpAsked()) {
        io.out << p.help() << Qt::flush;
        return std::nullopt;
    }
    Listening o;
    o.target = targetOf(p);
    if (p.has(QStringLiteral("--baud"))) {
        const QString text = p.value(QStringLiteral("--baud"));
        if (text != QLatin1String("4800") && text != QLatin1String("38400"))
            p.unknownValue(QStringLiteral("--baud"), QStringLiteral("4800, 38400"));
        o.baud = text.toInt();
    }
    o.seconds = secondsOf(p);
    o.json = p.has(QStringLiteral("--json"));
    if (p.has(QStringLiteral("--fields"))) {
        o.fields = p.value(QStringLiteral("--fields")).toUpper();
        static const QRegularExpression name(QStringLiteral("^[A-Z0-9]{3,10}$"));
        if (!name.match(o.fields).hasMatch())
            p.unknownValue(
                QStringLiteral("--fields"),
                QStringLiteral("a talker and sentence, such as GPRMC, or a sentence, such as MWV"));
    }
    o.log = p.value(QStringLiteral("--log"));
    if (o.log.isEmpty())
        p.refuse({QStringLiteral("--log-limit"), QStringLiteral("--timestamps")},
                 QStringLiteral("without --log"));
    if (p.has(QStringLiteral("--log-limit"))) {
        const std::optional<qint64> limit = bus::parseSize(p.value(QStringLiteral("--log-limit")));
        if (!limit)
            p.unknownValue(QStringLiteral("--log-limit"),
                           QStringLiteral("a size from 1k to 1024G, such as 500k, 10M"));
        o.logLimit = *limit;
    }
    o.timestamps = p.has(QStringLiteral("--timestamps"));
    return o;
}

} // namespace

int listen(const QStringList &arguments, Io &io)
{
    const std::optional<Listening> o = parse(arguments, io);
    if (!o)
        return Ok;
    QString failure;
    const QString device = deviceOf(o->target, &failure);
    if (device.isEmpty()) {
        io.err << "mdconfig-cli: " << failure << '\n' << Qt::flush;
        return Failed;
    }
    serial::QtReceivePort port;
    if (!port.open(device, o->baud)) {
        io.err << "mdconfig-cli: cannot open " << port.errorString() << '\n' << Qt::flush;
        return Failed;
    }
    QElapsedTimer clock;
    clock.start();
    bus::Recorder recorder;
    if (!o->log.isEmpty()) {
        const bus::RecordingHeader header{QDateTime::currentDateTimeUtc(), serial::shownDevice(device),
                                          o->baud, o->timestamps};
        if (const std::optional<QString> refused = recorder.open(o->log, header, o->logLimit)) {
            io.err << "mdconfig-cli: cannot record: " << serial::printable(*refused) << '\n' << Qt::flush;
            return Failed;
        }
    }
    const bool live = io.outIsTerminal && !o->json;
    io.err << "listening on " << serial::shownDevice(device) << " at " << o->baud << " baud, 8N1; "
           << endText(o->seconds);
    if (recorder.isOpen())
        io.err << "; recording into " << serial::printable(o->log);
    io.err << '\n' << Qt::flush;

    bus::Monitor monitor([&](const bus::Sentence &s) {
        if (o->json)
            io.out << jsonLine(bus::toJson(s, QDateTime::currentDateTimeUtc())) << '\n' << Qt::flush;
    });
    qint64 drawn = -1000;
    bool toldFull = false;
    const auto elapsedSeconds = [&] { return int(clock.elapsed() / 1000); };
    const auto fieldsView = [&] {
        return QStringLiteral("%1 baud, %2 s: %3 sentences\n")
                   .arg(o->baud)
                   .arg(elapsedSeconds())
                   .arg(monitor.totals().sentences) +
               bus::formatFields(monitor, o->fields, clock.elapsed(), screenSize().width);
    };
    // A short wait per read keeps the clock, the redraw, a signal and a closed output within a tenth of a
    // second, whatever the bus sends or fails to send.
    while (goOn(clock, o->seconds)) {
        const QByteArray bytes = port.read(100);
        const qint64 now = clock.elapsed();
        monitor.feed(bytes, now);
        if (recorder.isOpen() && !bytes.isEmpty() && !recorder.write(bytes, now) && !toldFull) {
            toldFull = true;
            io.err << "mdconfig-cli: " << serial::printable(recorder.error()) << '\n' << Qt::flush;
        }
        if (port.failed() || outputClosed(io.out))
            break;
        if (live && now - drawn >= 1000) {
            drawn = now;
            io.out << "\x1b[H\x1b[2J"
                   << (o->fields.isEmpty()
                           ? bus::formatLive(monitor, elapsedSeconds(), o->baud, now, screenSize())
                           : fieldsView())
                   << Qt::flush;
        }
    }
    port.close();
    recorder.close();

    if (o->json)
        io.out << jsonLine(bus::summaryJson(monitor)) << '\n';
    else if (!o->fields.isEmpty())
        io.out << (live ? "\x1b[H\x1b[2J" : "") << fieldsView();
    else
        io.out << (live ? "\x1b[H\x1b[2J" : "") << bus::formatTable(monitor, elapsedSeconds(), o->baud);
    io.out << Qt::flush;
    if (!o->log.isEmpty())
        io.err << "recorded " << recorder.written() << " bytes into " << serial::printable(o->log) << '\n'
               << Qt::flush;
    if (port.failed()) {
        io.err << "mdconfig-cli: the port went away while listening: " << port.errorString() << '\n'
               << Qt::flush;
        return Failed;
    }
    return Ok;
}

} // namespace cli
