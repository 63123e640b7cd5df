#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"

#include "bus/listener.h"
#include "bus/report.h"
#include "serial/devicepath.h"
#include "serial/networkaddress.h"
#include "serial/portmap.h"
#include "source/busopener.h"
#include "source/sourceaddress.h"

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
    int baud = bus::DefaultSpeed;
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
    if (serial::isNetworkAddress(o.target.device)) {
        QString why;
        if (!source::parseSourceAddress(o.target.device, &why))
            throw UsageError{QStringLiteral("--device: ") + why};
    }
    if (p.has(QStringLiteral("--baud"))) {
        const QString text = p.value(QStringLiteral("--baud"));
        const QString automatic = QStringLiteral("auto");
        if (!bus::speedWords().contains(text) && text != automatic)
            p.unknownValue(QStringLiteral("--baud"),
                           bus::speedsText(QStringLiteral(", ")) + ", " + automatic);
        o.baud = text == automatic ? source::AutoSpeed : text.toInt();
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

// The table as it is drawn live on a terminal, or shown at the end: the whole bus or one sentence's fields.
class View {
public:
    View(const Listening &o, const QElapsedTimer &clock) : m_o(o), m_clock(clock) {}
    QString live(const bus::Snapshot &table) const
    {
        return m_o.fields.isEmpty()
                   ? bus::formatLive(table, seconds(), m_o.baud, m_clock.elapsed(), screenSize())
                   : fields(table);
    }
    QString end(const bus::Snapshot &table) const
    {
        return m_o.fields.isEmpty() ? bus::formatTable(table, seconds(), m_o.baud) : fields(table);
    }

private:
    int seconds() const { return int(m_clock.elapsed() / 1000); }
    QString fields(const bus::Snapshot &table) const
    {
        return QStringLiteral("%1, %2 s: %3 sentences\n")
                   .arg(m_o.baud > 0 ? QStringLiteral("%1 baud").arg(m_o.baud)
                                     : QStringLiteral("from the network"))
                   .arg(seconds())
                   .arg(table.totals.sentences) +
               bus::formatFields(table, m_o.fields, m_clock.elapsed(), screenSize().width);
    }
    const Listening &m_o;
    const QElapsedTimer &m_clock;
};

// Opens the port and the recording and says so; false when either will not, with the message printed.
bool begin(bus::Listener &listener, Listening &o, const QString &device, Io &io)
{
    const bool network = serial::isNetworkAddress(device);
    const QString shown = serial::shownDevice(device);
    if (o.baud == source::AutoSpeed && !network)
        io.err << "finding the speed of " << shown << ": " << bus::speedsText(QStringLiteral(", then "))
               << '\n'
               << Qt::flush;
    QString why;
    if (!listener.start(device, o.baud, &why)) {
        io.err << "mdconfig-cli: cannot open " << why << '\n' << Qt::flush;
        return false;
    }
    // The speed found is the listener's from now on: the table and a recording's header name it.
    if (o.baud != listener.baud() && !listener.setSpeed(o.baud, &why)) {
        io.err << "mdconfig-cli: cannot open " << why << '\n' << Qt::flush;
        return false;
    }
    if (!o.log.isEmpty()) {
        if (const std::optional<QString> refused = listener.record(o.log, shown, o.logLimit, o.timestamps)) {
            io.err << "mdconfig-cli: cannot record: " << serial::printable(*refused) << '\n' << Qt::flush;
            return false;
        }
    }
    if (network) {
        o.baud = 0; // the tables say "from the network", not a line speed
        io.err << "listening on " << shown << ", read-only; " << endText(o.seconds);
    } else
        io.err << "listening on " << shown << " at " << o.baud << " baud, 8N1; " << endText(o.seconds);
    if (!o.log.isEmpty())
        io.err << "; recording into " << serial::printable(o.log);
    io.err << '\n' << Qt::flush;
    return true;
}

// Listens until the time is up, a signal comes, the output closes or the port goes away; true unless the
// port went away.
bool listenUntilDone(bus::Listener &listener, const Listening &o, const QElapsedTimer &clock, Io &io)
{
    const bool live = io.outIsTerminal && !o.json;
    const View view(o, clock);
    qint64 drawn = -1000;
    // A short wait per read keeps the clock, the redraw, a signal and a closed output within a tenth of a
    // second, whatever the bus sends or fails to send.
    while (goOn(clock, o.seconds)) {
        const bus::Listener::Step step = listener.poll(100);
        const qint64 now = clock.elapsed();
        if (step.recordingFailed)
            io.err << "mdconfig-cli: " << serial::printable(listener.recorder().error()) << '\n' << Qt::flush;
        if (step.failed)
            return false;
        if (outputClosed(io.out))
            break;
        if (live && now - drawn >= 1000) {
            drawn = now;
            io.out << "\x1b[H\x1b[2J" << view.live(listener.snapshot()) << Qt::flush;
        }
    }
    return true;
}

} // namespace

int listen(const QStringList &arguments, Io &io)
{
    std::optional<Listening> o = parse(arguments, io);
    if (!o)
        return Ok;
    QString failure;
    const QString device = deviceOf(o->target, &failure);
    if (device.isEmpty()) {
        io.err << "mdconfig-cli: " << failure << '\n' << Qt::flush;
        return Failed;
    }
    QElapsedTimer clock;
    clock.start();
    source::BusOpenerEvents events;
    events.notice = [&](const QString &text) { io.err << serial::printable(text) << '\n' << Qt::flush; };
    events.speedFound = [&](int found, const QString &reason) {
        if (found == 0)
            return;
        o->baud = found;
        io.err << "speed found: " << reason << '\n' << Qt::flush;
    };
    events.stopRequested = interruptRequested;
    bus::Listener listener(
        source::busOpener(events), [&clock] { return clock.elapsed(); },
        [&](const bus::Sentence &s) {
            if (o->json)
                io.out << jsonLine(bus::toJson(s, QDateTime::currentDateTimeUtc())) << '\n' << Qt::flush;
        });
    if (!begin(listener, *o, device, io))
        return Failed;
    const bool portStayed = listenUntilDone(listener, *o, clock, io);
    listener.stop();
    listener.stopRecording();

    const bool live = io.outIsTerminal && !o->json;
    if (o->json)
        io.out << jsonLine(bus::toJson(listener.snapshot())) << '\n';
    else
        io.out << (live ? "\x1b[H\x1b[2J" : "") << View(*o, clock).end(listener.snapshot());
    io.out << Qt::flush;
    if (!o->log.isEmpty())
        io.err << "recorded " << listener.recorder().written() << " bytes into " << serial::printable(o->log)
               << '\n'
               << Qt::flush;
    if (!portStayed) {
        io.err << "mdconfig-cli: the port went away while listening: " << listener.failure() << '\n'
               << Qt::flush;
        return Failed;
    }
    return Ok;
}

} // namespace cli
