#include "settings/settings.h"

#include "file/regularfile.h"
#include "serial/portmap.h"
#include "vocabulary/number.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>

namespace settings {
namespace {

// Enough for the line and any blanks before it; a huge file is not read to its end.
constexpr qint64 ReadLimit = 64 * 1024;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The numbers of the file: each begins at the first character that is not a blank, tab or line break and
// ends at the next blank (or tab), comma or line end; a comma after blanks still ends the number.
QList<QByteArray> numbers(const QByteArray &content, int wanted)
{
    QList<QByteArray> found;
    qsizetype i = 0;
    const qsizetype n = content.size();
    while (found.size() < wanted && i < n) {
        while (i < n && isSpace(content[i]))
            ++i;
        if (i >= n)
            break;
        const qsizetype start = i;
        while (i < n && content[i] != ' ' && content[i] != '\t' && content[i] != ',' && content[i] != '\r' &&
               content[i] != '\n')
            ++i;
        found << content.mid(start, i - start);
        while (i < n && (content[i] == ' ' || content[i] == '\t'))
            ++i;
        if (i < n && content[i] == ',')
            ++i;
    }
    return found;
}

// A whole decimal number in range, rounded half to even as the number rules of the file's format have it.
std::optional<long> readNumber(const QByteArray &token, long low, long high)
{
    const QString text = QString::fromLatin1(token).trimmed();
    const std::optional<vocabulary::LeadingNumber> n = vocabulary::leadingNumber(text);
    if (!n || n->length != text.size() || !std::isfinite(n->value) || n->value < low || n->value > high)
        return std::nullopt;
    return long(n->value);
}

} // namespace

Settings parseSettings(const QByteArray &content)
{
    Settings s;
    const QList<QByteArray> values = numbers(content, 2);
    if (values.size() > 0) {
        if (const auto value = readNumber(values[0], 0, 255)) {
            if (const int product = vocabulary::productForSettingsValue(int(*value)); product >= 0)
                s.ProductIndex = std::uint8_t(product);
        }
    }
    if (values.size() > 1) {
        if (const auto port = readNumber(values[1], 0, serial::MaxPortNumber))
            s.ComPortNumber = std::int16_t(*port);
    }
    return s;
}

QByteArray formatSettings(const Settings &s)
{
    auto field = [](int v) { return (v < 0 ? QByteArray::number(v) : ' ' + QByteArray::number(v)) + ' '; };
    return field(vocabulary::product(s.ProductIndex).settingsValue) + field(s.ComPortNumber) + "\r\n";
}

bool isSystemFolder(const QString &folder, const QString &installBinDir)
{
    static const QStringList systemPrefixes = {"/usr", "/bin",  "/sbin", "/lib",      "/lib64",
                                               "/opt", "/snap", "/app",  "/nix/store"};
    // A folder as written and, when it exists, with every link resolved.
    const auto spellings = [](const QString &path) {
        QStringList all;
        if (path.isEmpty())
            return all;
        all << QDir::cleanPath(path);
        const QString canonical = QFileInfo(path).canonicalFilePath();
        if (!canonical.isEmpty())
            all << canonical;
        return all;
    };
    const QStringList forms = spellings(folder);
    const QStringList installed = spellings(installBinDir);
    for (const QString &form : forms) {
        if (installed.contains(form))
            return true;
        for (const QString &prefix : systemPrefixes) {
            if (form == prefix || form.startsWith(prefix + QLatin1Char('/')))
                return true;
        }
    }
    return false;
}

Location locate(const QString &programDir, bool programDirWritable, bool systemFolder,
                const QString &userConfigDir, const QString &fileName)
{
    const QString besideProgram = QDir(programDir).filePath(fileName);
    if (userConfigDir.isEmpty())
        return systemFolder ? Location{} : Location{besideProgram, besideProgram};
    const QString userCopy = QDir(userConfigDir).filePath(fileName);
    // An installed program shares its folder with every other program of the system: nothing of one user's
    // is read from there or written there, whoever runs it (root included).
    if (systemFolder)
        return {userCopy, userCopy};
    if (programDirWritable)
        return {besideProgram, besideProgram};
    return {QFileInfo::exists(userCopy) ? userCopy : besideProgram, userCopy};
}

QString userConfigFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // A relative XDG_CONFIG_HOME is to be ignored, as if it were not set.
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isRelativePath(xdg) && folder.startsWith(xdg))
        folder = QDir::homePath() + QStringLiteral("/.config") + folder.mid(xdg.size());
#endif
    if (QDir::isRelativePath(folder))
        return {};
    return folder;
}

Location locate(const QString &programDir, const QString &fileName)
{
#ifdef MDCONFIG_INSTALL_BINDIR
    const QString installBinDir = QStringLiteral(MDCONFIG_INSTALL_BINDIR);
#else
    const QString installBinDir;
#endif
    return locate(programDir, QFileInfo(programDir).isWritable(), isSystemFolder(programDir, installBinDir),
                  userConfigFolder(), fileName);
}

Settings LoadSettings(const QString &path)
{
    // Never through a link, never blocking on a FIFO or a terminal: only a regular file is read.
    const file::Contents c = file::read(path, ReadLimit, file::OverLimit::ReadThePrefix);
    return c.ok() ? parseSettings(c.bytes) : Settings{};
}

std::optional<QString> SaveSettings(const QString &path, const Settings &s)
{
    // The per-user folder may not exist yet; when it cannot be made, say that rather than what the write
    // into a missing folder would report.
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("the folder %1 could not be created").arg(folder);
    // Whatever is not our own regular file (a link, a folder, a FIFO, a device) is left alone, and so is one
    // put in the file's place while it was written.
    if (const std::optional<QString> failed = file::replace(path, formatSettings(s)))
        return QStringLiteral("it %1; it was left as it is.").arg(*failed);
    return std::nullopt;
}

} // namespace settings
