// The one-line settings file "MD40_90.INI": the chosen product and COM port, kept between runs.
// " 2  3 \r\n" holds product 2 and port 3. Any file, however damaged, loads: a value that cannot be read or
// lies out of its range falls back to its default alone.
#pragma once

#include "vocabulary/products.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace settings {

inline constexpr std::uint8_t DefaultProduct = vocabulary::DefaultProductIndex;
inline constexpr std::int16_t DefaultPort = 0; // "None"

struct Settings {
    std::uint8_t ProductIndex = DefaultProduct; // the product's index; the file holds its settings value
    std::int16_t ComPortNumber = DefaultPort;
    bool operator==(const Settings &) const = default;
};

Settings parseSettings(const QByteArray &content);
QByteArray formatSettings(const Settings &s);

// Where the file is read and written. Beside the program normally. Where the program's folder is a system
// one (the folder the build installs to, or under /usr, /opt and the like) only the user's own copy in their
// configuration folder is read and written, for root as for anyone. Where the program's folder cannot be
// written, the user's copy is written, and read whenever it exists. Both paths are empty (nothing is read or
// written) for a system folder when the user has no configuration folder.
struct Location {
    QString readPath;
    QString writePath;
};
Location locate(const QString &programDir, bool programDirWritable, bool systemFolder,
                const QString &userConfigDir, const QString &fileName);
Location locate(const QString &programDir, const QString &fileName);

// Whether a folder is one where installed programs live, not one of the user's own.
bool isSystemFolder(const QString &folder, const QString &installBinDir);
// The user's configuration folder for this program; a relative XDG_CONFIG_HOME counts as unset.
QString userConfigFolder();

// Reads the file; a missing or unreadable file, or anything there but a regular file, gives the defaults.
// Never follows a link and never blocks.
Settings LoadSettings(const QString &path);
// Replaces the file atomically: on any failure the former file stays whole and the reason is returned. What
// is not a regular file (a link, a folder, a FIFO, a device) is not replaced, and the reason says so.
std::optional<QString> SaveSettings(const QString &path, const Settings &s);

} // namespace settings
