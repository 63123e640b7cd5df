// What the verbs of mdconfig-cli share in reading their arguments: one QCommandLineParser per verb, and every
// usage error as one line that names the option and its valid values.
#pragma once

#include "cli/command.h"
#include "cli/declaration.h"
#include "plan/plan.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace cli {

class Options {
public:
    // The options the verb's declaration gives (an option without a value name is a switch); --help is
    // added to every verb.
    explicit Options(const VerbSpec &verb);

    // Parses the arguments after the verb's name. Throws UsageError for an unknown option, a missing value,
    // an option or switch given twice, an empty value, or more positional arguments than declared.
    void parse(const QStringList &arguments);

    bool helpAsked() const;
    // What the verb answers to --help, written from its declaration.
    QString help() const;
    bool has(const QString &name) const;
    QString value(const QString &name) const;
    QStringList positional() const;
    // The names of the options this verb takes, for "valid options: ..." messages.
    QString validOptions() const;

    // The position (or number) the option's text names, through the same lookup the plan reader uses;
    // UsageError naming the valid values when it is missing or names nothing.
    int lookup(const QString &name, plan::Value kind) const;
    // The same for an option that may be left out: nothing when it is not given.
    std::optional<int> lookupIfGiven(const QString &name, plan::Value kind) const;
    // A whole number from low to high; UsageError otherwise.
    int number(const QString &name, int low, int high) const;
    // Throws the usage error for a value that is not among the valid ones.
    [[noreturn]] void unknownValue(const QString &name, const QString &valid) const;
    [[noreturn]] void missing(const QString &name, const QString &valid) const;
    // Throws when an option that does not apply here was given, naming the options that do: valid, or
    // else every option but those refused.
    void refuse(const QStringList &names, const QString &why, const QString &valid = QString()) const;

private:
    QString m_verb;
    int m_maxPositional = 0;
    QCommandLineParser m_parser;
    QStringList m_names;
    QStringList m_valid;
    QStringList m_switches;
    QStringList m_repeating;
};

// Where a send goes: a COM port number or a device path, exactly one of them.
struct Target {
    int port = 0;   // 1..16 when given by number
    QString device; // the path when given by --device
};
Target targetOf(const Options &o);

// --seconds, for a verb that runs until stopped: at most about eleven days, far beyond any session aboard.
inline constexpr int MaxSeconds = 1'000'000;
// The --seconds given, or 0: until stopped.
int secondsOf(const Options &o);

// The device the target names: the path itself, or what the port number stands for on this computer.
// Empty, with why in `failure`, when the number names no device.
QString deviceOf(const Target &target, QString *failure);

} // namespace cli
