#include "plan/plan.h"
#include "cli/adaptercheck.h"
#include "cli/help.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "cli/sentence.h"
#include "cli/verbs.h"
#include "plan/plansend.h"
#include "plan/testpattern.h"
#include "serial/devicepath.h"
#include "serial/portmap.h"
#include "serial/qtserialport.h"
#include "vocabulary/products.h"
#include "vocabulary/programmingmode.h"

#include <QElapsedTimer>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace cli {
namespace {

const QStringList Verbs = {"check", "frames", "send", "export", "test"};

// The plan FILE: the first positional argument, the only one unless the verb takes more.
QString fileArgument(const QString &verb, const Options &o)
{
    if (o.positional().isEmpty())
        throw UsageError{
            QStringLiteral("plan %1: the plan FILE is missing; see mdconfig-cli plan --help").arg(verb)};
    return o.positional().first();
}

// Answers -h and --help of a plan verb with its own help.
bool helped(const Options &o, Io &io)
{
    if (o.helpAsked())
        io.out << o.help();
    return o.helpAsked();
}

// Reads the plan; on faults prints them (the first few and how many more) and returns nothing.
std::optional<plan::Plan> readClean(const QString &path, Io &io, qsizetype *faults = nullptr)
{
    const plan::ReadResult r = plan::readPlan(path);
    if (faults)
        *faults = r.faults.size();
    for (const plan::Fault &f : r.faults.first(std::min(r.faults.size(), qsizetype(plan::MaxFaultsShown))))
        io.err << f.text() << '\n';
    if (r.faults.size() > plan::MaxFaultsShown)
        io.err << "... and " << r.faults.size() - plan::MaxFaultsShown << " more faults\n";
    if (!r.faults.isEmpty())
        return std::nullopt;
    return r.plan;
}

QString locationList(const plan::Plan &p)
{
    QList<int> numbers;
    for (const plan::Location &l : p.locations)
        numbers << l.location;
    return plan::locationRanges(numbers);
}

int planCheck(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("plan check")));
    o.parse(arguments);
    if (helped(o, io))
        return Ok;
    const QString path = fileArgument(QStringLiteral("check"), o);
    qsizetype faults = 0;
    const std::optional<plan::Plan> p = readClean(path, io, &faults);
    const bool json = o.has(QStringLiteral("--json"));
    // Warnings leave the plan clean: said where the location is, as faults are, and the exit status stays.
    QJsonArray warnings;
    for (const plan::Location &l : p ? p->locations : QList<plan::Location>()) {
        for (const QString &w : plan::warnings(l)) {
            const QString message = QStringLiteral("location %1: %2").arg(l.location).arg(w);
            io.err << plan::Fault{path, l.line, l.column, QStringLiteral("warning: ") + message}.text()
                   << '\n';
            warnings.append(QJsonObject{{"location", l.location}, {"message", w}});
        }
    }
    if (json) {
        QJsonObject line{{"file", serial::printable(path)}, {"clean", bool(p)}};
        if (p) {
            line.insert(QStringLiteral("product"), p->product);
            QJsonArray numbers;
            for (const plan::Location &l : p->locations)
                numbers.append(l.location);
            line.insert(QStringLiteral("locations"), numbers);
            line.insert(QStringLiteral("warnings"), warnings);
        } else {
            line.insert(QStringLiteral("faults"), faults);
        }
        io.out << jsonLine(line) << '\n';
    }
    if (!p) {
        if (QFileInfo(path).isFile())
            io.err << "mdconfig-cli: " << serial::printable(path)
                   << " has faults; nothing in it can be sent until they are mended\n";
        return Usage;
    }
    if (json)
        return Ok;
    io.out << serial::printable(path) << ": a clean plan for product " << p->product << " ("
           << vocabulary::productCaption(p->product) << "), ";
    if (p->locations.isEmpty())
        io.out << "no location yet; add them with mdconfig-cli plan export or as [location.N] tables\n";
    else
        io.out << "locations " << locationList(*p) << '\n';
    for (const plan::Location &l : p->locations) {
        io.out << "  location " << l.location << ": " << frame::shows(l, vocabulary::product(p->product));
        if (!l.note.isEmpty())
            io.out << "  (" << serial::printable(l.note) << ')';
        io.out << '\n';
    }
    return Ok;
}

