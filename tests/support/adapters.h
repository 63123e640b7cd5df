// Two USB adapters for a made-up computer's port list, to swap between runs: one with a serial number
// (known by its by-id name), one without (known by the USB socket it is in, its by-path name).
#pragma once

#include "serial/portmap.h"

#include <QByteArray>

inline const serial::SystemPort Ftdi{"ttyUSB0",
                                     "/dev/ttyUSB0",
                                     "FT232R USB UART",
                                     "FTDI",
                                     "A1B2C3",
                                     true,
                                     "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
                                     "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0"};
inline const serial::SystemPort Ch340{"ttyUSB0",
                                      "/dev/ttyUSB0",
                                      "USB Serial",
                                      "1a86",
                                      {},
                                      true,
                                      "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0",
                                      "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0"};

// Written by hand, not by the code under test: a file remembering the FTDI adapter for COM1.
inline const QByteArray FtdiForCom1 =
    R"({"COM1": {"name": "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
  "manufacturer": "FTDI", "product": "FT232R USB UART", "serialNumber": "A1B2C3", "device": "/dev/ttyUSB0"}})";

// What the question and the refusal say when COM1 opens the second adapter in place of the first.
inline const QString Ch340NotFtdi =
    QStringLiteral("COM1 now opens /dev/ttyUSB0: USB adapter 1a86 USB Serial, "
                   "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0, not the adapter remembered for "
                   "it, /dev/ttyUSB0: "
                   "USB adapter FTDI FT232R USB UART, serial A1B2C3, "
                   "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
