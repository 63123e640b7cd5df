#include "cli/plan.h"

#include "plan/plan.h"
#include "plan/plansend.h"
#include "serial/portmap.h"
#include "serial/qtserialport.h"
#include "vocabulary/vocabulary.h"

#include <QCommandLineParser>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cmath>

namespace cli {
namespace {

const char *const HelpText =
    "Usage:\n"
    "  mdconfig-cli plan check FILE\n"
    "  mdconfig-cli plan frames [--json] FILE\n"
    "  mdconfig-cli plan send FILE (--port N | --device PATH) [--gap SECONDS] [--confirm] [--from N]\n"
    "  mdconfig-cli plan export FILE standard --talker ID --sentence ID --field N [--type T] --memory N\n"
    "                           --product P [--icon NAME]\n"
    "  mdconfig-cli plan export FILE proprietary --instrument NAME|N --memory N --product P [--icon NAME]\n"
    "\n"
    "A plan is a TOML file that says what every memory location of one display is to show:\n"
    "\n"
    "    product = 2                 # 0, 1, 2 or the product's caption\n"
    "    [location.1]\n"
    "    talker = \"GP\"\n"
    "    sentence = \"RMC\"\n"
    "    field = 7\n"
    "    icon = \"KT\"                 # only with product 2; default \"None\"\n"
    "    [location.2]\n"
    "    talker = \"II\"\n"
    "    sentence = \"XDR\"\n"
    "    field = 3\n"
    "    type = \"C\"                  # XDR only: the letter or the whole entry\n"
    "    [location.5]\n"
    "    instrument = \"NX20/40 ENGINE RPM\"   # or its number 1..12\n"
    "\n"
    "Locations are 1 to 10, each at most once, any subset. Values take the texts of the window's lists, in\n"
    "any case. A location gives talker, sentence and field (and type for XDR), or instrument; icon only "
    "with\n"
    "product 2 (MD90  Ver 1.3 +).\n"
    "\n"
    "check    reads and checks the whole plan; prints each fault as FILE:LINE:COLUMN: what is wrong and "
    "what\n"
    "         is valid there\n"
    "frames   prints the ten frames of every location, in location order, each block headed by the location\n"
    "         and what it shows; --json gives one JSON object per location (location, shows, frames)\n"
    "send     checks the plan and sends nothing unless it is clean; then sends location after location at\n"
    "         4800 baud, one byte every 50 ms, ten repetitions each, and says which were sent\n"
    "  --port N        a COM port number, 1 to 16 (see mdconfig-cli ports; MDCONFIG_COM<n> overrides)\n"
    "  --device PATH   a device path, such as /dev/ttyUSB0\n"
    "  --gap SECONDS   pause between two locations (default 1; 0 for none)\n"
    "  --confirm       wait for Enter before each location, for a display that must be put back into\n"
    "                  programming mode (hold UP and DOWN until it shows \"rdY\") between locations\n"
    "  --from N        resume at location N (1 to 10): the plan's locations before it are skipped\n"
    "export   appends the location the options describe (those of mdconfig-cli frames) to FILE, creating\n"
    "         it with the product line; refuses a file that is not a clean plan, a plan for another\n"
    "         product, a location the plan already has, and anything but a regular file\n"
    "\n"
    "Exit status: 0 done (check: the plan is clean); 1 a send failed or export could not write; 2 bad\n"
    "arguments or a plan with faults (nothing is sent).\n";

const QStringList Verbs = {"check", "frames", "send", "export"};

struct Parsed {
    QStringList positional;
    QHash<QString, QString> values;
    QSet<QString> flags;
};

// Parses one plan verb's arguments: its options with values, its switches, and what is left.
Parsed parse(const QString &verb, const QStringList &arguments, const QStringList &valued,
             const QStringList &switches)
{
    QCommandLineParser parser;
    for (const QString &name : valued)
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("value")));
    for (const QString &name : switches)
        parser.addOption(QCommandLineOption(name));
    if (!parser.parse(QStringList{QStringLiteral("plan")} + arguments)) {
        QStringList valid;
        for (const QString &name : valued + switches)
            valid << QStringLiteral("--") + name;
        throw UsageError{QStringLiteral("plan %1: %2; valid options: %3")
                             .arg(verb, parser.errorText(), valid.join(QStringLiteral(", ")))};
    }
    Parsed p;
    p.positional = parser.positionalArguments();
    for (const QString &name : valued) {
        if (parser.isSet(name))
            p.values.insert(name, parser.value(name));
    }
    for (const QString &name : switches) {
        if (parser.isSet(name))
            p.flags.insert(name);
    }
    return p;
}

