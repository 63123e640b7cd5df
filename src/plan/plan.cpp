#include "plan/plan.h"

#include "bus/fieldadvice.h"
#include "file/regularfile.h"
#include "plan/wording.h"
#include "serial/devicepath.h"
#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

#include <QHash>
#include <QRegularExpression>

#include <toml++/toml.h>

#include <algorithm>
#include <utility>

namespace plan {

using vocabulary::iconProducts;
using vocabulary::productCaption;
using vocabulary::showsIcons;

namespace {

using vocabulary::List;

QString qs(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// A value as text, whichever of the two forms the plan gives it in; nothing for any other TOML type.
std::optional<QString> valueText(const toml::node &node)
{
    if (const auto *s = node.as_string())
        return qs(s->get());
    if (const auto *i = node.as_integer())
        return QString::number(i->get());
    return std::nullopt;
}

std::optional<int> number(const QString &text, int first, int last)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < first || n > last)
        return std::nullopt;
    return n;
}

// A TOML basic string: quotes and backslashes escaped, and any control character as \uXXXX, so whatever
// the text holds reads back as it was.
QString quoted(const QString &text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            escaped += QLatin1Char('\\') + c;
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            escaped += QStringLiteral("\\u%1").arg(uint(c.unicode()), 4, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

const char *keyName(Value kind)
{
    switch (kind) {
    case Value::Product:
        return "product";
    case Value::Talker:
        return "talker";
    case Value::Sentence:
        return "sentence";
    case Value::Field:
        return "field";
    case Value::Type:
        return "type";
    case Value::Instrument:
        return "instrument";
    case Value::Icon:
        return "icon";
    case Value::Location:
        return "location";
    }
    return "";
}

// A value or key from the plan as a fault message shows it: quoted, with anything but printable ASCII
// escaped, so that no byte of the file reaches the terminal as a control and no look-alike passes for a valid
// text.
QString shownText(const QString &text)
{
    return QLatin1Char('"') + serial::printableAscii(text).replace(QLatin1Char('"'), QStringLiteral("\\\"")) +
           QLatin1Char('"');
}

// Where the text first crosses a plan's limits, and why; nothing when it keeps within them. The parser
// recurses once per level of a key or header and once per table or array around it, so depth is counted
// here first, in one pass that knows strings and comments and keeps nothing but counters.
struct Overrun {
    toml::source_position at;
    QString message;
};

std::optional<Overrun> overLimits(const QByteArray &text)
{
    toml::source_position at{1, 1};
    const auto advance = [&](char c) {
        if (c == '\n') {
            ++at.line;
            at.column = 1;
        } else if ((quint8(c) & 0xC0) != 0x80) { // columns count characters, not UTF-8 bytes
            ++at.column;
        }
    };
    if (text.size() > MaxPlanBytes) {
        for (qsizetype i = 0; i < MaxPlanBytes; ++i)
            advance(text[i]);
        return Overrun{at,
                       QStringLiteral("the plan goes on past %1 bytes (1 MB) here; a plan is at most that "
                                      "long, and a whole display takes under 1 KB")
                           .arg(MaxPlanBytes)};
    }

    const auto nested = [](const toml::source_position &where) {
        return Overrun{where,
                       QStringLiteral("keys, tables and arrays nest more than %1 deep here; a plan needs "
                                      "three ([location.1] and its keys)")
                           .arg(MaxKeyDepth)};
    };
    enum class Mode { Key, Value, Header };
    Mode mode = Mode::Key;
    bool lineStart = true;      // nothing but blanks before, on this line
    int dots = 0;               // in the key or header being read
    int headerDepth = 0;        // of the last table header, under which the keys that follow stand
    char open[MaxKeyDepth + 1]; // the arrays ('[') and inline tables ('{') around the position
    int nesting = 0;
    const auto tooDeep = [&] {
        return (mode == Mode::Header ? dots + 1 : headerDepth + nesting + dots + 1) > MaxKeyDepth;
    };
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = text[i];
        const toml::source_position here = at;
        if (c == '"' || c == '\'') {
            // A string is skipped whole: dots and brackets inside it count for nothing.
            const bool multiLine = i + 2 < size && text[i + 1] == c && text[i + 2] == c;
            for (int k = multiLine ? 3 : 1; k > 0; --k)
                advance(text[i++]);
            while (i < size) {
                if (multiLine && i + 2 < size && text[i] == c && text[i + 1] == c && text[i + 2] == c) {
                    for (int k = 0; k < 3; ++k)
                        advance(text[i++]);
                    break;
                }
                if (!multiLine && text[i] == c) {
                    advance(text[i++]);
                    break;
                }
                if (!multiLine && text[i] == '\n')
                    break; // unterminated: the parser says so
                if (c == '"' && text[i] == '\\' && i + 1 < size)
                    advance(text[i++]);
                advance(text[i++]);
            }
            --i;
            lineStart = false;
            continue;
        }
        advance(c);
        if (c == '#') {
            while (i + 1 < size && text[i + 1] != '\n')
                advance(text[++i]);
            continue;
        }
        if (c == '\n') {
            lineStart = true;
            if (nesting == 0) {
                mode = Mode::Key;
                dots = 0;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r')
            continue;
        const bool first = std::exchange(lineStart, false);
        switch (c) {
        case '=':
            if (mode == Mode::Key) {
                mode = Mode::Value;
                dots = 0;
            }
            break;
        case '.':
            if (mode != Mode::Value && (++dots, tooDeep()))
                return nested(here);
            break;
        case '[':
        case '{':
            if (c == '[' && mode == Mode::Key && first && nesting == 0) {
                mode = Mode::Header;
                dots = 0;
                if (i + 1 < size && text[i + 1] == '[')
                    advance(text[++i]);
            } else if (mode == Mode::Value) {
                open[nesting++] = c;
                if (c == '{') {
                    mode = Mode::Key;
                    dots = 0;
                }
                if (tooDeep()) // before the array can overflow: each level adds one to the depth
                    return nested(here);
            }
            break;
        case ']':
            if (mode == Mode::Header) {
                headerDepth = dots + 1;
                mode = Mode::Value; // the rest of the line holds nothing that counts
            } else if (nesting > 0 && open[nesting - 1] == '[') {
                --nesting;
            }
            break;
        case '}':
            if (nesting > 0 && open[nesting - 1] == '{') {
                --nesting;
                mode = Mode::Value;
            }
            break;
        case ',':
            if (nesting > 0) {
                mode = open[nesting - 1] == '{' ? Mode::Key : Mode::Value;
                dots = 0;
            }
            break;
        default:
            break;
        }
    }
    return std::nullopt;
}

// toml++ keeps a table's keys sorted by name; faults and "first given at" read in the file's order.
std::vector<std::pair<const toml::key *, const toml::node *>> inFileOrder(const toml::table &table)
{
    std::vector<std::pair<const toml::key *, const toml::node *>> entries;
    for (auto &&[key, node] : table)
        entries.emplace_back(&key, &node);
    std::stable_sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) {
        const toml::source_position pa = a.first->source().begin, pb = b.first->source().begin;
        return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
    });
    return entries;
}

class Reader {
public:
    explicit Reader(QString file) : m_file(std::move(file)) {}

    ReadResult read(const QByteArray &text)
    {
        if (const std::optional<Overrun> over = overLimits(text)) {
            fault(over->at, over->message);
            return finish();
        }
        toml::table root;
        try {
            root = toml::parse(std::string_view(text.constData(), std::size_t(text.size())),
                               m_file.toStdString());
        } catch (const toml::parse_error &e) {
            const QString description = qs(e.description());
            QString message = QStringLiteral("TOML syntax error: ") + plainSyntaxError(description);
            // The parser names what is redefined: 'location', 'location.3' or another key.
            static const QRegularExpression redefinedLocation(
                QStringLiteral("redefine .*'location(\\.[^.']*)?'"));
            if (redefinedLocation.match(description).hasMatch()) {
                if (message.endsWith(QLatin1String("give each table once")))
                    message.chop(int(qstrlen("give each table once")));
                else
                    message += QStringLiteral("; ");
                message += QStringLiteral("each location is given at most once");
            }
            fault(e.source().begin, message);
            return finish();
        }

        const toml::source_position top{1, 1};
        for (const auto &[keyPointer, nodePointer] : inFileOrder(root)) {
            const toml::key &key = *keyPointer;
            const toml::node &node = *nodePointer;
            const QString name = qs(key.str());
            if (name == QLatin1String("product"))
                readProduct(node);
            else if (name == QLatin1String("location"))
                readLocations(key, node);
            else
                fault(key.source().begin, QStringLiteral("unknown key %1; valid keys here: product, "
                                                         "[location.N] tables")
                                              .arg(shownText(name)));
        }
        if (!root.contains("product"))
            fault(top, QStringLiteral("product is missing; valid values: ") + validValues(Value::Product));
        if (!showsIcons(m_result.plan.product) && m_result.plan.product >= 0) {
            for (const auto &[position, location] : m_icons)
                fault(position,
                      QStringLiteral("location %1 has an icon, but product %2 (%3) shows none; icons "
                                     "are for product %4 only")
                          .arg(location)
                          .arg(m_result.plan.product)
                          .arg(productCaption(m_result.plan.product), iconProducts()));
        }
        return finish();
    }

private:
    void fault(const toml::source_position &at, const QString &message)
    {
        m_result.faults << Fault{m_file, int(at.line), int(at.column), message};
    }

    ReadResult finish()
    {
        std::stable_sort(m_result.faults.begin(), m_result.faults.end(), [](const Fault &a, const Fault &b) {
            return a.line != b.line ? a.line < b.line : a.column < b.column;
        });
        std::sort(m_result.plan.locations.begin(), m_result.plan.locations.end(),
                  [](const Location &a, const Location &b) { return a.location < b.location; });
        return m_result;
    }

    // The value of a key through its lookup, or a fault at the value naming what is valid.
    std::optional<int> value(Value kind, const toml::node &node, const QString &where)
    {
        QString valid;
        const std::optional<QString> text = valueText(node);
        std::optional<int> found;
        if (text)
            found = lookup(kind, *text, &valid);
        if (!found) {
            fault(node.source().begin,
                  QStringLiteral("%1%2: %3 is not valid; %4")
                      .arg(where, QString::fromLatin1(keyName(kind)),
                           text ? shownText(*text) : QStringLiteral("this kind of value"),
                           text ? notValidHint(kind, *text)
                                : QStringLiteral("valid values: ") + briefValues(kind)));
        }
        return found;
    }

    void readProduct(const toml::node &node)
    {
        if (const std::optional<int> p = value(Value::Product, node, QString()))
            m_result.plan.product = *p;
    }

    void readLocations(const toml::key &key, const toml::node &node)
    {
        const toml::table *table = node.as_table();
        if (!table) {
            fault(key.source().begin,
                  QStringLiteral("location is a group of tables [location.1] to [location.10], not a value"));
            return;
        }
        for (const auto &[locationKeyPointer, entryPointer] : inFileOrder(*table)) {
            const toml::key &locationKey = *locationKeyPointer;
            const toml::node &entry = *entryPointer;
            const QString name = qs(locationKey.str());
            const std::optional<int> n = number(name, FirstLocation, LastLocation);
            if (!n) {
                fault(locationKey.source().begin,
                      QStringLiteral("location %1 is out of range; valid locations: "
                                     "1 to 10")
                          .arg(shownText(name)));
                continue;
            }
            const toml::table *fields = entry.as_table();
            if (!fields) {
                fault(locationKey.source().begin,
                      QStringLiteral("location %1 is a table of keys ([location.%1]), not a value").arg(*n));
                continue;
            }
            if (m_seen.contains(*n)) {
                fault(locationKey.source().begin,
                      QStringLiteral("location %1 is given twice (first at line %2); "
                                     "each location is given at most once")
                          .arg(*n)
                          .arg(m_seen.value(*n)));
                continue;
            }
            m_seen.insert(*n, int(locationKey.source().begin.line));
            readLocation(*n, locationKey, *fields);
        }
    }

    void readLocation(int n, const toml::key &header, const toml::table &fields)
    {
        Location l;
        l.location = n;
        frame::Standard standard;
        int instrument = -1;
        l.line = int(header.source().begin.line);
        l.column = int(header.source().begin.column);
        const QString where = QStringLiteral("location %1: ").arg(n);
        bool ok = true;
        const toml::key *standardKey = nullptr;
        const toml::key *instrumentKey = nullptr;
        const toml::node *typeNode = nullptr;
        const toml::key *typeKey = nullptr;
        bool hasTalker = false, hasSentence = false, hasField = false;

        for (const auto &[keyPointer, nodePointer] : inFileOrder(fields)) {
            const toml::key &key = *keyPointer;
            const toml::node &node = *nodePointer;
            const QString name = qs(key.str());
            std::optional<int> v;
            if (name == QLatin1String("talker")) {
                hasTalker = true;
                standardKey = standardKey ? standardKey : &key;
                ok = (v = value(Value::Talker, node, where)) && ok;
                standard.talker = v.value_or(-1);
            } else if (name == QLatin1String("sentence")) {
                hasSentence = true;
                standardKey = standardKey ? standardKey : &key;
                ok = (v = value(Value::Sentence, node, where)) && ok;
                standard.sentence = v.value_or(-1);
            } else if (name == QLatin1String("field")) {
                hasField = true;
                standardKey = standardKey ? standardKey : &key;
                ok = (v = value(Value::Field, node, where)) && ok;
                standard.field = v.value_or(0);
            } else if (name == QLatin1String("type")) {
                standardKey = standardKey ? standardKey : &key;
                typeNode = &node;
                typeKey = &key;
            } else if (name == QLatin1String("instrument")) {
                instrumentKey = &key;
                ok = (v = value(Value::Instrument, node, where)) && ok;
                instrument = v.value_or(-1);
            } else if (name == QLatin1String("note")) {
                const auto *text = node.as_string();
                const std::optional<QString> problem =
                    text ? noteProblem(qs(text->get()))
                         : std::optional<QString>(QStringLiteral("a note is text in quotes"));
                if (problem) {
                    ok = false;
                    fault(node.source().begin, QStringLiteral("%1note: %2").arg(where, *problem));
                } else {
                    l.note = qs(text->get());
                }
            } else if (name == QLatin1String("icon")) {
                ok = (v = value(Value::Icon, node, where)) && ok;
                l.icon = v.value_or(0);
                if (v && *v != 0)
                    m_icons.push_back({node.source().begin, n});
            } else {
                ok = false;
                fault(key.source().begin,
                      QStringLiteral(
                          "%1unknown key %2; valid keys: talker, sentence, field, type (XDR only), icon, "
                          "note, or instrument, icon, note")
                          .arg(where, shownText(name)));
            }
        }

        const toml::source_position at = header.source().begin;
        if (instrumentKey && standardKey) {
            // Reported where the second of the two stands, naming the first.
            const bool instrumentLater =
                instrumentKey->source().begin.line > standardKey->source().begin.line;
            const toml::key *later = instrumentLater ? instrumentKey : standardKey;
            const toml::key *earlier = instrumentLater ? standardKey : instrumentKey;
            fault(later->source().begin,
                  QStringLiteral("%1%2 cannot be given with %3 (line %4); a location shows either a standard "
                                 "sentence (talker, sentence, field) or an instrument")
                      .arg(where, qs(later->str()), qs(earlier->str()))
                      .arg(earlier->source().begin.line));
            return;
        }
        if (instrumentKey) {
            l.what = frame::Instrument{instrument};
        } else {
            if (!hasTalker && !hasSentence && !hasField && !typeNode) {
                // A note alone names a location but shows nothing on it.
                fault(at, QStringLiteral("%1shows nothing; give talker, sentence and field, or instrument")
                              .arg(where));
                return;
            }
            const auto missing = [&](bool has, Value kind) {
                if (!has) {
                    ok = false;
                    fault(at, QStringLiteral("%1%2 is missing; valid values: %3")
                                  .arg(where, QString::fromLatin1(keyName(kind)), briefValues(kind)));
                }
            };
            missing(hasTalker, Value::Talker);
            missing(hasSentence, Value::Sentence);
            missing(hasField, Value::Field);
            const bool xdr = standard.sentence == vocabulary::XdrPosition;
            if (typeNode && hasSentence && standard.sentence >= 0 && !xdr) {
                ok = false;
                fault(typeKey->source().begin,
                      QStringLiteral("%1type applies only to the sentence XDR, not %2")
                          .arg(where, vocabulary::entries(List::Identifier).at(standard.sentence)));
            } else if (typeNode) {
                const std::optional<int> v = value(Value::Type, *typeNode, where);
                ok = v && ok;
                standard.type = v.value_or(-1);
            } else if (xdr) {
                missing(false, Value::Type);
            }
            l.what = standard;
        }
        if (ok)
            m_result.plan.locations << l;
    }

    QString m_file;
    ReadResult m_result;
    QHash<int, int> m_seen; // location -> line of its first table
    std::vector<std::pair<toml::source_position, int>> m_icons;
};

} // namespace

QString Fault::text() const
{
    if (line <= 0)
        return QStringLiteral("%1: %2").arg(serial::printable(file), message);
    return QStringLiteral("%1:%2:%3: %4").arg(serial::printable(file)).arg(line).arg(column).arg(message);
}

ReadResult parsePlan(const QByteArray &text, const QString &fileName)
{
    return Reader(fileName).read(text);
}

ReadResult readPlan(const QString &path)
{
    const file::Contents c = file::read(path, MaxPlanBytes);
    if (!c.ok()) {
        QString problem = c.problem == file::Problem::Missing ? QStringLiteral("no such file")
                                                              : QStringLiteral("it ") + c.failure;
        if (c.problem == file::Problem::NotRegular)
            problem += QStringLiteral("; give a plan file");
        ReadResult r;
        r.faults << Fault{path, 0, 0, QStringLiteral("cannot read the plan: ") + problem};
        return r;
    }
    return parsePlan(c.bytes, path);
}

QString validValues(Value kind)
{
    switch (kind) {
    case Value::Product: {
        QStringList products;
        for (int p = 0; p < ProductCount; ++p)
            products << QStringLiteral("%1 (%2)").arg(p).arg(productCaption(p));
        return products.join(QStringLiteral(", ")) + QStringLiteral(", or the caption");
    }
    case Value::Talker:
        return vocabulary::entries(List::Talker).join(QStringLiteral(", "));
    case Value::Sentence:
        return vocabulary::entries(List::Identifier).join(QStringLiteral(", "));
    case Value::Field:
        return QStringLiteral("1 to %1").arg(vocabulary::CommaCount);
    case Value::Type:
        return vocabulary::transducerLetters().join(QStringLiteral(", ")) +
               QStringLiteral(", or the whole entry text");
    case Value::Instrument:
        return QStringLiteral("1 to %1, or one of: ").arg(vocabulary::InstrumentCount) +
               vocabulary::entries(List::Instrument).join(QStringLiteral(", "));
    case Value::Icon:
        return frame::iconCaptions().join(QStringLiteral(", "));
    case Value::Location:
        return QStringLiteral("%1 to %2").arg(FirstLocation).arg(LastLocation);
    }
    return {};
}

QString briefValues(Value kind)
{
    const auto ends = [](List list, const char *what) {
        const QStringList &all = vocabulary::entries(list);
        return QStringLiteral("one of the %1 %2 of the window's list, %3 to %4")
            .arg(all.size())
            .arg(QLatin1String(what), all.first(), all.last());
    };
    switch (kind) {
    case Value::Talker:
        return ends(List::Talker, "talker IDs");
    case Value::Sentence:
        return ends(List::Identifier, "sentence identifiers");
    case Value::Instrument:
        return QStringLiteral("1 to %1, or an instrument's name as the window's list shows it")
            .arg(vocabulary::InstrumentCount);
    default:
        return validValues(kind);
    }
}

QString notValidHint(Value kind, const QString &text)
{
    QStringList entries;
    switch (kind) {
    case Value::Talker:
        entries = vocabulary::entries(List::Talker);
        break;
    case Value::Sentence:
        entries = vocabulary::entries(List::Identifier);
        break;
    case Value::Instrument:
        entries = vocabulary::entries(List::Instrument);
        break;
    case Value::Type:
        entries = vocabulary::entries(List::Xdr);
        break;
    case Value::Icon:
        entries = frame::iconCaptions();
        break;
    default:
        break;
    }
    const QString near = didYouMean(text, entries);
    if (near.isEmpty())
        return QStringLiteral("valid values: ") + briefValues(kind);
    // A short list is still given whole after the guess; a long one would bury it.
    if (kind == Value::Type || kind == Value::Icon)
        return near + QStringLiteral(" valid values: ") + validValues(kind);
    return near;
}

std::optional<int> lookup(Value kind, const QString &raw, QString *valid)
{
    const QString text = raw.trimmed();
    std::optional<int> found;
    int p = -1;
    switch (kind) {
    case Value::Product:
        found = number(text, 0, ProductCount - 1);
        for (int i = 0; i < ProductCount && !found; ++i) {
            if (productCaption(i).simplified().compare(text.simplified(), Qt::CaseInsensitive) == 0)
                found = i;
        }
        break;
    case Value::Talker:
        p = vocabulary::findEntry(List::Talker, text);
        break;
    case Value::Sentence:
        p = vocabulary::findEntry(List::Identifier, text);
        break;
    case Value::Field:
        found = number(text, 1, vocabulary::CommaCount);
        break;
    case Value::Type:
        p = vocabulary::findTransducerLetter(text);
        if (p < 0)
            p = vocabulary::findEntry(List::Xdr, text);
        break;
    case Value::Instrument:
        if (const std::optional<int> n = number(text, 1, int(vocabulary::entries(List::Instrument).size())))
            p = *n - 1;
        else
            p = vocabulary::findEntry(List::Instrument, text);
        break;
    case Value::Icon:
        p = frame::findIcon(text);
        break;
    case Value::Location:
        found = number(text, FirstLocation, LastLocation);
        break;
    }
    if (!found && p >= 0)
        found = p;
    if (!found && valid)
        *valid = validValues(kind);
    return found;
}

frame::SentenceBytes compose(int product, const Location &l)
{
    frame::SentenceBytes s;
    frame::encode(l, vocabulary::product(product), s);
    frame::fillCheckBytes(s);
    return s;
}

QList<QByteArray> frames(int product, const Location &location)
{
    return frame::sendFrames(compose(product, location));
}

QString productText(int product)
{
    return QStringLiteral("# Display plan for mdconfig-cli: check it with \"mdconfig-cli plan check FILE\"\n"
                          "product = %1                 # %2\n")
        .arg(product)
        .arg(productCaption(product));
}

QString locationText(const Location &l, int product)
{
    QString t = QStringLiteral("[location.%1]\n").arg(l.location);
    if (!l.note.isEmpty())
        t += QStringLiteral("note = %1\n").arg(quoted(l.note));
    if (const frame::Instrument *in = l.instrument()) {
        t += QStringLiteral("instrument = %1\n")
                 .arg(quoted(vocabulary::entries(List::Instrument).value(in->instrument)));
    } else {
        const frame::Standard &st = *l.standard();
        t += QStringLiteral("talker = %1\n").arg(quoted(vocabulary::entries(List::Talker).value(st.talker)));
        t += QStringLiteral("sentence = %1\n")
                 .arg(quoted(vocabulary::entries(List::Identifier).value(st.sentence)));
        t += QStringLiteral("field = %1\n").arg(st.field);
        if (l.isXdr())
            t += QStringLiteral("type = %1\n").arg(quoted(vocabulary::xdrCode(st.type).value_or(QString())));
    }
    if (showsIcons(product) && l.icon != 0)
        t += QStringLiteral("icon = %1\n").arg(quoted(frame::iconCaptions().value(l.icon)));
    return t;
}

QByteArray planText(const Plan &plan)
{
    QString t = productText(plan.product);
    QList<Location> sorted = plan.locations;
    std::sort(sorted.begin(), sorted.end(),
              [](const Location &a, const Location &b) { return a.location < b.location; });
    for (const Location &l : sorted)
        t += QLatin1Char('\n') + locationText(l, plan.product);
    return t.toUtf8();
}

QStringList warnings(const frame::Configuration &c)
{
    const frame::Standard *s = c.standard();
    const QStringList &identifiers = vocabulary::entries(vocabulary::List::Identifier);
    if (!s || s->sentence < 0 || s->sentence >= identifiers.size())
        return {};
    return bus::fieldWarnings(identifiers[s->sentence], s->field);
}

std::optional<QString> noteProblem(const QString &note)
{
    for (const QChar c : note) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("a note is one line of text, without line breaks or control characters");
    }
    if (note.size() > MaxNoteLength)
        return QStringLiteral("a note is at most %1 characters; this one has %2")
            .arg(MaxNoteLength)
            .arg(note.size());
    return std::nullopt;
}

