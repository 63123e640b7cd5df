#include "serial/serialport.h"

namespace serial {

SerialPort::~SerialPort() = default;

} // namespace serial
