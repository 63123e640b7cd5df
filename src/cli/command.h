// What every mdconfig-cli verb is given, and how it reports a usage error: each verb is one unit that parses
// its own arguments and talks to the user only through these streams, so tests can run it in-process.
#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace cli {

enum ExitCode { Ok = 0, Failed = 1, Usage = 2 };

struct Io {
    QTextStream &out;
    QTextStream &err;
    bool outIsTerminal = false;
};

// Thrown by a verb for bad arguments; the dispatcher prints "mdconfig-cli: <message>" and exits with Usage.
struct UsageError {
    QString message;
};

// A verb: its arguments are those after its own name ("plan check x.toml" gives "check", "x.toml").
using Command = int (*)(const QStringList &arguments, Io &io);

} // namespace cli
