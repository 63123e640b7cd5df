#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"

#include "bus/report.h"
#include "serial/devicepath.h"
#include "serial/portmap.h"
#include "serial/receiveport.h"
#include "serial/serialport.h"

#include <QDateTime>
#include <QElapsedTimer>

namespace cli {
namespace {

const char *const HelpText =
    "Usage: mdconfig-cli listen (--port N | --device PATH) [--baud 4800|38400] [--seconds S] [--json]\n"
    "\n"
    "Shows which talker IDs, sentences and fields the NMEA 0183 bus carries. Field N is the value after the\n"
    "Nth comma: the number to choose in \"Commas\".\n"
    "\n"
    "  --port N        a COM port number, 1 to %1 (see mdconfig-cli ports; MDCONFIG_COM<n> overrides)\n"
    "  --device PATH   a device path, such as /dev/ttyUSB0\n"
    "  --baud B        4800 (default) or 38400\n"
    "  --seconds S     stop after S seconds (default: at Ctrl-C, or when the output closes)\n"
    "  --json          one JSON object per sentence, and a summary object at the end\n"
    "  -h, --help      shows this help\n"
    "\n"
    "Exit status: 0 done, 1 the port could not be opened or went away, 2 bad arguments.\n";

struct Listening {
    Target target;
    int baud = serial::LineBaud;
    int seconds = 0; // 0: until stopped
    bool json = false;
};

// What to listen to, or a usage error naming the option and its valid values; nothing when --help was
// answered. The device is still to be looked up.
std::optional<Listening> parse(const QStringList &arguments, Io &io)
{
    Options p(declaration(QStringLiteral("listen")));
    p.parse(arguments);
    if (p.helpAsked()) {
        io.out << QString::fromLatin1(HelpText).arg(serial::MaxPortNumber) << Qt::flush;
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
    const bool live = io.outIsTerminal && !o->json;
    io.err << "listening on " << serial::shownDevice(device) << " at " << o->baud << " baud, 8N1; "
           << endText(o->seconds) << '\n'
           << Qt::flush;

    bus::Monitor monitor([&](const bus::Sentence &s) {
        if (o->json)
            io.out << jsonLine(bus::toJson(s, QDateTime::currentDateTimeUtc())) << '\n' << Qt::flush;
    });
    QElapsedTimer clock;
    clock.start();
    qint64 drawn = -1000;
    const auto elapsedSeconds = [&] { return int(clock.elapsed() / 1000); };
    // A short wait per read keeps the clock, the redraw, a signal and a closed output within a tenth of a
    // second, whatever the bus sends or fails to send.
    while (goOn(clock, o->seconds)) {
        monitor.feed(port.read(100));
        if (port.failed() || outputClosed(io.out))
            break;
        if (live && clock.elapsed() - drawn >= 1000) {
            drawn = clock.elapsed();
            io.out << "\x1b[H\x1b[2J" << bus::formatTable(monitor, elapsedSeconds(), o->baud) << Qt::flush;
        }
    }
    port.close();

    if (o->json)
        io.out << jsonLine(bus::summaryJson(monitor)) << '\n';
    else
        io.out << (live ? "\x1b[H\x1b[2J" : "") << bus::formatTable(monitor, elapsedSeconds(), o->baud);
    io.out << Qt::flush;
    if (port.failed()) {
        io.err << "mdconfig-cli: the port went away while listening: " << port.errorString() << '\n'
               << Qt::flush;
        return Failed;
    }
    return Ok;
}

} // namespace cli
