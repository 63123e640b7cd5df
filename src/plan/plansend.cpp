#include "plan/plansend.h"

#include <algorithm>

namespace plan {

SendReport sendPlan(const Plan &plan, serial::SerialPort &port, const QString &device,
                    const SendOptions &options, const SendEvents &events)
{
    SendReport report;
    QList<Location> toSend;
    for (const Location &l : plan.locations) {
        if (l.location < options.from)
            report.skipped << l.location;
        else
            toSend << l;
    }
    const auto stopAt = [&](qsizetype index, const QString &why) {
        for (qsizetype i = index; i < toSend.size(); ++i)
            report.notSent << toSend[i].location;
        report.failure = why;
        port.close();
        return report;
    };
    if (toSend.isEmpty())
        return report;
    if (const std::optional<QString> why = frame::open(port, frame::Device{device}))
        return stopAt(0, *why);

    const auto stopped = [&] { return options.stopRequested && options.stopRequested(); };
    for (qsizetype i = 0; i < toSend.size(); ++i) {
        const Location &l = toSend[i];
        if (i > 0 && options.gap.count() > 0) {
            // On the send's own clock, in short steps, so that a stop asked for during a long gap is heard
            // at once.
            const frame::Pacing &pacing = options.pacing;
            const frame::Clock::time_point end = pacing.now() + options.gap;
            while (pacing.now() < end && !stopped())
                pacing.wait(std::min(end, pacing.now() + std::chrono::milliseconds(50)));
        }
        if (stopped()) {
            report.stopped = true;
            return stopAt(i, QStringLiteral("interrupted before location %1").arg(l.location));
        }
        const bool confirmed = !events.confirm || events.confirm(l);
        if (stopped()) { // while the user was asked
            report.stopped = true;
            return stopAt(i, QStringLiteral("interrupted before location %1").arg(l.location));
        }
        if (!confirmed)
            return stopAt(i,
                          QStringLiteral("stopped before location %1: it was not confirmed").arg(l.location));
        if (events.starting)
            events.starting(l);
        frame::SentenceBytes s;
        if (const frame::EncodeError missing = compose(plan.product, l, s))
            return stopAt(i, QStringLiteral("location %1 failed: no entry is chosen in the \"%2\" list")
                                 .arg(l.location)
                                 .arg(vocabulary::listCaption(*missing)));
        frame::SendEvents step;
        step.stopRequested = options.stopRequested;
        step.progress = [&](const frame::SendProgress &p) {
            if (events.repetition)
                events.repetition(l, p.repetitions);
        };
        const frame::SendReport sent = frame::transmit(port, s, step, options.pacing);
        if (!sent.sent()) {
            report.cut = sent.bytes > 0 ? l.location : 0;
            report.stopped = sent.outcome == frame::SendOutcome::Stopped;
            // As `send` says it, with the location it was cut in.
            return stopAt(i,
                          report.stopped
                              ? QStringLiteral("%1 of location %2").arg(sent.failure()).arg(l.location)
                              : QStringLiteral("location %1 failed: %2").arg(l.location).arg(sent.failure()));
        }
        report.sent << l.location;
        if (events.sent)
            events.sent(l);
    }
    port.close();
    return report;
}

QString locationRanges(const QList<int> &numbers)
{
    QStringList parts;
    for (qsizetype i = 0; i < numbers.size();) {
        qsizetype j = i;
        while (j + 1 < numbers.size() && numbers[j + 1] == numbers[j] + 1)
            ++j;
        parts << (j > i ? QStringLiteral("%1-%2").arg(numbers[i]).arg(numbers[j])
                        : QString::number(numbers[i]));
        i = j + 1;
    }
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

QString notSentText(const QList<int> &numbers)
{
    return numbers.size() == 1 ? QStringLiteral("location %1 was not sent").arg(numbers.first())
                               : QStringLiteral("locations %1 were not sent").arg(locationRanges(numbers));
}

} // namespace plan
