// The fixed texts of the Help menu and the about box, lines joined with CR LF as the message boxes show them.
#pragma once

#include <QString>

namespace app {

inline const QString HelpMd90Title = QStringLiteral("MD90 Help");
inline const QString HelpMd2040Title = QStringLiteral("MD20/40 Help");
inline const QString AboutTitle = QStringLiteral("About MD20/40 MD90 Programmer");

// Both help texts differ only in the model's name and the wire that pin 3 (DB-25: pin 2) goes to.
QString helpText(const QString &model, const QString &wire);
QString helpMd90Text();
QString helpMd2040Text();
QString aboutText(const QString &programVersion);

} // namespace app
