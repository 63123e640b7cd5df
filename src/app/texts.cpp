#include "app/texts.h"

#include <QStringList>

namespace app {

QString helpText(const QString &model, const QString &wire)
{
    const QStringList lines = {
        QStringLiteral("a) Place the %1 into programming mode by pressing and holding the UP and ")
            .arg(model),
        QStringLiteral("    DOWN keys for 10 seconds (until you hear a long beep).  The display should "),
        QStringLiteral("    Show 'rdY'."),
        QString(),
        QStringLiteral("b) Ensure that the %1 is correctly connected to the computer as shown").arg(model),
        QStringLiteral("    below (and in the %1 users manual):").arg(model),
        QString(),
        QStringLiteral("      For a DB-9 connector:"),
        QStringLiteral("         DB-9 Pin 3 ---> ") + wire,
        QStringLiteral("         DB-9 Pin 5 ---> GROUND"),
        QString(),
        QStringLiteral("      For a DB-25 connector:"),
        QStringLiteral("         DB-25 Pin 2 ---> ") + wire,
        QStringLiteral("         DB-25 Pin 7 ---> GROUND"),
        QStringLiteral("  "),
    };
    return lines.join(QStringLiteral("\r\n"));
}

QString helpMd90Text()
{
    return helpText(QStringLiteral("MD90"), QStringLiteral("MD90, White wire (channel 4 input)"));
}

QString helpMd2040Text()
{
    return helpText(QStringLiteral("MD20/40"), QStringLiteral("MD20/40 terminal 'F'"));
}

QString aboutText(const QString &programVersion)
{
    const QStringList lines = {
        QStringLiteral("MD20/40 MD90 programmer Ver. ") + programVersion,
        QString(),
        QStringLiteral("Copyright Velmora Marine Electronics. All rights reserved."),
        QString(),
        QStringLiteral("For Win98, WinXP, Win2K & Vista"),
    };
    return lines.join(QStringLiteral("\r\n"));
}

QString nothingSentText(vocabulary::List missing)
{
    return QStringLiteral(
               "No entry is chosen in the \"%1\" list.\r\n\r\nPlease choose one of its entries and "
               "press Send again.")
        .arg(vocabulary::listCaption(missing));
}

QString sendPreview(const frame::Configuration &c, const vocabulary::Product &product)
{
    frame::SentenceBytes s;
    if (const frame::EncodeError missing = frame::encode(c, product, s))
        return QStringLiteral("Choose an entry in the \"%1\" list to send.")
            .arg(vocabulary::listCaption(*missing));
    return QStringLiteral("Sends ten times: %1").arg(frame::toHex(frame::sendFrames(s).first()));
}

QString fieldWarningText(const QStringList &warnings)
{
    return QStringLiteral("%1\n\nSend it anyway?").arg(warnings.join(QStringLiteral("\n\n")));
}

QString notSentText(const QString &failure)
{
    return QStringLiteral("The sentence was not sent: the serial port failed during the transfer.\r\n\r\n%1"
                          "\r\n\r\nCheck the cable and the serial adapter, then press Send again.")
        .arg(failure);
}

QString notSavedText(const QString &path, const QString &failure)
{
    return QStringLiteral("The product and COM port could not be saved to\r\n%1\r\n\r\n%2")
        .arg(path, failure);
}

} // namespace app
