// Reading a running mdconfig-cli's output while it works: tests wait for a line it prints (a prompt, the
// path of its terminal, the sentences it heard) before they act on it.
#pragma once

#include <QByteArray>
#include <QProcess>

#include <functional>

// Reads one of the process's channels into seen until done(seen) holds or about ms have passed.
inline void readUntil(QProcess &p, QByteArray &seen, const std::function<bool(const QByteArray &)> &done,
                      int ms, QProcess::ProcessChannel channel = QProcess::StandardOutput)
{
    for (int waited = 0; waited < ms && !done(seen); waited += 20) {
        p.waitForReadyRead(20);
        seen += channel == QProcess::StandardOutput ? p.readAllStandardOutput() : p.readAllStandardError();
    }
}

// The same until seen contains text.
inline void readUntil(QProcess &p, QByteArray &seen, const QByteArray &text, int ms,
                      QProcess::ProcessChannel channel = QProcess::StandardOutput)
{
    readUntil(
        p, seen, [&](const QByteArray &s) { return s.contains(text); }, ms, channel);
}

// The same until seen holds a whole line.
inline void readLine(QProcess &p, QByteArray &seen, int ms, QProcess::ProcessChannel channel)
{
    readUntil(
        p, seen, [](const QByteArray &s) { return s.contains('\n'); }, ms, channel);
}
