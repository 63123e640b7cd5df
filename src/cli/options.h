// What the verbs of mdconfig-cli share in reading their arguments: one QCommandLineParser per verb, and every
// usage error as one line that names the option and its valid values.
#pragma once

#include "cli/command.h"
#include "vocabulary/vocabulary.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

namespace cli {

class Options {
public:
    // The verb's own options, each with its valid values as its description; --help is added to every verb.
    Options(const QString &verb, const QList<QCommandLineOption> &options);

    // Parses the arguments after the verb's name. Throws UsageError for an unknown option, a missing value,
    // an option given twice or with an empty value, or more positional arguments than maxPositional.
    void parse(const QStringList &arguments, int maxPositional);

    bool helpAsked() const;
    bool has(const QString &name) const;
    QString value(const QString &name) const;
    QStringList positional() const;
    // The names of the options this verb takes, for "valid options: ..." messages.
    QString validOptions() const;

    // The position in a list of the text an option gives; UsageError when it is missing or names no entry.
    int listPosition(const QString &name, vocabulary::List list) const;
    // A whole number from low to high; UsageError otherwise.
    int number(const QString &name, int low, int high) const;
    // Throws the usage error for a value that is not among the valid ones.
    [[noreturn]] void unknownValue(const QString &name, const QString &valid) const;
    [[noreturn]] void missing(const QString &name, const QString &valid) const;
    // Throws when an option that does not apply here was given.
    void refuse(const QStringList &names, const QString &why) const;

private:
    QString m_verb;
    QCommandLineParser m_parser;
    QStringList m_names;
    QStringList m_valid;
};

// Where a send goes: a COM port number or a device path, exactly one of them.
struct Target {
    int port = 0;   // 1..16 when given by number
    QString device; // the path when given by --device
};
QList<QCommandLineOption> targetOptions();
Target targetOf(const Options &o);

// How a list's valid values read in a message: "1 to 25", or the entries joined.
QString validValues(vocabulary::List list);

} // namespace cli
