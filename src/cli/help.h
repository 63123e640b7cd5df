// Every --help of mdconfig-cli, written from the verbs' declarations: the usage lines, what each option and
// argument is for, and the exit status, wrapped to fit a terminal of 80 columns.
#pragma once

#include "cli/declaration.h"

#include <QString>
#include <QStringList>

namespace cli {

inline constexpr int HelpWidth = 80;

// The text's words in lines of at most `width` columns; every line but the first starts with `indent`
// spaces. A word longer than a line stands on a line of its own.
QStringList wrapped(const QString &text, int width, int indent);

// "mdconfig-cli frames standard --talker ID ...": one line per kind of sentence the verb takes, each wrapped
// after `lead` (the text before the program's name) within HelpWidth columns.
QStringList usageLines(const VerbSpec &verb, const QString &lead);

// What a verb answers to --help; "plan" lists its own verbs.
QString verbHelp(const VerbSpec &verb);

// What mdconfig-cli answers to --help: every verb's usage and summary.
QString programHelp();

} // namespace cli