QStringList comments(const QByteArray &text)
{
    // A '#' starts a comment only outside strings; strings may span lines when their quotes are tripled.
    QStringList found;
    const QString t = QString::fromUtf8(text);
    QString open; // the quotes of the string being read, empty outside one
    for (qsizetype i = 0; i < t.size(); ++i) {
        const QChar c = t[i];
        if (!open.isEmpty()) {
            if (c == QLatin1Char('\\') && open.startsWith(QLatin1Char('"'))) {
                ++i; // the escaped character cannot end the string
            } else if (QStringView(t).mid(i).startsWith(open)) {
                i += open.size() - 1;
                open.clear();
            } else if (c == QLatin1Char('\n') && open.size() == 1) {
                open.clear(); // an unended one-line string; the reader reports it
            }
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            const QString triple(3, c);
            open = QStringView(t).mid(i).startsWith(triple) ? triple : QString(c);
            i += open.size() - 1;
        } else if (c == QLatin1Char('#')) {
            qsizetype end = t.indexOf(QLatin1Char('\n'), i);
            if (end < 0)
                end = t.size();
            found << t.mid(i + 1, end - i - 1).trimmed();
            i = end;
        }
    }
    return found;
}

QStringList droppedComments(const QByteArray &existing, const QByteArray &replacement)
{
    QStringList kept = comments(replacement);
    QStringList dropped;
    for (const QString &c : comments(existing)) {
        if (c.isEmpty())
            continue;
        // Each comment of the new text accounts for one alike in the old.
        if (!kept.removeOne(c))
            dropped << c;
    }
    return dropped;
}

