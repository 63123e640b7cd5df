// The page's gate: every request is judged here, before any handler sees it, on its parsed head alone (Host,
// token, method, type, Origin). No sockets and no clock: the server passes in what it read and what it knows.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QStringList>

#include <chrono>
#include <mutex>
#include <optional>
#include <utility>

namespace web {

inline constexpr int MaxHeadBytes = 8 * 1024; // request line and headers
inline constexpr int MaxBodyBytes = 64 * 1024;

// What a route is, which decides what it needs.
enum class Access {
    Asset,  // the page and its files: GET, no token (the token lives in the address fragment)
    Read,   // GET under /api: token in the Authorization header
    Action, // POST under /api: token in the header, a JSON body, a same-origin Origin if any
    Stream, // the push stream: GET, token in the query (EventSource sends no headers), Origin checked
};

// The parts of a request the gate reads; header values as sent, names already matched.
struct Request {
    QByteArray method;
    QByteArray path; // without the query
    QByteArray host;
    QByteArray origin;        // empty when not sent
    QByteArray secFetchSite;  // empty when not sent
    QByteArray secFetchMode;  // empty when not sent
    QByteArray authorization; // the whole header
    QByteArray contentType;
    QByteArray queryToken; // the "token" query value, only read for the push stream
};

struct Policy {
    QByteArray token;
    // Names a Host may carry besides IP literals, lower case: localhost, the machine's name and NAME.local,
    // and those the user allowed.
    QStringList names;
};

struct Verdict {
    int status = 0;        // 0: let it through
    QByteArray reason;     // one line for the answer's body
    bool badToken = false; // a wrong or missing token, counted against the address
};

// The route table's view for the gate: the access a method and path need, or nothing for no such route.
// Each path takes one method; the other one gets 405.
struct Route {
    const char *method;
    const char *path;
    Access access;
};

// Judges one request. `route` is the matching row (nothing: 404 after the Host check; a path that exists
// with another method: pass methodOnly). `addressBlocked`: the remote address gave too many bad tokens.
Verdict judge(const Request &request, const Policy &policy, const QList<Route> &routes, bool addressBlocked);

// Whether a Host header names this server: an IP literal (v4, or v6 in brackets) or one of the names, with
// or without a port. Everything else is a name some other DNS could point here: DNS rebinding.
bool hostAllowed(QByteArrayView host, const QStringList &names);
// "Bearer TOKEN" with the token, compared in constant time.
bool bearerMatches(QByteArrayView authorization, QByteArrayView token);
bool sameBytes(QByteArrayView a, QByteArrayView b);
// application/json, any parameters after a ';', any case.
bool isJsonType(QByteArrayView contentType);

// The headers every answer carries, whatever its status.
QList<std::pair<QByteArray, QByteArray>> securityHeaders();

// Counts bad tokens per remote address over a window; past the limit the address gets 429 until the window
// has passed. Bounded: past MaxAddresses the oldest entries are forgotten.
class BadTokenLimit {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int Limit = 10;
    static constexpr std::chrono::seconds Window{60};
    static constexpr int MaxAddresses = 1024;

    void record(const QByteArray &address, Clock::time_point now);
    bool blocked(const QByteArray &address, Clock::time_point now) const;

private:
    struct Entry {
        int count = 0;
        Clock::time_point first;
    };
    mutable std::mutex m_mutex;
    QHash<QByteArray, Entry> m_entries;
};

} // namespace web
