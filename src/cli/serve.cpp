#include "cli/adaptercheck.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"

#include "serial/devicepath.h"
#include "web/address.h"
#include "web/server.h"
#include "web/site.h"
#include "web/token.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

#include <mutex>

namespace cli {
namespace {

const char *const HelpText =
    "Usage: mdconfig-cli serve --listen ADDRESS|INTERFACE[:PORT] (--port N [--any-adapter] | --device PATH)\n"
    "                          [--allow-host NAME]... [--no-qr] [--new-token] [--seconds S]\n"
    "       mdconfig-cli serve --print-url [--listen ADDRESS|INTERFACE[:PORT]] [--no-qr]\n"
    "\n"
    "Serves a page for a phone or a desktop browser on the boat's network: the same lists and products as\n"
    "the window, the ten locations of a plan with check, send one or all with progress, Stop, ask before\n"
    "each location and resume, plan files loaded and saved, and the bus with \"use in location N\". It\n"
    "prints the page's address with its access token, and a QR code of it to open with a phone's camera.\n"
    "\n"
    "  --listen A[:P]     the address or interface to answer on (such as wlan0, 192.168.1.20:8421 or\n"
    "                     [::1]); there is no default: without it the interfaces are listed. The port is\n"
    "                     8421 unless given\n"
    "  --port N           a COM port number, 1 to 16 (see mdconfig-cli ports; MDCONFIG_COM<n> overrides)\n"
    "  --device PATH      a device path, such as /dev/ttyUSB0\n"
    "  --any-adapter      serve even when COM N now opens another adapter than the one remembered for it\n"
    "                     (refused otherwise, naming both), and remember that one\n"
    "  --allow-host NAME  a further name the page may be opened by (Host header), besides IP addresses,\n"
    "                     localhost, this machine's name and NAME.local; may be given more than once\n"
    "  --no-qr            no QR code\n"
    "  --new-token        makes a new access token: addresses given out before stop working\n"
    "  --print-url        prints the address and QR code of the running service (or of --listen) and ends\n"
    "  --seconds S        stop after S seconds (default: at Ctrl-C or SIGTERM)\n"
    "\n"
    "The token is kept in $STATE_DIRECTORY/web-token under a service manager, else in the user's data\n"
    "folder (~/.local/share/mdconfig/web-token), mode 600. Each command is logged to standard error\n"
    "with the address it came from.\n"
    "\n"
    "Exit status: 0 done, 1 the server or the token could not be made or a send was cut by Ctrl-C,\n"
    "SIGTERM or SIGHUP, 2 bad arguments (or no --listen).\n";

QString addressFile()
{
    return QDir(web::stateFolder()).filePath(QStringLiteral("web-address"));
}

void printAddress(Io &io, const QString &url, bool qr)
{
    io.out << url << '\n';
    if (qr) {
        const QString code = web::qrText(url.toUtf8());
        if (!code.isEmpty())
            io.out << code;
    }
    io.out << Qt::flush;
}

} // namespace

int serve(const QStringList &arguments, Io &io)
{
    // --allow-host is the one option given more than once; the others once each.
    QStringList allowed;
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--allow-host")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].trimmed().isEmpty())
                throw UsageError{QStringLiteral("--allow-host needs a NAME; valid values: a host name")};
            allowed << arguments[++i].trimmed();
        } else if (a.startsWith(QLatin1String("--allow-host="))) {
            allowed << a.mid(13).trimmed();
        } else {
            rest << a;
        }
    }
    // A host name as a Host header carries it: letters, digits, hyphens, underscores and dots, nothing else.
    static const QRegularExpression hostName(QStringLiteral("^[A-Za-z0-9_]([A-Za-z0-9_.-]*[A-Za-z0-9_])?$"));
    for (const QString &name : allowed) {
        if (!hostName.match(name).hasMatch())
            throw UsageError{
                QStringLiteral("--allow-host: \"%1\" is no host name").arg(serial::printable(name))};
    }
    Options o(declaration(QStringLiteral("serve")));
    o.parse(rest);
    if (o.helpAsked()) {
        io.out << HelpText << Qt::flush;
        return Ok;
    }
    const bool qr = !o.has(QStringLiteral("--no-qr"));
    const bool printOnly = o.has(QStringLiteral("--print-url"));
    if (printOnly)
        o.refuse({QStringLiteral("--new-token"), QStringLiteral("--seconds")},
                 QStringLiteral("with --print-url, which prints the address of the token in use and ends"),
                 QStringLiteral("--listen, --no-qr with --print-url"));

    QString listenText = o.has(QStringLiteral("--listen")) ? o.value(QStringLiteral("--listen")) : QString();
    if (listenText.isEmpty() && printOnly) {
        QString failure;
        const std::optional<QByteArray> saved = web::readPrivateFile(addressFile(), &failure);
        if (!saved) {
            io.err << "mdconfig-cli: no running service has said its address (" << serial::printable(failure)
                   << "); give --listen\n";
            return Failed;
        }
        listenText = QString::fromUtf8(saved->trimmed());
    }
    if (listenText.isEmpty()) {
        io.err << "mdconfig-cli: --listen is missing: the page answers only on an address you choose; this "
                  "machine's interfaces:\n"
               << web::interfacesText() << Qt::flush;
        return Usage;
    }
    QString failure;
    const std::optional<web::ListenAddress> where = web::parseListen(listenText, &failure);
    if (!where)
        throw UsageError{serial::printable(failure)};

    const web::TokenResult token =
        web::loadOrMakeToken(web::stateFolder(), o.has(QStringLiteral("--new-token")) && !printOnly);
    if (token.token.isEmpty()) {
        io.err << "mdconfig-cli: no access token: " << serial::printable(token.failure) << '\n' << Qt::flush;
        return Failed;
    }
    const QString url = web::pageAddress(*where, token.token);
    if (printOnly) {
        printAddress(io, url, qr);
        return Ok;
    }

    const Target target = targetOf(o);
    const bool anyAdapter = anyAdapterOf(o, target);
    const int seconds = secondsOf(o);
    QString device = deviceOf(target, &failure);
    if (device.isEmpty()) {
        io.err << "mdconfig-cli: " << failure << '\n' << Qt::flush;
        return Failed;
    }
    if (!admitTarget(target, anyAdapter, io))
        return Failed;
    device = stableDevice(target, device);

    std::mutex logMutex;
    const auto log = [&](const QString &line) {
        const std::lock_guard lock(logMutex);
        io.err << line << '\n' << Qt::flush;
    };
    web::PageSite site(device);
    web::Policy policy{token.token, web::hostNames(allowed)};
    web::Server server(site, policy, {}, log);
    if (!server.bind(where->address, where->port, &failure)) {
        io.err << "mdconfig-cli: " << failure << '\n' << Qt::flush;
        return Failed;
    }
    // So that `serve --print-url` finds the address of the service it is asked about.
    const QString bracketed = where->address.contains(QLatin1Char(':'))
                                  ? QLatin1Char('[') + where->address + QLatin1Char(']')
                                  : where->address;
    if (const std::optional<QString> f = web::writePrivateFile(
            addressFile(), QStringLiteral("%1:%2\n").arg(bracketed).arg(where->port).toUtf8()))
        log(QStringLiteral("mdconfig-cli: %1 (serve --print-url will need --listen)")
                .arg(serial::printable(*f)));
    server.start();
    {
        const std::lock_guard lock(logMutex);
        io.err << "serving the page on " << bracketed << " port " << where->port << " for "
               << serial::shownDevice(device) << (token.made ? "; a new access token was made" : "") << "; "
               << endText(seconds) << '\n'
               << Qt::flush;
        printAddress(io, url, qr);
    }
    QElapsedTimer clock;
    clock.start();
    while (goOn(clock, seconds))
        QThread::msleep(100);
    site.close();
    server.stop();
    // A send the page began ends after the byte on the wire, and is told as `plan send` tells it.
    const std::optional<plan::SendReport> cut = site.endSend();
    log(QStringLiteral("the page is no longer served"));
    if (cut && !cut->complete()) {
        log(QStringLiteral("mdconfig-cli: %1; %2").arg(cut->failure, plan::notSentText(cut->notSent)));
        return Failed;
    }
    return Ok;
}

} // namespace cli