std::optional<QString> appendLocation(const QString &path, const Location &location, int product,
                                      bool *notAPlanFile)
{
    // Held from the read to the replacement, so that an append made meanwhile is read, not written over.
    // The name as it may be printed: a file name can carry escape sequences.
    const QString shownPath = serial::printable(path);
    file::Change change(path, MaxPlanBytes);
    if (notAPlanFile)
        *notAPlanFile =
            change.problem() == file::Problem::NotRegular || change.problem() == file::Problem::TooLarge;
    if (!change.ok())
        return QStringLiteral("%1 %2; nothing was added").arg(shownPath, change.failure());
    QByteArray text = change.bytes();
    // An empty file (made with touch, say, or just now for this location) is taken as a new plan.
    if (!text.isEmpty()) {
        const ReadResult existing = parsePlan(text, path);
        if (!existing.faults.isEmpty()) {
            return QStringLiteral("%1 is not a clean plan, so nothing was added (%2 fault(s); the first: %3)")
                .arg(shownPath)
                .arg(existing.faults.size())
                .arg(existing.faults.first().text());
        }
        if (existing.plan.product != product) {
            return QStringLiteral("%1 is a plan for product %2 (%3), not %4 (%5); nothing was added")
                .arg(shownPath)
                .arg(existing.plan.product)
                .arg(productCaption(existing.plan.product))
                .arg(product)
                .arg(productCaption(product));
        }
        for (const Location &l : existing.plan.locations) {
            if (l.location == location.location)
                return QStringLiteral("%1 already has location %2 (line %3); nothing was added")
                    .arg(shownPath)
                    .arg(l.location)
                    .arg(l.line);
        }
        if (!text.endsWith('\n'))
            text += '\n';
    } else {
        text = productText(product).toUtf8();
    }
    text += '\n' + locationText(location, product).toUtf8();
    // The result is checked as a whole before it replaces anything.
    const ReadResult written = parsePlan(text, path);
    if (!written.faults.isEmpty())
        return QStringLiteral("the new plan would not be clean (%1); nothing was added")
            .arg(written.faults.first().text());
    if (const std::optional<QString> failed = change.commit(text)) {
        if (notAPlanFile)
            *notAPlanFile = change.problem() == file::Problem::NotRegular;
        return QStringLiteral("%1 %2; nothing was added").arg(shownPath, *failed);
    }
    return std::nullopt;
}

