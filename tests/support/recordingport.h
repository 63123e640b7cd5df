// A serial port that records what is written and when, and fails where a test tells it to.
#pragma once

#include "frame/pacing.h"
#include "serial/serialport.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QStringList>

#include <functional>

class RecordingPort : public serial::SerialPort {
public:
    bool open(const QString &device) override
    {
        close();
        opened << device;
        if (refused.contains(device)) {
            m_error = device + QStringLiteral(": permission denied.");
            return false;
        }
        m_open = true;
        m_writes = 0;
        return true;
    }
    bool isOpen() const override { return m_open; }
    bool writeByte(std::uint8_t byte) override
    {
        if (!m_open)
            return false;
        if (failAfter >= 0 && m_writes >= failAfter) {
            m_error = QStringLiteral("the device was removed.");
            return false;
        }
        ++m_writes;
        written.append(char(byte));
        times << (clock ? clock() : frame::Clock::now());
        return true;
    }
    void close() override
    {
        if (m_open)
            ++closes;
        m_open = false;
    }
    QString errorString() const override { return m_error; }

    QStringList opened;
    QSet<QString> refused;
    QByteArray written;
    QList<frame::Clock::time_point> times;
    std::function<frame::Clock::time_point()> clock; // when set, the time each byte is recorded at
    int failAfter = -1;                              // bytes accepted before every further write fails
    int closes = 0;

private:
    bool m_open = false;
    int m_writes = 0;
    QString m_error;
};