int planFrames(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("plan frames")));
    o.parse(arguments);
    if (helped(o, io))
        return Ok;
    const QString path = fileArgument(QStringLiteral("frames"), o);
    const std::optional<plan::Plan> p = readClean(path, io);
    if (!p)
        return Usage;
    if (p->locations.isEmpty())
        io.err << "mdconfig-cli: " << serial::printable(path) << " has no location yet, so no frames\n";
    const vocabulary::Product &product = vocabulary::product(p->product);
    bool firstBlock = true;
    for (const plan::Location &l : p->locations) {
        const QList<QByteArray> all = plan::frames(p->product, l);
        if (o.has(QStringLiteral("--json"))) {
            QJsonArray hex;
            for (const QByteArray &f : all)
                hex.append(frame::toHex(f));
            QJsonObject line = frame::toJson(l, product.sendsIconByte);
            line.insert(QStringLiteral("frames"), hex);
            if (!l.note.isEmpty())
                line.insert(QStringLiteral("note"), serial::printable(l.note));
            io.out << jsonLine(line) << '\n';
            continue;
        }
        if (!firstBlock)
            io.out << '\n';
        firstBlock = false;
        io.out << "location " << l.location << ": " << frame::shows(l, product);
        if (!l.note.isEmpty())
            io.out << "  (" << serial::printable(l.note) << ')';
        io.out << '\n';
        for (const QByteArray &f : all)
            io.out << frame::toHex(f) << '\n';
    }
    return Ok;
}

struct PlanSending {
    QString path;
    Target target;
    bool anyAdapter = false;
    plan::SendOptions options;
    bool confirm = false;
    bool json = false;
};

// What to send and how, or a usage error naming the option and its valid values; nothing when --help was
// answered.
std::optional<PlanSending> parseSend(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("plan send")));
    o.parse(arguments);
    if (helped(o, io))
        return std::nullopt;
    PlanSending s;
    s.path = fileArgument(QStringLiteral("send"), o);
    s.target = targetOf(o);
    s.anyAdapter = anyAdapterOf(o, s.target);
    if (o.has(QStringLiteral("--gap"))) {
        bool ok = false;
        const double seconds = o.value(QStringLiteral("--gap")).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > 3600)
            o.unknownValue(QStringLiteral("--gap"), QStringLiteral("seconds from 0 to 3600"));
        s.options.gap = std::chrono::milliseconds(std::llround(seconds * 1000));
    }
    s.options.from =
        o.lookupIfGiven(QStringLiteral("--from"), plan::Value::Location).value_or(s.options.from);
    s.options.stopRequested = interruptRequested;
    s.confirm = o.has(QStringLiteral("--confirm"));
    s.json = o.has(QStringLiteral("--json"));
    return s;
}