namespace {

// The note a location taken over an old one carries: its own, else the old one's while the location still
// shows the same; a name for the speed over ground must not stay on a location that now shows the depth.
QString keptNote(const Location &taken, const Location &before)
{
    if (!taken.note.isEmpty())
        return taken.note;
    return taken.what == before.what ? before.note : QString();
}

} // namespace

QByteArray mergedText(const QByteArray &text, const Plan &existing, const QList<Location> &taken)
{
    QList<QByteArray> lines = text.split('\n');
    // Where each table of the text starts and ends: from its header to its last key, so comment lines and
    // blank lines before the next table stay with what follows.
    const auto isKeyLine = [](const QByteArray &line) {
        const QByteArray t = line.trimmed();
        return !t.isEmpty() && !t.startsWith('#');
    };
    QList<int> headers; // 0-based line of each location's header, in file order
    for (const Location &l : existing.locations)
        headers << l.line - 1;
    std::sort(headers.begin(), headers.end());
    const auto spanEnd = [&](int header) {
        int next = int(lines.size());
        for (int h : headers) {
            if (h > header) {
                next = h;
                break;
            }
        }
        int last = header;
        for (int i = header + 1; i < next; ++i) {
            if (isKeyLine(lines[i]))
                last = i;
        }
        return last;
    };
    QList<Location> added;
    // Replaced from the end of the text backwards, so the lines of tables not yet replaced keep their place.
    QList<QPair<int, Location>> replaced;
    for (const Location &t : taken) {
        const auto found = std::find_if(existing.locations.begin(), existing.locations.end(),
                                        [&](const Location &e) { return e.location == t.location; });
        Location l = t;
        if (found == existing.locations.end()) {
            added << l;
            continue;
        }
        l.note = keptNote(t, *found);
        // A location given by dotted keys rather than its own [location.N] table has no span to replace.
        if (!lines.value(found->line - 1).trimmed().startsWith("[location")) {
            added.clear();
            Plan whole = existing;
            for (const Location &n : taken) {
                Location kept = n;
                for (const Location &e : existing.locations)
                    if (e.location == n.location)
                        kept.note = keptNote(n, e);
                whole.locations.removeIf([&](const Location &e) { return e.location == n.location; });
                whole.locations << kept;
            }
            return planText(whole);
        }
        replaced.append({found->line - 1, l});
    }
    std::sort(replaced.begin(), replaced.end(),
              [](const auto &a, const auto &b) { return a.first > b.first; });
    for (const auto &[header, l] : replaced) {
        const int last = spanEnd(header);
        QList<QByteArray> table = locationText(l, existing.product).toUtf8().split('\n');
        if (table.last().isEmpty())
            table.removeLast();
        lines.remove(header, last - header + 1);
        for (int i = 0; i < table.size(); ++i)
            lines.insert(header + i, table[i]);
    }
    QByteArray merged = lines.join('\n');
    std::sort(added.begin(), added.end(),
              [](const Location &a, const Location &b) { return a.location < b.location; });
    for (const Location &l : added) {
        if (!merged.endsWith('\n'))
            merged += '\n';
        merged += '\n' + locationText(l, existing.product).toUtf8();
    }
    return merged;
}

