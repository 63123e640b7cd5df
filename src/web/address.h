// Where the page listens: an address or an interface the user names, never all of them by default, and
// the address a phone is to open, with the token in its fragment so it is never sent to the server.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace web {

// Not one a boat board already uses: 3000 and 8000 (Signal K, other web consoles), 8080 (many), 10110 (NMEA
// 0183 over TCP), 2947 (gpsd).
inline constexpr int DefaultPort = 8421;

struct ListenAddress {
    QString address; // an IP literal, without brackets
    int port = DefaultPort;
};

// "192.168.1.20", "192.168.1.20:9000", "[fe80::1]:9000", "::1", "wlan0", "wlan0:9000". An interface gives its
// first IPv4 address (or its first IPv6 one). Refuses the any-addresses 0.0.0.0 and ::.
std::optional<ListenAddress> parseListen(const QString &text, QString *failure);

// The machine's interfaces and their addresses, one a line, for the user to choose from.
QString interfacesText();

// "http://192.168.1.20:8421/#token=..." ("[...]" around an IPv6 address).
QString pageAddress(const ListenAddress &where, const QByteArray &token);

// The names a Host header may carry besides IP literals: localhost, this machine's name and NAME.local,
// and the names given; all lower case.
QStringList hostNames(const QStringList &allowed);

// The QR code of the text for a terminal: two rows of modules a line, light modules drawn as blocks (a
// dark terminal shows it as printed on paper), with the quiet zone around it. Empty when it cannot be made.
QString qrText(const QByteArray &text);

} // namespace web
