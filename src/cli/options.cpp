#include "cli/options.h"

#include "serial/devicepath.h"
#include "serial/portmap.h"
#include "serial/portopener.h"

namespace cli {

Options::Options(const VerbSpec &verb) : m_verb(verb.name), m_maxPositional(verb.maxPositional())
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addHelpOption();
    for (const OptionSpec &option : verb.options) {
        m_parser.addOption(QCommandLineOption(option.name, option.valid, option.valueName));
        m_names << QStringLiteral("--") + option.name;
        m_valid << option.valid;
        if (option.valueName.isEmpty())
            m_switches << m_names.constLast();
        if (option.repeats)
            m_repeating << m_names.constLast();
    }
}

void Options::parse(const QStringList &arguments)
{
    const int maxPositional = m_maxPositional;
    // The parser takes the program's name first; the verb stands in for it.
    if (!m_parser.parse(QStringList{m_verb} + arguments)) {
        QString text = serial::printable(m_parser.errorText());
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
        throw UsageError{QStringLiteral("%1: %2; valid options: %3").arg(m_verb, text, validOptions())};
    }
    if (helpAsked())
        return;
    for (int i = 0; i < m_names.size(); ++i) {
        const QString &name = m_names[i];
        const QString bare = name.mid(2);
        if (m_switches.contains(name)) {
            const qsizetype times = m_parser.optionNames().count(bare);
            if (times > 1)
                throw UsageError{QStringLiteral("%1 is given %2 times; give it once; it takes no value: %3")
                                     .arg(name)
                                     .arg(times)
                                     .arg(m_valid[i])};
            continue;
        }
        const QStringList values = m_parser.values(bare);
        if (values.size() > 1 && !m_repeating.contains(name)) {
            throw UsageError{QStringLiteral("%1 is given %2 times (%3); give it once; valid values: %4")
                                 .arg(name)
                                 .arg(values.size())
                                 .arg(serial::printable(values.join(QStringLiteral(", "))), m_valid[i])};
        }
        if (values.size() == 1 && values.first().trimmed().isEmpty())
            throw UsageError{QStringLiteral("%1 has an empty value; valid values: %2").arg(name, m_valid[i])};
    }
    const QStringList rest = m_parser.positionalArguments();
    if (rest.size() > maxPositional) {
        throw UsageError{QStringLiteral("%1: unexpected argument \"%2\"; valid options: %3")
                             .arg(m_verb, serial::printable(rest.value(maxPositional)), validOptions())};
    }
}

bool Options::helpAsked() const
{
    return m_parser.isSet(QStringLiteral("help"));
}

bool Options::has(const QString &name) const
{
    return m_parser.isSet(name.mid(2));
}

QString Options::value(const QString &name) const
{
    return m_parser.value(name.mid(2)).trimmed();
}

QStringList Options::positional() const
{
    return m_parser.positionalArguments();
}

QString Options::validOptions() const
{
    return (m_names + QStringList{QStringLiteral("--help")}).join(QStringLiteral(", "));
}

int Options::lookup(const QString &name, plan::Value kind) const
{
    if (!has(name))
        missing(name, plan::briefValues(kind));
    const std::optional<int> found = plan::lookup(kind, value(name), nullptr);
    if (!found)
        throw UsageError{
            QStringLiteral("%1: unknown value \"%2\"; %3")
                .arg(name, serial::printable(value(name)), plan::notValidHint(kind, value(name)))};
    return *found;
}

std::optional<int> Options::lookupIfGiven(const QString &name, plan::Value kind) const
{
    if (!has(name))
        return std::nullopt;
    return lookup(name, kind);
}

int Options::number(const QString &name, int low, int high) const
{
    const QString valid = QStringLiteral("%1 to %2").arg(low).arg(high);
    if (!has(name))
        missing(name, valid);
    bool isNumber = false;
    const int n = value(name).toInt(&isNumber);
    if (!isNumber || n < low || n > high)
        unknownValue(name, valid);
    return n;
}

void Options::unknownValue(const QString &name, const QString &valid) const
{
    throw UsageError{QStringLiteral("%1: unknown value \"%2\"; valid values: %3")
                         .arg(name, serial::printable(value(name)), valid)};
}

void Options::missing(const QString &name, const QString &valid) const
{
    throw UsageError{QStringLiteral("%1 is missing; valid values: %2").arg(name, valid)};
}

void Options::refuse(const QStringList &names, const QString &why, const QString &valid) const
{
    // The options that are valid here: never the one refused.
    QStringList others = m_names + QStringList{QStringLiteral("--help")};
    for (const QString &name : names)
        others.removeAll(name);
    for (const QString &name : names) {
        if (has(name))
            throw UsageError{
                QStringLiteral("%1 does not apply %2; valid options: %3")
                    .arg(name, why, valid.isEmpty() ? others.join(QStringLiteral(", ")) : valid)};
    }
}

int secondsOf(const Options &o)
{
    return o.has(QStringLiteral("--seconds")) ? o.number(QStringLiteral("--seconds"), 1, MaxSeconds) : 0;
}

Target targetOf(const Options &o)
{
    const bool port = o.has(QStringLiteral("--port"));
    const bool device = o.has(QStringLiteral("--device"));
    if (port == device) {
        throw UsageError{QStringLiteral("%1; valid values: --port N (1 to %2) or --device PATH")
                             .arg(port ? QStringLiteral("--port and --device are both given, give one")
                                       : QStringLiteral("--port or --device is missing"))
                             .arg(serial::MaxPortNumber)};
    }
    Target t;
    if (port)
        t.port = o.number(QStringLiteral("--port"), 1, serial::MaxPortNumber);
    else
        t.device = o.value(QStringLiteral("--device"));
    return t;
}

QString deviceOf(const Target &target, QString *failure)
{
    if (target.port == 0)
        return target.device;
    const QString device = serial::deviceForPort(target.port);
    if (device.isEmpty() && failure) {
        *failure = serial::noDeviceText(target.port).chopped(1) +
                   QStringLiteral(" (see mdconfig-cli ports, or set MDCONFIG_COM%1=/dev/...)").arg(target.port);
    }
    return device;
}

} // namespace cli
