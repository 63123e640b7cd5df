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

// Where the file is read and written. Beside the program normally; where the program's folder cannot be
// written (a copy installed under a system folder) the user's own copy in their configuration folder is
// written, and read whenever it exists.
struct Location {
    QString readPath;
    QString writePath;
};
Location locate(const QString &programDir, bool programDirWritable, const QString &userConfigDir,
                const QString &fileName);
Location locate(const QString &programDir, const QString &fileName);

// Reads the file; a missing or unreadable file gives the defaults.
Settings LoadSettings(const QString &path);
// Replaces the file atomically: on any failure the former file stays whole and the reason is returned.
std::optional<QString> SaveSettings(const QString &path, const Settings &s);

} // namespace settings
