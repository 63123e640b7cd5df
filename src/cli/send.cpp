// send: composes a send and writes it to a serial port, paced as the window does.
#include "cli/adaptercheck.h"
#include "cli/cli.h"
#include "cli/interrupt.h"
#include "cli/output.h"
#include "cli/sentence.h"
#include "cli/verbs.h"
#include "frame/sendstep.h"
#include "serial/devicepath.h"
#include "serial/portmap.h"
#include "serial/qtserialport.h"

namespace cli {
namespace {

QString progressLine(int done)
{
    return QLatin1Char('\r') + bar(done, frame::Repetitions, 10) + QLatin1Char(' ') +
           QString::number(done).rightJustified(2) + QStringLiteral("/10");
}

} // namespace

int send(const QStringList &arguments, Io &io)
{
    Options o(declaration(QStringLiteral("send")));
    o.parse(arguments);
    if (o.helpAsked()) {
        io.out << usageText();
        return Ok;
    }
    frame::SentenceBytes s = composeFromOptions(o, io.err);
    const Target target = targetOf(o);
    const bool anyAdapter = anyAdapterOf(o, target);
    QString failure;
    const QString device = deviceOf(target, &failure);
    if (device.isEmpty()) {
        io.err << "mdconfig-cli: " << failure << '\n';
        return Failed;
    }
    if (!admitTarget(target, anyAdapter, io))
        return Failed;

    if (const std::optional<QString> note = serial::builtInWhileUsbNote(device))
        io.err << "mdconfig-cli: " << *note << '\n' << Qt::flush;
    // The bar's line stands from the moment the port is open and ends before any message on the other
    // stream.
    const bool json = o.has(QStringLiteral("--json"));
    const bool showBar = io.outIsTerminal && !json;
    const auto show = [&](const frame::SendProgress &p) {
        if (showBar)
            io.out << progressLine(p.repetitions) << Qt::flush;
        else if (p.repetitions > 0 && json)
            io.out << jsonLine({{"repetition", p.repetitions}, {"of", frame::Repetitions}}) << '\n'
                   << Qt::flush;
        else if (p.repetitions > 0)
            io.out << "repetition " << p.repetitions << " of 10 sent\n" << Qt::flush;
    };
    frame::SendEvents events;
    events.started = show;
    events.progress = show;
    events.stopRequested = interruptRequested;
    serial::QtSerialPort port;
    const frame::SendReport report = frame::send(port, frame::Device{device}, s, events);
    if (showBar && report.bytesTotal > 0)
        io.out << '\n' << Qt::flush;
    switch (report.outcome) {
    case frame::SendOutcome::Sent:
        break;
    case frame::SendOutcome::Incomplete:
    case frame::SendOutcome::NotOpened:
        io.err << "mdconfig-cli: " << report.failure() << '\n';
        return Failed;
    case frame::SendOutcome::Stopped:
        io.err << "mdconfig-cli: " << report.failure()
               << "; the display may hold a part frame, send it again\n";
        return Failed;
    case frame::SendOutcome::Failed:
        io.err << "mdconfig-cli: the sentence was not sent: " << report.failure() << '\n';
        return Failed;
    }
    port.close();
    if (json) {
        io.out << jsonLine({{"sent", true},
                            {"bytes", report.bytes},
                            {"repetitions", report.repetitions},
                            {"device", serial::printable(device)},
                            {"port", serial::kindText(serial::describeDevice(device))}})
               << '\n';
        return Ok;
    }
    io.out << "sent " << report.bytes << " bytes to " << serial::portLine(serial::describeDevice(device))
           << '\n';
    return Ok;
}

} // namespace cli
