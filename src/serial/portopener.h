// Opening the chosen COM port before each send, and the "Communications Error" prompt that asks for another
// number when it will not open. The prompt itself is shown by whoever drives this (window or test).
#pragma once

#include "serial/serialport.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace serial {

// Numbers in texts carry a sign position: a blank before a non-negative number, "-" before a negative one.
QString signPosition(int number);
// The prompt shown when the port will not open (without the line that names the device and reason).
QString openErrorPrompt(int comPortNumber);
// The one wording of a number that opens no device here: "No port is chosen ("None")." for 0, otherwise
// "COMn names no serial device on this computer.".
QString noDeviceText(int comPortNumber);
// Why number n did not open, for the line beneath the prompt.
QString openFailureDetail(int comPortNumber, const QString &device, const QString &reason);
// Why the prompt is shown again after an answer that names no port number from 0 to 16.
QString outOfRangeDetail(const QString &answer);

// The port number an answer names: read from its start with blanks ignored, as far as it forms a decimal
// number (no number gives 0), rounded half to even. Nothing when that lies outside 0..16.
std::optional<std::int16_t> parseAnswer(const QString &answer);

// Asks the user with the full prompt text; nothing, or an empty text, means the user gave up.
using AskPort = std::function<std::optional<QString>(const QString &prompt)>;
// Told each new number an answer at the prompt chose; the caller keeps the program's port number and what
// shows it. The opener itself writes no port number but its own working copy.
using PortChanged = std::function<void(std::int16_t comPortNumber)>;

// Asked once a number has opened, before anything is written: whether it opened the adapter the user meant
// (see settings::admitAdapter). False closes the port and ends the opening: nothing is sent.
using AdmitPort = std::function<bool(std::int16_t comPortNumber)>;

// Closes the port if open and opens comPortNumber; on failure asks for another number and tries again until
// the port opens (true) or the user gives up (false, the port closed). No ask gives up at the first failure.
// When given, failure receives why the last number tried did not open (the line beneath the prompt), and
// admit is asked about the number that opened.
bool OpenComPort(SerialPort &port, std::int16_t comPortNumber, const AskPort &ask, const PortChanged &changed,
                 QString *failure = nullptr, const AdmitPort &admit = {});

} // namespace serial
