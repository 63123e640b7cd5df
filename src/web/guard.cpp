#include "web/guard.h"

#include <QHostAddress>

namespace web {

bool sameBytes(QByteArrayView a, QByteArrayView b)
{
    // Every byte is looked at whatever the first difference, so the time taken says nothing about the token.
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    const qsizetype n = std::max(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        diff |= x ^ y;
    }
    return diff == 0;
}

bool bearerMatches(QByteArrayView authorization, QByteArrayView token)
{
    static constexpr QByteArrayView Scheme("Bearer ");
    if (token.isEmpty() || authorization.size() < Scheme.size() ||
        authorization.first(Scheme.size()).toByteArray().toLower() != "bearer ")
        return false;
    return sameBytes(authorization.sliced(Scheme.size()).trimmed(), token);
}

bool isJsonType(QByteArrayView contentType)
{
    QByteArray type = contentType.toByteArray();
    const qsizetype semicolon = type.indexOf(';');
    if (semicolon >= 0)
        type.truncate(semicolon);
    return type.trimmed().toLower() == "application/json";
}

bool hostAllowed(QByteArrayView hostView, const QStringList &names)
{
    const QByteArray host = hostView.toByteArray().trimmed().toLower();
    if (host.isEmpty() || host.size() > 255)
        return false;
    QByteArray name = host;
    if (host.startsWith('[')) { // an IPv6 literal, maybe with a port
        const qsizetype close = host.indexOf(']');
        if (close < 0)
            return false;
        const QByteArray rest = host.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(':'))
            return false;
        QHostAddress address;
        return address.setAddress(QString::fromLatin1(host.mid(1, close - 1))) &&
               address.protocol() == QAbstractSocket::IPv6Protocol;
    }
    const qsizetype colon = host.lastIndexOf(':');
    if (colon >= 0) {
        bool ok = false;
        const int port = host.mid(colon + 1).toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return false;
        name = host.left(colon);
    }
    QHostAddress address;
    if (address.setAddress(QString::fromLatin1(name)) && address.protocol() == QAbstractSocket::IPv4Protocol)
        return name.count('.') ==
               3; // "127.1" parses, but no browser sends it as a Host: refuse the odd forms
    if (name.endsWith('.'))
        name.chop(1); // "localhost." is the same name
    return names.contains(QString::fromLatin1(name));
}

namespace {

Verdict refuse(int status, const char *reason, bool badToken = false)
{
    return Verdict{status, QByteArray(reason), badToken};
}

// What a browser sends for another site's page (a fetch, an image, a link, a script): its Origin, or its
// Sec-Fetch-Site other than same-origin (or none, typed by the user), or a no-cors fetch, which the page
// itself never makes.
bool crossSite(const Request &r)
{
    if (!r.origin.isEmpty() && r.origin != "http://" + r.host.trimmed())
        return true;
    if (!r.secFetchSite.isEmpty() && r.secFetchSite != "same-origin" && r.secFetchSite != "none")
        return true;
    return r.secFetchMode == "no-cors";
}

} // namespace

Verdict judge(const Request &r, const Policy &policy, const QList<Route> &routes, bool addressBlocked)
{
    if (!hostAllowed(r.host, policy.names))
        return refuse(403, "this server answers only to its own addresses and names");
    const Route *route = nullptr;
    bool pathKnown = false;
    for (const Route &candidate : routes) {
        if (r.path != candidate.path)
            continue;
        pathKnown = true;
        if (r.method == candidate.method)
            route = &candidate;
    }
    const bool api = r.path.startsWith("/api/");
    // Before the token, and never counted against the address: a foreign page cannot lock the phone out.
    if (api && crossSite(r))
        return refuse(403, "requests from another site's page are refused");
    if (api && addressBlocked)
        return refuse(429, "too many wrong tokens from this address; wait a minute");
    if (!pathKnown)
        return refuse(404, "no such page");
    if (!route)
        return refuse(405, "not with this method: commands are POST, reading is GET");
    switch (route->access) {
    case Access::Asset:
        return {};
    case Access::Read:
    case Access::Action:
        if (!bearerMatches(r.authorization, policy.token))
            return refuse(401, "the access token is missing or wrong", true);
        break;
    case Access::Stream:
        if (!sameBytes(r.queryToken, policy.token) || policy.token.isEmpty())
            return refuse(401, "the access token is missing or wrong", true);
        break;
    }
    if (route->access == Access::Action && !isJsonType(r.contentType))
        return refuse(415, "commands take a JSON body (Content-Type: application/json)");
    return {};
}

QList<std::pair<QByteArray, QByteArray>> securityHeaders()
{
    return {
        {"Content-Security-Policy",
         "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
         "object-src 'none'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
        {"X-Content-Type-Options", "nosniff"},
        {"Cache-Control", "no-store"},
        {"Referrer-Policy", "no-referrer"},
        {"X-Frame-Options", "DENY"},
    };
}

void BadTokenLimit::record(const QByteArray &address, Clock::time_point now)
{
    const std::lock_guard lock(m_mutex);
    auto it = m_entries.find(address);
    if (it == m_entries.end() || now - it->first >= Window) {
        if (it == m_entries.end() && m_entries.size() >= MaxAddresses) {
            // Forget the stale entries; if none is stale, the oldest one.
            m_entries.removeIf([&](const auto &e) { return now - e.value().first >= Window; });
            if (m_entries.size() >= MaxAddresses) {
                auto oldest = m_entries.begin();
                for (auto e = m_entries.begin(); e != m_entries.end(); ++e)
                    if (e->first < oldest->first)
                        oldest = e;
                m_entries.erase(oldest);
            }
        }
        m_entries.insert(address, Entry{1, now});
        return;
    }
    ++it->count;
}

bool BadTokenLimit::blocked(const QByteArray &address, Clock::time_point now) const
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_entries.constFind(address);
    return it != m_entries.cend() && now - it->first < Window && it->count >= Limit;
}

} // namespace web
