#include "plan/wording.h"

#include "serial/devicepath.h"

#include <algorithm>
#include <vector>

namespace plan {

namespace {

// Typing slips between two texts: letters put in, left out, changed, or two side by side swapped.
int slips(const QString &a, const QString &b)
{
    const qsizetype n = a.size(), m = b.size();
    std::vector<std::vector<int>> d(std::size_t(n + 1), std::vector<int>(std::size_t(m + 1)));
    for (qsizetype i = 0; i <= n; ++i)
        d[std::size_t(i)][0] = int(i);
    for (qsizetype j = 0; j <= m; ++j)
        d[0][std::size_t(j)] = int(j);
    for (qsizetype i = 1; i <= n; ++i) {
        for (qsizetype j = 1; j <= m; ++j) {
            const auto I = std::size_t(i), J = std::size_t(j);
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[I][J] = std::min({d[I - 1][J] + 1, d[I][J - 1] + 1, d[I - 1][J - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[I][J] = std::min(d[I][J], d[I - 2][J - 2] + 1);
        }
    }
    return d[std::size_t(n)][std::size_t(m)];
}

struct Rule {
    const char *says;  // a part of the parser's description
    const char *means; // what it means for the plan's writer; %1 is the name the parser quotes, if any
};

// The parser's descriptions, the more particular before the more general.
const Rule Rules[] = {
    {"parsing string: unescaped control characters",
     "a closing quote is missing: a text in double quotes ends with \" on the same line"},
    {"parsing literal string: control characters",
     "a closing quote is missing: a text in single quotes ends with ' on the same line"},
    {"parsing string: encountered end-of-file",
     "a closing quote is missing: the text runs on to the end of the file"},
    {"parsing literal string: encountered end-of-file",
     "a closing quote is missing: the text runs on to the end of the file"},
    {"could not determine value type",
     "this value is not understood: put text in quotes (talker = \"GP\") and write numbers in digits (field "
     "= 7)"},
    {"parsing table header: expected ']'", "a closing bracket is missing: a table header reads [location.1]"},
    {"parsing table header: expected a comment or whitespace",
     "something follows the table header on its line: a header reads [location.1], a comment starts with #"},
    {"cannot redefine existing table", "[%1] is given twice; give each table once"},
    {"cannot redefine existing", "%1 is given twice; give each key once in its table"},
    {"parsing key-value pair: encountered end-of-file",
     "the file ends in the middle of a line: a line reads key = value, such as talker = \"GP\""},
    {"parsing value: encountered end-of-file", "the value is missing after the equals sign"},
    {"expected '='", "an equals sign is missing between the key and its value: talker = \"GP\""},
    {"expected value", "the value is missing after the equals sign"},
    {"expected a comment or whitespace",
     "something follows the value on its line: one value a line, and a comment starts with #"},
    {"leading zeroes are prohibited", "a number starts with 0: write 7, not 07"},
    {"unknown escape sequence", "a backslash starts an unknown escape: write \\\\ for a backslash"},
    {"escape sequence", "a backslash starts an unknown escape: write \\\\ for a backslash"},
    {"line-ending backslashes", "a backslash ends the line: a text in quotes stays on its line"},
    {"after '\\r'", "a carriage return stands alone: end each line with a line feed"},
    {"control character", "the line holds a control character: only a tab may stand among the text"},
    {"surrogates", "the file holds a code that is no character (a lone surrogate); save it as UTF-8"},
    {"greater than U+10FFFF", "an escape names no character: \\u and \\U take a code up to 10FFFF"},
    {"parsing array", "a [ is not closed; a plan's values are single texts or numbers, not lists"},
    {"parsing inline table", "a { is not closed; a plan's values are single texts or numbers, not tables"},
    {"array-of-table", "[[ ]] is no plan table: a table header reads [location.1]"},
    {"invalid utf-8", "the file is not UTF-8 text; save it as UTF-8"},
    {"expected keys, tables, whitespace or comments",
     "this line is not understood: each line is key = value, a [table] header or a # comment"},
    {"expected bare key starting character",
     "a key is missing or malformed: keys are plain words such as talker, sentence, field"},
    {"blank bare keys", "a table header has no name: a header reads [location.1]"},
    {"parsing table header", "this table header is not understood: a header reads [location.1]"},
    {"parsing key:", "a key is missing or malformed: keys are plain words such as talker, sentence, field"},
    {"cannot insert", "%1 is given twice; give each key once in its table"},
    {"not representable in 64 bits", "a number is too long: fields and locations are small whole numbers"},
    {"exceeds length limit", "a number is too long: fields and locations are small whole numbers"},
    {"too long to identify", "a number is too long: fields and locations are small whole numbers"},
    {"underscore", "a number holds an underscore: write digits only, such as field = 7"},
    {"parsing date", "a value reads as a date or time: put text in quotes and write numbers in digits"},
    {"parsing time", "a value reads as a date or time: put text in quotes and write numbers in digits"},
    {"could not be interpreted as a value",
     "this value is not understood: put text in quotes (talker = \"GP\") and write numbers in digits (field "
     "= 7)"},
    {"integer", "a number is not understood: write whole numbers in digits, such as field = 7"},
    {"floating-point", "a number is not understood: write whole numbers in digits, such as field = 7"},
    {"parsing boolean",
     "this value is not understood: put text in quotes (talker = \"GP\") and write numbers in digits (field "
     "= 7)"},
    {"nested value depth", "values are nested too deep: a plan's values are single texts or numbers"},
};

// Text quoted from the parser's description as a message shows it: the parser writes controls as escapes
// already, so it is kept as it is (a backslash not doubled) unless it holds a character beyond printable
// ASCII, such as a look-alike letter, which is then escaped.
QString shownParserText(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() >= 0x7f)
            return serial::printableAscii(text);
    }
    return text;
}

} // namespace

QString plainSyntaxError(const QString &description)
{
    for (const Rule &r : Rules) {
        if (!description.contains(QLatin1String(r.says), Qt::CaseInsensitive))
            continue;
        QString means = QString::fromUtf8(r.means);
        if (means.contains(QLatin1String("%1"))) {
            const qsizetype open = description.indexOf(QLatin1Char('\''));
            const qsizetype close = description.indexOf(QLatin1Char('\''), open + 1);
            means = means.arg(open >= 0 && close > open
                                  ? shownParserText(description.mid(open + 1, close - open - 1))
                                  : QStringLiteral("this"));
        }
        return means;
    }
    // A cause no rule knows: the parser's own account without its "Error while parsing ..." frame.
    QString cause = description;
    static const QString Frame = QStringLiteral("Error while parsing ");
    if (cause.startsWith(Frame)) {
        const qsizetype colon = cause.indexOf(QLatin1String(": "));
        cause = colon > 0 ? cause.mid(colon + 2) : cause.mid(Frame.size());
    }
    return QStringLiteral("this line is not understood (%1): each line is key = value, a [table] header or a "
                          "# comment")
        .arg(shownParserText(cause));
}

QStringList nearestEntries(const QString &text, const QStringList &entries, int most)
{
    const QString wanted = text.trimmed().toUpper();
    if (wanted.isEmpty())
        return {};
    struct Near {
        int rank;
        qsizetype position;
    };
    std::vector<Near> near;
    for (qsizetype p = 0; p < entries.size(); ++p) {
        const QString entry = entries[p].toUpper();
        if (entry.contains(wanted) || (entry.size() >= 2 && wanted.contains(entry))) {
            near.push_back({0, p});
            continue;
        }
        const int d = slips(wanted, entry);
        // A third of the longer text may be slips, at least one and at most three.
        const int allowed = std::clamp(int(std::max(wanted.size(), entry.size()) / 3), 1, 3);
        if (d <= allowed)
            near.push_back({d, p});
    }
    std::stable_sort(near.begin(), near.end(), [](const Near &a, const Near &b) { return a.rank < b.rank; });
    QStringList found;
    for (const Near &n : near) {
        if (found.size() == most)
            break;
        found << entries[n.position];
    }
    return found;
}

QString didYouMean(const QString &text, const QStringList &entries)
{
    const QStringList near = nearestEntries(text, entries);
    if (near.isEmpty())
        return {};
    if (near.size() == 1)
        return QStringLiteral("did you mean %1?").arg(near.first());
    return QStringLiteral("did you mean %1 or %2?")
        .arg(near.mid(0, near.size() - 1).join(QStringLiteral(", ")), near.last());
}

} // namespace plan