// The events that show a plan's send on the terminal: the prompt, each location's line and progress; with
// --json, one object per repetition instead, and the prompt on the other stream.
plan::SendEvents sendEvents(const PlanSending &s, const plan::Plan &p, int toSend, int &repetitionsDone,
                            Io &io)
{
    const int totalRepetitions = toSend * frame::Repetitions;
    const bool json = s.json;
    plan::SendEvents events;
    if (s.confirm) {
        events.confirm = [&io, json](const plan::Location &l) {
            (json ? io.err : io.out) << vocabulary::programmingModePrompt(QStringLiteral("Enter"),
                                                                          QString::number(l.location))
                                     << "..." << Qt::endl;
            switch (readInputLine()) {
            case InputLine::Read:
                return true;
            case InputLine::Ended:
                io.err << "mdconfig-cli: standard input ended: no Enter for location " << l.location << '\n';
                return false;
            case InputLine::Interrupted:
                return false;
            }
            return false;
        };
    }
    const int product = p.product;
    const auto progress = [](const plan::Location &l, int r) {
        return QJsonObject{{"location", l.location}, {"repetition", r}, {"of", frame::Repetitions}};
    };
    events.starting = [&io, product, json, progress](const plan::Location &l) {
        if (json) {
            QJsonObject o = progress(l, 0);
            o.insert("shows", frame::shows(l, vocabulary::product(product)));
            io.out << jsonLine(o) << '\n' << Qt::flush;
            return;
        }
        io.out << "location " << l.location << ": " << frame::shows(l, vocabulary::product(product)) << '\n'
               << Qt::flush;
    };
    events.repetition = [&io, &repetitionsDone, totalRepetitions, json, progress](const plan::Location &l,
                                                                                  int r) {
        ++repetitionsDone;
        if (json) {
            io.out << jsonLine(progress(l, r)) << '\n' << Qt::flush;
        } else if (io.outIsTerminal) {
            io.out << "\r  " << bar(r, frame::Repetitions, 10) << ' ' << QString::number(r).rightJustified(2)
                   << "/10   all " << bar(repetitionsDone, totalRepetitions, 20) << ' '
                   << QString::number(100 * repetitionsDone / totalRepetitions).rightJustified(3) << '%'
                   << Qt::flush;
        }
    };
    events.sent = [&io, json](const plan::Location &l) {
        if (json)
            return; // the location's tenth repetition said it
        if (io.outIsTerminal)
            io.out << '\n';
        io.out << "location " << l.location << " sent\n" << Qt::flush;
    };
    return events;
}

QJsonArray numbers(const QList<int> &list)
{
    QJsonArray a;
    for (int n : list)
        a.append(n);
    return a;
}

// Which locations went out and which did not, and how to resume.
int reportSend(const plan::SendReport &report, int repetitionsDone, const QString &device, bool json, Io &io)
{
    if (json) {
        io.out << jsonLine({{"sent", numbers(report.sent)},
                            {"notSent", numbers(report.notSent)},
                            {"skipped", numbers(report.skipped)},
                            {"failure", report.failure},
                            {"stopped", report.stopped},
                            {"repetitions", repetitionsDone},
                            {"device", serial::printable(device)}})
               << '\n'
               << Qt::flush;
    } else {
        if (io.outIsTerminal && !report.complete() && repetitionsDone % frame::Repetitions != 0)
            io.out << '\n';
        if (!report.skipped.isEmpty())
            io.out << "skipped: " << plan::locationRanges(report.skipped) << '\n';
        io.out << "sent: " << plan::locationRanges(report.sent) << " to "
               << serial::portLine(serial::describeDevice(device)) << '\n';
        if (!report.complete())
            io.out << "not sent: " << plan::locationRanges(report.notSent) << '\n';
        io.out << Qt::flush;
    }
    if (!report.complete()) {
        io.err << "mdconfig-cli: " << report.failure << "; " << plan::notSentText(report.notSent)
               << " (resume with --from " << report.notSent.first() << ")\n";
        return Failed;
    }
    return Ok;
}

int planSend(const QStringList &arguments, Io &io)
{
    const std::optional<PlanSending> s = parseSend(arguments, io);
    if (!s)
        return Ok;

    // The whole plan is checked before the port is even looked at: a faulty plan sends nothing.
    const std::optional<plan::Plan> p = readClean(s->path, io);
    if (!p) {
        io.err << "mdconfig-cli: " << serial::printable(s->path) << " has faults; nothing was sent\n";
        return Usage;
    }
    if (p->locations.isEmpty())
        throw UsageError{
            QStringLiteral("%1 has no location yet; nothing was sent").arg(serial::printable(s->path))};
    int toSend = 0;
    for (const plan::Location &l : p->locations)
        toSend += l.location >= s->options.from ? 1 : 0;
    if (toSend == 0)
        throw UsageError{QStringLiteral("--from: the plan has no location from %1 on; its locations: %2")
                             .arg(s->options.from)
                             .arg(locationList(*p))};

    QString failure;
    const QString device = deviceOf(s->target, &failure);
    if (device.isEmpty()) {
        io.err << "mdconfig-cli: " << failure << "; nothing was sent\n";
        return Failed;
    }
    if (!admitTarget(s->target, s->anyAdapter, io))
        return Failed;

    if (const std::optional<QString> note = serial::builtInWhileUsbNote(device))
        io.err << "mdconfig-cli: " << *note << '\n' << Qt::flush;
    int repetitionsDone = 0;
    const plan::SendEvents events = sendEvents(*s, *p, toSend, repetitionsDone, io);
    serial::QtSerialPort port;
    const plan::SendReport report = plan::sendPlan(*p, port, device, s->options, events);
    return reportSend(report, repetitionsDone, device, s->json, io);
}

