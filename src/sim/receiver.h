// The receiving side of a display in programming mode: bytes with their arrival times are cut into
// repetitions and grouped into the ten repetitions of one send, and whatever breaks the frame's rules of
// length, header and pacing is reported as data. What a repetition configures is for a decoder to say; it
// is handed each repetition's bytes.
#pragma once

#include "frame/pacing.h"
#include "frame/sentencebytes.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace sim {

using Micros = std::chrono::microseconds;
using namespace std::chrono_literals;

// The display's pacing: bytes one 50 ms slot apart, and a pause of 100 ms before each repetition, so the
// first byte of a repetition starts 150 ms after the last byte of the previous one.
inline constexpr Micros Slot = frame::ByteSlot;
inline constexpr Micros Pause = frame::RepetitionPause;
// A gap this long ends a repetition that has its ten bytes: halfway between a slot (50 ms) and a slot with
// its pause (150 ms). Before the tenth byte only a gap of a slot and a pause, less the tolerance, ends it,
// so a byte read up to 60 ms late does not cut its repetition in two.
inline constexpr Micros RepetitionGap = 100ms;
// Arrival times are the reader's, not the line's: a reader held up by the scheduler stamps bytes late,
// which lengthens the gap before them and shortens the gaps after. A byte is early only when it came more
// than this before the earliest its slot can be, counted from every byte before it in the repetition (and
// the last of the repetition before): late stamps, one or several together, move no slot later.
inline constexpr Micros Tolerance = 20ms;
// A silence this long ends a send: within a send no gap is longer than a slot and a pause.
inline constexpr Micros SendGap = 1s;

inline constexpr int RepetitionsPerSend = frame::Repetitions;
inline constexpr std::uint8_t Header = frame::FrameStart;
// The longest send a sender makes: ten repetitions of the longest frame.
inline constexpr int LongestSend = RepetitionsPerSend * frame::IconFrameLength;
// More bytes than this before the silence that ends a send cannot be a configuration: a bus, or a sender
// that never stops. The slack keeps a send with a few repetitions too many, or two unpaced sends heard as
// one, for the display to judge.
inline constexpr int FloodBytes = 2 * LongestSend;
// Early bytes listed one by one in a repetition; a frame has no more gaps than this.
inline constexpr int EarlyBytesListed = frame::IconFrameLength - 1;

struct Repetition {
    int number = 0;   // 1 to 10 within its send (more when a send has too many)
    QByteArray bytes; // as received
    Micros start{};   // arrival of the first byte
    // Bytes that came sooner after the byte before than the display's 50 ms allow: index into bytes, gap.
    struct EarlyByte {
        int index;
        Micros gap;
        bool operator==(const EarlyByte &) const = default;
    };
    QList<EarlyByte> earlyBytes; // the first EarlyBytesListed of them
    int moreEarlyBytes = 0;      // the rest, counted
    bool withoutPause = false;   // its first byte came without the 100 ms pause before it
    Micros gapBefore{-1};        // silence before its first byte; negative for the first byte heard
    bool wrongLength() const
    {
        return bytes.size() != frame::FrameLength && bytes.size() != frame::IconFrameLength;
    }
    bool wrongHeader() const { return bytes.isEmpty() || std::uint8_t(bytes[0]) != Header; }
    // The findings above as sentences for a user: empty when the repetition keeps every rule.
    QStringList problems() const;
};

// A stream that cannot be a send: more than FloodBytes before the silence that ends a send. Its bytes are
// counted, not kept, so a bus on the line costs no memory however long it talks.
struct Flood {
    qint64 bytes = 0;
    bool paused = false; // a 100 ms pause came somewhere in it
    Micros start{};      // arrival of its first byte
    Micros end{};        // and of its last
    QByteArray first;    // its first bytes, as received, to show what it was
    static constexpr int FirstBytes = 32;
    // "this is not a display's configuration: N bytes without the 100 ms pause; ..."
    QString text() const;
};

struct Send {
    QList<Repetition> repetitions; // empty for a flood
    std::optional<Flood> flood;
    bool fewerThanTen() const { return repetitions.size() < RepetitionsPerSend; }
    bool moreThanTen() const { return repetitions.size() > RepetitionsPerSend; }
    QStringList problems() const; // the count only; each repetition tells its own, a flood its text()
};

// Feed bytes in arrival order; each repetition is handed over once a gap has closed it, each send once the
// next send has begun, a silence has ended it, or finish() is called. A flood is handed over once, as a send
// with no repetitions, when the silence or finish() ends it.
class Receiver {
public:
    struct Consumer {
        std::function<void(const Repetition &)> repetition;
        std::function<void(const Send &)> send;
    };
    explicit Receiver(Consumer consumer) : m_consumer(std::move(consumer)) {}

    void receive(std::uint8_t byte, Micros at);
    void receive(const QByteArray &bytes, Micros at); // bytes read together, one arrival time
    // Tells the receiver the time now, so that silence closes the last repetition and the last send.
    void advanceTo(Micros now);
    // The stream has ended: hands over whatever is still open.
    void finish();

private:
    struct Timed {
        std::uint8_t byte;
        Micros at;
        Micros gap; // since the byte before; negative for the first byte heard
    };
    void closeChunk();
    void deliver(Repetition r);
    void closeSend();
    void startFlood();

    Consumer m_consumer;
    QList<Timed> m_chunk; // bytes with no repetition gap between them
    Micros m_lastArrival{-1};
    Micros m_chunkGapBefore{-1};      // gap from the previous chunk's last byte; negative for the first
    Micros m_nextDue = Micros::max(); // the earliest the next chunk's first byte is due; max: unknown
    Send m_send;
    qsizetype m_sendBytes = 0; // in m_send's repetitions
    bool m_sendOpen = false;
};

} // namespace sim
