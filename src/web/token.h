// The page's access token: 128 random bits from the system's generator, kept in a file of the user's own
// (mode 600, a regular file, never through a link) so that a bookmark with it keeps working.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace web {

// Where the token lives: $STATE_DIRECTORY when a service manager gives one, else ~/.local/share/mdconfig.
QString stateFolder();
QString tokenPath(const QString &folder);

// 32 hexadecimal digits from getrandom(); nothing when the generator fails.
std::optional<QByteArray> newToken();

struct TokenResult {
    QByteArray token;
    QString failure; // why there is none
    bool made = false;
};

// Reads the token in the folder, or makes and keeps one when there is none (or when renew is set).
// Refuses a token file that is a link, not a regular file, not the user's own, or readable by others.
TokenResult loadOrMakeToken(const QString &folder, bool renew);

// A small file of the user's own beside the token, read and written with the token's care: the address a
// running server announced, for `serve --print-url`.
std::optional<QByteArray> readPrivateFile(const QString &path, QString *failure);
std::optional<QString> writePrivateFile(const QString &path, const QByteArray &bytes);

} // namespace web
