// Reading a configuration frame back: what a captured frame tells a display, and what is wrong with it.
// Bytes in, a plain result out, so the command line, tests and a simulated display can all use it.
#pragma once

#include "frame/configuration.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace frame {

// Which repetition the check byte fits: the first of a send, the nine that follow it, or neither.
enum class CheckMatch { None, First, Repeat };

struct DecodedFrame {
    QByteArray bytes;
    FrameKind kind = FrameKind::Unknown; // Unknown when the frame is too damaged to read what it shows
    // What the frame shows, as far as it can be read: a location, field or entry the bytes name none of is
    // 0 or -1, an icon byte that names no icon is icon -1.
    Configuration configuration;
    bool hasIconByte = false;
    // The products such a frame is for: those that send the icon byte, or those that do not.
    QList<int> products;
    CheckMatch check = CheckMatch::None;
    std::uint8_t expectedFirst = 0;  // the check bytes the body asks for
    std::uint8_t expectedRepeat = 0; // meaningful only when the location is known
    QStringList problems;

    bool valid() const { return problems.isEmpty(); }
    // What the frame configures, as the lists show it: "GP RMC field 5", "II XDR field 3 type C", an
    // instrument's name; with ", icon KT" when it carries an icon; "nothing recognisable" for an unknown
    // kind.
    QString shows() const;
    // The configuration's JSON object (see toJson); every key null but kind "unknown" for an unknown kind.
    QJsonObject configurationJson() const;
};

// One frame: 10 bytes, or 11 with an icon byte. Any other length is decoded as far as it goes and named
// as a problem.
DecodedFrame decodeFrame(const QByteArray &bytes);

// A captured stream of frames, split at each "$" that starts a frame whose length and check byte fit.
// Bytes before the first "$" or between frames come back as frames of their own with a problem.
QList<DecodedFrame> decodeStream(const QByteArray &bytes);

// Hexadecimal text as the frames are printed ("24 32 47 ..."), spaces optional. Empty on bad input, with
// the reason in error.
QByteArray parseHex(const QString &text, QString *error);

} // namespace frame
