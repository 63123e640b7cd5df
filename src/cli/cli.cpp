#include "cli/cli.h"

#include "app/version.h"
#include "cli/declaration.h"
#include "cli/help.h"
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
    return programHelp();
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
