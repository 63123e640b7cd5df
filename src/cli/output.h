// What the verbs of mdconfig-cli share in writing: one JSON object a line for scripts, the progress bar a
// terminal sees, and how a verb that runs until stopped says when it ends.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QTextStream>

namespace cli {

// The object on one line, without the line's end.
QString jsonLine(const QJsonObject &o);
// "[####      ]": done of total, width characters inside the brackets.
QString bar(int done, int total, int width);
// "for S s", or "Ctrl-C ends" when seconds is 0.
QString endText(int seconds);
// Whether no one reads the output any more: a write to it failed (a closed pipe), or the pipe or socket it
// goes to has lost its reader, seen without writing. A verb that runs until stopped ends then, as "| head"
// expects; a send does not, it finishes the bytes it began.
bool outputClosed(QTextStream &out);

} // namespace cli
