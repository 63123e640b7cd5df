#include "cli/cli.h"

#include "cli/decode.h"
#include "cli/plan.h"

#include "frame/composer.h"
#include "frame/transmitter.h"
#include "serial/portmap.h"
#include "serial/qtserialport.h"
#include "vocabulary/vocabulary.h"

#include <QHash>

namespace cli {
namespace {

using vocabulary::List;

const char *const UsageText =
    "Usage:\n"
    "  mdconfig-cli frames standard --talker ID --sentence ID --field N [--type T] --memory N --product P "
    "[--icon NAME]\n"
    "  mdconfig-cli frames proprietary --instrument NAME|N --memory N --product P [--icon NAME]\n"
    "  mdconfig-cli send standard|proprietary <the same options> (--port N | --device PATH)\n"
    "  mdconfig-cli ports\n"
    "  mdconfig-cli plan check|frames|send|export ...   (see mdconfig-cli plan --help)\n"
    "  mdconfig-cli decode [--json] HEX...               (see mdconfig-cli decode --help)\n"
    "  mdconfig-cli --help\n"
    "\n"
    "frames   prints the ten frames of a send, one a line, as hexadecimal bytes\n"
    "send     sends them at 4800 baud, 8 data bits, no parity, 1 stop bit, one byte every 50 ms\n"
    "ports    lists the COM port numbers 1 to 16 that name a device on this computer\n"
    "\n"
    "--talker, --sentence  the talker ID and sentence identifier as the lists show them (GP, RMC, ...)\n"
    "--field               the field position (Commas), 1 to 25\n"
    "--type                the transducer type for XDR: its letter or the whole entry (default: the first)\n"
    "--memory              the display's memory location, 1 to 10\n"
    "--product             0 MD20/MD40, 1 MD90 Ver 1.0, 1.1, 1.2, 2 MD90 Ver 1.3 +\n"
    "--icon                the MD90 1.3 icon (None, AH, AMPS, ..., VOLTS; default None)\n"
    "--instrument          the Velmora instrument: its name or its number in the list, 1 to 12\n"
    "--port                a COM port number, 1 to 16 (see ports; MDCONFIG_COM<n> overrides)\n"
    "--device              a device path, such as /dev/ttyUSB0\n"
    "\n"
    "Exit status: 0 done, 1 the send failed, 2 bad arguments.\n";

class Options {
public:
    Options(const QStringList &args, const QStringList &allowed)
    {
        for (int i = 0; i < args.size(); ++i) {
            QString name = args[i];
            QString value;
            bool hasValue = false;
            if (!name.startsWith(QLatin1String("--")))
                throw UsageError{QStringLiteral("unexpected argument \"%1\"; see --help").arg(name)};
            if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq > 0) {
                value = name.mid(eq + 1);
                name = name.left(eq);
                hasValue = true;
            }
            if (!allowed.contains(name)) {
                throw UsageError{QStringLiteral("unknown option %1; valid options: %2")
                                     .arg(name, allowed.join(QStringLiteral(", ")))};
            }
            if (!hasValue) {
                if (i + 1 >= args.size())
                    throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
                value = args[++i];
            }
            m_values.insert(name, value);
        }
    }

    bool has(const QString &name) const { return m_values.contains(name); }
    QString value(const QString &name) const { return m_values.value(name); }

    // The position in a list of the text given, or a usage error naming the option and the valid values.
    int position(const QString &name, List list) const
    {
        if (!has(name))
            throw UsageError{QStringLiteral("%1 is missing; valid values: %2").arg(name, validValues(list))};
        const int p = vocabulary::findEntry(list, value(name).trimmed());
        if (p < 0)
            throw unknown(name, validValues(list));
        return p;
    }

    UsageError unknown(const QString &name, const QString &valid) const
    {
        return UsageError{
            QStringLiteral("%1: unknown value \"%2\"; valid values: %3").arg(name, value(name), valid)};
    }

private:
    static QString validValues(List list)
    {
        const QStringList &shown = vocabulary::entries(list);
        if (list == List::Commas || list == List::MemoryLocation1 || list == List::MemoryLocation2)
            return QStringLiteral("%1 to %2").arg(shown.first(), shown.last());
        return shown.join(QStringLiteral(", "));
    }

