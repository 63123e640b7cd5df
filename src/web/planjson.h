// The page's plan: the rows it edits, as JSON, turned into plan text and read by the plan reader itself, so
// the page checks, sends, saves and loads exactly what `mdconfig-cli plan` would, with each fault on its row.
#pragma once

#include "plan/plan.h"

#include <QJsonArray>
#include <QJsonObject>

namespace web {

// {"product": 2, "locations": [{"location": 1, "talker": "GP", "sentence": "RMC", "field": 7, "icon": "KT",
//   "note": "speed"}, {"location": 5, "instrument": "..."}]}, each location with the keys frame::toJson gives
//   and its note, -> plan text. A note the reader refuses is a fault on its row.
// Strings are escaped, so no value can add a key or a table.
QByteArray planText(const QJsonObject &page);

struct PageCheck {
    plan::Plan plan;
    QJsonArray faults; // [{"location": N or 0 for the plan, "message": "..."}]
    QByteArray text;   // a clean plan as the plan writer keeps it, else the text the faults were found in
    bool clean() const { return faults.isEmpty(); }
};
PageCheck checkPage(const QJsonObject &page);

// A plan file's text as the page's plan: its product and its locations as frame::toJson gives them with
// their notes, or its faults.
QJsonObject pageOf(const QByteArray &text, const QString &fileName);

} // namespace web
