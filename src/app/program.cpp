#include "app/program.h"

#include "settings/adapters.h"

#include <QDir>

namespace app {

QString mainWindowTitle(const Program &p)
{
    return QStringLiteral("Velmora MD20/MD40/MD90 Configuration Program Ver. ") + p.ProgramVersion;
}

void loadProgram(Program &p, const QString &programDir)
{
    p.ProgramVersion = ProgramVersionText;
    p.SettingsFileName = SettingsFile;
    QDir::setCurrent(programDir);
    p.settingsLocation = settings::locate(QDir::currentPath(), p.SettingsFileName);
    p.adaptersLocation = settings::adaptersLocation(QDir::currentPath());
    const settings::Settings stored = settings::LoadSettings(p.settingsLocation.readPath);
    p.ProductIndex = stored.ProductIndex;
    p.ComPortNumber = stored.ComPortNumber;
}

std::optional<QString> quitProgram(Program &p, int selectedProduct, serial::SerialPort &port)
{
    if (selectedProduct >= 0 && selectedProduct < vocabulary::ProductCount)
        p.ProductIndex = std::uint8_t(selectedProduct);
    std::optional<QString> failure;
    if (!p.settingsLocation.writePath.isEmpty())
        failure = settings::SaveSettings(p.settingsLocation.writePath, {p.ProductIndex, p.ComPortNumber});
    else
        failure =
            QStringLiteral("the program's folder is a system folder and no configuration folder of your "
                           "own is known (HOME or XDG_CONFIG_HOME).");
    if (port.isOpen())
        port.close();
    return failure;
}

frame::EncodeError composeSentence(Program &p, const frame::Configuration &c,
                                   const vocabulary::Product &product)
{
    if (const frame::EncodeError missing = frame::encode(c, product, p.SentenceBytes))
        return missing;
    p.IconIndex = std::int16_t(frame::iconSent(c, product));
    return std::nullopt;
}

frame::SendReport transmitSentence(Program &p, serial::SerialPort &port, frame::SendEvents events)
{
    events.portChanged = [&p, told = std::move(events.portChanged)](std::int16_t number) {
        p.ComPortNumber = number;
        if (told)
            told(number);
    };
    return frame::send(port, frame::ComPort{p.ComPortNumber}, p.SentenceBytes, events, p.pacing);
}

} // namespace app
