#include "frame/sendstep.h"

namespace frame {

QString SendReport::failure() const
{
    switch (outcome) {
    case SendOutcome::Sent:
        return {};
    case SendOutcome::Failed:
        return failedAfter(why, repetitions);
    case SendOutcome::Incomplete:
    case SendOutcome::NotOpened:
    case SendOutcome::Stopped:
        break;
    }
    return why;
}

std::optional<QString> open(serial::SerialPort &port, const Destination &to, const SendEvents &events)
{
    if (const auto *device = std::get_if<Device>(&to)) {
        if (port.isOpen())
            port.close();
        if (port.open(device->path))
            return std::nullopt;
        return QStringLiteral("cannot open %1").arg(port.errorString());
    }
    QString why;
    if (serial::OpenComPort(port, std::get<ComPort>(to).number, events.askPort, events.portChanged, &why,
                            events.admitPort))
        return std::nullopt;
    return why;
}

SendReport transmit(serial::SerialPort &port, SentenceBytes &s, const SendEvents &events,
                    const Pacing &pacing)
{
    Transmitter transmitter(port, pacing);
    transmitter.setStopRequested(events.stopRequested);
    SendProgress progress;
    progress.bytesTotal = Repetitions * int(repetition(s, 1).size());
    if (events.started)
        events.started(progress);
    const std::optional<QString> failure = transmitter.TransmitSentence(s, [&](int) {
        progress.repetitions = transmitter.repetitionsSent();
        progress.bytes = transmitter.bytesSent();
        if (events.progress)
            events.progress(progress);
    });

    SendReport report;
    report.repetitions = transmitter.repetitionsSent();
    report.bytes = transmitter.bytesSent();
    report.bytesTotal = transmitter.bytesTotal();
    if (failure) {
        report.outcome = transmitter.stopped() ? SendOutcome::Stopped : SendOutcome::Failed;
        report.why = *failure;
    }
    return report;
}

SendReport send(serial::SerialPort &port, const Destination &to, SentenceBytes &s, const SendEvents &events,
                const Pacing &pacing)
{
    if (std::optional<QString> why = open(port, to, events)) {
        SendReport report;
        report.outcome = SendOutcome::NotOpened;
        report.why = *why;
        return report;
    }
    return transmit(port, s, events, pacing);
}

SendReport send(serial::SerialPort &port, const Destination &to, const Configuration &c,
                const vocabulary::Product &product, const SendEvents &events, const Pacing &pacing)
{
    SentenceBytes s;
    if (const EncodeError missing = encode(c, product, s)) {
        SendReport report;
        report.outcome = SendOutcome::Incomplete;
        report.missing = missing;
        report.why =
            QStringLiteral("no entry is chosen in the \"%1\" list").arg(vocabulary::listCaption(*missing));
        return report;
    }
    return send(port, to, s, events, pacing);
}

} // namespace frame
