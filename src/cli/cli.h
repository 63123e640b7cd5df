// mdconfig-cli: the frames a send puts on the wire, sending from a terminal, and the port numbers of this
// computer, on the same core as the window. A library, so tests run it in-process.
#pragma once

#include "cli/command.h"

#include <QList>
#include <QString>

namespace cli {

struct Verb {
    const char *name;
    Command command;
    QString summary; // one line for --help
};

// Every verb the command line knows, in the order --help lists them.
const QList<Verb> &verbs();

// The whole --help text.
QString usageText();

// Runs one command line (without the program's name): "--help", "--version" or a verb and its arguments.
// Usage errors are printed as one line, "mdconfig-cli: ...", and give Usage.
int run(const QStringList &args, Io &io);

} // namespace cli
