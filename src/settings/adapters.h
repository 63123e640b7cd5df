// The adapters remembered for the COM numbers, kept in a small file of the program's own beside the
// one-line settings file (whose line stays as it is): for each number, who the adapter it opened was when
// it was chosen, so a send that would now reach another adapter says so first.
#pragma once

#include "serial/adapteridentity.h"
#include "settings/settings.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace settings {

inline const QString AdaptersFile = QStringLiteral("mdconfig-adapters.json");

using Adapters = QMap<int, serial::AdapterIdentity>; // keyed by COM number, 1 to 16

// {"COM1": {"name": ..., "manufacturer": ..., "product": ..., "serialNumber": ..., "device": ...}}. Nothing
// when the bytes are not such an object (damaged); numbers out of range and unknown keys are left out.
std::optional<Adapters> parseAdapters(const QByteArray &content);
QByteArray formatAdapters(const Adapters &adapters);

// What the file holds. A missing file remembers nothing and is no problem; an unreadable or damaged one
// remembers nothing either, and problem says why. Only a damaged regular file (not JSON, too large) may be
// replaced: one that cannot be read, or is a link, a folder or a FIFO, is left as it is.
struct RememberedAdapters {
    Adapters adapters;
    QString problem;
    bool replaceable = true;
};
RememberedAdapters loadAdapters(const QString &path);

// Where the file is: beside the settings file, by the same rule (see locate).
Location adaptersLocation(const QString &programDir);
// Where the command line keeps it: beside the program; tests put it elsewhere with setAdaptersLocation (an
// empty optional goes back to the program's).
Location adaptersLocation();
void setAdaptersLocation(std::optional<Location> where);

// Asked when COMn now opens another adapter than the one remembered: true goes on and remembers the new one.
using ConfirmAdapter = std::function<bool(const serial::AdapterChange &change)>;

// The one check every front end makes before a send to COM `number`. When the number opens another adapter
// than the one remembered, confirm decides (none: refused); false means no send. When the send goes on and
// what the number opens is not what is remembered (nothing yet, a yes, a damaged file), it is remembered.
// Never fails a send for the file's sake: what the user should hear about the file (a damaged one replaced,
// a write that failed) is added to notes.
bool admitAdapter(const Location &where, int number, const ConfirmAdapter &confirm,
                  QStringList *notes = nullptr);

// The COM numbers whose remembered adapter is this one, for `ports` to mark.
QList<int> rememberedFor(const Adapters &adapters, const serial::AdapterIdentity &identity);

} // namespace settings
