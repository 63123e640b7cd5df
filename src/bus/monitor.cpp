#include "bus/monitor.h"

#include "vocabulary/vocabulary.h"

namespace bus {

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
        return s.identifier == QLatin1String("VLM");
    return vocabulary::findEntry(vocabulary::List::Talker, s.talker) >= 0;
}

bool identifierListed(const Sentence &s)
{
    if (s.proprietary)
        return s.identifier == QLatin1String("VLM");
    return vocabulary::findEntry(vocabulary::List::Identifier, s.identifier) >= 0;
}

Monitor::Monitor(SentenceSeen seen)
    : m_seen(std::move(seen)), m_lines([this](LineAssembler::Kind k, const QByteArray &l) { onLine(k, l); })
{
}

void Monitor::feed(QByteArrayView bytes)
{
    m_totals.bytes += bytes.size();
    m_speed.feed(bytes);
    m_lines.feed(bytes);
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
    SentenceRow &row = m_rows[s->key()];
    if (row.count == 0) {
        row.talker = s->talker;
        row.identifier = s->identifier;
        row.proprietary = s->proprietary;
        row.talkerListed = talkerListed(*s);
        row.identifierListed = identifierListed(*s);
    }
    ++row.count;
    ++m_totals.sentences;
    if (s->checksum == Checksum::Bad) {
        ++row.badChecksum;
        ++m_totals.badChecksum;
    } else if (s->checksum == Checksum::Missing) {
        ++row.missingChecksum;
        ++m_totals.missingChecksum;
    }
    row.last = *s;
    if (m_seen)
        m_seen(*s);
}

} // namespace bus
