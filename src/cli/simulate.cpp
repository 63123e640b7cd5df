#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"
#include "plan/plan.h"
#include "serial/pseudoterminal.h"
#include "serial/receiveport.h"
#include "serial/serialport.h"
#include "sim/display.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <memory>

namespace cli {
namespace {

sim::Micros elapsed(const QElapsedTimer &clock)
{
    return sim::Micros(clock.nsecsElapsed() / 1000);
}

struct Simulating {
    bool pty = false;
    QString device;   // with --device
    int seconds = 0;  // 0: until stopped
    int product = -1; // -1: the first send taken decides
    bool json = false;
    QString planOut;
};

// What to simulate, or a usage error naming the option and its valid values; nothing when --help was
// answered.
std::optional<Simulating> parse(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("simulate")));
    o.parse(arguments);
    if (o.helpAsked()) {
        io.out << o.help() << Qt::flush;
        return std::nullopt;
    }
    Simulating s;
    s.pty = o.has(QStringLiteral("--pty"));
    if (s.pty == o.has(QStringLiteral("--device"))) {
        throw UsageError{QStringLiteral("simulate: %1; valid values: --device PATH or --pty")
                             .arg(s.pty ? QStringLiteral("--device and --pty are both given, give one")
                                        : QStringLiteral("--device or --pty is missing"))};
    }
    s.device = o.value(QStringLiteral("--device"));
    s.seconds = secondsOf(o);
    s.product = o.lookupIfGiven(QStringLiteral("--product"), plan::Value::Product).value_or(-1);
    s.json = o.has(QStringLiteral("--json"));
    s.planOut = o.value(QStringLiteral("--plan-out"));
    return s;
}

// Opens the pseudo-terminal or the device and says where the display listens; nothing, with why on the
// error stream, when it cannot.
std::unique_ptr<serial::ReceivePort> open(const Simulating &s, Io &io)
{
    if (s.pty) {
        auto pair = std::make_unique<serial::PseudoTerminal>();
        if (!pair->open()) {
            io.err << "mdconfig-cli: " << pair->errorString() << '\n' << Qt::flush;
            return nullptr;
        }
        io.err << "simulated display on " << pair->farEnd()
               << ": give this path to mdconfig or mdconfig-cli send --device; ";
        io.err << endText(s.seconds) << '\n' << Qt::flush;
        return pair;
    }
    auto device = std::make_unique<serial::QtReceivePort>();
    if (!device->open(s.device, serial::LineBaud)) {
        io.err << "mdconfig-cli: cannot open " << device->errorString() << '\n' << Qt::flush;
        return nullptr;
    }
    io.err << "simulated display on " << s.device << " at 4800 baud, 8N1; ";
    io.err << endText(s.seconds) << '\n' << Qt::flush;
    return device;
}

// Feeds the display what the port hears until the time is up, a signal comes, the output closes or the
// port goes away.
void run(serial::ReceivePort &port, sim::Display &display, const Simulating &s, Io &io)
{
    QElapsedTimer clock;
    clock.start();
    // Short reads keep the clock, a silence that ends a send, a signal and a closed output within a
    // twentieth of a second.
    while (goOn(clock, s.seconds)) {
        const QByteArray bytes = port.read(50);
        const sim::Micros now = elapsed(clock);
        if (!bytes.isEmpty())
            display.receive(bytes, now);
        display.advanceTo(now);
        if (port.failed() || outputClosed(io.out))
            break;
    }
    port.close();
    display.finish();
}

// The summary at the end.
void report(const sim::Display &display, const Simulating &s, Io &io)
{
    if (s.json) {
        io.out << jsonLine(display.summaryJson()) << '\n';
    } else {
        io.out << '\n' << display.table();
        io.out << QStringLiteral("%1 send(s) taken, %2 rejected\n")
                      .arg(display.accepted())
                      .arg(display.rejected());
    }
    io.out << Qt::flush;
}

} // namespace

int simulate(const QStringList &arguments, Io &io)
{
    const std::optional<Simulating> s = parse(arguments, io);
    if (!s)
        return Ok;
    int product = s->product;
    // A plan path that cannot be written is refused before anything is heard, not after the first send.
    // So is a file that is not a clean plan for this product; a plan's own product is the display's when
    // --product does not say.
    if (!s->planOut.isEmpty()) {
        int planProduct = -1;
        std::optional<QString> refused = sim::Display::refusePlanPath(s->planOut);
        if (!refused)
            refused = plan::refusePlanFile(s->planOut, product, &planProduct);
        if (refused) {
            io.err << "mdconfig-cli: simulate: " << *refused << '\n' << Qt::flush;
            return Failed;
        }
        if (product < 0)
            product = planProduct;
    }
    const std::unique_ptr<serial::ReceivePort> port = open(*s, io);
    if (!port)
        return Failed;

    const bool live = io.outIsTerminal && !s->json;
    bool planFailed = false;
    sim::Display *display = nullptr;
    const auto taken = [&](const sim::Verdict &v) {
        // The plan first: once "location N: ..." is on the screen, the file holds it too.
        if (v.accepted && !s->planOut.isEmpty()) {
            if (const std::optional<QString> failed = display->writePlan(s->planOut)) {
                planFailed = true;
                io.err << "mdconfig-cli: simulate: the plan was not written: " << *failed << '\n'
                       << Qt::flush;
            }
        }
        if (s->json) {
            QJsonObject line = sim::Display::toJson(v);
            line.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
            io.out << jsonLine(line) << '\n';
        } else {
            for (const QString &l : sim::Display::lines(v))
                io.out << l << '\n';
        }
        if (live && v.accepted)
            io.out << '\n' << display->table() << '\n';
        io.out << Qt::flush;
    };
    sim::Display simulated(product, taken);
    display = &simulated;

    run(*port, simulated, *s, io);
    report(simulated, *s, io);
    if (port->failed()) {
        io.err << "mdconfig-cli: the device went away while simulating: " << port->errorString() << '\n'
               << Qt::flush;
        return Failed;
    }
    return simulated.rejected() > 0 || planFailed ? Failed : Ok;
}

} // namespace cli
