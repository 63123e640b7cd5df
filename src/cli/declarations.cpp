// The declarations of every mdconfig-cli verb. Adding a verb: its unit, one declaration here, one row in
// the dispatcher's table (cli.cpp).
#include "cli/declaration.h"

#include "frame/sentencebytes.h"
#include "plan/plan.h"
#include "serial/portmap.h"
#include "vocabulary/products.h"
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
    return {name, valueName, valid, completes, words, {}};
}

OptionSpec listOption(const char *name, Value kind, const char *valueName, const QStringList &words,
                      const char *onlyFor = "")
{
    return {QString::fromLatin1(name),
            QString::fromLatin1(valueName),
            plan::validValues(kind),
            Completes::Words,
            words,
            QString::fromLatin1(onlyFor)};
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
                        "sends to the adapter --port opens now, even another one, and remembers it");
}

const PositionalSpec Kind{QStringLiteral("standard|proprietary"),
                          Completes::Words,
                          {QStringLiteral("standard"), QStringLiteral("proprietary")}};
const PositionalSpec PlanFile{QStringLiteral("FILE"), Completes::File, {}};

QList<VerbSpec> table()
{
    return {
        {"frames",
         "prints the ten frames of a send, one a line, as hexadecimal bytes",
         sentenceOptionSpecs() + QList<OptionSpec>{jsonOptionSpec(QStringLiteral("one JSON object"))},
         {Kind}},
        {"send",
         "sends them at 4800 baud, 8 data bits, no parity, 1 stop bit, one byte every 50 ms",
         sentenceOptionSpecs() + targetOptionSpecs() +
             QList<OptionSpec>{anyAdapterOption(), jsonOptionSpec(QStringLiteral(
                                                       "one JSON object per repetition and one at the end"))},
         {Kind}},
        {"ports",
         QStringLiteral("lists the COM port numbers 1 to %1 that name a device on this computer")
             .arg(serial::MaxPortNumber),
         {jsonOptionSpec(QStringLiteral("one JSON object per port"))},
         {}},
        {"plan", "checks, shows, sends or extends a display plan: a whole display in one file", {}, {}},
        {"plan check",
         "reads and checks the whole plan",
         {jsonOptionSpec(QStringLiteral("one JSON object for the plan or for each fault"))},
         {PlanFile}},
        {"plan frames",
         "prints the ten frames of every location",
         {jsonOptionSpec(QStringLiteral("one JSON object per location"))},
         {PlanFile}},
        {"plan send",
         "sends a clean plan location after location",
         targetOptionSpecs() +
             QList<OptionSpec>{
                 anyAdapterOption(), option("gap", "SECONDS", "seconds from 0 to 3600"),
                 switchOption("confirm", "waits for Enter before each location"),
                 listOption("from", Value::Location, "N", vocabulary::entries(List::MemoryLocation1)),
                 jsonOptionSpec(QStringLiteral("one JSON object per repetition and one at the end"))},
         {PlanFile}},
        {"plan export",
         "appends the location the options describe to a plan",
         sentenceOptionSpecs() + QList<OptionSpec>{jsonOptionSpec(QStringLiteral("one JSON object"))},
         {PlanFile, Kind}},
        {"plan test",
         "sends a test pattern that proves each standard location on a display in normal use",
         targetOptionSpecs() +
             QList<OptionSpec>{anyAdapterOption(), secondsOptionSpec(),
                               jsonOptionSpec(QStringLiteral("one JSON object per location"))},
         {PlanFile}},
        {"decode",
         "says what a captured frame configures and whether its check byte is right",
         {jsonOptionSpec(QStringLiteral("one JSON object per frame"))},
         {{QStringLiteral("HEX"), Completes::Nothing, {}, true}}},
        {"listen",
         "shows which talkers, sentences and fields the NMEA bus carries",
         targetOptionSpecs() +
             QList<OptionSpec>{
                 option("baud", "4800|38400", "4800, 38400", Completes::Words, {"4800", "38400"}),
                 secondsOptionSpec(), jsonOptionSpec(QStringLiteral("one JSON object per sentence")),
                 option("fields", "NAME", "a talker and sentence, such as GPRMC"),
                 fileOption("log", "FILE", "a new file"),
                 option("log-limit", "SIZE", "a size from 1k to 1024G, such as 500k, 10M"),
                 switchOption("timestamps", "timestamps in the recording")},
         {}},
        {"simulate",
         "plays a display: says what each send configures and what is wrong with it",
         {option("device", "PATH", "a device path, such as /dev/ttyUSB1", Completes::Device),
          switchOption("pty", "no value"), jsonOptionSpec(QStringLiteral("no value")),
          fileOption("plan-out", "FILE", "a plan file to write"), secondsOptionSpec(), productOption()},
         {}},
        {"replay",
         "plays a recording of a bus onto a serial line, paced as it was heard",
         {option("device", "PATH", "a device path, such as /dev/ttyUSB0", Completes::Device),
          switchOption("pty", "no value"), option("speed", "X", "0.1 to 100"),
          jsonOptionSpec(QStringLiteral("the result as one JSON object"))},
         {PlanFile}},
        {"serve",
         "serves a page for a phone on the boat's network to plan, send and see the bus",
         QList<OptionSpec>{option("listen", "ADDRESS|INTERFACE[:PORT]", "ADDRESS")} + targetOptionSpecs() +
             QList<OptionSpec>{
                 anyAdapterOption(),
                 repeating(option("allow-host", "NAME", "a host name the page may be reached by")),
                 switchOption("no-qr", "no QR code"), switchOption("new-token", "a new access token"),
                 switchOption("print-url", "prints the running service's address"), secondsOptionSpec()},
         {}},
        {"page",
         "writes the page on its own, for a laptop's browser to reach the display",
         {fileOption("output", "FILE", "the file to write, such as mdconfig-page.html"),
          jsonOptionSpec(QStringLiteral("one JSON object"))},
         {}},
    };
}

} // namespace

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
    return {listOption("talker", Value::Talker, "ID", vocabulary::entries(List::Talker), "standard"),
            listOption("sentence", Value::Sentence, "ID", vocabulary::entries(List::Identifier), "standard"),
            listOption("field", Value::Field, "N", vocabulary::entries(List::Commas), "standard"),
            listOption("type", Value::Type, "T", vocabulary::transducerLetters(), "standard"),
            listOption("memory", Value::Location, "N", vocabulary::entries(List::MemoryLocation1)),
            productOption(),
            listOption("icon", Value::Icon, "NAME", frame::iconCaptions()),
            listOption("instrument", Value::Instrument, "NAME|N",
                       vocabulary::entries(List::Instrument) +
                           numbers(1, int(vocabulary::entries(List::Instrument).size())),
                       "proprietary")};
}

QList<OptionSpec> targetOptionSpecs()
{
    return {option("port", "N", QStringLiteral("1 to %1").arg(serial::MaxPortNumber), Completes::Port,
                   numbers(1, serial::MaxPortNumber)),
            option("device", "PATH", "a device path, such as /dev/ttyUSB0", Completes::Device)};
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
