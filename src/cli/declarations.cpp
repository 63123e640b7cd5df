// The declarations of every mdconfig-cli verb. Adding a verb: its unit, one declaration here, one row in
// the dispatcher's table (cli.cpp).
#include "cli/declaration.h"

#include "bus/linespeeds.h"
#include "frame/sentencebytes.h"
#include "plan/plan.h"
#include "serial/portmap.h"
#include "vocabulary/products.h"
#include "vocabulary/programmingmode.h"
#include "vocabulary/vocabulary.h"

#include <limits>

namespace cli {
namespace {

using plan::Value;
using vocabulary::List;

QStringList numbers(int from, int to)
{
    QStringList n;
    for (int i = from; i <= to; ++i)
        n << QString::number(i);
    return n;
}

OptionSpec option(const QString &name, const QString &valueName, const QString &valid,
                  Completes completes = Completes::Nothing, const QStringList &words = {})
{
    OptionSpec o;
    o.name = name;
    o.valueName = valueName;
    o.valid = valid;
    o.completes = completes;
    o.words = words;
    return o;
}

OptionSpec listOption(const char *name, Value kind, const char *valueName, const QStringList &words,
                      const char *onlyFor = "")
{
    OptionSpec o = option(QString::fromLatin1(name), QString::fromLatin1(valueName), plan::validValues(kind),
                          Completes::Words, words);
    o.onlyFor = QString::fromLatin1(onlyFor);
    return o;
}

OptionSpec productOption()
{
    return listOption("product", Value::Product, "P", numbers(0, vocabulary::ProductCount - 1));
}

OptionSpec fileOption(const char *name, const char *valueName, const char *valid)
{
    return option(QString::fromLatin1(name), QString::fromLatin1(valueName), QString::fromLatin1(valid),
                  Completes::File);
}

OptionSpec repeating(OptionSpec o)
{
    o.repeats = true;
    return o;
}

OptionSpec switchOption(const char *name, const char *valid)
{
    return option(QString::fromLatin1(name), {}, QString::fromLatin1(valid));
}

// A send to --port N that now reaches another adapter than the one remembered for N goes on only with it.
OptionSpec anyAdapterOption()
{
    return switchOption("any-adapter",
                        "sends to the adapter --port opens now, even another one, and remembers it")
        .described(QStringLiteral("with --port, goes on even when COM N now opens another adapter than the "
                                  "one remembered for it (refused otherwise, naming both), and remembers "
                                  "that one"));
}

const PositionalSpec Kind{QStringLiteral("standard|proprietary"),
                          Completes::Words,
                          {QStringLiteral("standard"), QStringLiteral("proprietary")},
                          false,
                          {}};
const PositionalSpec PlanFile{QStringLiteral("FILE"),
                              Completes::File,
                              {},
                              false,
                              QStringLiteral("the plan, a TOML file (see mdconfig-cli plan --help)")};

const char SendExit[] = "0 done, 1 the send failed, 2 bad arguments.";

QString planDescription()
{
    return QStringLiteral(
        "A plan is a TOML file that says what every memory location of one display is to show:\n"
        "\n"
        "    product = 2                 # 0, 1, 2 or the product's caption\n"
        "    [location.1]\n"
        "    talker = \"GP\"\n"
        "    sentence = \"RMC\"\n"
        "    field = 7\n"
        "    icon = \"KT\"                 # only with product 2; default \"None\"\n"
        "    note = \"speed over ground\"  # what you call it: kept, shown by check\n"
        "    [location.2]\n"
        "    talker = \"II\"\n"
        "    sentence = \"XDR\"\n"
        "    field = 3\n"
        "    type = \"C\"                  # XDR only: the letter or the whole entry\n"
        "    [location.5]\n"
        "    instrument = \"NX20/40 ENGINE RPM\"   # or its number 1..12\n"
        "\n"
        "Locations are 1 to 10, each at most once, any subset. Values take the texts of the window's lists, "
        "in "
        "any case. A location gives talker, sentence and field (and type for XDR), or instrument; icon only "
        "with product 2 (MD90  Ver 1.3 +).\n"
        "\n"
        "Plan files take the ending .mdplan.toml, which the desktop opens in the plan window; any name is "
        "read.");
}

const char PlanExit[] =
    "0 done (check: the plan is clean); 1 a send failed or export could not write; 2 bad "
    "arguments, a plan with faults, or a FILE that is no regular file or is larger than 1 MB "
    "(nothing is sent).";

QList<VerbSpec> sendingVerbs()
{
    return {
        {"frames",
         "prints the ten frames of a send, one a line, as hexadecimal bytes",
         sentenceOptionSpecs() + QList<OptionSpec>{jsonOptionSpec(QStringLiteral("one JSON object"))
                                                       .described(QStringLiteral(
                                                           "one JSON object: the keys of plan frames --json, "
                                                           "and product"))},
         {Kind},
         {},
         "0 done, 2 bad arguments."},
        {"send",
         "sends them at 4800 baud, 8 data bits, no parity, 1 stop bit, one byte every 50 ms",
         sentenceOptionSpecs() + targetOptionSpecs() + QList<OptionSpec>{anyAdapterOption()} +
             QList<OptionSpec>{
                 jsonOptionSpec(QStringLiteral("one JSON object per repetition and one at the end"))
                     .described(
                         QStringLiteral("one JSON object per repetition and one at the end (sent, bytes, "
                                        "repetitions, device)"))},
         {Kind},
         {},
         SendExit},
        {"ports",
         QStringLiteral("lists the COM port numbers 1 to %1 that name a device on this computer")
             .arg(serial::MaxPortNumber),
         {jsonOptionSpec(QStringLiteral("one JSON object per port"))
              .described(QStringLiteral("one JSON object per port (port, device, description)"))},
         {},
         {},
         "0 done, 2 bad arguments."},
    };
}

QList<VerbSpec> planVerbs()
{
    return {
        {"plan",
         "checks, shows, sends or extends a display plan: a whole display in one file",
         {},
         {},
         planDescription(),
         PlanExit},
        {"plan check",
         "reads and checks the whole plan",
         {jsonOptionSpec(QStringLiteral("one JSON object for the plan or for each fault"))
              .described(QStringLiteral("adds one JSON object (file, clean, and product, locations and "
                                        "warnings, or the number of faults)"))},
         {PlanFile},
         "Reads and checks the whole plan; prints each fault as FILE:LINE:COLUMN: what is wrong and what is "
         "valid there; a clean plan is listed location by location, with its notes. A location whose "
         "sentence "
         "alternates (MWV relative and true) or whose field is past the sentence's last gets a warning, "
         "FILE:LINE:COLUMN: warning: ..., which leaves the plan clean.",
         PlanExit},
        {"plan frames",
         "prints the ten frames of every location",
         {jsonOptionSpec(QStringLiteral("one JSON object per location"))
              .described(QStringLiteral("one JSON object per location (location, shows, kind, talker, "
                                        "sentence, field, type, instrument, icon, frames)"))},
         {PlanFile},
         "Prints the ten frames of every location, in location order, each block headed by the location and "
         "what it shows.",
         PlanExit},
        {"plan send",
         "sends a clean plan location after location",
         targetOptionSpecs() + QList<OptionSpec>{anyAdapterOption()} +
             QList<OptionSpec>{
                 option("gap", "SECONDS", "seconds from 0 to 3600")
                     .described(QStringLiteral("pause between two locations (default 1; 0 for none)")),
                 switchOption("confirm", "waits for Enter before each location")
                     .described(QStringLiteral("wait for Enter before each location, for a display that must "
                                               "be put back into programming mode (%1) between locations")
                                    .arg(vocabulary::programmingModeHow())),
                 listOption("from", Value::Location, "N", vocabulary::entries(List::MemoryLocation1))
                     .described(
                         QStringLiteral("resume at location N (1 to 10): the plan's locations before it "
                                        "are skipped")),
                 jsonOptionSpec(QStringLiteral("one JSON object per repetition and one at the end"))
                     .described(QStringLiteral("one JSON object per repetition of a location (location, "
                                               "repetition, of; shows at repetition 0) and one at the end "
                                               "(sent, notSent, skipped, failure, stopped, repetitions, "
                                               "device)"))},
         {PlanFile},
         "Checks the plan and sends nothing unless it is clean; then sends location after location at 4800 "
         "baud, one byte every 50 ms, ten repetitions each, and says which were sent. Ctrl-C stops it after "
         "the byte on the wire.",
         PlanExit},
        {"plan export",
         "appends the location the options describe to a plan",
         sentenceOptionSpecs() + QList<OptionSpec>{jsonOptionSpec(QStringLiteral("one JSON object"))
                                                       .described(QStringLiteral(
                                                           "says what was added as one JSON object (the keys "
                                                           "of frames --json, file, added)"))},
         {PlanFile, Kind},
         "Appends the location the options describe (those of mdconfig-cli frames) to FILE, creating it with "
         "the product line; refuses a file that is not a clean plan, a plan for another product, a location "
         "the "
         "plan already has, and anything but a regular file.",
         PlanExit},
        {"plan test",
         "sends a test pattern that proves each standard location on a display in normal use",
         targetOptionSpecs() + QList<OptionSpec>{anyAdapterOption()} +
             QList<OptionSpec>{secondsOptionSpec().described(
                                   QStringLiteral("stop after S seconds (default: at Ctrl-C or SIGTERM)")),
                               jsonOptionSpec(QStringLiteral("one JSON object per location"))
                                   .described(QStringLiteral("one JSON object per location and a summary"))},
         {PlanFile},
         "Sends a test pattern to a display in normal use (after the plan is sent): standard NMEA 0183 "
         "sentences at 4800 baud, 8N1, about once a second each, in which every standard location's field "
         "holds a value made from its number (location 3 shows 3.3). Lists the locations it cannot cover and "
         "why.",
         PlanExit},
    };
}

VerbSpec decodeVerb()
{
    return {
        "decode",
        "says what a captured frame configures and whether its check byte is right",
        {jsonOptionSpec(QStringLiteral("one JSON object per frame"))
             .described(QStringLiteral("one JSON object per frame: frame, bytes, location, kind, talker, "
                                       "sentence, sentCode, field, type, instrument, icon, shows, products, "
                                       "check (first, repeat or wrong), valid, problems"))},
        {{QStringLiteral("HEX"),
          Completes::Nothing,
          {},
          true,
          QStringLiteral(
              "one frame (10 bytes, or 11 with an icon byte) as mdconfig-cli frames prints it, such "
              "as \"24 32 47 50 52 4D 43 05 35 7B\"; spaces are optional, and several arguments are "
              "joined. A captured stream of several frames is split into its frames.")}},
        "Says what a configuration frame tells a display: its memory location, the talker, sentence and "
        "field "
        "(and the transducer type for XDR) or the Velmora instrument, the icon, the product the frame is "
        "for, "
        "and whether its check byte is right for the first frame of a send or for one of the nine repeat "
        "frames.",
        "0 every frame is valid, 1 a frame is not valid (what is wrong is said), 2 the input is not "
        "hexadecimal or no bytes were given."};
}

// Where listen reads: a serial device, or the bus from the network.
QList<OptionSpec> listenTargetSpecs()
{
    QList<OptionSpec> specs = targetOptionSpecs();
    for (OptionSpec &o : specs) {
        if (o.name == QLatin1String("device"))
            o = o.described(
                QStringLiteral("a device path, such as /dev/ttyUSB0, or the bus from the network, "
                               "read-only: tcp://HOST:PORT (a multiplexer, gateway or Signal K "
                               "server; NMEA over TCP is usually port 10110) or "
                               "udp://[ADDRESS:]PORT"));
    }
    return specs;
}

VerbSpec listenVerb()
{
    return {
        "listen",
        "shows which talkers, sentences and fields the NMEA bus carries",
        listenTargetSpecs() +
            QList<OptionSpec>{
                option("baud", bus::speedsText("|") + "|auto", bus::speedsText() + ", auto", Completes::Words,
                       bus::speedWords() + QStringList{QStringLiteral("auto")})
                    .described(QStringLiteral("%1 (default), %2, or auto: tries %1, then %2, a few seconds "
                                              "each, and takes the one that gives whole sentences with good "
                                              "checksums")
                                   .arg(bus::DefaultSpeed)
                                   .arg(bus::otherSpeed(bus::DefaultSpeed))),
                secondsOptionSpec().described(
                    QStringLiteral("stop after S seconds (default: at Ctrl-C, or when the output closes)")),
                jsonOptionSpec(QStringLiteral("one JSON object per sentence"))
                    .described(
                        QStringLiteral("one JSON object per sentence, and a summary object at the end; "
                                       "\"field\" holds the fields by their numbers: .field[\"7\"] is "
                                       "field 7")),
                option("fields", "NAME", "a talker and sentence, such as GPRMC")
                    .described(
                        QStringLiteral("the fields of one sentence, such as GPRMC, numbered and named, "
                                       "per variant (XDR as transducers); a sentence alone, such as "
                                       "MWV, from every talker that sends it")),
                fileOption("log", "FILE", "a new file")
                    .described(
                        QStringLiteral("also records the bytes as received into FILE, a new file, after "
                                       "a header comment")),
                option("log-limit", "SIZE", "a size from 1k to 1024G, such as 500k, 10M")
                    .described(
                        QStringLiteral("stops recording at SIZE bytes (1k to 1024G, such as 500k, 10M; "
                                       "default 64M)")),
                switchOption("timestamps", "timestamps in the recording")
                    .described(QStringLiteral("puts the seconds since the start before each recorded line"))},
        {},
        "Shows which talker IDs, sentences and fields the NMEA 0183 bus carries. Field N is the value after "
        "the Nth comma: the number to choose in \"Commas\". The live table fits the terminal, one line per "
        "sentence; a sentence whose meaning alternates (MWV relative and true) gets a line per variant and "
        "a "
        "warning.",
        "0 done, 1 the port could not be opened or went away, 2 bad arguments."};
}

VerbSpec simulateVerb()
{
    return {
        "simulate",
        "plays a display: says what each send configures and what is wrong with it",
        {option("device", "PATH", "a device path, such as /dev/ttyUSB1", Completes::Device)
             .oneOf(QStringLiteral("line"))
             .described(QStringLiteral("the serial device to read, such as /dev/ttyUSB1: the second of two "
                                       "USB adapters wired back to back (TX to RX, ground to ground), the "
                                       "first given to the sender")),
         switchOption("pty", "no value")
             .oneOf(QStringLiteral("line"))
             .described(
                 QStringLiteral("no hardware: makes a pseudo-terminal pair and prints the path to give "
                                "the sender (mdconfig-cli send --device PATH, or the window with "
                                "MDCONFIG_COM1=PATH and COM1)")),
         jsonOptionSpec(QStringLiteral("no value"))
             .described(
                 QStringLiteral("one JSON object a line: each send taken (\"accepted\": true, location, "
                                "shows, ..., warnings), each send rejected (\"accepted\": false, "
                                "\"rejected\": true, reason, problems, frames), and a summary object "
                                "at the end")),
         fileOption("plan-out", "FILE", "a plan file to write")
             .described(QStringLiteral(
                 "keeps what the display took as a display plan (see mdconfig-cli plan --help): after each "
                 "send taken, the location taken replaces that location of FILE (its note kept only while "
                 "it "
                 "shows the same) and the others stay, so Ctrl-C loses nothing; a missing or empty FILE is "
                 "made. Refused before anything is heard: a FILE that is not a clean plan for this product, "
                 "a "
                 "link, a directory, a FIFO or a device. Without --product an existing plan's product is "
                 "the "
                 "display's. 10-byte frames are sent alike to products 0 and 1: a new plan then says "
                 "product "
                 "0, with a comment saying so, unless --product says otherwise")),
         secondsOptionSpec().described(QStringLiteral("stop after S seconds, a whole number, 1 or more "
                                                      "(default: at Ctrl-C, SIGTERM or SIGHUP, or once the "
                                                      "output is closed, as by | head)")),
         productOption().described(QStringLiteral(
             "the display's product: 0 (MD20/MD40), 1 (MD90 Ver 1.0, 1.1, 1.2), 2 (MD90 Ver 1.3 +) or its "
             "caption; frames of the other length are then rejected. Without it the first send taken "
             "decides "
             "(11-byte frames: product 2; 10-byte frames: 0 or 1)"))},
        {},
        "Plays a display in programming mode: reads a serial line at 4800 baud, 8 data bits, no parity, 1 "
        "stop "
        "bit, and says what each send (ten repetitions of a frame) would configure and what is wrong with "
        "it. "
        "Use it to check a cable, an adapter or a sender without a display.\n"
        "\n"
        "What is checked: each repetition's length (10 bytes, or 11 with an icon byte), its \"$\" header, "
        "its "
        "memory location and codes, its check byte (repetition 1 ends with the first check byte, 2 to 10 "
        "with "
        "the repeat one), the pacing (no byte closer than 50 ms to the one before, 100 ms of silence before "
        "each repetition), and ten repetitions to a send. Each fault is a \"warning:\" line.\n"
        "\n"
        "When a send is taken: a repetition counts when it is a sound frame (length, header, location, "
        "codes, "
        "a check byte that fits the first or the repeat frame) that came with the display's pacing. A send "
        "is "
        "taken when at least one repetition counts, all that count carry the same configuration, and its "
        "frame "
        "length fits the product. Then \"location N: what it shows\" is printed and the table of the ten "
        "locations is reprinted (on a terminal; otherwise printed once at the end). Everything else wrong "
        "with "
        "a taken send (a repetition that does not count, a check byte of the wrong kind for its place, a "
        "missing or extra repetition) is a warning. A send where no repetition counts, or where they "
        "disagree, "
        "is rejected: \"send N rejected: why\". So is a stream longer than any send (more than 220 bytes "
        "before "
        "a second of silence): it is counted, not kept, and rejected once as not a display's configuration.",
        "0 every send heard was taken; 1 a send was rejected, the device would not open or went away, or "
        "the "
        "plan could not be written; 2 bad arguments."};
}

VerbSpec replayVerb()
{
    return {
        "replay",
        "plays a recording of a bus onto a serial line, paced as it was heard",
        {option("device", "PATH", "a device path, such as /dev/ttyUSB0", Completes::Device)
             .oneOf(QStringLiteral("line"))
             .described(QStringLiteral("a serial device, set to the recording's baud, 8N1")),
         switchOption("pty", "no value")
             .oneOf(QStringLiteral("line"))
             .described(QStringLiteral("makes a pseudo-terminal pair, prints the path to give the listener, "
                                       "and starts playing when a program opens it")),
         option("speed", "X", "0.1 to 100")
             .described(QStringLiteral("plays X times as fast (0.1 to 100; "
                                       "default 1)")),
         jsonOptionSpec(QStringLiteral("the result as one JSON object"))},
        {{QStringLiteral("FILE"),
          Completes::File,
          {},
          false,
          QStringLiteral("a recording made by listen --log, or any NMEA capture")}},
        "Plays a recording made by listen --log (or any NMEA capture) onto a serial line: each line at its "
        "timestamp when the recording has them, otherwise at the wire rate of its baud (4800 when the file "
        "does not say). The header's comment lines are not played; every other byte goes out as it is.",
        "0 played to the end, 1 the file or the line failed or it was interrupted, 2 bad arguments."};
}

QList<VerbSpec> pageVerbs()
{
    return {
        {"serve",
         "serves a page for a phone on the boat's network to plan, send and see the bus",
         QList<OptionSpec>{
             option("listen", "ADDRESS|INTERFACE[:PORT]", "ADDRESS")
                 .needed()
                 .described(QStringLiteral(
                     "the address or interface to answer on (such as wlan0, 192.168.1.20:8421 or "
                     "[::1]); there is no default: without it the interfaces are listed. The "
                     "port is 8421 unless given"))} +
             targetOptionSpecs() + QList<OptionSpec>{anyAdapterOption()} +
             QList<OptionSpec>{
                 option("bus", "SOURCE", "tcp://HOST:PORT or udp://[ADDRESS:]PORT")
                     .described(QStringLiteral("the page's bus view reads the bus from the network, "
                                               "read-only (tcp://HOST:PORT or udp://[ADDRESS:]PORT), while "
                                               "sends still go to --port or --device")),
                 repeating(option("allow-host", "NAME", "a host name the page may be reached by"))
                     .described(QStringLiteral("a further name the page may be opened by (Host header), "
                                               "besides IP addresses, localhost, this machine's name and "
                                               "NAME.local; may be given more than once")),
                 switchOption("no-qr", "no QR code"),
                 switchOption("new-token", "a new access token")
                     .described(QStringLiteral("makes a new access token: addresses given out before stop "
                                               "working")),
                 switchOption("print-url", "prints the running service's address")
                     .described(QStringLiteral("prints the address and QR code of the running service (or of "
                                               "--listen) and ends; no --port or --device is needed")),
                 secondsOptionSpec().described(
                     QStringLiteral("stop after S seconds (default: at Ctrl-C or SIGTERM)"))},
         {},
         "Serves a page for a phone or a desktop browser on the boat's network: the same lists and products "
         "as "
         "the window, the ten locations of a plan with check, send one or all with progress, Stop, ask "
         "before "
         "each location and resume, plan files loaded and saved, and the bus with \"use in location N\". It "
         "prints the page's address with its access token, and a QR code of it to open with a phone's "
         "camera.\n"
         "\n"
         "The token is kept in $STATE_DIRECTORY/web-token under a service manager, else in the user's data "
         "folder (~/.local/share/mdconfig/web-token), mode 600. Each command is logged to standard error "
         "with "
         "the address it came from.",
         "0 done, 1 the server or the token could not be made or a send was cut by Ctrl-C, SIGTERM or "
         "SIGHUP, 2 "
         "bad arguments (or no --listen)."},
        {"page",
         "writes the page on its own, for a laptop's browser to reach the display",
         {fileOption("output", "FILE", "the file to write, such as mdconfig-page.html")
              .needed()
              .described(QStringLiteral("the file to write, replaced whole; a link or anything but a regular "
                                        "file is refused")),
          jsonOptionSpec(QStringLiteral("one JSON object"))
              .described(QStringLiteral("one JSON object: file, "
                                        "bytes"))},
         {},
         "Writes the page on its own, mdconfig-page.html: one file with everything inlined that loads "
         "nothing "
         "from the network. Open it from disk in Chrome or Edge (Windows, macOS, ChromeOS, Linux), press "
         "\"Connect adapter\" and choose the USB serial adapter: the page plans, checks and sends a whole "
         "display with the program's own frames and pacing, nothing installed. Firefox and Safari have no "
         "Web "
         "Serial; the page says so and still plans, checks and saves.",
         "0 written, 1 it could not be written, 2 bad arguments."},
    };
}

// Every verb, in the order --help lists them.
QList<VerbSpec> table()
{
    return sendingVerbs() + planVerbs() +
           QList<VerbSpec>{decodeVerb(), listenVerb(), simulateVerb(), replayVerb()} + pageVerbs();
}

} // namespace

OptionSpec OptionSpec::described(const QString &text) const
{
    OptionSpec o = *this;
    o.help = text;
    return o;
}

OptionSpec OptionSpec::needed() const
{
    OptionSpec o = *this;
    o.required = true;
    return o;
}

OptionSpec OptionSpec::oneOf(const QString &group) const
{
    OptionSpec o = *this;
    o.choice = group;
    return o;
}

bool VerbSpec::takesJson() const
{
    for (const OptionSpec &o : options) {
        if (o.name == QLatin1String("json"))
            return true;
    }
    return false;
}

int VerbSpec::maxPositional() const
{
    for (const PositionalSpec &p : positionals) {
        if (p.repeats)
            return std::numeric_limits<int>::max();
    }
    return int(positionals.size());
}

const QList<VerbSpec> &declarations()
{
    static const QList<VerbSpec> all = table();
    return all;
}

const VerbSpec &declaration(const QString &name)
{
    for (const VerbSpec &v : declarations()) {
        if (v.name == name)
            return v;
    }
    qFatal("mdconfig-cli: the verb \"%s\" is not declared", qPrintable(name));
}

QList<OptionSpec> sentenceOptionSpecs()
{
    QStringList products;
    for (int i = 0; i < vocabulary::ProductCount; ++i)
        products << QStringLiteral("%1 %2").arg(i).arg(vocabulary::productName(i));
    return {
        listOption("talker", Value::Talker, "ID", vocabulary::entries(List::Talker), "standard")
            .needed()
            .described(QStringLiteral("the talker ID as the list shows it (GP, II, ...)")),
        listOption("sentence", Value::Sentence, "ID", vocabulary::entries(List::Identifier), "standard")
            .needed()
            .described(QStringLiteral("the sentence identifier as the list shows it (RMC, XDR, ...)")),
        listOption("field", Value::Field, "N", vocabulary::entries(List::Commas), "standard")
            .needed()
            .described(QStringLiteral("the field position (Commas), 1 to %1").arg(vocabulary::CommaCount)),
        listOption("type", Value::Type, "T", vocabulary::transducerLetters(), "standard")
            .described(QStringLiteral("the transducer type for XDR: its letter or the whole entry (default: "
                                      "the first)")),
        listOption("memory", Value::Location, "N", vocabulary::entries(List::MemoryLocation1))
            .needed()
            .described(QStringLiteral("the display's memory location, 1 to %1")
                           .arg(vocabulary::MemoryLocationCount)),
        productOption().needed().described(products.join(QStringLiteral(", ")) +
                                           QStringLiteral(", or the caption")),
        listOption("icon", Value::Icon, "NAME", frame::iconCaptions())
            .described(QStringLiteral("the MD90 1.3 icon (None, AH, AMPS, ..., VOLTS; default None)")),
        listOption("instrument", Value::Instrument, "NAME|N",
                   vocabulary::entries(List::Instrument) +
                       numbers(1, int(vocabulary::entries(List::Instrument).size())),
                   "proprietary")
            .needed()
            .described(QStringLiteral("the Velmora instrument: its name or its number in the list, 1 to %1")
                           .arg(vocabulary::InstrumentCount))};
}

QList<OptionSpec> targetOptionSpecs()
{
    return {
        option("port", "N", QStringLiteral("1 to %1").arg(serial::MaxPortNumber), Completes::Port,
               numbers(1, serial::MaxPortNumber))
            .oneOf(QStringLiteral("target"))
            .described(QStringLiteral("a COM port number, 1 to %1 (see mdconfig-cli ports; MDCONFIG_COM<n> "
                                      "overrides)")
                           .arg(serial::MaxPortNumber)),
        option("device", "PATH", "a device path, such as /dev/ttyUSB0", Completes::Device)
            .oneOf(QStringLiteral("target"))};
}

OptionSpec secondsOptionSpec()
{
    return option("seconds", "S", "a whole number of seconds, 1 or more");
}

OptionSpec jsonOptionSpec(const QString &valid)
{
    return option("json", {}, valid);
}

} // namespace cli
