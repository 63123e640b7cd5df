// The speed search over a port only one thread may touch, such as the main window's, lent to the bus
// monitor: the search runs on a thread of its own, so the window never waits for it, while the port's
// thread, on its timer, sets each speed the search asks for and hands over what came.
#pragma once

#include "source/speedsearch.h"

#include <QByteArray>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace source {

class LentSpeedSearch {
public:
    // Sets the port to baud; false with why when it will not.
    using SetSpeed = std::function<bool(int baud, QString *why)>;
    // What came since the last call.
    using Read = std::function<QByteArray()>;

    explicit LentSpeedSearch(SpeedSearchTiming timing = {});
    // Stops the search and waits for its thread, which then never waits long.
    ~LentSpeedSearch();
    LentSpeedSearch(const LentSpeedSearch &) = delete;
    LentSpeedSearch &operator=(const LentSpeedSearch &) = delete;

    // On the port's thread, on its timer: sets the speed asked for, if one is, and hands on what came.
    // The result once the search has finished (its port null: the speed is set on the lent port itself).
    std::optional<SpeedFound> serve(const SetSpeed &setSpeed, const Read &read);

private:
    class FedPort;
    std::unique_ptr<serial::ReceivePort> open(int baud, QString *why);
    QByteArray take(int waitMs);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_asked = 0;         // the speed the search asked for last; 0 before it asks
    bool m_answered = false; // m_asked is set: what comes now is heard at it
    bool m_opened = false;   // and the port took it
    QString m_why;
    QByteArray m_bytes;
    bool m_stop = false;
    std::optional<SpeedFound> m_found;
    std::thread m_thread;
};

} // namespace source
