// Writes the bash completion script of mdconfig-cli from its template, filling in the verbs, their options
// and the values those take from the verbs' declarations at build time, so the completion offers exactly
// what the command line accepts.
#include "cli/declaration.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>

namespace {

using cli::Completes;
using cli::OptionSpec;
using cli::VerbSpec;

// One bash word per entry, single-quoted so blanks and slashes in an entry stay part of it.
QString bashWords(const QStringList &words)
{
    QStringList quoted;
    for (QString w : words)
        quoted << QLatin1Char('\'') + w.replace(QLatin1Char('\''), QLatin1String("'\\''")) +
                      QLatin1Char('\'');
    return quoted.join(QLatin1Char(' '));
}

// A verb or option name as part of a bash variable name: "plan send" gives plan_send.
QString identifier(QString name)
{
    return name.replace(QLatin1Char(' '), QLatin1Char('_')).replace(QLatin1Char('-'), QLatin1Char('_'));
}

QString array(const QString &name, const QStringList &words)
{
    return QStringLiteral("_mdconfig_cli_%1=(%2)\n").arg(name, bashWords(words));
}

QStringList dashed(const QList<OptionSpec> &options)
{
    QStringList names;
    for (const OptionSpec &o : options)
        names << QStringLiteral("--") + o.name;
    return names;
}

// The arrays the completion walks: the verbs, the verbs of a verb, the options that take a value, and for
// each verb its positional arguments and its options (per kind of sentence where options apply to one kind).
QString declarationArrays()
{
    QString text;
    QStringList verbs;
    QMap<QString, QStringList> subverbs;
    QStringList valued;
    for (const VerbSpec &v : cli::declarations()) {
        const qsizetype space = v.name.indexOf(QLatin1Char(' '));
        if (space < 0)
            verbs << v.name;
        else
            subverbs[v.name.left(space)] << v.name.mid(space + 1);
    }
    text += array(QStringLiteral("verbs"), verbs);
    for (auto it = subverbs.cbegin(); it != subverbs.cend(); ++it)
        text += array(QStringLiteral("subverbs_") + it.key(), it.value());
    for (const VerbSpec &v : cli::declarations()) {
        if (subverbs.contains(v.name))
            continue;
        QStringList places;
        QStringList kinds;
        for (const cli::PositionalSpec &p : v.positionals) {
            places << (p.completes == Completes::File ? QStringLiteral("@file")
                                                      : p.words.join(QLatin1Char(' ')));
        }
        for (const OptionSpec &o : v.options) {
            if (!o.valueName.isEmpty() && !valued.contains(QStringLiteral("--") + o.name))
                valued << QStringLiteral("--") + o.name;
            if (!o.onlyFor.isEmpty() && !kinds.contains(o.onlyFor))
                kinds << o.onlyFor;
        }
        const QString key = identifier(v.name);
        text += array(QStringLiteral("slots_") + key, places);
        if (kinds.isEmpty()) {
            text += array(QStringLiteral("options_") + key, dashed(v.options));
            continue;
        }
        for (const QString &kind : kinds) {
            QList<OptionSpec> applying;
            for (const OptionSpec &o : v.options) {
                if (o.onlyFor.isEmpty() || o.onlyFor == kind)
                    applying << o;
            }
            text += array(QStringLiteral("options_%1_%2").arg(key, kind), dashed(applying));
        }
    }
    text += array(QStringLiteral("valued"), valued);
    return text;
}

// One case per option that takes a value: what its value completes to. An option declared by several
// verbs completes alike in all; the first declaration gives it.
QString valueCases()
{
    QString text;
    QStringList done;
    for (const VerbSpec &v : cli::declarations()) {
        for (const OptionSpec &o : v.options) {
            if (o.valueName.isEmpty() || done.contains(o.name))
                continue;
            done << o.name;
            QString action;
            switch (o.completes) {
            case Completes::Words:
                action = QStringLiteral("_mdconfig_cli_offer \"$cur\" %1").arg(bashWords(o.words));
                break;
            case Completes::Port:
                action =
                    QStringLiteral("_mdconfig_cli_ports \"$cur\" \"$program\" %1").arg(bashWords(o.words));
                break;
            case Completes::Device:
                action = QStringLiteral("_mdconfig_cli_devices \"$cur\" \"$program\"");
                break;
            case Completes::File:
                action = QStringLiteral("_mdconfig_cli_files \"$cur\"");
                break;
            case Completes::Nothing:
                action = QStringLiteral(":");
                break;
            }
            text += QStringLiteral("        --%1) %2 ;;\n").arg(o.name, action);
        }
    }
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: %s TEMPLATE OUTPUT\n", qPrintable(args.value(0)));
        return 2;
    }
    QFile in(args[1]);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(args[1]), qPrintable(in.errorString()));
        return 1;
    }
    QString text = QString::fromUtf8(in.readAll());

    const QList<std::pair<QString, QString>> fills = {
        {"@DECLARATIONS@", declarationArrays()},
        {"@VALUE_CASES@", valueCases()},
    };
    for (const auto &[placeholder, filling] : fills) {
        if (!text.contains(placeholder)) {
            std::fprintf(stderr, "%s: the template lacks %s\n", qPrintable(args[1]), qPrintable(placeholder));
            return 1;
        }
        text.replace(placeholder, filling);
    }

    QSaveFile out(args[2]);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0 || !out.commit()) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(args[2]), qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
