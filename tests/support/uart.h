// What a UART at one speed makes of bytes sent at eight times that speed (38400 into 4800 baud): the line
// is sampled in the middle of each of the slower receiver's bit times.
#pragma once

#include <QByteArray>

#include <vector>

inline QByteArray receivedAtAnEighthOfTheSpeed(const QByteArray &sent)
{
    std::vector<int> line; // one level per fast bit: start 0, eight data bits LSB first, stop 1
    for (const char c : sent) {
        line.push_back(0);
        for (int b = 0; b < 8; ++b)
            line.push_back((quint8(c) >> b) & 1);
        line.push_back(1);
    }
    line.insert(line.end(), 80, 1);
    QByteArray got;
    size_t t = 0;
    while (t < line.size()) {
        if (line[t] == 1) {
            ++t;
            continue;
        }
        int value = 0;
        for (int b = 0; b < 8; ++b) {
            const size_t sample = t + 4 + 8 * (b + 1);
            if (sample < line.size() && line[sample])
                value |= 1 << b;
        }
        got.append(char(value));
        t += 8 * 10; // start, eight data bits and the stop bit, whatever the stop bit read
    }
    return got;
}

// What a UART at eight times the speed makes of bytes sent at 4800 into 38400 baud: each slow bit lasts
// eight of the receiver's bit times, and it samples the middle of each of its own.
inline QByteArray receivedAtEightTimesTheSpeed(const QByteArray &sent)
{
    std::vector<int> line; // one level per fast bit
    for (const char c : sent) {
        line.insert(line.end(), 8, 0);
        for (int b = 0; b < 8; ++b)
            line.insert(line.end(), 8, (quint8(c) >> b) & 1);
        line.insert(line.end(), 8, 1);
    }
    line.insert(line.end(), 10, 1);
    QByteArray got;
    size_t t = 0;
    while (t + 10 <= line.size()) {
        if (line[t] == 1) {
            ++t;
            continue;
        }
        int value = 0;
        for (int b = 0; b < 8; ++b) {
            if (line[t + 1 + b])
                value |= 1 << b;
        }
        got.append(char(value));
        t += 10;
    }
    return got;
}
