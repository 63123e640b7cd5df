#include "cli/listen.h"
#include "cli/interrupt.h"

#include "bus/report.h"
#include "serial/portmap.h"
#include "serial/receiveport.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonDocument>

namespace cli {
namespace {

struct Options {
    int port = 0; // a COM port number, or 0 with device given
    QString device;
    int baud = 4800;
    int seconds = 0; // 0: until stopped
    bool json = false;
};

// The options, or a usage error naming the option and its valid values; nothing when --help was answered.
std::optional<Options> parse(const QStringList &arguments, Io &io)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Shows which talker IDs, sentences and fields the NMEA 0183 bus carries. Field N is the "
        "value after the Nth comma: the number to choose in \"Commas\"."));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("COM port number, 1 to 16."),
                                  QStringLiteral("N"));
    const QCommandLineOption device(QStringLiteral("device"),
                                    QStringLiteral("Device path, such as /dev/ttyUSB0."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("4800 (default) or 38400."),
                                  QStringLiteral("4800|38400"));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
                                     QStringLiteral("Stop after S seconds (default: at Ctrl-C)."),
                                     QStringLiteral("S"));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("One JSON object per sentence, and a summary object at the end."));
    const QCommandLineOption help(QStringList{QStringLiteral("help"), QStringLiteral("h")},
                                  QStringLiteral("Show this help."));
    p.addOptions({port, device, baud, seconds, json, help});
    if (!p.parse(QStringList{QStringLiteral("mdconfig-cli listen")} + arguments))
        throw UsageError{
            QStringLiteral("listen: %1 Valid options: --port N, --device PATH, --baud 4800|38400, "
                           "--seconds S, --json, --help")
                .arg(p.errorText())};
    if (p.isSet(help)) {
        QString text = p.helpText();
        text = text.mid(text.indexOf(QLatin1Char('\n')) + 1); // the first line names the program's file
        io.out << "Usage: mdconfig-cli listen (--port N | --device PATH) [--baud 4800|38400] [--seconds S] "
                  "[--json]\n"
               << text << Qt::flush;
        return std::nullopt;
    }
    if (!p.positionalArguments().isEmpty())
        throw UsageError{QStringLiteral("listen: unexpected argument \"%1\"; see listen --help")
                             .arg(p.positionalArguments().first())};

    Options o;
    if (p.isSet(port) == p.isSet(device))
        throw UsageError{QStringLiteral("listen: give either --port N (1 to 16) or --device PATH")};
    if (p.isSet(port)) {
        bool isNumber = false;
        const int number = p.value(port).trimmed().toInt(&isNumber);
        if (!isNumber || number < 1 || number > serial::MaxPortNumber)
            throw UsageError{QStringLiteral("listen: --port: unknown value \"%1\"; valid values: 1 to 16")
                                 .arg(p.value(port))};
        o.port = number;
    } else {
        o.device = p.value(device);
    }
    if (p.isSet(baud)) {
        const QString text = p.value(baud).trimmed();
        if (text != QLatin1String("4800") && text != QLatin1String("38400"))
            throw UsageError{QStringLiteral("listen: --baud: unknown value \"%1\"; valid values: 4800, 38400")
                                 .arg(p.value(baud))};
        o.baud = text.toInt();
    }
    if (p.isSet(seconds)) {
        bool isNumber = false;
        o.seconds = p.value(seconds).trimmed().toInt(&isNumber);
        if (!isNumber || o.seconds < 1)
            throw UsageError{
                QStringLiteral("listen: --seconds: unknown value \"%1\"; valid values: a whole number "
                               "of seconds, 1 or more")
                    .arg(p.value(seconds))};
    }
    o.json = p.isSet(json);
    return o;
}

QString jsonLine(const QJsonObject &o)
{
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

} // namespace

int listen(const QStringList &arguments, Io &io)
{
    const std::optional<Options> o = parse(arguments, io);
    if (!o)
        return Ok;

    const QString device = o->port > 0 ? serial::deviceForPort(o->port) : o->device;
    if (device.isEmpty()) {
        io.err << "mdconfig-cli: COM" << o->port
               << " names no serial device on this computer (see mdconfig-cli ports, or set MDCONFIG_COM"
               << o->port << "=/dev/...)\n"
               << Qt::flush;
        return Failed;
    }
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
