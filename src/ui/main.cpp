// mdconfig: the configuration window. Lives beside the windows it starts, so no lower layer knows them.
#include "app/program.h"
#include "serial/qtserialport.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

const char *const NoDisplay =
    "mdconfig: no graphical display is available (DISPLAY or WAYLAND_DISPLAY is not set, "
    "or the display cannot be reached); mdconfig-cli works without one.\n";

QStringList startupMessages;

// Qt ends a program it cannot give a display with an abort; say it in one plain line instead. What Qt says
// on the way there is held back, and passed on when the display did come up.
void onQtMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg) {
        std::fputs(NoDisplay, stderr);
        std::_Exit(1);
    }
    if (type != QtDebugMsg && type != QtInfoMsg)
        startupMessages << message;
}

bool displayLikelyAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

// --help and --version need no display: they are answered before the window's toolkit starts.
bool answeredWithoutDisplay(int argc, char *argv[])
{
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        asked = asked || arg == "--help" || arg == "-h" || arg == "--help-all" || arg == "--version" ||
                arg == "-v";
    }
    if (!asked)
        return false;
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mdconfig"));
    QCoreApplication::setApplicationVersion(app::ProgramVersionText);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configuration program for the Velmora MD20, MD40 and MD90 repeater displays.\n"
                       "The window keeps its product and COM port in MD40_90.INI; mdconfig-cli sends from "
                       "a terminal."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PLAN"),
                                 QStringLiteral("a display plan (.mdplan.toml) to open in the plan window"),
                                 QStringLiteral("[PLAN]"));
    parser.process(core); // prints and exits for --help and --version
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (answeredWithoutDisplay(argc, argv))
        return 0;
    if (!displayLikelyAvailable()) {
        std::fputs(NoDisplay, stderr);
        return 1;
    }
#ifdef Q_OS_UNIX
    // A recording grown past the session's file size limit (ulimit -f) stops with a message, not the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QtMessageHandler previous = qInstallMessageHandler(onQtMessage);
    QApplication application(argc, argv);
    qInstallMessageHandler(previous);
#ifdef MDCONFIG_APP_ID
    QGuiApplication::setDesktopFileName(QStringLiteral(MDCONFIG_APP_ID));
#endif
    for (const QString &message : startupMessages)
        std::fprintf(stderr, "%s\n", qPrintable(message));
    QApplication::setApplicationName(QStringLiteral("mdconfig"));
    QApplication::setOrganizationName(QStringLiteral("Velmora"));

    app::Program program;
    serial::QtSerialPort port;
    ui::MainWindow frmMain(program, port);
    // A plan named on the command line (as the file manager names one) opens in the plan window. Start-up
    // makes the program's folder the current one, so a relative name is made whole first.
    const QStringList arguments = QApplication::arguments().mid(1);
    const QString planFile =
        arguments.isEmpty() ? QString() : QFileInfo(arguments.first()).absoluteFilePath();
    frmMain.Form_Load(QApplication::applicationDirPath());
    frmMain.show();
    if (!planFile.isEmpty()) {
        frmMain.Plan_Click();
        frmMain.frmPlan()->openFile(planFile);
    }
    return application.exec();
}
