#include "web/address.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QSysInfo>

#include <qrencode.h>

namespace web {

namespace {

std::optional<int> portOf(const QString &text, QString *failure)
{
    bool ok = false;
    const int port = text.toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        *failure = QStringLiteral("--listen: \"%1\" is no port; valid ports: 1 to 65535").arg(text);
        return std::nullopt;
    }
    return port;
}

} // namespace

std::optional<ListenAddress> parseListen(const QString &text, QString *failure)
{
    ListenAddress where;
    QString host = text.trimmed();
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        if (close < 0) {
            *failure = QStringLiteral("--listen: \"%1\" opens a [ it does not close").arg(text);
            return std::nullopt;
        }
        const QString rest = host.mid(close + 1);
        host = host.mid(1, close - 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':'))) {
                *failure = QStringLiteral("--listen: after ] comes :PORT or nothing");
                return std::nullopt;
            }
            const std::optional<int> port = portOf(rest.mid(1), failure);
            if (!port)
                return std::nullopt;
            where.port = *port;
        }
    } else if (host.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = host.indexOf(QLatin1Char(':'));
        const std::optional<int> port = portOf(host.mid(colon + 1), failure);
        if (!port)
            return std::nullopt;
        where.port = *port;
        host = host.left(colon);
    }
    QHostAddress address;
    if (address.setAddress(host)) {
        // An IPv4 address written as IPv6 (::ffff:0.0.0.0) is bound as that IPv4 address.
        bool mapped = false;
        const quint32 v4 = address.toIPv4Address(&mapped);
        if (mapped && address.protocol() == QAbstractSocket::IPv6Protocol)
            address = QHostAddress(v4);
        if (address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6) {
            *failure =
                QStringLiteral("--listen: %1 would answer on every interface; name the interface or the "
                               "address the phone reaches")
                    .arg(host);
            return std::nullopt;
        }
        where.address = address.toString();
        return where;
    }
    const QNetworkInterface interface = QNetworkInterface::interfaceFromName(host);
    if (!interface.isValid()) {
        *failure = QStringLiteral("--listen: \"%1\" is neither an address nor an interface of this machine; "
                                  "see mdconfig-cli serve without --listen")
                       .arg(host);
        return std::nullopt;
    }
    QString v6;
    for (const QNetworkAddressEntry &e : interface.addressEntries()) {
        const QHostAddress a = e.ip();
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            where.address = a.toString();
            return where;
        }
        if (v6.isEmpty() && a.protocol() == QAbstractSocket::IPv6Protocol)
            v6 = a.toString();
    }
    if (v6.isEmpty()) {
        *failure = QStringLiteral("--listen: the interface %1 has no address (is it up?)").arg(host);
        return std::nullopt;
    }
    where.address = v6;
    return where;
}

QString interfacesText()
{
    QString text;
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        QStringList addresses;
        for (const QNetworkAddressEntry &e : i.addressEntries())
            addresses << e.ip().toString();
        if (addresses.isEmpty())
            continue;
        text += QStringLiteral("  %1  %2%3\n")
                    .arg(i.name().leftJustified(10), addresses.join(QStringLiteral(", ")),
                         i.flags().testFlag(QNetworkInterface::IsLoopBack)
                             ? QStringLiteral("  (this machine only)")
                             : QString());
    }
    return text;
}

QString pageAddress(const ListenAddress &where, const QByteArray &token)
{
    const bool v6 = QHostAddress(where.address).protocol() == QAbstractSocket::IPv6Protocol;
    QString host = where.address;
    host.replace(QLatin1Char('%'), QStringLiteral("%25")); // a link-local scope, as an address writes it
    return QStringLiteral("http://%1:%2/#token=%3")
        .arg(v6 ? QLatin1Char('[') + host + QLatin1Char(']') : host)
        .arg(where.port)
        .arg(QString::fromLatin1(token));
}

QStringList hostNames(const QStringList &allowed)
{
    QStringList names{QStringLiteral("localhost")};
    const QString machine = QSysInfo::machineHostName().toLower();
    if (!machine.isEmpty()) {
        names << machine;
        if (!machine.endsWith(QLatin1String(".local")))
            names << machine + QStringLiteral(".local");
    }
    for (const QString &a : allowed)
        names << a.toLower();
    names.removeDuplicates();
    return names;
}

QString qrText(const QByteArray &text)
{
    QRcode *code = QRcode_encodeString8bit(text.constData(), 0, QR_ECLEVEL_M);
    if (!code)
        return {};
    const int n = code->width;
    constexpr int Quiet = 2;
    const auto dark = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= n || y >= n)
            return false;
        return (code->data[y * n + x] & 1) != 0;
    };
    QString out;
    for (int y = -Quiet; y < n + Quiet; y += 2) {
        for (int x = -Quiet; x < n + Quiet; ++x) {
            const bool upperLight = !dark(x, y);
            const bool lowerLight = y + 1 < n + Quiet && !dark(x, y + 1);
            out += upperLight && lowerLight ? QChar(0x2588) // full block
                   : upperLight             ? QChar(0x2580) // upper half
                   : lowerLight             ? QChar(0x2584) // lower half
                                            : QChar(' ');
        }
        out += QLatin1Char('\n');
    }
    QRcode_free(code);
    return out;
}

} // namespace web
