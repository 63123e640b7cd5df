// One send as the line carries it, from the first and the repeat frame a test writes out by hand: the first
// frame once, then the repeat frame nine times.
#pragma once

#include <QByteArray>
#include <QList>

inline QList<QByteArray> tenOf(const QByteArray &first, const QByteArray &repeat)
{
    QList<QByteArray> frames{first};
    for (int i = 0; i < 9; ++i)
        frames << repeat;
    return frames;
}

inline QByteArray tenTimes(const QByteArray &first, const QByteArray &repeat)
{
    return tenOf(first, repeat).join();
}

// The same from hexadecimal text, blanks allowed: "24 32 47 ...".
inline QByteArray tenTimesHex(const char *firstHex, const char *repeatHex)
{
    return tenTimes(QByteArray::fromHex(firstHex), QByteArray::fromHex(repeatHex));
}
