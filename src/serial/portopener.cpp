#include "serial/portopener.h"

#include "serial/portmap.h"
#include "vocabulary/number.h"

#include <cmath>

namespace serial {

QString signPosition(int number)
{
    return number < 0 ? QString::number(number) : QLatin1Char(' ') + QString::number(number);
}

QString openErrorPrompt(int comPortNumber)
{
    return QStringLiteral("Error encountered while trying to open COM") +
           signPosition(comPortNumber).right(2) +
           QStringLiteral(
               ".\r\nPlease check COM port number.\r\n\r\nEnter a new COM port number or click Cancel.");
}

QString noDeviceText(int comPortNumber)
{
    if (comPortNumber == 0)
        return QStringLiteral("No port is chosen (\"None\").");
    return QStringLiteral("COM%1 names no serial device on this computer.").arg(comPortNumber);
}

QString openFailureDetail(int comPortNumber, const QString &device, const QString &reason)
{
    if (comPortNumber == 0 || device.isEmpty())
        return noDeviceText(comPortNumber);
    return QStringLiteral("Tried %1").arg(reason);
}

QString outOfRangeDetail(const QString &answer)
{
    return QStringLiteral("\"%1\" names no COM port: the numbers are 0 (None) to %2.")
        .arg(answer.trimmed())
        .arg(MaxPortNumber);
}

std::optional<std::int16_t> parseAnswer(const QString &answer)
{
    QString compact;
    for (QChar c : answer) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t'))
            compact += c;
    }
    // No number at the start reads as 0, "None".
    const std::optional<vocabulary::LeadingNumber> number = vocabulary::leadingNumber(compact);
    const double rounded = number ? number->value : 0;
    if (!std::isfinite(rounded) || rounded < 0 || rounded > MaxPortNumber)
        return std::nullopt;
    return std::int16_t(rounded);
}

bool OpenComPort(SerialPort &port, std::int16_t comPortNumber, const AskPort &ask, const PortChanged &changed,
                 QString *failure, const AdmitPort &admit)
{
    for (;;) {
        if (port.isOpen())
            port.close();
        const QString device = deviceForPort(comPortNumber);
        if (!device.isEmpty() && port.open(device)) {
            if (!admit || admit(comPortNumber))
                return true;
            port.close();
            if (failure)
                *failure = QStringLiteral("COM%1 opens another adapter than the one remembered for it")
                               .arg(comPortNumber);
            return false;
        }

        const QString detail = openFailureDetail(comPortNumber, device, port.errorString());
        if (failure)
            *failure = detail;
        if (!ask)
            return false;
        const QString prompt = openErrorPrompt(comPortNumber) + QStringLiteral("\r\n\r\n") + detail;
        std::optional<std::int16_t> number;
        QString asked = prompt;
        while (!number) {
            const std::optional<QString> answer = ask(asked);
            if (!answer || answer->isEmpty())
                return false;
            number = parseAnswer(*answer);
            asked = prompt + QStringLiteral("\r\n\r\n") + outOfRangeDetail(*answer);
        }
        comPortNumber = *number;
        if (changed)
            changed(comPortNumber);
    }
}

} // namespace serial
