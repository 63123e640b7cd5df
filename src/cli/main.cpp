#include "cli/cli.h"
#include "cli/interrupt.h"

#include <QCoreApplication>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

int main(int argc, char *argv[])
{
    cli::installInterruptHandlers();
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
#ifdef Q_OS_UNIX
    const bool terminal = ::isatty(STDOUT_FILENO) == 1;
#else
    const bool terminal = false;
#endif
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return cli::run(args, out, err, terminal);
}
