#include "frame/transmitter.h"

namespace frame {

Transmitter::Transmitter(serial::SerialPort &port, Pacing pacing) : m_port(port), m_pacing(pacing) {}

bool Transmitter::SendByte(const std::uint8_t &CharOne)
{
    const Clock::time_point deadline = m_pacing.now() + m_pacing.slot;
    if (!m_port.isOpen() || !m_port.writeByte(CharOne))
        return false;
    m_pacing.wait(deadline);
    return true;
}

std::optional<QString> Transmitter::TransmitSentence(SentenceBytes &s, const Progress &progress)
{
    fillCheckBytes(s);
    m_sent = 0;
    m_repetitions = 0;
    m_stopped = false;
    m_total = Repetitions * int(repetition(s, 1).size()); // every repetition is as long as the first
    int value = 0;
    for (int r = 1; r <= Repetitions; ++r) {
        m_pacing.wait(m_pacing.now() + m_pacing.pause);
        const QByteArray bytes = repetition(s, r);
        for (char c : bytes) {
            if (m_stop && m_stop()) {
                m_stopped = true;
                m_port.close();
                return QStringLiteral("interrupted after %1 of %2 bytes").arg(m_sent).arg(m_total);
            }
            if (!SendByte(std::uint8_t(c))) {
                QString reason = m_port.errorString();
                if (reason.isEmpty())
                    reason = QStringLiteral("the port closed during the send.");
                m_port.close();
                return reason;
            }
            ++m_sent;
        }
        ++m_repetitions;
        value = value + 1 > 9 ? 0 : value + 1;
        if (progress)
            progress(value);
    }
    // A failure reported while the last byte's slot ran out still means that byte may not have gone out.
    if (!m_port.isOpen()) {
        QString reason = m_port.errorString();
        m_port.close();
        return reason.isEmpty() ? QStringLiteral("the port closed during the send.") : reason;
    }
    return std::nullopt;
}

QString failedAfter(const QString &why, int repetitions)
{
    if (repetitions <= 0)
        return why;
    QString reason = why.trimmed();
    while (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return QStringLiteral("%1 after %2 of %3 repetitions; the display may have taken the location")
        .arg(reason)
        .arg(repetitions)
        .arg(Repetitions);
}

} // namespace frame
