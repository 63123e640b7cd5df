// The page's bus view: the device's receive line read on a thread of its own while no send needs the
// device, the sentences counted per talker and sentence, and each sentence kept per variant where its
// meaning alternates (MWV relative and true, XDR per transducer, RPM per shaft or engine), so the page can
// warn before a field that would show two things in turn is chosen. Bounded however long it runs.
#pragma once

#include "bus/monitor.h"

#include <QJsonObject>
#include <QMap>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

namespace web {

// What tells the variants of a sentence apart: empty for a sentence whose fields always mean the same.
QString variantOf(const bus::Sentence &s);

// The table the page shows, fed with sentences; no port, no thread.
class BusTable {
public:
    static constexpr int MaxRows = 200;
    static constexpr int MaxVariants = 8;

    void add(const bus::Sentence &s);
    // {"rows": [{"talker", "sentence", "listed", "reason", "count", "variants": [{"variant", "text",
    //  "fields": [...]}], "warning"}], "others": N}
    QJsonObject toJson() const;

private:
    struct Row {
        bus::Sentence first;
        qint64 count = 0;
        qint64 badChecksum = 0;
        QMap<QString, bus::Sentence> variants;
    };
    QMap<QString, Row> m_rows;
    qint64 m_others = 0;
};

class BusListener {
public:
    BusListener(QString device, std::function<void()> changed);
    ~BusListener();

    // Starts reading at the baud (4800 or 38400); false with why when it cannot.
    bool start(int baud, QString *failure);
    void stop();
    bool running() const { return m_running; }
    int baud() const { return m_baud; }
    // Steps aside for a send and comes back after it.
    void pause();
    void resume();

    QJsonObject toJson() const;

private:
    void run();

    QString m_device;
    std::function<void()> m_changed;
    int m_baud = 4800;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_paused{false};
    QString m_failure;
    bool m_wrongSpeed = false;
    mutable std::mutex m_mutex;
    // Start, stop, pause and resume come from the threads that answer requests and from the send's own.
    std::recursive_mutex m_control;
    BusTable m_table;
    std::unique_ptr<QThread> m_thread;
};

} // namespace web
