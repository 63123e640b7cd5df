// The program-wide values of one run, and the parts of start-up, a Send and Quit that need no window.
#pragma once

#include "app/version.h"
#include "frame/configuration.h"
#include "frame/sendstep.h"
#include "serial/serialport.h"
#include "settings/settings.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace app {

inline const QString ProgramVersionText = QStringLiteral(MDCONFIG_VERSION);
inline const QString SettingsFile = QStringLiteral("MD40_90.INI");

struct Program {
    QString ProgramVersion = ProgramVersionText;
    QString SettingsFileName = SettingsFile;
    std::uint8_t ProductIndex = settings::DefaultProduct;
    std::int16_t ComPortNumber = settings::DefaultPort;
    frame::SentenceBytes SentenceBytes;
    std::int16_t IconIndex = 0;
    bool IconsDone = false;
    settings::Location settingsLocation;
    // The adapters remembered for the COM numbers, beside the settings file.
    settings::Location adaptersLocation;
    // Fixed for users; tests shorten it where real time adds nothing.
    frame::Pacing pacing;
};

// "Velmora MD20/MD40/MD90 Configuration Program Ver. 2.0"
QString mainWindowTitle(const Program &p);

// Start-up without the windows: version and file name, the program's folder as the current directory (so a
// program started from anywhere finds its settings), then the settings. Never fails: a bad file gives
// defaults.
void loadProgram(Program &p, const QString &programDir);

// Quit without the windows: stores the selected product (when one is selected, -1 otherwise) and the port,
// then closes the port whatever the write did. Returns why the settings could not be written, if so.
std::optional<QString> quitProgram(Program &p, int selectedProduct, serial::SerialPort &port);

// A Send's composer step: fills SentenceBytes with what the configuration shows on the product and keeps the
// icon the product is sent in IconIndex. A list left without an entry is returned and nothing changes.
frame::EncodeError composeSentence(Program &p, const frame::Configuration &c,
                                   const vocabulary::Product &product);

// A Send's transmit step: the send step on the program's COM port with its record and pacing. A number
// answered at the port prompt becomes the program's port number before events.portChanged hears of it.
frame::SendReport transmitSentence(Program &p, serial::SerialPort &port, frame::SendEvents events);

} // namespace app
