// The fixed texts of the Help menu and the about box, and the messages of a send and of Quit, lines joined
// with CR LF as the message boxes show them.
#pragma once

#include "frame/configuration.h"
#include "vocabulary/vocabulary.h"

#include <QString>
#include <QStringList>

namespace app {

inline const QString HelpMd90Title = QStringLiteral("MD90 Help");
inline const QString HelpMd2040Title = QStringLiteral("MD20/40 Help");
inline const QString AboutTitle = QStringLiteral("About MD20/40 MD90 Programmer");

// Both help texts differ only in the model's name and the wire that pin 3 (DB-25: pin 2) goes to.
QString helpText(const QString &model, const QString &wire);
QString helpMd90Text();
QString helpMd2040Text();
QString aboutText(const QString &programVersion);

inline const QString NothingSentTitle = QStringLiteral("Nothing sent");
inline const QString NotSentTitle = QStringLiteral("Sentence not sent");
inline const QString NotSavedTitle = QStringLiteral("Settings not saved");

// A Send pressed while a list shows no entry of its own.
QString nothingSentText(vocabulary::List missing);
// What a Send button would send, for its tooltip: the first frame, or which list still needs an entry.
QString sendPreview(const frame::Configuration &c, const vocabulary::Product &product);
inline const QString FieldWarningTitle = QStringLiteral("Check the field");
// What may surprise in the chosen field (it alternates, it is past the sentence's last), asked before a send.
QString fieldWarningText(const QStringList &warnings);
// A send that failed once the port was open, with the send's own account of how far it got.
QString notSentText(const QString &failure);
// Quit could not write the settings file at the path.
QString notSavedText(const QString &path, const QString &failure);

} // namespace app
