#include "bus/monitor.h"

#include "vocabulary/vocabulary.h"

namespace bus {
namespace {

// What to do about a talker the display's list lacks, where there is more to say than that it lacks it.
struct TalkerAdvice {
    const char *talker;
    const char *text;
};
constexpr TalkerAdvice TalkerAdvices[] = {
    {"GN",
     "a multi-GNSS talker the display's list does not have; set the receiver or multiplexer to send GP"},
    {"GL", "a GLONASS talker the display's list does not have; set the receiver or multiplexer to send GP"},
    {"GA", "a Galileo talker the display's list does not have; set the receiver or multiplexer to send GP"},
    {"GB", "a BeiDou talker the display's list does not have; set the receiver or multiplexer to send GP"},
    {"BD", "a BeiDou talker the display's list does not have; set the receiver or multiplexer to send GP"},
    {"GQ", "a QZSS talker the display's list does not have; set the receiver or multiplexer to send GP"},
    {"AI", "AIS, a talker the display's list does not have"},
};

QString talkerText(const QString &talker)
{
    for (const TalkerAdvice &a : TalkerAdvices) {
        if (talker == QLatin1String(a.talker))
            return talker + QStringLiteral(": ") + QLatin1String(a.text);
    }
    return talker + QStringLiteral(": a talker the display's list does not have");
}

QString identifierText(const QString &identifier)
{
    return identifier + QStringLiteral(": a sentence the display's list does not have");
}

const QString Velmora = QStringLiteral("VLM");

} // namespace

bool isPrintable(unsigned char byte)
{
    return (byte >= 0x20 && byte <= 0x7E) || byte == '\r' || byte == '\n';
}

void LineAssembler::endLine(Kind kind)
{
    m_output(kind, m_line);
    m_line.clear();
    m_garbled = false;
}

void LineAssembler::feed(QByteArrayView bytes)
{
    for (const char c : bytes) {
        const bool start = c == '$' || c == '!';
        const bool end = c == '\r' || c == '\n';
        if (start) {
            if (m_state == State::InLine)
                endLine(Kind::Garbled);
            m_line.append(c);
            m_state = State::InLine;
            continue;
        }
        switch (m_state) {
        case State::Between:
            if (!end)
                ++m_stray;
            break;
        case State::Skipping:
            if (end)
                m_state = State::Between;
            break;
        case State::InLine:
            if (end) {
                endLine(m_garbled ? Kind::Garbled : Kind::Line);
                m_state = State::Between;
            } else if (m_line.size() + 2 >= MaxSentenceLength) {
                // One more character and the line ending would not fit in the limit.
                m_line.append(c);
                endLine(Kind::TooLong);
                m_state = State::Skipping;
            } else {
                if (!isPrintable(quint8(c)))
                    m_garbled = true;
                m_line.append(c);
            }
            break;
        }
    }
}

void LineAssembler::drop()
{
    if (m_state == State::InLine)
        m_state = State::Skipping;
    m_line.clear();
    m_garbled = false;
}

void SpeedCheck::feed(QByteArrayView bytes)
{
    for (const char c : bytes) {
        const bool bad = !isPrintable(quint8(c));
        if (m_filled == Window) {
            if (!isPrintable(m_ring[m_next]))
                --m_unprintable;
        } else {
            ++m_filled;
        }
        m_ring[m_next] = quint8(c);
        m_next = (m_next + 1) % Window;
        if (bad)
            ++m_unprintable;
    }
    if (looksWrong())
        m_ever = true;
}

bool talkerListed(const Sentence &s)
{
    if (s.proprietary)
        return s.identifier == Velmora;
    return vocabulary::findEntry(vocabulary::List::Talker, s.talker) >= 0;
}

bool identifierListed(const Sentence &s)
{
    if (s.proprietary)
        return s.identifier == Velmora;
    return vocabulary::findEntry(vocabulary::List::Identifier, s.identifier) >= 0;
}

bool offered(const SentenceRow &row)
{
    return row.talkerListed && row.identifierListed;
}

QString offerText(const SentenceRow &row)
{
    if (row.proprietary) {
        return row.identifier == Velmora
                   ? QStringLiteral("offered: Velmora's own, chosen under the maker's instruments")
                   : QStringLiteral(
                         "P%1: another maker's own sentence; the display takes only Velmora's $PVLM")
                         .arg(row.identifier);
    }
    QStringList lacks;
    if (!row.talkerListed)
        lacks << talkerText(row.talker);
    if (!row.identifierListed)
        lacks << identifierText(row.identifier);
    return lacks.isEmpty() ? QStringLiteral("offered") : lacks.join(QStringLiteral("; "));
}

std::optional<QString> whyNotOffered(const Pick &pick)
{
    if (pick.proprietary)
        return QStringLiteral("the maker's own sentences are chosen under the maker's instruments, not here");
    QStringList lacks;
    if (vocabulary::findEntry(vocabulary::List::Talker, pick.talker) < 0)
        lacks << talkerText(pick.talker);
    if (vocabulary::findEntry(vocabulary::List::Identifier, pick.identifier) < 0)
        lacks << identifierText(pick.identifier);
    if (pick.field < 1 || pick.field > MaxCommas)
        lacks << QStringLiteral("field %1: \"Commas\" offers 1 to %2").arg(pick.field).arg(MaxCommas);
    if (pick.identifier == QLatin1String("XDR") && vocabulary::findTransducerLetter(pick.xdrType) < 0)
        lacks << (pick.xdrType.isEmpty()
                      ? QStringLiteral("XDR: choose a transducer (a quadruplet) to take its type")
                      : QStringLiteral("transducer type %1: not in the display's list").arg(pick.xdrType));
    if (lacks.isEmpty())
        return std::nullopt;
    return lacks.join(QStringLiteral("; "));
}

std::optional<double> rateOf(qint64 count, qint64 firstMs, qint64 lastMs)
{
    if (count < 2 || lastMs - firstMs < 1000)
        return std::nullopt;
    return double(count - 1) * 1000.0 / double(lastMs - firstMs);
}

bool isXdr(const Sentence &s)
{
    return !s.proprietary && s.identifier == QLatin1String("XDR");
}

QList<Quadruplet> quadrupletsOf(const Sentence &s)
{
    QList<Quadruplet> q;
    for (int first = 1; first <= s.fields.size(); first += 4) {
        q.append(Quadruplet{first, s.field(first).value_or(QString()), s.field(first + 1).value_or(QString()),
                            s.field(first + 2).value_or(QString()), s.field(first + 3).value_or(QString())});
    }
    return q;
}

const KindField *kindFieldOf(const Sentence &s)
{
    if (s.proprietary)
        return nullptr;
    for (const KindField &k : KindFields) {
        if (s.identifier == QLatin1String(k.identifier))
            return &k;
    }
    return nullptr;
}

QString variantOf(const Sentence &s)
{
    if (s.proprietary)
        return {};
    if (isXdr(s)) {
        QStringList transducers;
        for (const Quadruplet &q : quadrupletsOf(s))
            transducers << (q.name.isEmpty() ? q.type : q.type + QLatin1Char(' ') + q.name);
        return transducers.join(QStringLiteral(", "));
    }
    const KindField *kind = kindFieldOf(s);
    if (!kind)
        return {};
    QString label = s.field(kind->field).value_or(QString());
    if (kind->secondField > 0)
        label += s.field(kind->secondField).value_or(QString());
    return label;
}

Monitor::Monitor(SentenceSeen seen)
    : m_seen(std::move(seen)), m_lines([this](LineAssembler::Kind k, const QByteArray &l) { onLine(k, l); })
{
    m_others.identifier = QStringLiteral("others");
}

void Monitor::feed(QByteArrayView bytes, qint64 nowMs)
{
    m_now = nowMs;
    m_totals.bytes += bytes.size();
    m_speed.feed(bytes);
    m_lines.feed(bytes);
}

void Monitor::interrupt()
{
    m_lines.drop();
}

void Monitor::clear()
{
    m_rows.clear();
    m_others = SentenceRow{};
    m_others.identifier = QStringLiteral("others");
    m_totals = Totals{};
    m_speed = SpeedCheck{};
    m_lines.drop();
    m_lines.resetStray();
}

const SentenceRow *Monitor::row(const QString &key) const
{
    const auto it = m_rows.constFind(key);
    return it == m_rows.constEnd() ? nullptr : &*it;
}

Totals Monitor::totals() const
{
    Totals t = m_totals;
    t.strayBytes = m_lines.strayBytes();
    return t;
}

namespace {

template <typename Row> void count(Row &row, const Sentence &s, qint64 now)
{
    if (row.count == 0)
        row.firstMs = now;
    ++row.count;
    row.lastMs = now;
    if (s.checksum == Checksum::Bad)
        ++row.badChecksum;
    else if (s.checksum == Checksum::Missing)
        ++row.missingChecksum;
    row.last = s;
}

} // namespace

void Monitor::onLine(LineAssembler::Kind kind, const QByteArray &line)
{
    if (kind == LineAssembler::Kind::TooLong) {
        ++m_totals.tooLong;
        return;
    }
    std::optional<Sentence> s = kind == LineAssembler::Kind::Line ? parseSentence(line) : std::nullopt;
    if (!s) {
        ++m_totals.garbled;
        return;
    }
    ++m_totals.sentences;
    if (s->checksum == Checksum::Bad)
        ++m_totals.badChecksum;
    else if (s->checksum == Checksum::Missing)
        ++m_totals.missingChecksum;

    auto it = m_rows.find(s->key());
    if (it == m_rows.end()) {
        if (m_rows.size() >= MaxRows) {
            count(m_others, *s, m_now);
            if (m_seen)
                m_seen(*s);
            return;
        }
        SentenceRow fresh;
        fresh.talker = s->talker;
        fresh.identifier = s->identifier;
        fresh.proprietary = s->proprietary;
        fresh.talkerListed = talkerListed(*s);
        fresh.identifierListed = identifierListed(*s);
        it = m_rows.insert(s->key(), fresh);
    }
    SentenceRow &row = *it;
    count(row, *s, m_now);

    const QString label = variantOf(*s);
    qsizetype v = 0;
    while (v < row.variants.size() && row.variants[v].label != label)
        ++v;
    if (v == row.variants.size()) {
        if (row.variants.size() == MaxVariants) {
            v = MaxVariants - 1;
            row.variants[v].label = QStringLiteral("other");
        } else {
            VariantRow fresh;
            fresh.label = label;
            row.variants.append(fresh);
        }
    }
    count(row.variants[v], *s, m_now);
    if (m_seen)
        m_seen(*s);
}

} // namespace bus
