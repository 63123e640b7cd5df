// mdconfig-cli: the command line; everything but the process's own streams lives in the md_cli library.
#include "cli/cli.h"
#include "cli/interrupt.h"

#include <QCoreApplication>

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
    cli::Io io{out, err, terminal};
    return cli::run(QCoreApplication::arguments().mid(1), io);
}
