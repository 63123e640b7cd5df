#include "cli/listen.h"
#include "cli/interrupt.h"
#include "cli/options.h"

#include "bus/report.h"
#include "serial/receiveport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonDocument>

namespace cli {
namespace {

const char *const HelpText =
    "Usage: mdconfig-cli listen (--port N | --device PATH) [--baud 4800|38400] [--seconds S] [--json]\n"
    "\n"
    "Shows which talker IDs, sentences and fields the NMEA 0183 bus carries. Field N is the value after the\n"
    "Nth comma: the number to choose in \"Commas\".\n"
    "\n"
    "  --port N        a COM port number, 1 to 16 (see mdconfig-cli ports; MDCONFIG_COM<n> overrides)\n"
    "  --device PATH   a device path, such as /dev/ttyUSB0\n"
    "  --baud B        4800 (default) or 38400\n"
    "  --seconds S     stop after S seconds (default: at Ctrl-C)\n"
    "  --json          one JSON object per sentence, and a summary object at the end\n"
    "  -h, --help      shows this help\n"
    "\n"
    "Exit status: 0 done, 1 the port could not be opened or went away, 2 bad arguments.\n";

// As long as simulate's limit: about eleven days, far beyond any listening aboard.
constexpr int MaxSeconds = 1'000'000;

struct Listening {
    QString device;
    int baud = 4800;
    int seconds = 0; // 0: until stopped
    bool json = false;
};

// What to listen to, or a usage error naming the option and its valid values; nothing when --help was
// answered or the port number names no device (said on io.err; failed is set).
std::optional<Listening> parse(const QStringList &arguments, Io &io, bool &failed)
{
    Options p(QStringLiteral("listen"),
              targetOptions() + QList<QCommandLineOption>{
                                    QCommandLineOption(QStringLiteral("baud"), QStringLiteral("4800, 38400"),
                                                       QStringLiteral("4800|38400")),
                                    QCommandLineOption(QStringLiteral("seconds"),
                                                       QStringLiteral("a whole number of seconds, 1 or more"),
                                                       QStringLiteral("S")),
                                    QCommandLineOption(QStringLiteral("json"),
                                                       QStringLiteral("one JSON object per sentence"))});
    p.parse(arguments, 0);
    if (p.helpAsked()) {
        io.out << HelpText << Qt::flush;
        return std::nullopt;
    }
    const Target target = targetOf(p);
    Listening o;
    if (p.has(QStringLiteral("--baud"))) {
        const QString text = p.value(QStringLiteral("--baud"));
        if (text != QLatin1String("4800") && text != QLatin1String("38400"))
            p.unknownValue(QStringLiteral("--baud"), QStringLiteral("4800, 38400"));
        o.baud = text.toInt();
    }
    if (p.has(QStringLiteral("--seconds")))
        o.seconds = p.number(QStringLiteral("--seconds"), 1, MaxSeconds);
    o.json = p.has(QStringLiteral("--json"));
    QString failure;
    o.device = deviceOf(target, &failure);
    if (o.device.isEmpty()) {
        io.err << "mdconfig-cli: " << failure << '\n' << Qt::flush;
        failed = true;
        return std::nullopt;
    }
    return o;
}

QString jsonLine(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

} // namespace

int listen(const QStringList &arguments, Io &io)
{
    bool failed = false;
    const std::optional<Listening> o = parse(arguments, io, failed);
    if (!o)
        return failed ? Failed : Ok;
    const QString device = o->device;
    serial::QtReceivePort port;
    if (!port.open(device, o->baud)) {
        io.err << "mdconfig-cli: cannot open " << port.errorString() << '\n' << Qt::flush;
        return Failed;
    }
    const bool live = io.outIsTerminal && !o->json;
    io.err << "listening on " << device << " at " << o->baud << " baud, 8N1; "
           << (o->seconds > 0 ? QStringLiteral("for %1 s").arg(o->seconds) : QStringLiteral("Ctrl-C ends"))
           << '\n'
           << Qt::flush;

    bus::Monitor monitor([&](const bus::Sentence &s) {
        if (o->json)
            io.out << jsonLine(bus::toJson(s, QDateTime::currentDateTimeUtc())) << '\n' << Qt::flush;
    });
    QElapsedTimer clock;
    clock.start();
    qint64 drawn = -1000;
    const auto elapsedSeconds = [&] { return int(clock.elapsed() / 1000); };
    // A short wait per read keeps the clock, the redraw and a signal within a tenth of a second, whatever the
    // bus sends or fails to send.
    while (!interruptRequested() && (o->seconds == 0 || clock.elapsed() < qint64(o->seconds) * 1000)) {
        monitor.feed(port.read(100));
        if (port.failed())
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

// The dispatcher of today's mdconfig-cli calls in here.
} // namespace cli
