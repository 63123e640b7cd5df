// The size pre-scan: a plan's text is measured against the limits before the parser sees it. The parser
// recurses once per level of a key or header and once per table or array around it, so depth is counted
// here first, in one pass that knows strings and comments and keeps nothing but counters.
#include "plan/planparts.h"

#include <utility>

namespace plan::parts {

namespace {

class Scan {
public:
    explicit Scan(const QByteArray &text) : m_text(text), m_size(text.size()) {}

    std::optional<Overrun> run()
    {
        for (m_i = 0; m_i < m_size; ++m_i) {
            const char c = m_text[m_i];
            const Position here = m_at;
            if (c == '"' || c == '\'') {
                skipString(c);
                continue;
            }
            advance(c);
            if (c == '#') {
                while (m_i + 1 < m_size && m_text[m_i + 1] != '\n')
                    advance(m_text[++m_i]);
                continue;
            }
            if (c == '\n') {
                newLine();
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r')
                continue;
            if (!take(c, std::exchange(m_lineStart, false)))
                return nested(here);
        }
        return std::nullopt;
    }

    // Where the text crosses MaxPlanBytes: the position of the last byte a plan may have.
    Position atLimit()
    {
        for (qsizetype i = 0; i < MaxPlanBytes; ++i)
            advance(m_text[i]);
        return m_at;
    }

private:
    enum class Mode { Key, Value, Header };

    void advance(char c)
    {
        if (c == '\n') {
            ++m_at.line;
            m_at.column = 1;
        } else if ((quint8(c) & 0xC0) != 0x80) { // columns count characters, not UTF-8 bytes
            ++m_at.column;
        }
    }

    // A string is skipped whole: dots and brackets inside it count for nothing.
    void skipString(char quote)
    {
        const QByteArray &t = m_text;
        const bool multiLine = m_i + 2 < m_size && t[m_i + 1] == quote && t[m_i + 2] == quote;
        for (int k = multiLine ? 3 : 1; k > 0; --k)
            advance(t[m_i++]);
        while (m_i < m_size) {
            if (multiLine && m_i + 2 < m_size && t[m_i] == quote && t[m_i + 1] == quote &&
                t[m_i + 2] == quote) {
                for (int k = 0; k < 3; ++k)
                    advance(t[m_i++]);
                break;
            }
            if (!multiLine && t[m_i] == quote) {
                advance(t[m_i++]);
                break;
            }
            if (!multiLine && t[m_i] == '\n')
                break; // unterminated: the parser says so
            if (quote == '"' && t[m_i] == '\\' && m_i + 1 < m_size)
                advance(t[m_i++]);
            advance(t[m_i++]);
        }
        --m_i;
        m_lineStart = false;
    }

    void newLine()
    {
        m_lineStart = true;
        if (m_nesting == 0) {
            m_mode = Mode::Key;
            m_dots = 0;
        }
    }

    bool tooDeep() const
    {
        return (m_mode == Mode::Header ? m_dots + 1 : m_headerDepth + m_nesting + m_dots + 1) > MaxKeyDepth;
    }

    // Takes one character that counts; false when the nesting goes past the limit there.
    bool take(char c, bool first)
    {
        switch (c) {
        case '=':
            if (m_mode == Mode::Key) {
                m_mode = Mode::Value;
                m_dots = 0;
            }
            return true;
        case '.':
            return m_mode == Mode::Value || (++m_dots, !tooDeep());
        case '[':
        case '{':
            return open(c, first);
        case ']':
            if (m_mode == Mode::Header) {
                m_headerDepth = m_dots + 1;
                m_mode = Mode::Value; // the rest of the line holds nothing that counts
            } else if (m_nesting > 0 && m_open[m_nesting - 1] == '[') {
                --m_nesting;
            }
            return true;
        case '}':
            if (m_nesting > 0 && m_open[m_nesting - 1] == '{') {
                --m_nesting;
                m_mode = Mode::Value;
            }
            return true;
        case ',':
            if (m_nesting > 0) {
                m_mode = m_open[m_nesting - 1] == '{' ? Mode::Key : Mode::Value;
                m_dots = 0;
            }
            return true;
        default:
            return true;
        }
    }

    bool open(char c, bool first)
    {
        if (c == '[' && m_mode == Mode::Key && first && m_nesting == 0) {
            m_mode = Mode::Header;
            m_dots = 0;
            if (m_i + 1 < m_size && m_text[m_i + 1] == '[')
                advance(m_text[++m_i]);
        } else if (m_mode == Mode::Value) {
            m_open[m_nesting++] = c;
            if (c == '{') {
                m_mode = Mode::Key;
                m_dots = 0;
            }
            return !tooDeep(); // before the array can overflow: each level adds one to the depth
        }
        return true;
    }

    static Overrun nested(const Position &where)
    {
        return Overrun{where,
                       QStringLiteral("keys, tables and arrays nest more than %1 deep here; a plan needs "
                                      "three ([location.1] and its keys)")
                           .arg(MaxKeyDepth)};
    }

    const QByteArray &m_text;
    const qsizetype m_size;
    qsizetype m_i = 0;
    Position m_at{1, 1};
    Mode m_mode = Mode::Key;
    bool m_lineStart = true;      // nothing but blanks before, on this line
    int m_dots = 0;               // in the key or header being read
    int m_headerDepth = 0;        // of the last table header, under which the keys that follow stand
    char m_open[MaxKeyDepth + 1]; // the arrays ('[') and inline tables ('{') around the position
    int m_nesting = 0;
};

} // namespace

std::optional<Overrun> overLimits(const QByteArray &text)
{
    if (text.size() > MaxPlanBytes)
        return Overrun{Scan(text).atLimit(),
                       QStringLiteral("the plan goes on past %1 bytes (1 MB) here; a plan is at most that "
                                      "long, and a whole display takes under 1 KB")
                           .arg(MaxPlanBytes)};
    return Scan(text).run();
}

} // namespace plan::parts
