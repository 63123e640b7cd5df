// A pseudo-terminal pair made here with openpty(), for a program that plays the display: it reads one side,
// and another program opens the far end as its serial port.
#pragma once

#include "serial/receiveport.h"

#include <QByteArrayView>

namespace serial {

// A pseudo-terminal pair in raw mode: this side reads, the far end is a path another program opens as its
// serial port (the window's port dialog, or mdconfig-cli send --device). The far end is kept open here too,
// so that a sender closing it does not end the pair.
class PseudoTerminal : public ReceivePort {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal() override;
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool open(); // false with errorString() set when the system has no pseudo-terminal to give
    QString farEnd() const { return m_farEnd; }
    QByteArray read(int waitMs) override;
    bool failed() const override { return m_failed; }
    QString errorString() const override { return m_error; }
    void close() override;

    // For playing into the pair: this side writes, and another program reads the far end. Once the far end
    // is let go here, whether another program holds it open can be told.
    void releaseFarEnd();
    // Whether a program holds the far end open (only after releaseFarEnd()).
    bool farEndHeld() const;
    // Waits up to waitMs for room and writes what fits; the count written, or -1 when the pair failed.
    qsizetype write(QByteArrayView bytes, int waitMs);

private:
    int m_near = -1;
    int m_far = -1;
    QString m_farEnd;
    QString m_error;
    bool m_failed = false;
};

} // namespace serial
