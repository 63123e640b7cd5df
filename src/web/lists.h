// What the page needs to know of the program's lists, as JSON: the lists answer the served page reads from
// the board, and the tables the page's own encoder and plan reader are built on, written into the page at
// build time. Both come from the C++ tables, so no list or code is typed twice.
#pragma once

#include <QJsonObject>
#include <QString>

namespace web {

// The lists and products the page offers: the window's own entries.
QJsonObject listsJson();

// The lists answer and everything the page's encoder, plan reader and pacing need besides: the codes each
// entry is sent as, the instruments' three values, the icon bytes, the frame's constant bytes, the pacing,
// and the texts of what is valid for each plan key.
QJsonObject tablesJson();

// What the board answers a send it refuses; the page on its own answers alike, from tablesJson().
QString planFaultsRefusal();
QString nothingToSendRefusal(const QString &from);
QString sendRunningRefusal();

} // namespace web