QString fileArgument(const QString &verb, const QStringList &positional, int expected = 1)
{
    if (positional.isEmpty())
        throw UsageError{
            QStringLiteral("plan %1: the plan FILE is missing; see mdconfig-cli plan --help").arg(verb)};
    if (positional.size() > expected)
        throw UsageError{QStringLiteral("plan %1: unexpected argument \"%2\"; give one plan FILE")
                             .arg(verb, positional.at(expected))};
    return positional.first();
}

// Reads the plan; on faults prints each and returns nothing.
std::optional<plan::Plan> readClean(const QString &path, Io &io)
{
    const plan::ReadResult r = plan::readPlan(path);
    for (const plan::Fault &f : r.faults)
        io.err << f.text() << '\n';
    if (!r.faults.isEmpty())
        return std::nullopt;
    return r.plan;
}

QString locationList(const plan::Plan &p)
{
    QList<int> numbers;
    for (const plan::Location &l : p.locations)
        numbers << l.number;
    return plan::locationRanges(numbers);
}

int check(const QStringList &arguments, Io &io)
{
    const Parsed a = parse(QStringLiteral("check"), arguments, {}, {});
    const QString path = fileArgument(QStringLiteral("check"), a.positional);
    const std::optional<plan::Plan> p = readClean(path, io);
    if (!p) {
        io.err << "mdconfig-cli: " << path
               << " has faults; nothing in it can be sent until they are mended\n";
        return Usage;
    }
    io.out << path << ": a clean plan for product " << p->product << " (" << plan::productCaption(p->product)
           << "), locations " << locationList(*p) << '\n';
    return Ok;
}

int frames(const QStringList &arguments, Io &io)
{
    const Parsed a = parse(QStringLiteral("frames"), arguments, {}, {QStringLiteral("json")});
    const QString path = fileArgument(QStringLiteral("frames"), a.positional);
    const std::optional<plan::Plan> p = readClean(path, io);
    if (!p)
        return Usage;
    bool firstBlock = true;
    for (const plan::Location &l : p->locations) {
        const QList<QByteArray> all = plan::frames(p->product, l);
        if (a.flags.contains(QStringLiteral("json"))) {
            QJsonArray hex;
            for (const QByteArray &f : all)
                hex.append(frame::toHex(f));
            const QJsonObject o{{QStringLiteral("location"), l.number},
                                {QStringLiteral("shows"), plan::shows(l, p->product)},
                                {QStringLiteral("frames"), hex}};
            io.out << QJsonDocument(o).toJson(QJsonDocument::Compact) << '\n';
            continue;
        }
        if (!firstBlock)
            io.out << '\n';
        firstBlock = false;
        io.out << "location " << l.number << ": " << plan::shows(l, p->product) << '\n';
        for (const QByteArray &f : all)
            io.out << frame::toHex(f) << '\n';
    }
    return Ok;
}

QString bar(int done, int total, int width)
{
    const int filled = total > 0 ? done * width / total : width;
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char(' ')) +
           QLatin1Char(']');
}

