// The speeds a bus is listened to at: the display's own 4800 baud first, then the fast 38400 of AIS and
// some multiplexers. Every front end offers, checks and suggests speeds from this one table.
#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace bus {

inline constexpr std::array LineSpeeds{4800, 38400};
inline constexpr int DefaultSpeed = LineSpeeds[0];

inline bool isLineSpeed(int baud)
{
    for (const int s : LineSpeeds)
        if (s == baud)
            return true;
    return false;
}

// The speed to try when what comes in at baud looks like the wrong speed.
inline int otherSpeed(int baud)
{
    return baud == LineSpeeds[0] ? LineSpeeds[1] : LineSpeeds[0];
}

// The speeds as words ("4800", "38400"), and joined: "4800, 38400" for messages, "4800|38400" for usage.
inline QStringList speedWords()
{
    QStringList words;
    for (const int s : LineSpeeds)
        words << QString::number(s);
    return words;
}
inline QString speedsText(const QString &separator)
{
    return speedWords().join(separator);
}

} // namespace bus
