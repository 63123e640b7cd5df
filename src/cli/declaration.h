// Each verb of mdconfig-cli declared once: its name, summary, options (value names, valid values, what the
// completion offers, what --help says of them) and positional arguments. The parser, its usage errors, each
// verb's --help, the bash completion and the check of the manual page all read these declarations, so an
// option is added in one place.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace cli {

// What the bash completion offers for an option's value or a positional argument.
enum class Completes { Nothing, Words, Port, Device, File };

struct OptionSpec {
    QString name;      // without the dashes: "talker"
    QString valueName; // "ID"; empty for a switch
    QString valid;     // the valid values, as usage errors name them
    Completes completes = Completes::Nothing;
    QStringList words;    // the values offered, with Completes::Words
    QString onlyFor;      // the kind of sentence it applies to ("standard"); empty: every kind
    bool repeats = false; // may be given more than once (serve's --allow-host)
    QString help;         // what --help says of it; empty: the valid values
    bool required = false;
    QString choice; // options with the same choice are one required choice: "(--port N | --device PATH)"

    // The same option, with what --help says of it.
    OptionSpec described(const QString &text) const;
    // The same option, required.
    OptionSpec needed() const;
    // The same option, one of a required choice.
    OptionSpec oneOf(const QString &choice) const;
};

struct PositionalSpec {
    QString name; // "FILE", "HEX"
    Completes completes = Completes::Nothing;
    QStringList words; // a closed set ("standard", "proprietary"), with Completes::Words
    bool repeats = false;
    QString help; // what --help says of it
};

struct VerbSpec {
    QString name;    // "listen", or "plan send" for a verb of a verb
    QString summary; // one line
    QList<OptionSpec> options;
    QList<PositionalSpec> positionals;
    // What --help says after the usage lines: paragraphs parted by a blank line, each wrapped to the
    // terminal's 80 columns; a paragraph whose lines start with a space is shown as written.
    QString description;
    QString exitStatus; // "0 done, 1 ..., 2 bad arguments."

    bool takesJson() const;
    // How many positional arguments it takes at most.
    int maxPositional() const;
};

// Every verb and every verb of a verb, in the order --help lists them.
const QList<VerbSpec> &declarations();
// The declaration of one verb ("plan send"); a verb that is not declared is a programming error.
const VerbSpec &declaration(const QString &name);

// The shared pieces of the declarations.
QList<OptionSpec> sentenceOptionSpecs();
QList<OptionSpec> targetOptionSpecs();
OptionSpec secondsOptionSpec();
OptionSpec jsonOptionSpec(const QString &valid);

} // namespace cli
