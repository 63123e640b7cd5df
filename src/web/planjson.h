// The page's plan: the rows it edits, as JSON, turned into plan text and read by the plan reader itself, so
// the page checks, sends, saves and loads exactly what `mdconfig-cli plan` would, with each fault on its row.
#pragma once

#include "plan/plan.h"

#include <QJsonArray>
#include <QJsonObject>

namespace web {

// {"product": 2, "locations": [{"number": 1, "kind": "standard", "talker": "GP", "sentence": "RMC",
//   "field": 7, "type": "", "icon": "KT"}, {"number": 5, "kind": "instrument", "instrument": "..."},
//   {"number": 2, "kind": "unused"}]} -> plan text. Strings are escaped; unknown kinds are left out.
QByteArray planText(const QJsonObject &page);

struct PageCheck {
    plan::Plan plan;
    QJsonArray faults; // [{"location": N or 0 for the plan, "message": "..."}]
    QByteArray text;
    bool clean() const { return faults.isEmpty(); }
};
PageCheck checkPage(const QJsonObject &page);

// A plan file's text as the page's rows (every location 1 to 10, unused ones included), or its faults.
QJsonObject pageOf(const QByteArray &text, const QString &fileName);

// The lists and products the page offers: the window's own entries.
QJsonObject listsJson();

} // namespace web
