#include "sim/receiver.h"

#include <QtGlobal>

namespace sim {
namespace {

// A due time not known: later than any, so it gives way to any other.
constexpr Micros Unknown = Micros::max();

qint64 ms(Micros m)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(m).count();
}

// Where the chunk's repetitions begin: a chunk that holds several whole frames back to back, each starting
// with "$", came without the pauses between them; anything else stays one repetition.
QList<qsizetype> frameStarts(const QByteArray &bytes)
{
    const qsizetype n = bytes.size();
    if (n > frame::IconFrameLength) {
        for (const qsizetype length : {frame::FrameLength, frame::IconFrameLength}) {
            if (n % length != 0)
                continue;
            QList<qsizetype> starts;
            for (qsizetype i = 0; i < n; i += length) {
                if (std::uint8_t(bytes[i]) != Header)
                    break;
                starts << i;
            }
            if (starts.size() == n / length)
                return starts;
        }
    }
    return {0};
}

} // namespace

QStringList Repetition::problems() const
{
    QStringList p;
    if (wrongHeader()) {
        p << (bytes.isEmpty() ? QStringLiteral("no bytes")
                              : QStringLiteral("header 0x%1 where a frame starts with \"$\" (0x24)")
                                    .arg(frame::hexByte(std::uint8_t(bytes[0]))));
    }
    if (wrongLength())
        p << QStringLiteral("%1 bytes where a frame has 10, or 11 with an icon byte").arg(bytes.size());
    if (withoutPause) {
        p << QStringLiteral("came without its %1 ms pause (%2 ms after the byte before)")
                 .arg(ms(Pause))
                 .arg(ms(gapBefore));
    }
    for (const EarlyByte &e : earlyBytes) {
        p << QStringLiteral("byte %1 came %2 ms after the one before, closer than the display's %3 ms")
                 .arg(e.index + 1)
                 .arg(ms(e.gap))
                 .arg(ms(Slot));
    }
    if (moreEarlyBytes > 0) {
        p << QStringLiteral("%1 more bytes came closer than the display's %2 ms to the one before")
                 .arg(moreEarlyBytes)
                 .arg(ms(Slot));
    }
    return p;
}

QString Flood::text() const
{
    const QString heard =
        paused ? QStringLiteral("%1 bytes in %2 s without the %3 s of silence that ends a send")
                     .arg(bytes)
                     .arg(QString::number(double(ms(end - start)) / 1000, 'f', 1))
                     .arg(std::chrono::duration_cast<std::chrono::seconds>(SendGap).count())
               : QStringLiteral("%1 bytes without the %2 ms pause").arg(bytes).arg(ms(Pause));
    return QStringLiteral("this is not a display's configuration: %1 (a send is %2 bytes at most); is this a "
                          "bus rather than a sender?")
        .arg(heard)
        .arg(LongestSend);
}

QStringList Send::problems() const
{
    if (flood || repetitions.size() == RepetitionsPerSend) // a flood says what it is itself
        return {};
    return {
        QStringLiteral("%1 repetitions where a send has %2").arg(repetitions.size()).arg(RepetitionsPerSend)};
}

void Receiver::receive(std::uint8_t byte, Micros at)
{
    Micros gap{-1};
    if (m_lastArrival >= Micros::zero()) {
        gap = at - m_lastArrival;
        const bool complete = m_chunk.size() >= 10 || gap >= Slot + Pause - Tolerance;
        if (gap >= RepetitionGap && !m_chunk.isEmpty() && complete)
            closeChunk();
        if (gap >= SendGap) {
            if (!m_chunk.isEmpty())
                closeChunk();
            closeSend();
        }
    }
    m_lastArrival = at;
    if (m_send.flood) {
        Flood &f = *m_send.flood;
        ++f.bytes;
        f.end = at;
        f.paused = f.paused || gap >= RepetitionGap;
        return;
    }
    m_chunk.append({byte, at, gap});
    if (m_sendBytes + m_chunk.size() > FloodBytes)
        startFlood();
}

void Receiver::receive(const QByteArray &bytes, Micros at)
{
    for (const char c : bytes)
        receive(std::uint8_t(c), at);
}

void Receiver::advanceTo(Micros now)
{
    if (m_lastArrival < Micros::zero())
        return;
    if (!m_chunk.isEmpty() && now - m_lastArrival >= RepetitionGap)
        closeChunk();
    if (now - m_lastArrival >= SendGap)
        closeSend();
}

void Receiver::finish()
{
    if (!m_chunk.isEmpty())
        closeChunk();
    closeSend();
    m_lastArrival = Micros(-1);
    m_nextDue = Unknown;
}

