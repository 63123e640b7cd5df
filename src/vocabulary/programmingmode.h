// How a display is put into programming mode, in the words every front end uses: the window, the command
// line and the page ask it alike before a location when the display leaves programming mode after each one.
#pragma once

#include <QString>

namespace vocabulary {

// "hold UP and DOWN until it shows "rdY"".
inline QString programmingModeHow()
{
    return QStringLiteral("hold UP and DOWN until it shows \"rdY\"");
}

// "Put the display into programming mode (<how>), then press <button> to send location <location>".
inline QString programmingModePrompt(const QString &button, const QString &location)
{
    return QStringLiteral("Put the display into programming mode (%1), then press %2 to send location %3")
        .arg(programmingModeHow(), button, location);
}

} // namespace vocabulary
