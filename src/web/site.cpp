#include "web/site.h"

#include "source/busopener.h"
#include "web/lists.h"
#include "web/planjson.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <functional>

static void initWebResources()
{
    Q_INIT_RESOURCE(web);
}

namespace web {

namespace {

enum What { JobChanged = 1, BusChanged = 2, AdapterChanged = 4 };

Reply json(int status, const QJsonObject &o)
{
    return {status, "application/json", QJsonDocument(o).toJson(QJsonDocument::Compact)};
}

Reply error(int status, const QString &message)
{
    return json(status, {{QStringLiteral("error"), message}});
}

Reply asset(const QString &name, const QByteArray &type)
{
    QFile f(QStringLiteral(":/web/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {404, "text/plain; charset=utf-8", "no such page\n"};
    return {200, type, f.readAll()};
}

// The plan the page shows, checked: its faults, and what each location shows when it is clean.
Reply checkPlan(const QJsonObject &request)
{
    const PageCheck check = checkPage(request);
    QJsonObject shows;
    if (check.clean())
        for (const plan::Location &l : check.plan.locations)
            shows.insert(QString::number(l.location),
                         frame::shows(l, vocabulary::product(check.plan.product)));
    return json(200, {{QStringLiteral("clean"), check.clean()},
                      {QStringLiteral("faults"), check.faults},
                      {QStringLiteral("shows"), shows},
                      {QStringLiteral("text"), QString::fromUtf8(check.text)}});
}

} // namespace

PageSite::PageSite(const QString &device, plan::SendOptions options, const QString &busSource)
    : m_device(device),
      m_bus(
          busSource.isEmpty() ? device : busSource, [this] { changed(BusChanged); }, source::busOpener()),
      m_jobs(
          device, [this] { changed(JobChanged); }, std::move(options))
{
    initWebResources();
    // One device: the bus view steps aside while a send holds it. A bus from the network never does.
    if (!busSource.isEmpty())
        return;
    m_jobs.opening = [this] { m_bus.pause(); };
    m_jobs.closed = [this] { m_bus.resume(); };
}

PageSite::~PageSite()
{
    close();
    m_jobs.stop();
    m_bus.stop();
}

void PageSite::close()
{
    const std::lock_guard lock(m_mutex);
    m_closed = true;
    m_changed.notify_all();
}

std::optional<plan::SendReport> PageSite::endSend()
{
    return m_jobs.end();
}

void PageSite::changed(int what)
{
    const std::lock_guard lock(m_mutex);
    ++m_version;
    if (what & JobChanged)
        m_jobVersion = m_version;
    if (what & BusChanged)
        m_busVersion = m_version;
    if (what & AdapterChanged)
        m_adapterVersion = m_version;
    m_changed.notify_all();
}

// Whether the adapter's device is there, looked at by every stream at least once a second, so the page's
// "Connected" follows an adapter pulled out or plugged in.
bool PageSite::adapterPresent()
{
    const bool present = QFileInfo::exists(m_device);
    bool changedNow = false;
    {
        const std::lock_guard lock(m_mutex);
        changedNow = m_adapterPresent != present;
        m_adapterPresent = present;
    }
    if (changedNow)
        changed(AdapterChanged);
    return present;
}

// Each route once, beside its handler: the gate judges a request by the method, path and access, and
// answer() runs the handler. POST handlers are given the body's JSON object; the push stream is served by
// the server itself.
struct PageSite::Handled {
    Route route;
    std::function<Reply(PageSite &, const QJsonObject &request)> handler;
};

const QList<PageSite::Handled> &PageSite::handled()
{
    using R = const QJsonObject &;
    static const QList<Handled> table = {
        {{"GET", "/", Access::Asset},
         [](PageSite &, R) { return asset(QStringLiteral("index.html"), "text/html; charset=utf-8"); }},
        {{"GET", "/app.js", Access::Asset},
         [](PageSite &, R) { return asset(QStringLiteral("app.js"), "text/javascript; charset=utf-8"); }},
        {{"GET", "/app.css", Access::Asset},
         [](PageSite &, R) { return asset(QStringLiteral("app.css"), "text/css; charset=utf-8"); }},
        {{"GET", "/api/lists", Access::Read}, [](PageSite &, R) { return json(200, listsJson()); }},
        {{"GET", "/api/status", Access::Read},
         [](PageSite &site, R) {
             return json(200, {{QStringLiteral("job"), site.m_jobs.state()},
                               {QStringLiteral("bus"), site.m_bus.toJson()}});
         }},
        {{"POST", "/api/plan/check", Access::Action},
         [](PageSite &, R request) { return checkPlan(request); }},
        {{"POST", "/api/plan/load", Access::Action},
         [](PageSite &, R request) {
             const QJsonObject page =
                 pageOf(request.value(QStringLiteral("text")).toString().toUtf8(),
                        request.value(QStringLiteral("name")).toString(QStringLiteral("plan")));
             return json(page.contains(QStringLiteral("faults")) ? 422 : 200, page);
         }},
        {{"POST", "/api/send", Access::Action}, [](PageSite &site, R request) { return site.send(request); }},
        {{"POST", "/api/stop", Access::Action},
         [](PageSite &site, R) {
             return site.m_jobs.stop() ? json(200, site.m_jobs.state())
                                       : error(409, QStringLiteral("no send is running"));
         }},
        {{"POST", "/api/continue", Access::Action},
         [](PageSite &site, R) {
             return site.m_jobs.proceed() ? json(200, site.m_jobs.state())
                                          : error(409, QStringLiteral("no send waits for Continue"));
         }},
        {{"POST", "/api/bus/start", Access::Action},
         [](PageSite &site, R request) { return site.busStart(request); }},
        {{"POST", "/api/bus/stop", Access::Action}, [](PageSite &site, R) { return site.busStop(); }},
        {{"GET", "/api/events", Access::Stream}, nullptr},
    };
    return table;
}

QList<Route> PageSite::routes() const
{
    QList<Route> all;
    for (const Handled &h : handled())
        all << h.route;
    return all;
}

std::optional<QByteArray> PageSite::nextEvents(quint64 &cursor, std::chrono::milliseconds wait)
{
    bool job = false;
    bool bus = false;
    bool adapter = false;
    const bool present = adapterPresent();
    {
        std::unique_lock lock(m_mutex);
        const bool first = cursor == 0;
        m_changed.wait_for(lock, wait, [&] { return first || m_closed || m_version > cursor; });
        if (m_closed)
            return std::nullopt;
        job = first || m_jobVersion > cursor;
        bus = first || m_busVersion > cursor;
        adapter = first || m_adapterVersion > cursor;
        cursor = std::max<quint64>(m_version, 1);
    }
    QByteArray events;
    if (job)
        events +=
            "event: job\ndata: " + QJsonDocument(m_jobs.state()).toJson(QJsonDocument::Compact) + "\n\n";
    if (bus)
        events +=
            "event: bus\ndata: " + QJsonDocument(m_bus.toJson()).toJson(QJsonDocument::Compact) + "\n\n";
    if (adapter)
        events += "event: adapter\ndata: " +
                  QJsonDocument(
                      QJsonObject{{QStringLiteral("device"), m_device}, {QStringLiteral("present"), present}})
                      .toJson(QJsonDocument::Compact) +
                  "\n\n";
    return events;
}

Reply PageSite::answer(const QByteArray &method, const QByteArray &path, const QByteArray &body)
{
    const Handled *found = nullptr;
    for (const Handled &h : handled()) {
        if (method == h.route.method && path == h.route.path && h.handler)
            found = &h;
    }
    if (method == "GET")
        return found ? found->handler(*this, {}) : error(404, QStringLiteral("no such page"));
    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(body.isEmpty() ? QByteArray("{}") : body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return error(400, QStringLiteral("the body is not JSON: %1 at byte %2")
                              .arg(parseError.errorString())
                              .arg(parseError.offset));
    if (!document.isObject())
        return error(
            400, QStringLiteral("the body is JSON but not an object: a request is one object, such as {}"));
    return found ? found->handler(*this, document.object()) : error(404, QStringLiteral("no such command"));
}

Reply PageSite::send(const QJsonObject &request)
{
    const PageCheck check = checkPage(request);
    if (!check.clean())
        return json(
            422, {{QStringLiteral("error"), planFaultsRefusal()}, {QStringLiteral("faults"), check.faults}});
    JobRequest job;
    job.plan = check.plan;
    job.ask = request.value(QStringLiteral("ask")).toBool();
    job.from = request.value(QStringLiteral("from")).toInt(plan::FirstLocation);
    const int only = request.value(QStringLiteral("only")).toInt(0);
    if (only != 0) {
        QList<plan::Location> one;
        for (const plan::Location &l : job.plan.locations)
            if (l.location == only)
                one << l;
        job.plan.locations = one;
        job.from = only;
    }
    int toSend = 0;
    for (const plan::Location &l : job.plan.locations)
        toSend += l.location >= job.from ? 1 : 0;
    if (toSend == 0)
        return error(422, nothingToSendRefusal(QString::number(job.from)));
    if (!m_jobs.start(job))
        return error(409, sendRunningRefusal());
    return json(202, m_jobs.state());
}

Reply PageSite::busStop()
{
    m_bus.stop();
    changed(BusChanged);
    return json(200, m_bus.toJson());
}

Reply PageSite::busStart(const QJsonObject &request)
{
    if (m_jobs.busy())
        return error(409, QStringLiteral("a send holds the device; the bus view can start after it"));
    const int baud = request.value(QStringLiteral("baud")).toInt(bus::DefaultSpeed);
    if (!bus::isLineSpeed(baud) && baud != source::AutoSpeed)
        return error(400, QStringLiteral("baud: valid values: ") + bus::speedsText(QStringLiteral(", ")) +
                              QStringLiteral(", 0 (find it)"));
    QString failure;
    if (!m_bus.start(baud, &failure))
        return error(409, failure);
    changed(BusChanged);
    return json(200, m_bus.toJson());
}

} // namespace web
