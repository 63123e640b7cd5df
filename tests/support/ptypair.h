// A pseudo-terminal pair made by socat: the program opens one end as its serial port, a reader thread
// takes every byte from the other end with the time it arrived.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

class PtyPair {
public:
    using Clock = std::chrono::steady_clock;

    static bool available() { return !QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty(); }

    // Starts socat and the reader; false when either failed.
    bool start()
    {
        m_socat.setProgram(QStringLiteral("socat"));
        m_socat.setArguments({QStringLiteral("pty,raw,echo=0,link=%1").arg(sendEnd()),
                              QStringLiteral("pty,raw,echo=0,link=%1").arg(receiveEnd())});
        m_socat.start();
        if (!m_socat.waitForStarted(5000))
            return false;
        for (int i = 0; i < 100 && !(QFile::exists(sendEnd()) && QFile::exists(receiveEnd())); ++i)
            QTest::qWait(20);
        if (!QFile::exists(receiveEnd()))
            return false;
        m_fd = ::open(QFile::encodeName(receiveEnd()).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return false;
        termios t{};
        if (::tcgetattr(m_fd, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_fd, TCSANOW, &t);
        }
        m_reader = std::thread([this] { read(); });
        return true;
    }

    ~PtyPair() { stop(); }

    void stop()
    {
        m_stop = true;
        if (m_reader.joinable())
            m_reader.join();
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        killSocat();
    }

    void killSocat()
    {
        if (m_socat.state() != QProcess::NotRunning) {
            m_socat.kill();
            m_socat.waitForFinished(3000);
        }
    }

    QString sendEnd() const { return m_dir.filePath(QStringLiteral("send")); }
    QString receiveEnd() const { return m_dir.filePath(QStringLiteral("receive")); }

    QByteArray received() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_bytes;
    }
    std::vector<Clock::time_point> arrivals() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_times;
    }
    // Waits until n bytes arrived or the time is up.
    bool waitFor(int n, int ms)
    {
        for (int waited = 0; waited < ms; waited += 20) {
            if (received().size() >= n)
                return true;
            QTest::qWait(20);
        }
        return received().size() >= n;
    }

private:
    void read()
    {
        char buffer[256];
        while (!m_stop) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            const Clock::time_point now = Clock::now();
            if (n <= 0) {
                if (n == 0 || (errno != EAGAIN && errno != EINTR))
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            for (ssize_t i = 0; i < n; ++i) {
                m_bytes.append(buffer[i]);
                m_times.push_back(now);
            }
        }
    }

    QTemporaryDir m_dir;
    QProcess m_socat;
    int m_fd = -1;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QByteArray m_bytes;
    std::vector<Clock::time_point> m_times;
};
