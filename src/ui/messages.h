// The standard boxes as the program uses them: a message with an OK button only, and the one question, the
// "Communications Error" prompt for another COM port number.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

namespace ui {

// Shows the text, laid out line by line as written, until OK; with warning, under the warning icon.
void showText(QWidget *parent, const QString &title, const QString &text, bool warning = false);

// Shows what may surprise in the chosen field (it alternates, it is past the sentence's last) and asks
// whether to send it anyway; true at once when there is nothing to say, false when the user would rather not.
bool askToSendAnyway(QWidget *parent, const QStringList &warnings);

// Asks for another port number with the opener's prompt; nothing when the user cancels.
std::optional<QString> askComPortNumber(QWidget *parent, const QString &prompt);

} // namespace ui
