// The page's plan: the rows it edits, as JSON, read into configurations by the configuration's own JSON
// codec and checked as a plan value, so the page checks, sends, saves and loads exactly what
// `mdconfig-cli plan` would, with each fault on its row.
#pragma once

#include "plan/plan.h"

#include <QJsonArray>
#include <QJsonObject>

namespace web {

// {"product": 2, "locations": [{"location": 1, "talker": "GP", "sentence": "RMC", "field": 7, "icon": "KT",
//   "note": "speed"}, {"location": 5, "instrument": "..."}]}, each location with the keys frame::toJson gives
//   and its note. A row that names nothing, or a note that cannot be kept, is a fault on its row.
struct PageCheck {
    plan::Plan plan;
    QJsonArray faults; // [{"location": N or 0 for the plan, "message": "..."}]
    QByteArray text;   // the plan as the plan writer keeps it (whatever of it was read, when it has faults)
    bool clean() const { return faults.isEmpty(); }
};
PageCheck checkPage(const QJsonObject &page);

// A plan file's text as the page's plan: its product and its locations as frame::toJson gives them with
// their notes, or its faults.
QJsonObject pageOf(const QByteArray &text, const QString &fileName);

} // namespace web
