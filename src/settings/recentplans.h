// The plans the window opened or saved last, newest first, kept for the next run in a small per-user file
// of their own ("recent-plans" in the user's configuration folder, one path a line), apart from the one-line
// settings file.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace settings {

inline constexpr int MaxRecentPlans = 8;
inline const QString RecentPlansFile = QStringLiteral("recent-plans");

// The file's place: the user's configuration folder; empty when the user has none.
QString recentPlansPath();

// One absolute path a line; blank lines, relative paths and lines past the limit are dropped.
QStringList parseRecentPlans(const QByteArray &content);
QByteArray formatRecentPlans(const QStringList &paths);
// The list with path first, once, and at most MaxRecentPlans long.
QStringList remember(QStringList paths, const QString &path);

// A missing, damaged or not regular file gives an empty list; never follows a link.
QStringList loadRecentPlans(const QString &file);
// Replaces the file whole; returns why it could not, nothing when written.
std::optional<QString> saveRecentPlans(const QString &file, const QStringList &paths);

} // namespace settings