int send(const QStringList &arguments, Io &io)
{
    const Parsed a = parse(
        QStringLiteral("send"), arguments,
        {QStringLiteral("port"), QStringLiteral("device"), QStringLiteral("gap"), QStringLiteral("from")},
        {QStringLiteral("confirm")});
    const QString path = fileArgument(QStringLiteral("send"), a.positional);
    const bool hasPort = a.values.contains(QStringLiteral("port"));
    if (hasPort == a.values.contains(QStringLiteral("device")))
        throw UsageError{QStringLiteral("plan send: give either --port N (1 to 16) or --device PATH")};
    plan::SendOptions options;
    if (a.values.contains(QStringLiteral("gap"))) {
        bool ok = false;
        const double seconds = a.values.value(QStringLiteral("gap")).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 3600)
            throw UsageError{
                QStringLiteral("--gap: unknown value \"%1\"; valid values: seconds from 0 to 3600")
                    .arg(a.values.value(QStringLiteral("gap")))};
        options.gap = std::chrono::milliseconds(std::llround(seconds * 1000));
    }
    if (a.values.contains(QStringLiteral("from"))) {
        const std::optional<int> from =
            plan::lookup(plan::Value::Location, a.values.value(QStringLiteral("from")), nullptr);
        if (!from)
            throw UsageError{QStringLiteral("--from: unknown value \"%1\"; valid values: 1 to 10")
                                 .arg(a.values.value(QStringLiteral("from")))};
        options.from = *from;
    }
    int number = 0;
    if (hasPort) {
        bool ok = false;
        number = a.values.value(QStringLiteral("port")).trimmed().toInt(&ok);
        if (!ok || number < 1 || number > serial::MaxPortNumber)
            throw UsageError{QStringLiteral("--port: unknown value \"%1\"; valid values: 1 to 16")
                                 .arg(a.values.value(QStringLiteral("port")))};
    }

    // The whole plan is checked before the port is even looked at: a faulty plan sends nothing.
    const std::optional<plan::Plan> p = readClean(path, io);
    if (!p) {
        io.err << "mdconfig-cli: " << path << " has faults; nothing was sent\n";
        return Usage;
    }
    int toSend = 0;
    for (const plan::Location &l : p->locations)
        toSend += l.number >= options.from ? 1 : 0;
    if (toSend == 0)
        throw UsageError{QStringLiteral("--from: the plan has no location from %1 on; its locations: %2")
                             .arg(options.from)
                             .arg(locationList(*p))};

    QString device = a.values.value(QStringLiteral("device"));
    if (hasPort) {
        device = serial::deviceForPort(number);
        if (device.isEmpty()) {
            io.err << "mdconfig-cli: COM" << number
                   << " names no serial device on this computer (see mdconfig-cli ports, or set MDCONFIG_COM"
                   << number << "=/dev/...); nothing was sent\n";
            return Failed;
        }
    }

    const int totalRepetitions = toSend * frame::Repetitions;
    int repetitionsDone = 0;
    plan::SendEvents events;
    if (a.flags.contains(QStringLiteral("confirm"))) {
        events.confirm = [&](const plan::Location &l) {
            io.out << "Put the display into programming mode (hold UP and DOWN until it shows \"rdY\"), then "
                      "press Enter to send location "
                   << l.number << "..." << Qt::endl;
            QString line;
            return io.in && io.in->readLineInto(&line);
        };
    }
    events.starting = [&](const plan::Location &l) {
        io.out << "location " << l.number << ": " << plan::shows(l, p->product) << '\n' << Qt::flush;
    };
    events.repetition = [&](const plan::Location &, int r) {
        ++repetitionsDone;
        if (io.outIsTerminal) {
            io.out << "\r  " << bar(r, frame::Repetitions, 10) << ' ' << QString::number(r).rightJustified(2)
                   << "/10   all " << bar(repetitionsDone, totalRepetitions, 20) << ' '
                   << QString::number(100 * repetitionsDone / totalRepetitions).rightJustified(3) << '%'
                   << Qt::flush;
        }
    };
    events.sent = [&](const plan::Location &l) {
        if (io.outIsTerminal)
            io.out << '\n';
        io.out << "location " << l.number << " sent\n" << Qt::flush;
    };

    serial::QtSerialPort port;
    const plan::SendReport report = plan::sendPlan(*p, port, device, options, events);
    if (io.outIsTerminal && !report.complete() && repetitionsDone % frame::Repetitions != 0)
        io.out << '\n';
    if (!report.skipped.isEmpty())
        io.out << "skipped: " << plan::locationRanges(report.skipped) << '\n';
    io.out << "sent: " << plan::locationRanges(report.sent) << '\n';
    if (!report.complete()) {
        io.out << "not sent: " << plan::locationRanges(report.notSent) << '\n';
        io.err << "mdconfig-cli: " << report.failure << "; locations " << plan::locationRanges(report.notSent)
               << " were not sent (resume with --from " << report.notSent.first() << ")\n";
        return Failed;
    }
    return Ok;
}