int planExport(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("plan export")));
    o.parse(arguments);
    if (helped(o, io))
        return Ok;
    if (o.positional().size() < 2)
        throw UsageError{
            QStringLiteral("plan export: give the plan FILE and the kind of sentence; valid kinds: "
                           "standard, proprietary")};
    const QString path = o.positional().at(0);
    const Described d = describedByOptions(o, o.positional().at(1));
    const plan::Location &l = d.location;
    const int product = d.product;
    // What a window or frames lets pass unsaid, a plan must not hold: it would not read back clean.
    if (typeLeftOut(l))
        o.refuse({QStringLiteral("--type")}, QStringLiteral("to a sentence other than XDR"));
    if (iconLeftOut(d))
        throw UsageError{QStringLiteral("--icon: product %1 (%2) shows no icon; icons are for product %3")
                             .arg(product)
                             .arg(vocabulary::productCaption(product), vocabulary::iconProducts())};

    bool notAPlanFile = false;
    if (const std::optional<QString> failure = plan::appendLocation(path, l, product, &notAPlanFile)) {
        io.err << "mdconfig-cli: " << *failure << '\n';
        // A FILE that can hold no plan is refused as plan check refuses it.
        return notAPlanFile ? Usage : Failed;
    }
    if (o.has(QStringLiteral("--json"))) {
        QJsonObject line = frame::toJson(l, vocabulary::product(product).sendsIconByte);
        line.insert(QStringLiteral("product"), product);
        line.insert(QStringLiteral("file"), serial::printable(path));
        line.insert(QStringLiteral("added"), true);
        io.out << jsonLine(line) << '\n';
        return Ok;
    }
    io.out << "location " << l.location << " (" << frame::shows(l, vocabulary::product(product))
           << ") added to " << serial::printable(path) << '\n';
    return Ok;
}

// Says of each location of the plan what the test pattern makes it show, or why it cannot.
void listCoverage(const plan::Plan &plan, const plan::TestPattern &pattern, bool json, Io &io)
{
    for (const plan::Location &l : plan.locations) {
        const auto covered = std::find_if(pattern.covered.begin(), pattern.covered.end(),
                                          [&](const plan::Covered &c) { return c.location == l.location; });
        const auto notCovered =
            std::find_if(pattern.notCovered.begin(), pattern.notCovered.end(),
                         [&](const plan::NotCovered &c) { return c.location == l.location; });
        if (json) {
            QJsonObject line = frame::toJson(l, vocabulary::showsIcons(plan.product));
            line.insert(QStringLiteral("covered"), covered != pattern.covered.end());
            if (covered != pattern.covered.end()) {
                line.insert(QStringLiteral("sentence"), covered->sentence);
                line.insert(QStringLiteral("field"), covered->field);
                line.insert(QStringLiteral("value"), covered->value);
            } else if (notCovered != pattern.notCovered.end()) {
                line.insert(QStringLiteral("reason"), notCovered->reason);
            }
            io.out << jsonLine(line) << '\n';
        } else if (covered != pattern.covered.end()) {
            io.out << "location " << l.location << ": shows " << covered->value << " (" << covered->sentence
                   << " field " << covered->field << ")\n";
        } else if (notCovered != pattern.notCovered.end()) {
            io.out << "location " << l.location << ": not covered: " << notCovered->reason << '\n';
        }
    }
}

