// The page's one job at a time: a plan send on a thread of its own (made with the page, at the process's
// priority), paced on its own clock, so the threads that answer requests never hold up a byte. The page asks
// for it, stops it, lets it go on after "ask before each location", and reads its progress.
#pragma once

#include "plan/plansend.h"

#include <QJsonObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QThread;

namespace web {

struct JobRequest {
    plan::Plan plan;
    int from = plan::FirstLocation;
    bool ask = false; // wait for Continue before each location
};

class Jobs {
public:
    // `changed` is called (on any thread) whenever the state changes; `opening` before the device is opened
    // and `closed` after, so a listener on the same device can step aside.
    Jobs(QString device, std::function<void()> changed, plan::SendOptions options = {});
    ~Jobs();

    std::function<void()> opening;
    std::function<void()> closed;

    // false when a job is running: one at a time.
    bool start(const JobRequest &request);
    // Ends the job after the byte on the wire (or at once while it waits); false when none runs.
    bool stop();
    // Lets a job that waits before a location go on; false when none waits.
    bool proceed();
    bool busy() const;
    // Stops the job that runs (after the byte on the wire) and waits for its end: its report, or nothing
    // when none ran. For a service that is asked to end.
    std::optional<plan::SendReport> end();

    // {"state": "idle"|"sending"|"waiting"|"done"|"failed"|"stopped", "location", "repetition", "index",
    //  "count", "done", "total", "sent", "notSent", "skipped", "failure", "resumeFrom", "cut": the location
    //  a stop or a fault cut in the middle, when one was}
    QJsonObject state() const;

private:
    void serve();
    void run(JobRequest request);
    void setState(const std::function<void(QJsonObject &)> &change);

    QString m_device;
    std::function<void()> m_changed;
    plan::SendOptions m_options;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    QJsonObject m_state;
    plan::SendReport m_report; // the last job's
    bool m_running = false;
    bool m_waiting = false;
    bool m_proceed = false;
    bool m_quit = false;
    std::optional<JobRequest> m_next;
    std::atomic<bool> m_stop{false};
    std::unique_ptr<QThread> m_thread;
};

} // namespace web
