#include "app/serialline.h"

#include "app/texts.h"
#include "serial/portopener.h"

namespace app {

QString holderText(Holder holder)
{
    switch (holder) {
    case Holder::None:
        return QStringLiteral("nothing");
    case Holder::Send:
        return QStringLiteral("a send");
    case Holder::PlanSend:
        return QStringLiteral("the plan's send");
    case Holder::TestPattern:
        return QStringLiteral("the test pattern");
    case Holder::Monitor:
        return QStringLiteral("the bus monitor");
    case Holder::PageJob:
        return QStringLiteral("a job of the page");
    }
    return {};
}

bool writes(Holder holder)
{
    return holder != Holder::None && holder != Holder::Monitor;
}

SerialLine::SerialLine(Program &program, serial::SerialPort &port, QObject *parent)
    : QObject(parent), m_program(program), m_port(port)
{
}

void SerialLine::setNumber(std::int16_t number)
{
    m_program.ComPortNumber = number;
    emit numberChanged(number);
}

serial::PortDevice SerialLine::device() const
{
    return serial::portDevice(number());
}

QString SerialLine::devicePath() const
{
    return serial::deviceForPort(number());
}

std::optional<QString> SerialLine::whyNot() const
{
    if (!devicePath().isEmpty())
        return std::nullopt;
    return serial::noDeviceText(number()) +
           QStringLiteral(" Choose one in the main window under Edit > COM Port.");
}

QString SerialLine::describe() const
{
    const serial::PortDevice port = device();
    return port.device.isEmpty() ? *whyNot() : serial::portLine(port);
}

std::optional<QString> SerialLine::claim(Holder who)
{
    if (who == Holder::None)
        return std::nullopt;
    if (m_holder != Holder::None && (who == Holder::Monitor || writes(m_holder)))
        return QStringLiteral("The port is in use by %1.").arg(holderText(m_holder));
    if (writes(who) && m_check) {
        if (std::optional<QString> refused = m_check(who, *this))
            return refused;
    }
    m_monitorWaits = m_holder == Holder::Monitor;
    setHolder(who);
    return std::nullopt;
}

void SerialLine::release(Holder who)
{
    if (who == Holder::Monitor && m_monitorWaits) {
        // The monitor stopped while a writer had the line: nothing to give back to it.
        m_monitorWaits = false;
        return;
    }
    if (who != m_holder || who == Holder::None)
        return;
    const Holder next = m_monitorWaits ? Holder::Monitor : Holder::None;
    m_monitorWaits = false;
    setHolder(next);
}

void SerialLine::setHolder(Holder holder)
{
    m_holder = holder;
    emit holderChanged(holder);
}

frame::SendReport SerialLine::transmitSentence(frame::SendEvents events)
{
    events.portChanged = [this, told = std::move(events.portChanged)](std::int16_t number) {
        emit numberChanged(number);
        if (told)
            told(number);
    };
    return app::transmitSentence(m_program, m_port, std::move(events));
}

QString SerialLine::notSentMessage(const frame::SendReport &report) const
{
    return notSentText(report.failure()) + QStringLiteral("\r\n\r\nPort: ") + serial::portLine(device());
}

} // namespace app