std::optional<QString> refusePlanFile(const QString &path, int product, int *planProduct)
{
    const file::Contents c = file::read(path, MaxPlanBytes);
    if (c.problem == file::Problem::Missing || (c.ok() && c.bytes.trimmed().isEmpty()))
        return std::nullopt;
    const QString shown = serial::printable(path);
    if (!c.ok())
        return QStringLiteral("%1 %2; give a plan file").arg(shown, c.failure);
    const ReadResult r = parsePlan(c.bytes, path);
    if (!r.faults.isEmpty())
        return QStringLiteral("%1 is not a clean plan (%2 fault(s); the first: %3); nothing is written to it")
            .arg(shown)
            .arg(r.faults.size())
            .arg(r.faults.first().text());
    if (planProduct)
        *planProduct = r.plan.product;
    if (product >= 0 && r.plan.product != product)
        return QStringLiteral("%1 is a plan for product %2 (%3), not %4 (%5); nothing is written to it")
            .arg(shown)
            .arg(r.plan.product)
            .arg(productCaption(r.plan.product))
            .arg(product)
            .arg(productCaption(product));
    return std::nullopt;
}

std::optional<QString> mergeLocations(const QString &path, const QList<Location> &taken, int product,
                                      const QString &header)
{
    const QString shown = serial::printable(path);
    file::Change change(path, MaxPlanBytes);
    if (!change.ok())
        return QStringLiteral("%1 %2; it was left as it was").arg(shown, change.failure());
    QByteArray text;
    if (change.bytes().trimmed().isEmpty()) {
        Plan fresh{product, taken};
        text = header.toUtf8() + planText(fresh);
    } else {
        const ReadResult existing = parsePlan(change.bytes(), path);
        if (!existing.faults.isEmpty())
            return QStringLiteral("%1 is not a clean plan (%2); it was left as it was")
                .arg(shown, existing.faults.first().text());
        if (existing.plan.product != product)
            return QStringLiteral("%1 is a plan for product %2 (%3), not %4 (%5); it was left as it was")
                .arg(shown)
                .arg(existing.plan.product)
                .arg(productCaption(existing.plan.product))
                .arg(product)
                .arg(productCaption(product));
        text = mergedText(change.bytes(), existing.plan, taken);
    }
    const ReadResult written = parsePlan(text, path);
    if (!written.faults.isEmpty())
        return QStringLiteral("the merged plan would not be clean (%1); %2 was left as it was")
            .arg(written.faults.first().text(), shown);
    if (const std::optional<QString> failed = change.commit(text))
        return QStringLiteral("%1 %2; it was left as it was").arg(shown, *failed);
    return std::nullopt;
}

std::optional<QString> replaceFile(const QString &path, const QByteArray &text)
{
    if (const std::optional<QString> failed = file::replace(path, text))
        return QStringLiteral("%1 %2; it was left as it was").arg(serial::printable(path), *failed);
    return std::nullopt;
}

} // namespace plan
