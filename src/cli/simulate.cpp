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

const char *const HelpText =
    "Usage: mdconfig-cli simulate (--device PATH | --pty) [--json] [--plan-out FILE] [--seconds S]\n"
    "                             [--product P]\n"
    "\n"
    "Plays a display in programming mode: reads a serial line at 4800 baud, 8 data bits, no parity, 1 stop\n"
    "bit, and says what each send (ten repetitions of a frame) would configure and what is wrong with it.\n"
    "Use it to check a cable, an adapter or a sender without a display.\n"
    "\n"
    "--device PATH    the serial device to read, such as /dev/ttyUSB1: the second of two USB adapters wired\n"
    "                 back to back (TX to RX, ground to ground), the first given to the sender\n"
    "--pty            no hardware: makes a pseudo-terminal pair and prints the path to give the sender\n"
    "                 (mdconfig-cli send --device PATH, or the window with MDCONFIG_COM1=PATH and COM1)\n"
    "--json           one JSON object a line: each send taken (\"accepted\": true, location, shows, ...,\n"
    "                 warnings), each send rejected (\"accepted\": false, \"rejected\": true, reason,\n"
    "                 problems, frames), and a summary object at the end\n"
    "--plan-out FILE  keeps what the display took as a display plan (see mdconfig-cli plan --help): after\n"
    "                 each send taken, the location taken replaces that location of FILE (its note kept\n"
    "                 only while it shows the same) and the others stay, so Ctrl-C loses nothing; a\n"
    "                 missing or empty FILE is made. Refused before anything is heard: a FILE that is not\n"
    "                 a clean plan for this product, a link, a directory, a FIFO or a device. Without\n"
    "                 --product an existing plan's product is the display's. 10-byte frames are sent\n"
    "                 alike to products 0 and 1: a new plan then says product 0, with a comment saying so,\n"
    "                 unless --product says otherwise\n"
    "--seconds S      stop after S seconds, a whole number, 1 or more (default: at Ctrl-C, SIGTERM or\n"
    "                 SIGHUP, or once the output is closed, as by | head)\n"
    "--product P      the display's product: 0 (MD20/MD40), 1 (MD90 Ver 1.0, 1.1, 1.2), 2 (MD90 Ver 1.3 +)\n"
    "                 or its caption; frames of the other length are then rejected. Without it the first\n"
    "                 send taken decides (11-byte frames: product 2; 10-byte frames: 0 or 1)\n"
    "\n"
    "What is checked: each repetition's length (10 bytes, or 11 with an icon byte), its \"$\" header, its\n"
    "memory location and codes, its check byte (repetition 1 ends with the first check byte, 2 to 10 with\n"
    "the repeat one), the pacing (no byte closer than 50 ms to the one before, 100 ms of silence before "
    "each\n"
    "repetition), and ten repetitions to a send. Each fault is a \"warning:\" line.\n"
    "\n"
    "When a send is taken: a repetition counts when it is a sound frame (length, header, location, codes,\n"
    "a check byte that fits the first or the repeat frame) that came with the display's pacing. A send is\n"
    "taken when at least one repetition counts, all that count carry the same configuration, and its frame\n"
    "length fits the product. Then \"location N: what it shows\" is printed and the table of the ten\n"
    "locations is reprinted (on a terminal; otherwise printed once at the end). Everything else wrong with "
    "a\n"
    "taken send (a repetition that does not count, a check byte of the wrong kind for its place, a missing "
    "or\n"
    "extra repetition) is a warning. A send where no repetition counts, or where they disagree, is\n"
    "rejected: \"send N rejected: why\". So is a stream longer than any send (more than 220 bytes before a\n"
    "second of silence): it is counted, not kept, and rejected once as not a display's configuration.\n"
    "\n"
    "Exit status: 0 every send heard was taken; 1 a send was rejected, the device would not open or went\n"
    "away, or the plan could not be written; 2 bad arguments.\n";

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
        io.out << HelpText << Qt::flush;
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
