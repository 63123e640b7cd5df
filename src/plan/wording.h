// Plain words where the plan's readers would otherwise pass on a parser's or a table's own: what a TOML
// syntax error means for someone writing a plan, and the entries nearest to a value that names none.
#pragma once

#include <QString>
#include <QStringList>

namespace plan {

// The cause of a TOML syntax error as the TOML parser describes it, in the words of someone writing a plan:
// "a closing quote is missing ..." for "unescaped control characters ...". A name it quotes, and the cause
// of a description no rule knows, are escaped as a plan's values are.
QString plainSyntaxError(const QString &description);

// Up to `most` entries nearest to text, ignoring case: those that hold it or that it holds ("GPRMC" holds
// RMC) first, then those a few typing slips away, each in list order. Empty when none is near.
QStringList nearestEntries(const QString &text, const QStringList &entries, int most = 3);

// "did you mean RMC?" or "did you mean RMA, RMB or RMC?"; empty when no entry is near.
QString didYouMean(const QString &text, const QStringList &entries);

} // namespace plan