int planTest(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("plan test")));
    o.parse(arguments);
    if (helped(o, io))
        return Ok;
    const QString path = fileArgument(QStringLiteral("test"), o);
    const Target target = targetOf(o);
    const bool anyAdapter = anyAdapterOf(o, target);
    const int seconds = secondsOf(o);
    const bool json = o.has(QStringLiteral("--json"));
    const std::optional<plan::Plan> p = readClean(path, io);
    if (!p) {
        io.err << "mdconfig-cli: " << serial::printable(path) << " has faults; nothing was sent\n";
        return Usage;
    }
    const plan::TestPattern pattern = plan::makeTestPattern(*p);
    listCoverage(*p, pattern, json, io);
    io.out << Qt::flush;
    if (pattern.sentences.isEmpty()) {
        io.err << "mdconfig-cli: " << serial::printable(path)
               << " has no location the test pattern can cover; nothing was sent\n";
        return Failed;
    }
    QString failure;
    const QString device = deviceOf(target, &failure);
    if (device.isEmpty()) {
        io.err << "mdconfig-cli: " << failure << "; nothing was sent\n";
        return Failed;
    }
    if (!admitTarget(target, anyAdapter, io))
        return Failed;
    io.err << "sending the test pattern on " << serial::shownDevice(device) << " at 4800 baud, 8N1, "
           << pattern.sentences.size() << " sentence(s) a second; " << endText(seconds) << '\n'
           << Qt::flush;

    QElapsedTimer clock;
    clock.start();
    serial::QtSerialPort port;
    const plan::TestRun run = plan::runTestPattern(
        // Ended as listen ends: by a signal, the seconds, or a reader that has gone (| head).
        pattern, port, device, frame::Pacing{}, [&] { return !goOn(clock, seconds) || outputClosed(io.out); },
        [&](int round) {
            if (io.outIsTerminal && !json)
                io.out << "\r  " << round << " round(s) sent" << Qt::flush;
        });
    if (io.outIsTerminal && !json && run.rounds > 0)
        io.out << '\n';
    if (json)
        io.out << jsonLine({{QStringLiteral("rounds"), run.rounds},
                            {QStringLiteral("sentences"), int(pattern.sentences.size())},
                            {QStringLiteral("stopped"), run.failure.isEmpty()}})
               << '\n';
    else
        io.out << run.rounds << " round(s) of " << pattern.sentences.size() << " sentence(s) sent\n";
    io.out << Qt::flush;
    if (!run.failure.isEmpty()) {
        io.err << "mdconfig-cli: the test pattern stopped: " << run.failure << '\n' << Qt::flush;
        return Failed;
    }
    return Ok;
}

} // namespace

int plan(const QStringList &arguments, Io &io)
{
    const QString verb = arguments.value(0);
    if (verb.isEmpty())
        throw UsageError{QStringLiteral("plan: a verb is missing; valid verbs: ") +
                         Verbs.join(QStringLiteral(", "))};
    // A plan verb answers its own --help; anything else asked for help gets the plan's.
    if (verb == QLatin1String("--help") || verb == QLatin1String("help") || verb == QLatin1String("-h") ||
        (arguments.contains(QLatin1String("--help")) && !Verbs.contains(verb))) {
        io.out << verbHelp(declaration(QStringLiteral("plan")));
        return Ok;
    }
    const QStringList rest = arguments.mid(1);
    if (verb == QLatin1String("check"))
        return planCheck(rest, io);
    if (verb == QLatin1String("frames"))
        return planFrames(rest, io);
    if (verb == QLatin1String("send"))
        return planSend(rest, io);
    if (verb == QLatin1String("export"))
        return planExport(rest, io);
    if (verb == QLatin1String("test"))
        return planTest(rest, io);
    throw UsageError{QStringLiteral("plan: unknown verb \"%1\"; valid verbs: %2")
                         .arg(serial::printable(verb), Verbs.join(QStringLiteral(", ")))};
}

} // namespace cli
