// Who a USB adapter is, beyond the COM number that reaches it today: a number means "the first adapter
// found", and after a re-plug, a reboot or a second adapter it may open another one. Comparing the adapter
// a number opens now with the one remembered for it is what lets a send say so instead of going elsewhere.
#pragma once

#include "serial/portmap.h"

#include <QString>

#include <optional>

namespace serial {

struct AdapterIdentity {
    // The stable name udev gives it: by-id, or by-path (the socket it is in) when the adapter has no serial
    // number, since identical adapters without one share a by-id name. Empty where the system has neither.
    QString name;
    QString manufacturer;
    QString product;
    QString serialNumber;
    QString device; // what it was opened as, for messages

    // Nothing to know it by: a built-in port, a pseudo-terminal, a device named by its path only.
    bool isEmpty() const;
    bool operator==(const AdapterIdentity &) const = default;
};

// The identity of what a port is now; empty for anything but a USB adapter.
AdapterIdentity identityOf(const PortDevice &port);

// The identity of what COM `number` opens now (a number set by MDCONFIG_COM<n> by what its path reaches);
// the device is filled in even when it is no adapter.
AdapterIdentity adapterAt(int number);

// Whether two identities are one adapter: by their stable names when both have one, otherwise by maker,
// product and serial number.
bool sameAdapter(const AdapterIdentity &a, const AdapterIdentity &b);

// "/dev/ttyUSB0: USB adapter FTDI FT232R USB UART, serial A1B2C3, /dev/serial/by-id/usb-FTDI_..."; text from
// the system is escaped.
QString adapterLine(const AdapterIdentity &identity);

// COMn opens another adapter than the one remembered for it.
struct AdapterChange {
    int number = 0;
    AdapterIdentity remembered;
    AdapterIdentity now; // empty when it is no adapter at all (or nothing is there)
};

// The check each front end makes before a send to COMn, given what it opens now (adapterAt): nothing when
// nothing is remembered for the number, or when it opens the remembered adapter.
std::optional<AdapterChange> adapterChange(int number, const AdapterIdentity &now,
                                           const std::optional<AdapterIdentity> &remembered);

// "COM1 now opens <now>, not the adapter remembered for it, <remembered>", the sentence front ends put
// before their question or refusal.
QString changeText(const AdapterChange &change);

} // namespace serial
