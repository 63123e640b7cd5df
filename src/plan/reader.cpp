// Reading a plan file: its text into a plan value, with where each location and key stands, and the faults
// only the text can show (syntax, unknown keys, values that name nothing); the rest is the value's check,
// placed back on the lines it is about.
#include "plan/planparts.h"

#include "file/regularfile.h"
#include "plan/wording.h"
#include "serial/devicepath.h"

#include <QRegularExpression>

#include <toml++/toml.h>

#include <algorithm>
#include <utility>

namespace plan {

using parts::shownText;

namespace {

QString qs(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

Position positionOf(const toml::source_position &p)
{
    return {int(p.line), int(p.column)};
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

QString syntaxMessage(const toml::parse_error &e)
{
    const QString description = qs(e.description());
    QString message = QStringLiteral("TOML syntax error: ") + plainSyntaxError(description);
    // The parser names what is redefined: 'location', 'location.3' or another key.
    static const QRegularExpression redefinedLocation(QStringLiteral("redefine .*'location(\\.[^.']*)?'"));
    if (redefinedLocation.match(description).hasMatch()) {
        if (message.endsWith(QLatin1String("give each table once")))
            message.chop(int(qstrlen("give each table once")));
        else
            message += QStringLiteral("; ");
        message += QStringLiteral("each location is given at most once");
    }
    return message;
}

// The keys of one location as the file gives them, before they become its value.
struct LocationKeys {
    const toml::key *standard = nullptr; // the first of talker, sentence, field, type
    const toml::key *instrument = nullptr;
    const toml::key *type = nullptr;
    const toml::node *typeValue = nullptr;
};

class Reader {
public:
    explicit Reader(QString file) : m_file(std::move(file)) {}

    ReadResult read(const QByteArray &text)
    {
        if (const std::optional<parts::Overrun> over = parts::overLimits(text)) {
            fault(over->at, over->message);
            return finish();
        }
        toml::table root;
        try {
            root = toml::parse(std::string_view(text.constData(), std::size_t(text.size())),
                               m_file.toStdString());
        } catch (const toml::parse_error &e) {
            fault(positionOf(e.source().begin), syntaxMessage(e));
            return finish();
        }
        m_result.isPlan = true;
        for (const auto &[keyPointer, nodePointer] : inFileOrder(root)) {
            const QString name = qs(keyPointer->str());
            if (name == QLatin1String("product"))
                readProduct(*nodePointer);
            else if (name == QLatin1String("location"))
                readLocations(*keyPointer, *nodePointer);
            else
                fault(positionOf(keyPointer->source().begin),
                      QStringLiteral("unknown key %1; valid keys here: product, [location.N] tables")
                          .arg(shownText(name)));
        }
        for (const Fault &f : check(m_result.plan))
            fault(placed(f), f.message, f.location, f.key);
        return finish();
    }

private:
    void fault(const Position &at, const QString &message, int location = 0, const QString &key = {})
    {
        m_result.faults << Fault{m_file, at.line, at.column, message, location, key};
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

    // Where a fault of the value's check stands: at its key's value, else at its location's header, else
    // (a plan-wide fault) at the product or the top of the file.
    Position placed(const Fault &f) const
    {
        const Plan &plan = m_result.plan;
        if (f.location == 0)
            return f.key == QLatin1String("product") && plan.productAt.line > 0 ? plan.productAt
                                                                                : Position{1, 1};
        for (const Location &l : plan.locations) {
            if (l.location == f.location)
                return l.at.value(f.key, Position{l.line, l.column});
        }
        return {1, 1};
    }

    // The value of a key through its lookup; else a fault at the value naming what is valid, and the key
    // is marked unread.
    std::optional<int> value(Value kind, const toml::node &node, Location *l, QSet<QString> &unread)
    {
        const std::optional<QString> text = valueText(node);
        const std::optional<int> found = text ? lookup(kind, *text, nullptr) : std::nullopt;
        const QString key = QString::fromLatin1(parts::keyName(kind));
        const Position at = positionOf(node.source().begin);
        if (l)
            l->at.insert(key, at);
        if (!found) {
            unread.insert(key);
            fault(at, notValidMessage(l ? parts::locationPrefix(l->location) : QString(), kind, text),
                  l ? l->location : 0, key);
        }
        return found;
    }

    void readProduct(const toml::node &node)
    {
        Plan &plan = m_result.plan;
        plan.productAt = positionOf(node.source().begin);
        if (const std::optional<int> p = value(Value::Product, node, nullptr, plan.unread))
            plan.product = *p;
    }

    void readLocations(const toml::key &key, const toml::node &node);
    void readLocation(int n, const toml::key &header, const toml::table &fields);
    bool readKey(Location &l, frame::Standard &st, LocationKeys &keys, const toml::key &key,
                 const toml::node &node);
    void readNote(Location &l, const toml::node &node);
    void settle(Location &l, frame::Standard &st, const LocationKeys &keys);

    QString m_file;
    ReadResult m_result;
    QHash<int, int> m_seen; // location -> line of its first table
};

void Reader::readLocations(const toml::key &key, const toml::node &node)
{
    const toml::table *table = node.as_table();
    if (!table) {
        fault(positionOf(key.source().begin),
              QStringLiteral("location is a group of tables [location.1] to [location.10], not a value"), 0,
              QStringLiteral("location"));
        return;
    }
    for (const auto &[locationKeyPointer, entryPointer] : inFileOrder(*table)) {
        const toml::key &locationKey = *locationKeyPointer;
        const Position at = positionOf(locationKey.source().begin);
        const QString name = qs(locationKey.str());
        const std::optional<int> n = parts::number(name, FirstLocation, LastLocation);
        if (!n) {
            fault(
                at,
                QStringLiteral("location %1 is out of range; valid locations: 1 to 10").arg(shownText(name)),
                0, QStringLiteral("location"));
            continue;
        }
        const toml::table *fields = entryPointer->as_table();
        if (!fields) {
            fault(at, QStringLiteral("location %1 is a table of keys ([location.%1]), not a value").arg(*n),
                  *n);
            continue;
        }
        if (m_seen.contains(*n)) {
            fault(at,
                  QStringLiteral("location %1 is given twice (first at line %2); each location is given at "
                                 "most once")
                      .arg(*n)
                      .arg(m_seen.value(*n)),
                  *n);
            continue;
        }
        m_seen.insert(*n, at.line);
        readLocation(*n, locationKey, *fields);
    }
}

void Reader::readLocation(int n, const toml::key &header, const toml::table &fields)
{
    Location l;
    l.location = n;
    l.line = int(header.source().begin.line);
    l.column = int(header.source().begin.column);
    frame::Standard standard;
    LocationKeys keys;
    for (const auto &[keyPointer, nodePointer] : inFileOrder(fields)) {
        if (!readKey(l, standard, keys, *keyPointer, *nodePointer))
            fault(positionOf(keyPointer->source().begin),
                  QStringLiteral(
                      "%1unknown key %2; valid keys: talker, sentence, field, type (XDR only), icon, "
                      "note, or instrument, icon, note")
                      .arg(parts::locationPrefix(n), shownText(qs(keyPointer->str()))),
                  n, qs(keyPointer->str()));
    }
    settle(l, standard, keys);
    m_result.plan.locations << l;
}

// Reads one key of a location into it; false for a key a location does not have.
bool Reader::readKey(Location &l, frame::Standard &st, LocationKeys &keys, const toml::key &key,
                     const toml::node &node)
{
    const QString name = qs(key.str());
    const auto standardKey = [&] { keys.standard = keys.standard ? keys.standard : &key; };
    if (name == QLatin1String("talker")) {
        standardKey();
        st.talker = value(Value::Talker, node, &l, l.unread).value_or(-1);
    } else if (name == QLatin1String("sentence")) {
        standardKey();
        st.sentence = value(Value::Sentence, node, &l, l.unread).value_or(-1);
    } else if (name == QLatin1String("field")) {
        standardKey();
        st.field = value(Value::Field, node, &l, l.unread).value_or(0);
    } else if (name == QLatin1String("type")) {
        // Read once the sentence is known: a type on any other than XDR is a fault whatever it says.
        standardKey();
        keys.type = &key;
        keys.typeValue = &node;
    } else if (name == QLatin1String("instrument")) {
        keys.instrument = &key;
        l.what = frame::Instrument{value(Value::Instrument, node, &l, l.unread).value_or(-1)};
    } else if (name == QLatin1String("note")) {
        readNote(l, node);
    } else if (name == QLatin1String("icon")) {
        l.icon = value(Value::Icon, node, &l, l.unread).value_or(0);
    } else {
        return false;
    }
    return true;
}

void Reader::readNote(Location &l, const toml::node &node)
{
    const Position at = positionOf(node.source().begin);
    l.at.insert(QStringLiteral("note"), at);
    if (const auto *text = node.as_string()) {
        l.note = qs(text->get());
        return;
    }
    l.unread.insert(QStringLiteral("note"));
    fault(at, QStringLiteral("%1note: a note is text in quotes").arg(parts::locationPrefix(l.location)),
          l.location, QStringLiteral("note"));
}

// Makes the location one kind: an instrument, else a standard sentence with its type; a location that gives
// keys of both is the instrument, its standard keys told as one fault where the second kind starts.
void Reader::settle(Location &l, frame::Standard &st, const LocationKeys &keys)
{
    if (keys.instrument && keys.standard) {
        const bool instrumentLater =
            keys.instrument->source().begin.line > keys.standard->source().begin.line;
        const toml::key *later = instrumentLater ? keys.instrument : keys.standard;
        const toml::key *earlier = instrumentLater ? keys.standard : keys.instrument;
        fault(positionOf(later->source().begin),
              QStringLiteral("%1%2 cannot be given with %3 (line %4); a location shows either a standard "
                             "sentence (talker, sentence, field) or an instrument")
                  .arg(parts::locationPrefix(l.location), qs(later->str()), qs(earlier->str()))
                  .arg(earlier->source().begin.line),
              l.location, qs(later->str()));
        return;
    }
    if (keys.instrument)
        return;
    if (keys.type) {
        const bool known = st.sentence >= 0 && !l.unread.contains(QStringLiteral("sentence"));
        if (known && st.sentence != vocabulary::XdrPosition) {
            // Any type there is the check's fault, told at the key; which one it names does not matter.
            st.type =
                lookup(Value::Type, valueText(*keys.typeValue).value_or(QString()), nullptr).value_or(0);
            l.at.insert(QStringLiteral("type"), positionOf(keys.type->source().begin));
        } else {
            st.type = value(Value::Type, *keys.typeValue, &l, l.unread).value_or(-1);
            if (st.type >= 0)
                l.at.insert(QStringLiteral("type"), positionOf(keys.type->source().begin));
        }
    }
    l.what = st;
}

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

} // namespace plan
