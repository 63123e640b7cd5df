#include "cli/help.h"

#include <algorithm>

namespace cli {
namespace {

const QString Program = QStringLiteral("mdconfig-cli");
// Where an option's text starts, unless its name and value take more room.
constexpr int TextColumn = 22;

QString optionWords(const OptionSpec &o)
{
    QString words = QStringLiteral("--") + o.name;
    if (!o.valueName.isEmpty())
        words += QLatin1Char(' ') + o.valueName;
    return words;
}

// The usage's words for the options that apply to a kind of sentence ("standard"; empty: every option).
QStringList optionTokens(const QList<OptionSpec> &options, const QString &kind)
{
    QStringList tokens;
    QStringList choicesDone;
    for (const OptionSpec &o : options) {
        if (!kind.isEmpty() && !o.onlyFor.isEmpty() && o.onlyFor != kind)
            continue;
        if (!o.choice.isEmpty()) {
            if (choicesDone.contains(o.choice))
                continue;
            choicesDone << o.choice;
            QStringList alternatives;
            for (const OptionSpec &other : options) {
                if (other.choice == o.choice)
                    alternatives << optionWords(other);
            }
            tokens << QLatin1Char('(') + alternatives.join(QStringLiteral(" | ")) + QLatin1Char(')');
        } else if (o.required) {
            tokens << optionWords(o);
        } else {
            tokens << QLatin1Char('[') + optionWords(o) + QLatin1Char(']') +
                          (o.repeats ? QStringLiteral("...") : QString());
        }
    }
    return tokens;
}

// Tokens in lines that start with `head`, continued under the first token after it.
QStringList tokenLines(const QString &head, const QStringList &tokens, int indent)
{
    QStringList lines{head};
    for (const QString &token : tokens) {
        if (lines.last().size() + 1 + token.size() > HelpWidth && lines.last().size() > indent)
            lines << QString(indent, QLatin1Char(' ')) + token;
        else
            lines.last() +=
                (lines.last().endsWith(QLatin1Char(' ')) ? QString() : QStringLiteral(" ")) + token;
    }
    return lines;
}

// "  --port N            a COM port number, ..." with the text wrapped beside its name.
QStringList entryLines(const QString &name, const QString &text)
{
    const QString head = QStringLiteral("  ") + name;
    if (head.size() + 2 > TextColumn)
        return QStringList{head} +
               wrapped(QString(TextColumn, QLatin1Char(' ')) + text, HelpWidth, TextColumn);
    return wrapped(head.leftJustified(TextColumn) + text, HelpWidth, TextColumn);
}

QStringList paragraphs(const QString &text)
{
    QStringList lines;
    for (const QString &paragraph : text.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
        if (!lines.isEmpty())
            lines << QString();
        if (paragraph.startsWith(QLatin1Char(' ')))
            lines += paragraph.split(QLatin1Char('\n'));
        else
            lines += wrapped(paragraph, HelpWidth, 0);
    }
    return lines;
}

QString sentence(const QString &summary)
{
    return summary.left(1).toUpper() + summary.mid(1) + QLatin1Char('.');
}

// The verbs of a verb ("plan check", ...), in the order they are declared.
QList<VerbSpec> subVerbs(const QString &verb)
{
    QList<VerbSpec> found;
    for (const VerbSpec &v : declarations()) {
        if (v.name.startsWith(verb + QLatin1Char(' ')))
            found << v;
    }
    return found;
}

QStringList subVerbNames(const QString &verb)
{
    QStringList names;
    for (const VerbSpec &v : subVerbs(verb))
        names << v.name.section(QLatin1Char(' '), 1);
    return names;
}

QStringList summaryLines(const QList<VerbSpec> &verbs, bool lastWordOnly)
{
    QStringList lines;
    for (const VerbSpec &v : verbs)
        lines += wrapped((lastWordOnly ? v.name.section(QLatin1Char(' '), -1) : v.name).leftJustified(9) +
                             v.summary,
                         HelpWidth, 9);
    return lines;
}

QStringList optionLines(const VerbSpec &verb)
{
    QStringList lines;
    for (const PositionalSpec &p : verb.positionals) {
        if (!p.help.isEmpty())
            lines += entryLines(p.name, p.help);
    }
    for (const OptionSpec &o : verb.options)
        lines += entryLines(optionWords(o), o.help.isEmpty() ? o.valid : o.help);
    lines += entryLines(QStringLiteral("-h, --help"), QStringLiteral("shows this help"));
    return lines;
}

} // namespace

QStringList wrapped(const QString &text, int width, int indent)
{
    // Split at single spaces only, so that a caption's double space ("MD90  Ver 1.3 +") stays as it is.
    const QStringList words = text.split(QLatin1Char(' '));
    QStringList lines{QString()};
    bool first = true;
    for (const QString &word : words) {
        QString &line = lines.last();
        if (!first && !word.isEmpty() && line.size() + 1 + word.size() > width && line.trimmed().size() > 0 &&
            line.size() > indent) {
            lines << QString(indent, QLatin1Char(' ')) + word;
        } else {
            line += (first ? QString() : QStringLiteral(" ")) + word;
        }
        first = false;
    }
    for (QString &line : lines) {
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
    }
    return lines;
}

QStringList usageLines(const VerbSpec &verb, const QString &lead)
{
    QStringList heads{QString()};
    QStringList kinds{QString()};
    QStringList trailing;
    for (const PositionalSpec &p : verb.positionals) {
        if (p.repeats) {
            trailing << p.name + QStringLiteral("...");
        } else if (!p.words.isEmpty()) {
            // One line per kind: the options that apply to it.
            QStringList splitHeads;
            kinds.clear();
            for (const QString &head : heads) {
                for (const QString &word : p.words) {
                    splitHeads << head + QLatin1Char(' ') + word;
                    kinds << word;
                }
            }
            heads = splitHeads;
        } else {
            for (QString &head : heads)
                head += QLatin1Char(' ') + p.name;
        }
    }
    QStringList lines;
    for (qsizetype i = 0; i < heads.size(); ++i) {
        // Further lines stand under the first one's program name; a line's continuations under its options.
        const QString head = (i == 0 ? lead : QString(lead.size(), QLatin1Char(' '))) + Program +
                             QLatin1Char(' ') + verb.name + heads[i];
        const int indent = std::min(int(head.size()) + 1, HelpWidth / 2);
        lines += tokenLines(head, optionTokens(verb.options, kinds.value(i)) + trailing, indent);
    }
    return lines;
}

QString verbHelp(const VerbSpec &verb)
{
    const QList<VerbSpec> subs = subVerbs(verb.name);
    QStringList lines;
    if (subs.isEmpty()) {
        lines += usageLines(verb, QStringLiteral("Usage: "));
    } else {
        lines << QStringLiteral("Usage:");
        for (const VerbSpec &v : subs)
            lines += usageLines(v, QStringLiteral("  "));
    }
    lines << QString();
    lines += paragraphs(verb.description.isEmpty() ? sentence(verb.summary) : verb.description);
    lines << QString();
    if (subs.isEmpty()) {
        lines += optionLines(verb);
    } else {
        lines += summaryLines(subs, true);
        lines << QString();
        lines += wrapped(QStringLiteral("Each of them answers --help with its options, such as %1 %2 --help.")
                             .arg(Program, subs.first().name),
                         HelpWidth, 0);
    }
    if (!verb.exitStatus.isEmpty()) {
        lines << QString();
        lines += wrapped(QStringLiteral("Exit status: ") + verb.exitStatus, HelpWidth, 0);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString programHelp()
{
    QStringList lines{QStringLiteral("Usage:")};
    QList<VerbSpec> verbs;
    for (const VerbSpec &v : declarations()) {
        if (v.name.contains(QLatin1Char(' ')))
            continue;
        verbs << v;
        if (subVerbs(v.name).isEmpty())
            lines += usageLines(v, QStringLiteral("  "));
        else
            lines += wrapped(QStringLiteral("  %1 %2 %3 ...")
                                 .arg(Program, v.name, subVerbNames(v.name).join(QLatin1Char('|'))),
                             HelpWidth, 4);
    }
    lines << QStringLiteral("  %1 --help | --version").arg(Program) << QString();
    lines += summaryLines(verbs, false);
    lines << QString();
    lines += wrapped(QStringLiteral("Each command answers --help with its options and what they do, such as "
                                    "%1 listen --help. Each option is given once.")
                         .arg(Program),
                     HelpWidth, 0);
    lines +=
        wrapped(QStringLiteral("Exit status: 0 done, 1 the command failed, 2 bad arguments."), HelpWidth, 0);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace cli
