#include "cli/adaptercheck.h"
#include "cli/interrupt.h"
#include "cli/options.h"
#include "cli/output.h"
#include "cli/verbs.h"

#include "serial/devicepath.h"
#include "serial/networkaddress.h"
#include "source/sourceaddress.h"
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

// The --allow-host names, checked; the other arguments go to `rest`. --allow-host is the one option given
// more than once; the others once each.
QStringList allowedHosts(const QStringList &arguments, QStringList &rest)
{
    QStringList allowed;
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
    return allowed;
}

// What a running service is given once its arguments are read.
struct Serving {
    QString device;
    QString bus; // the page's bus view reads this network source instead of the device, when given
    web::ListenAddress where;
    web::TokenResult token;
    QStringList allowed;
    QString url;
    bool qr = true;
    int seconds = 0;
};

// The network source the page's bus view reads instead of the display's line (--bus), or empty.
QString busSourceOf(const Options &o)
{
    if (!o.has(QStringLiteral("--bus")))
        return {};
    const QString text = o.value(QStringLiteral("--bus"));
    QString why = QStringLiteral("\"%1\" is not a network source; write tcp://HOST:PORT or "
                                 "udp://[ADDRESS:]PORT")
                      .arg(serial::printable(text));
    if (!serial::isNetworkAddress(text) || !source::parseSourceAddress(text, &why))
        throw UsageError{QStringLiteral("--bus: ") + why};
    return text;
}

// Serves the page until Ctrl-C, SIGTERM or the seconds given; Failed when it could not, or when a send the
// page began was cut.
int serveUntilStopped(const Serving &s, Io &io)
{
    QString failure;
    std::mutex logMutex;
    const auto log = [&](const QString &line) {
        const std::lock_guard lock(logMutex);
        io.err << line << '\n' << Qt::flush;
    };
    web::PageSite site(s.device, {}, s.bus);
    web::Policy policy{s.token.token, web::hostNames(s.allowed)};
    web::Server server(site, policy, {}, log);
    if (!server.bind(s.where.address, s.where.port, &failure)) {
        io.err << "mdconfig-cli: " << failure << '\n' << Qt::flush;
        return Failed;
    }
    // So that `serve --print-url` finds the address of the service it is asked about.
    const QString bracketed = s.where.address.contains(QLatin1Char(':'))
                                  ? QLatin1Char('[') + s.where.address + QLatin1Char(']')
                                  : s.where.address;
    if (const std::optional<QString> f = web::writePrivateFile(
            addressFile(), QStringLiteral("%1:%2\n").arg(bracketed).arg(s.where.port).toUtf8()))
        log(QStringLiteral("mdconfig-cli: %1 (serve --print-url will need --listen)")
                .arg(serial::printable(*f)));
    server.start();
    {
        const std::lock_guard lock(logMutex);
        io.err << "serving the page on " << bracketed << " port " << s.where.port << " for "
               << serial::shownDevice(s.device)
               << (s.bus.isEmpty() ? QString()
                                   : QStringLiteral("; the bus view reads ") + s.bus + ", read-only")
               << (s.token.made ? "; a new access token was made" : "") << "; " << endText(s.seconds) << '\n'
               << Qt::flush;
        printAddress(io, s.url, s.qr);
    }
    QElapsedTimer clock;
    clock.start();
    while (goOn(clock, s.seconds))
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

} // namespace

int serve(const QStringList &arguments, Io &io)
{
    QStringList rest;
    const QStringList allowed = allowedHosts(arguments, rest);
    Options o(declaration(QStringLiteral("serve")));
    o.parse(rest);
    if (o.helpAsked()) {
        io.out << o.help() << Qt::flush;
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
    const QString bus = busSourceOf(o);

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

    return serveUntilStopped({device, bus, *where, token, allowed, url, qr, seconds}, io);
}

} // namespace cli