    QHash<QString, QString> m_values;
};

const QStringList StandardOptions = {"--talker", "--sentence", "--field", "--type",
                                     "--memory", "--product",  "--icon"};
const QStringList ProprietaryOptions = {"--instrument", "--memory", "--product", "--icon"};

int productOf(const Options &o)
{
    const QString valid = QStringLiteral("0 (MD20/MD40), 1 (MD90 Ver 1.0, 1.1, 1.2), 2 (MD90 Ver 1.3 +)");
    if (!o.has(QStringLiteral("--product")))
        throw UsageError{QStringLiteral("--product is missing; valid values: ") + valid};
    const QString text = o.value(QStringLiteral("--product")).trimmed();
    if (text != QLatin1String("0") && text != QLatin1String("1") && text != QLatin1String("2"))
        throw o.unknown(QStringLiteral("--product"), valid);
    return text.toInt();
}

std::int16_t iconOf(const Options &o)
{
    if (!o.has(QStringLiteral("--icon")))
        return 0;
    const int icon = frame::findIcon(o.value(QStringLiteral("--icon")).trimmed());
    if (icon < 0)
        throw o.unknown(QStringLiteral("--icon"), frame::iconCaptions().join(QStringLiteral(", ")));
    return std::int16_t(icon);
}

int transducerOf(const Options &o)
{
    if (!o.has(QStringLiteral("--type")))
        return 0;
    const QString text = o.value(QStringLiteral("--type")).trimmed();
    const auto &codes = vocabulary::XDRCodes();
    for (int slot = 1; slot <= vocabulary::XdrLastSlot; ++slot) {
        if (codes[slot].compare(text, Qt::CaseInsensitive) == 0)
            return slot - 1;
    }
    const int p = vocabulary::findEntry(List::Xdr, text);
    if (p < 0) {
        QStringList letters;
        for (int slot = 1; slot <= vocabulary::XdrLastSlot; ++slot)
            letters << codes[slot];
        throw o.unknown(QStringLiteral("--type"),
                        letters.join(QStringLiteral(", ")) + QStringLiteral(", or the whole entry text"));
    }
    return p;
}

int instrumentOf(const Options &o)
{
    const QStringList &names = vocabulary::entries(List::Instrument);
    const QString valid =
        QStringLiteral("1 to %1, or one of: %2").arg(names.size()).arg(names.join(QStringLiteral(", ")));
    if (!o.has(QStringLiteral("--instrument")))
        throw UsageError{QStringLiteral("--instrument is missing; valid values: ") + valid};
    const QString text = o.value(QStringLiteral("--instrument")).trimmed();
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber && number >= 1 && number <= names.size())
        return number - 1;
    const int p = vocabulary::findEntry(List::Instrument, text);
    if (p < 0)
        throw o.unknown(QStringLiteral("--instrument"), valid);
    return p;
}

// Composes the send the options describe; the record comes back with its check bytes still to be computed.
frame::SentenceBytes compose(const QString &kind, const QStringList &args, const QStringList &extra)
{
    frame::SentenceBytes s;
    frame::ComposeError error;
    if (kind == QLatin1String("standard")) {
        const Options o(args, StandardOptions + extra);
        frame::StandardChoices c;
        c.talker = o.position(QStringLiteral("--talker"), List::Talker);
        c.identifier = o.position(QStringLiteral("--sentence"), List::Identifier);
        c.commas = o.position(QStringLiteral("--field"), List::Commas);
        c.xdr = transducerOf(o);
        c.memory = o.position(QStringLiteral("--memory"), List::MemoryLocation1);
        std::int16_t icon = iconOf(o);
        error = frame::composeStandard(c, productOf(o) == 2, icon, s);
    } else if (kind == QLatin1String("proprietary")) {
        const Options o(args, ProprietaryOptions + extra);
        frame::ProprietaryChoices c;
        c.instrument = instrumentOf(o);
        c.memory = o.position(QStringLiteral("--memory"), List::MemoryLocation2);
        std::int16_t icon = iconOf(o);
        error = frame::composeProprietary(c, productOf(o) == 2, icon, s);
    } else {
        throw UsageError{QStringLiteral("the kind of sentence is missing or unknown (\"%1\"); valid values: "
                                        "standard, proprietary")
                             .arg(kind)};
    }
    if (error)
        throw UsageError{
            QStringLiteral("no entry chosen in the %1 list").arg(vocabulary::listCaption(*error))};
    return s;
}

