#include "web/jobs.h"

#include "serial/qtserialport.h"

#include <QJsonArray>
#include <QThread>

namespace web {

namespace {

QJsonArray numbers(const QList<int> &list)
{
    QJsonArray a;
    for (int n : list)
        a.append(n);
    return a;
}

} // namespace

Jobs::Jobs(QString device, std::function<void()> changed, plan::SendOptions options)
    : m_device(std::move(device)), m_changed(std::move(changed)), m_options(std::move(options))
{
    m_state = {{QStringLiteral("state"), QStringLiteral("idle")}};
    // One thread for every send, made here rather than by the request that asks for a send: a thread
    // takes its maker's priority, and request handling runs at a lower one (web/server.cpp).
    m_thread.reset(QThread::create([this] { serve(); }));
    m_thread->start();
}

void Jobs::serve()
{
    for (;;) {
        JobRequest request;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_quit || m_next.has_value(); });
            if (m_quit)
                return;
            request = std::move(*m_next);
            m_next.reset();
        }
        run(request);
    }
}

Jobs::~Jobs()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
        m_quit = true;
        m_wake.notify_all();
    }
    m_thread->wait();
}

bool Jobs::busy() const
{
    const std::lock_guard lock(m_mutex);
    return m_running;
}

bool Jobs::start(const JobRequest &request)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_running)
            return false;
        m_running = true;
        m_proceed = false;
        m_waiting = false;
        m_stop = false;
    }
    int count = 0;
    for (const plan::Location &l : request.plan.locations)
        count += l.location >= request.from ? 1 : 0;
    setState([&](QJsonObject &s) {
        s = {{QStringLiteral("state"), QStringLiteral("sending")},
             {QStringLiteral("count"), count},
             {QStringLiteral("index"), 0},
             {QStringLiteral("done"), 0},
             {QStringLiteral("total"), count * frame::Repetitions},
             {QStringLiteral("sent"), QJsonArray()}};
    });
    const std::lock_guard lock(m_mutex);
    m_next = request;
    m_wake.notify_all();
    return true;
}

bool Jobs::stop()
{
    const std::lock_guard lock(m_mutex);
    if (!m_running)
        return false;
    m_stop = true;
    m_wake.notify_all();
    return true;
}

bool Jobs::proceed()
{
    const std::lock_guard lock(m_mutex);
    if (!m_waiting)
        return false;
    m_proceed = true;
    m_wake.notify_all();
    return true;
}

QJsonObject Jobs::state() const
{
    const std::lock_guard lock(m_mutex);
    return m_state;
}

void Jobs::setState(const std::function<void(QJsonObject &)> &change)
{
    {
        const std::lock_guard lock(m_mutex);
        change(m_state);
    }
    if (m_changed)
        m_changed();
}

void Jobs::run(JobRequest request)
{
    plan::SendOptions options = m_options;
    options.from = request.from;
    options.stopRequested = [this] { return m_stop.load(); };
    int index = 0;
    int done = 0;
    QJsonArray sent;
    plan::SendEvents events;
    if (request.ask) {
        events.confirm = [&](const plan::Location &l) {
            setState([&](QJsonObject &s) {
                s[QStringLiteral("state")] = QStringLiteral("waiting");
                s[QStringLiteral("location")] = l.location;
            });
            std::unique_lock lock(m_mutex);
            m_waiting = true;
            m_wake.wait(lock, [this] { return m_proceed || m_stop; });
            m_waiting = false;
            const bool go = m_proceed && !m_stop;
            m_proceed = false;
            return go;
        };
    }
    events.starting = [&](const plan::Location &l) {
        ++index;
        setState([&](QJsonObject &s) {
            s[QStringLiteral("state")] = QStringLiteral("sending");
            s[QStringLiteral("location")] = l.location;
            s[QStringLiteral("index")] = index;
            s[QStringLiteral("repetition")] = 0;
            s[QStringLiteral("shows")] = frame::shows(l, vocabulary::product(request.plan.product));
        });
    };
    events.repetition = [&](const plan::Location &, int r) {
        ++done;
        setState([&](QJsonObject &s) {
            s[QStringLiteral("repetition")] = r;
            s[QStringLiteral("done")] = done;
        });
    };
    events.sent = [&](const plan::Location &l) {
        sent.append(l.location);
        setState([&](QJsonObject &s) { s[QStringLiteral("sent")] = sent; });
    };

    if (opening)
        opening();
    plan::SendReport report;
    {
        serial::QtSerialPort port;
        report = plan::sendPlan(request.plan, port, m_device, options, events);
    }
    if (closed)
        closed();
    setState([&](QJsonObject &s) {
        s[QStringLiteral("state")] = report.complete() ? QStringLiteral("done")
                                     : report.stopped  ? QStringLiteral("stopped")
                                                       : QStringLiteral("failed");
        if (report.cut != 0)
            s[QStringLiteral("cut")] = report.cut;
        s[QStringLiteral("sent")] = numbers(report.sent);
        s[QStringLiteral("notSent")] = numbers(report.notSent);
        s[QStringLiteral("skipped")] = numbers(report.skipped);
        s[QStringLiteral("failure")] = report.failure;
        if (!report.complete())
            s[QStringLiteral("resumeFrom")] = report.notSent.first();
        else
            s.remove(QStringLiteral("resumeFrom"));
    });
    const std::lock_guard lock(m_mutex);
    m_report = report;
    m_running = false;
    m_wake.notify_all();
}

std::optional<plan::SendReport> Jobs::end()
{
    if (!stop())
        return std::nullopt;
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return !m_running; });
    return m_report;
}

} // namespace web