int exportLocation(const QStringList &arguments, Io &io)
{
    const QStringList options = {"talker", "sentence", "field", "type",
                                 "memory", "product",  "icon",  "instrument"};
    const Parsed a = parse(QStringLiteral("export"), arguments, options, {});
    if (a.positional.size() < 2)
        throw UsageError{
            QStringLiteral("plan export: give the plan FILE and the kind of sentence; valid kinds: "
                           "standard, proprietary")};
    const QString path = a.positional.at(0);
    const QString kind = a.positional.at(1);
    if (a.positional.size() > 2)
        throw UsageError{QStringLiteral("plan export: unexpected argument \"%1\"").arg(a.positional.at(2))};
    const auto need = [&](const QString &option, plan::Value value) {
        if (!a.values.contains(option))
            throw UsageError{
                QStringLiteral("--%1 is missing; valid values: %2").arg(option, plan::validValues(value))};
        const QString text = a.values.value(option);
        const std::optional<int> found = plan::lookup(value, text, nullptr);
        if (!found)
            throw UsageError{QStringLiteral("--%1: unknown value \"%2\"; valid values: %3")
                                 .arg(option, text, plan::validValues(value))};
        return *found;
    };
    const auto refuse = [&](const QStringList &names, const QString &why) {
        for (const QString &name : names) {
            if (a.values.contains(name))
                throw UsageError{QStringLiteral("--%1 %2").arg(name, why)};
        }
    };

    plan::Location l;
    const int product = need(QStringLiteral("product"), plan::Value::Product);
    l.number = need(QStringLiteral("memory"), plan::Value::Location);
    if (kind == QLatin1String("standard")) {
        refuse({QStringLiteral("instrument")},
               QStringLiteral("is for proprietary sentences; valid here: --talker, "
                              "--sentence, --field, --type"));
        l.talker = need(QStringLiteral("talker"), plan::Value::Talker);
        l.identifier = need(QStringLiteral("sentence"), plan::Value::Sentence);
        l.field = need(QStringLiteral("field"), plan::Value::Field);
        if (l.identifier == vocabulary::XdrPosition)
            l.xdr = a.values.contains(QStringLiteral("type"))
                        ? need(QStringLiteral("type"), plan::Value::Type)
                        : 0;
        else
            refuse({QStringLiteral("type")}, QStringLiteral("applies only to the sentence XDR"));
    } else if (kind == QLatin1String("proprietary")) {
        refuse({QStringLiteral("talker"), QStringLiteral("sentence"), QStringLiteral("field"),
                QStringLiteral("type")},
               QStringLiteral("is for standard sentences; valid here: --instrument"));
        l.proprietary = true;
        l.instrument = need(QStringLiteral("instrument"), plan::Value::Instrument);
    } else {
        throw UsageError{
            QStringLiteral("plan export: unknown kind of sentence \"%1\"; valid values: standard, "
                           "proprietary")
                .arg(kind)};
    }
    if (a.values.contains(QStringLiteral("icon"))) {
        l.icon = need(QStringLiteral("icon"), plan::Value::Icon);
        if (l.icon != 0 && !plan::showsIcons(product))
            throw UsageError{QStringLiteral("--icon: product %1 (%2) shows no icon; icons are for product %3")
                                 .arg(product)
                                 .arg(plan::productCaption(product), plan::iconProducts())};
    }

    if (const std::optional<QString> failure = plan::appendLocation(path, l, product)) {
        io.err << "mdconfig-cli: " << *failure << '\n';
        return Failed;
    }
    io.out << "location " << l.number << " (" << plan::shows(l, product) << ") added to " << path << '\n';
    return Ok;
}

} // namespace

int plan(const QStringList &arguments, Io &io)
{
    const QString verb = arguments.value(0);
    if (verb.isEmpty() || arguments.contains(QLatin1String("--help")) || verb == QLatin1String("help")) {
        if (verb.isEmpty())
            throw UsageError{QStringLiteral("plan: a verb is missing; valid verbs: ") +
                             Verbs.join(QStringLiteral(", "))};
        io.out << HelpText;
        return Ok;
    }
    const QStringList rest = arguments.mid(1);
    if (verb == QLatin1String("check"))
        return check(rest, io);
    if (verb == QLatin1String("frames"))
        return frames(rest, io);
    if (verb == QLatin1String("send"))
        return send(rest, io);
    if (verb == QLatin1String("export"))
        return exportLocation(rest, io);
    throw UsageError{QStringLiteral("plan: unknown verb \"%1\"; valid verbs: %2")
                         .arg(verb, Verbs.join(QStringLiteral(", ")))};
}

} // namespace cli
