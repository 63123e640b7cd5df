#include "cli/cli.h"

#include "app/version.h"
#include "cli/declaration.h"
#include "cli/sentence.h"
#include "cli/verbs.h"
#include "serial/devicepath.h"
#include "serial/portmap.h"

#include <QCommandLineParser>

namespace cli {

const QList<Verb> &verbs()
{
    // Adding a verb: its unit, its function in verbs.h, its declaration (declarations.cpp) and one row here.
    static const QList<Verb> table = [] {
        const QList<std::pair<const char *, Command>> rows = {
            {"frames", frames}, {"send", send},     {"ports", ports},       {"plan", plan},
            {"decode", decode}, {"listen", listen}, {"simulate", simulate}, {"replay", replay},
            {"serve", serve},   {"page", page},
        };
        QList<Verb> all;
        for (const auto &[name, command] : rows)
            all.append({name, command, declaration(QString::fromLatin1(name)).summary});
        return all;
    }();
    return table;
}

QString usageText()
{
    QString text = QStringLiteral(
        "Usage:\n"
        "  mdconfig-cli frames standard --talker ID --sentence ID --field N [--type T] --memory N --product "
        "P "
        "[--icon NAME] [--json]\n"
        "  mdconfig-cli frames proprietary --instrument NAME|N --memory N --product P [--icon NAME] "
        "[--json]\n"
        "  mdconfig-cli send standard|proprietary <the same options> (--port N [--any-adapter] |\n"
        "               --device PATH) [--json]\n"
        "  mdconfig-cli ports [--json]\n"
        "  mdconfig-cli plan check|frames|send|export|test ...   (see mdconfig-cli plan --help)\n"
        "  mdconfig-cli decode [--json] HEX...               (see mdconfig-cli decode --help)\n"
        "  mdconfig-cli listen (--port N | --device PATH) [--baud 4800|38400] [--seconds S] [--json]\n"
        "               [--fields NAME] [--log FILE [--log-limit SIZE] [--timestamps]]\n"
        "  mdconfig-cli simulate (--device PATH | --pty) [--json] [--plan-out FILE] [--seconds S] [--product "
        "P]\n"
        "  mdconfig-cli replay FILE (--device PATH | --pty) [--speed X] [--json]\n"
        "  mdconfig-cli serve --listen ADDRESS|INTERFACE[:PORT] (--port N | --device PATH) [--allow-host "
        "NAME]...\n"
        "                     [--no-qr] [--new-token] [--print-url] [--seconds S]   (see mdconfig-cli serve "
        "--help)\n"
        "  mdconfig-cli page --output FILE [--json]          (see mdconfig-cli page --help)\n"
        "  mdconfig-cli --help | --version\n"
        "\n");
    for (const Verb &verb : verbs())
        text += QString::fromLatin1(verb.name).leftJustified(9) + verb.summary + '\n';
    text +=
        '\n' + sentenceOptionsHelp() +
        QStringLiteral("--port                a COM port number, 1 to %1 (see ports; MDCONFIG_COM<n> "
                       "overrides)\n")
            .arg(serial::MaxPortNumber) +
        QStringLiteral("--device              a device path, such as /dev/ttyUSB0\n"
                       "--any-adapter         with --port, sends even to another adapter than the one\n"
                       "                      remembered for COM N, and remembers it\n"
                       "--json                one JSON object a line: frames gives the keys of plan frames "
                       "--json and\n"
                       "                      product; send one per repetition and one at the end (sent, "
                       "bytes,\n"
                       "                      repetitions, device); ports one per port (port, device, "
                       "description)\n"
                       "\n"
                       "Each option is given once. Exit status: 0 done, 1 the send failed, 2 bad "
                       "arguments.\n");
    return text;
}

int run(const QStringList &args, Io &io)
{
    QStringList names;
    for (const Verb &verb : verbs())
        names << QString::fromLatin1(verb.name);
    const QString valid = QStringLiteral("valid commands: ") + names.join(QStringLiteral(", "));
    try {
        // The verb is the first positional argument; everything after it belongs to the verb.
        QCommandLineParser parser;
        parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
        const QCommandLineOption help = parser.addHelpOption();
        const QCommandLineOption version = parser.addVersionOption();
        if (!parser.parse(QStringList{QStringLiteral("mdconfig-cli")} + args)) {
            QString text = serial::printable(parser.errorText());
            if (text.endsWith(QLatin1Char('.')))
                text.chop(1);
            throw UsageError{
                text + QStringLiteral("; valid options before the command: --help, --version; ") + valid};
        }
        if (parser.isSet(version)) {
            io.out << "mdconfig-cli " << MDCONFIG_VERSION << '\n';
            return Ok;
        }
        const QStringList positional = parser.positionalArguments();
        if (parser.isSet(help) || positional.value(0) == QLatin1String("help")) {
            io.out << usageText();
            return Ok;
        }
        if (positional.isEmpty())
            throw UsageError{QStringLiteral("a command is missing; ") + valid};
        for (const Verb &verb : verbs()) {
            if (positional.first() == QLatin1String(verb.name))
                return verb.command(positional.mid(1), io);
        }
        throw UsageError{
            QStringLiteral("unknown command \"%1\"; ").arg(serial::printable(positional.first())) + valid};
    } catch (const UsageError &e) {
        io.err << "mdconfig-cli: " << e.message << '\n';
        io.err.flush();
        return Usage;
    }
}

} // namespace cli