void Receiver::closeChunk()
{
    QByteArray bytes;
    for (const Timed &t : m_chunk)
        bytes.append(char(t.byte));
    const auto gap = [&](qsizetype k) { return m_chunk[k].gap; };
    const qsizetype n = m_chunk.size();
    const QList<qsizetype> starts = frameStarts(bytes);

    // A byte's slot comes no sooner than one slot after the byte before was written, and a stamp is never
    // earlier than the byte: so the earliest a byte can be due is one slot after the earliest of the byte
    // before's stamp and its own earliest due time (and the pause more at a repetition's start). A byte
    // is early, or a pause short, only when it came more than the tolerance before that: a reader held up
    // by the scheduler stamps bytes late, even several together, which moves no due time later.
    QList<Micros> due(n);
    for (qsizetype k = 0; k < n; ++k)
        due[k] = k == 0 ? m_nextDue : std::min(due[k - 1], m_chunk[k - 1].at) + Slot;
    QList<Repetition::EarlyByte> early;
    for (qsizetype k = 1; k < n; ++k) {
        if (m_chunk[k].at + Tolerance < due[k])
            early.append({int(k), gap(k)});
    }
    const auto pauseShort = [&](qsizetype k) {
        if (k == 0 && due[0] == Unknown)
            return false;
        const Micros pauseDue = k == 0 ? due[0] : due[k] + Pause;
        return m_chunk[k].at + Tolerance < pauseDue;
    };

    for (qsizetype i = 0; i < starts.size(); ++i) {
        const qsizetype from = starts[i];
        const qsizetype to = i + 1 < starts.size() ? starts[i + 1] : bytes.size();
        Repetition r;
        r.bytes = bytes.mid(from, to - from);
        r.start = m_chunk[from].at;
        r.gapBefore = gap(from);
        r.withoutPause = pauseShort(from);
        for (const Repetition::EarlyByte &e : early) {
            if (e.index <= from || e.index >= to)
                continue;
            if (r.earlyBytes.size() < EarlyBytesListed)
                r.earlyBytes.append({int(e.index - from), e.gap});
            else
                ++r.moreEarlyBytes;
        }
        deliver(r);
    }
    m_nextDue = std::min(due[n - 1], m_chunk[n - 1].at) + Slot + Pause;
    m_chunk.clear();
}

void Receiver::deliver(Repetition r)
{
    const bool wellFormed = !r.wrongLength() && !r.wrongHeader();
    if (m_sendOpen && wellFormed) {
        const Repetition *reference = nullptr;
        for (const Repetition &s : m_send.repetitions) {
            if (!s.wrongLength() && !s.wrongHeader()) {
                reference = &s;
                break;
            }
        }
        // Another frame begins another send; so does the same frame once ten have come and this one carries
        // the first repetition's check byte again.
        const bool otherFrame = reference && reference->bytes.chopped(1) != r.bytes.chopped(1);
        const bool sameAgain = m_send.repetitions.size() >= RepetitionsPerSend && reference &&
                               reference == &m_send.repetitions.first() && reference->bytes == r.bytes;
        if (otherFrame || sameAgain)
            closeSend();
    }
    m_sendOpen = true;
    r.number = int(m_send.repetitions.size()) + 1;
    m_sendBytes += r.bytes.size();
    m_send.repetitions.append(r);
    if (m_consumer.repetition)
        m_consumer.repetition(r);
}

void Receiver::closeSend()
{
    if (!m_sendOpen)
        return;
    const Send done = m_send;
    m_send = Send{};
    m_sendBytes = 0;
    m_sendOpen = false;
    if (done.flood)
        m_nextDue = Unknown; // no repetition was kept to be the one before
    if (m_consumer.send)
        m_consumer.send(done);
}

void Receiver::startFlood()
{
    // What was kept of the send so far is counted and dropped, the first bytes aside.
    Flood f;
    f.bytes = m_sendBytes + m_chunk.size();
    f.paused = !m_send.repetitions.isEmpty(); // a pause closed each repetition kept
    f.start = m_send.repetitions.isEmpty() ? m_chunk.first().at : m_send.repetitions.first().start;
    f.end = m_chunk.last().at;
    for (const Repetition &r : std::as_const(m_send.repetitions))
        f.first += r.bytes;
    for (qsizetype k = 0; k < m_chunk.size() && f.first.size() < Flood::FirstBytes; ++k)
        f.first += char(m_chunk[k].byte);
    f.first.truncate(Flood::FirstBytes);
    m_send = Send{};
    m_send.flood = f;
    m_sendBytes = 0;
    m_sendOpen = true;
    m_chunk = {};
}

} // namespace sim