int frames(const QStringList &args, QTextStream &out)
{
    const frame::SentenceBytes s = compose(args.value(0), args.mid(1), {});
    for (const QByteArray &f : frame::sendFrames(s))
        out << frame::toHex(f) << '\n';
    return Ok;
}

QString progressLine(int done)
{
    return QStringLiteral("\r[%1%2] %3/10")
        .arg(QString(done, QLatin1Char('#')), QString(10 - done, QLatin1Char(' ')))
        .arg(done, 2);
}

int send(const QStringList &args, QTextStream &out, QTextStream &err, bool terminal)
{
    frame::SentenceBytes s = compose(args.value(0), args.mid(1), {"--port", "--device"});
    const Options o(args.mid(1), StandardOptions + ProprietaryOptions + QStringList{"--port", "--device"});
    QString device;
    if (o.has(QStringLiteral("--port")) == o.has(QStringLiteral("--device")))
        throw UsageError{QStringLiteral("give either --port N (1 to 16) or --device PATH")};
    if (o.has(QStringLiteral("--port"))) {
        bool isNumber = false;
        const int number = o.value(QStringLiteral("--port")).trimmed().toInt(&isNumber);
        if (!isNumber || number < 1 || number > serial::MaxPortNumber)
            throw o.unknown(QStringLiteral("--port"), QStringLiteral("1 to 16"));
        device = serial::deviceForPort(number);
        if (device.isEmpty()) {
            err << "mdconfig-cli: COM" << number
                << " names no serial device on this computer (see mdconfig-cli ports, or set MDCONFIG_COM"
                << number << "=/dev/...)\n";
            return Failed;
        }
    } else {
        device = o.value(QStringLiteral("--device"));
    }

    serial::QtSerialPort port;
    if (!port.open(device)) {
        err << "mdconfig-cli: cannot open " << port.errorString() << '\n';
        return Failed;
    }
    frame::Transmitter transmitter(port);
    int done = 0;
    if (terminal)
        out << progressLine(0) << Qt::flush;
    const std::optional<QString> failure = transmitter.TransmitSentence(s, [&](int) {
        ++done;
        if (terminal)
            out << progressLine(done) << Qt::flush;
        else
            out << "repetition " << done << " of 10 sent\n" << Qt::flush;
    });
    if (terminal)
        out << '\n';
    if (failure) {
        err << "mdconfig-cli: the sentence was not sent: " << *failure << '\n';
        return Failed;
    }
    port.close();
    out << "sent " << frame::repetition(s, 1).size() * frame::Repetitions << " bytes to " << device << '\n';
    return Ok;
}

int ports(QTextStream &out)
{
    int listed = 0;
    for (const serial::PortDevice &p : serial::portTable()) {
        if (p.device.isEmpty())
            continue;
        out << QStringLiteral("COM%1").arg(p.number).leftJustified(7) << p.device;
        if (!p.description.isEmpty())
            out << "  " << p.description;
        out << '\n';
        ++listed;
    }
    if (listed == 0)
        out << "no serial port found on this computer\n";
    return Ok;
}

} // namespace

int run(const QStringList &args, QTextStream &out, QTextStream &err, bool outIsTerminal)
{
    try {
        const QString command = args.value(0);
        if (command == QLatin1String("plan") || command == QLatin1String("decode")) {
            static QTextStream in(stdin);
            Io io{out, err, outIsTerminal, &in};
            return (command == QLatin1String("plan") ? plan : decode)(args.mid(1), io);
        }
        if (command == QLatin1String("help") || args.contains(QLatin1String("--help")) ||
            args.contains(QLatin1String("-h"))) {
            out << UsageText;
            return Ok;
        }
        if (command == QLatin1String("frames"))
            return frames(args.mid(1), out);
        if (command == QLatin1String("send"))
            return send(args.mid(1), out, err, outIsTerminal);
        if (command == QLatin1String("ports") && args.size() == 1)
            return ports(out);
        throw UsageError{
            command.isEmpty()
                ? QStringLiteral("a command is missing; valid commands: frames, send, ports, plan, decode")
                : QStringLiteral("unknown command \"%1\"; valid commands: frames, send, ports, plan, decode")
                      .arg(args.join(QLatin1Char(' ')))};
    } catch (const UsageError &e) {
        err << "mdconfig-cli: " << e.message << '\n';
        return Usage;
    }
}

} // namespace cli
