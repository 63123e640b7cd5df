#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
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
    static const QRegularExpression decimal(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    const QString text = QString::fromLatin1(token).trimmed();
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    const double value = std::nearbyint(text.toDouble());
    if (!std::isfinite(value) || value < low || value > high)
        return std::nullopt;
    return long(value);
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
        if (const auto port = readNumber(values[1], 0, 16))
            s.ComPortNumber = std::int16_t(*port);
    }
    return s;
}

QByteArray formatSettings(const Settings &s)
{
    auto field = [](int v) { return (v < 0 ? QByteArray::number(v) : ' ' + QByteArray::number(v)) + ' '; };
    return field(vocabulary::product(s.ProductIndex).settingsValue) + field(s.ComPortNumber) + "\r\n";
}

Location locate(const QString &programDir, bool programDirWritable, const QString &userConfigDir,
                const QString &fileName)
{
    const QString besideProgram = QDir(programDir).filePath(fileName);
    if (programDirWritable || userConfigDir.isEmpty())
        return {besideProgram, besideProgram};
    const QString userCopy = QDir(userConfigDir).filePath(fileName);
    return {QFileInfo::exists(userCopy) ? userCopy : besideProgram, userCopy};
}

Location locate(const QString &programDir, const QString &fileName)
{
    return locate(programDir, QFileInfo(programDir).isWritable(),
                  QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation), fileName);
}

Settings LoadSettings(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseSettings(file.read(ReadLimit));
}

std::optional<QString> SaveSettings(const QString &path, const Settings &s)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    // Unbuffered: a buffered write that fails only when the buffer is flushed at commit goes unnoticed by
    // QSaveFile, which would then put a cut-off line in place of the former file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    const QByteArray line = formatSettings(s);
    if (file.write(line) != line.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace settings
