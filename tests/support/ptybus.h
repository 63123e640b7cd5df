// A bus on a pseudo-terminal pair made by socat: the test talks into one end as the instruments would, and
// the program listens on the other as on its serial port.
#pragma once

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

class PtyBus {
public:
    ~PtyBus()
    {
        if (m_talker >= 0)
            ::close(m_talker);
        if (m_socat.state() != QProcess::NotRunning) {
            m_socat.kill();
            m_socat.waitForFinished(3000);
        }
    }

    // Starts socat and opens the talker's end; false with why (socat missing, an end that never came).
    bool start(QString *why)
    {
        m_socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=%1").arg(end("bus")),
                                                QStringLiteral("pty,raw,echo=0,link=%1").arg(device())});
        if (!m_socat.waitForStarted(5000)) {
            *why = QStringLiteral("socat is needed: apt-get install socat");
            return false;
        }
        for (int i = 0; i < 250 && !(QFile::exists(end("bus")) && QFile::exists(device())); ++i)
            QTest::qWait(20);
        m_talker = ::open(QFile::encodeName(end("bus")).constData(), O_WRONLY | O_NOCTTY);
        if (m_talker < 0)
            *why = QStringLiteral("socat made no pseudo-terminal pair");
        return m_talker >= 0;
    }

    // The end the program opens as its serial port.
    QString device() const { return end("pc"); }
    // Writes all of bytes into the bus; false once the pair is gone.
    bool talk(QByteArrayView bytes) const
    {
        return ::write(m_talker, bytes.data(), size_t(bytes.size())) == ssize_t(bytes.size());
    }

private:
    QString end(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

    QTemporaryDir m_dir;
    QProcess m_socat;
    int m_talker = -1;
};
