#include "source/sourceaddress.h"

#include "serial/devicepath.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace source {
namespace {

const QString TcpForm = QStringLiteral("tcp://HOST:PORT, such as tcp://192.168.4.1:10110");
const QString UdpForm = QStringLiteral("udp://[ADDRESS:]PORT, such as udp://10110");

std::optional<quint16> portOf(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int port = text.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return quint16(port);
}

// A host name as DNS spells one, or an IPv4 address.
bool isHostName(const QString &host)
{
    static const QRegularExpression name(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,62})(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,62}))*\\.?$"));
    return host.size() <= 253 && name.match(host).hasMatch();
}

} // namespace

QString SourceAddress::shown() const
{
    const QString h = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    if (protocol == Protocol::Udp)
        return host.isEmpty() ? QStringLiteral("udp://%1").arg(port)
                              : QStringLiteral("udp://%1:%2").arg(h).arg(port);
    return QStringLiteral("tcp://%1:%2").arg(h).arg(port);
}

std::optional<SourceAddress> parseSourceAddress(const QString &text, QString *why)
{
    const auto fail = [&](const QString &reason) -> std::optional<SourceAddress> {
        *why = QStringLiteral("%1: %2").arg(serial::printable(text), reason);
        return std::nullopt;
    };
    const qsizetype schemeEnd = text.indexOf(QStringLiteral("://"));
    const QString scheme = text.left(schemeEnd).toLower();
    SourceAddress a;
    if (scheme == QLatin1String("udp"))
        a.protocol = SourceAddress::Protocol::Udp;
    else if (scheme != QLatin1String("tcp"))
        return fail(QStringLiteral("not a network source; valid forms: %1, %2").arg(TcpForm, UdpForm));
    const bool udp = a.protocol == SourceAddress::Protocol::Udp;
    const QString form = udp ? UdpForm : TcpForm;
    QString rest = text.mid(schemeEnd + 3);
    if (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);

    QString portText;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0)
            return fail(QStringLiteral("the IPv6 address has no closing bracket; valid form: %1").arg(form));
        a.host = rest.mid(1, close - 1);
        const QHostAddress address(a.host);
        if (address.isNull() || address.protocol() != QAbstractSocket::IPv6Protocol)
            return fail(QStringLiteral("not an IPv6 address between the brackets; valid form: %1").arg(form));
        if (rest.mid(close + 1, 1) != QLatin1String(":"))
            return fail(QStringLiteral("the port is missing after the address; valid form: %1").arg(form));
        portText = rest.mid(close + 2);
    } else if (rest.count(QLatin1Char(':')) > 1) {
        return fail(
            QStringLiteral("an IPv6 address goes between brackets, such as %1://[::1]:10110").arg(scheme));
    } else if (const qsizetype colon = rest.indexOf(QLatin1Char(':')); colon >= 0) {
        a.host = rest.left(colon);
        portText = rest.mid(colon + 1);
        if (a.host.isEmpty() && !udp)
            return fail(QStringLiteral("the host is missing; valid form: %1").arg(form));
    } else if (udp) {
        portText = rest;
    } else {
        return fail(QStringLiteral("the port is missing; valid form: %1").arg(form));
    }

    if (portText.isEmpty())
        return fail(QStringLiteral("the port is missing; valid form: %1").arg(form));
    const std::optional<quint16> port = portOf(portText);
    if (!port)
        return fail(
            QStringLiteral("bad port \"%1\": a number from 1 to 65535 (NMEA over TCP is usually 10110)")
                .arg(serial::printable(portText)));
    a.port = *port;
    if (udp && !a.host.isEmpty() && QHostAddress(a.host).isNull())
        return fail(QStringLiteral("\"%1\" is not an IP address; give an address of this computer or a "
                                   "multicast group to listen on, or the port alone")
                        .arg(serial::printable(a.host)));
    if (!udp && !a.host.contains(QLatin1Char(':')) && !isHostName(a.host))
        return fail(QStringLiteral("\"%1\" is not a host name or address").arg(serial::printable(a.host)));
    return a;
}

} // namespace source
