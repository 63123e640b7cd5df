// What a listener makes of the bytes on an NMEA 0183 bus: lines cut at CR/LF and at the length limit,
// noise set apart, sentences parsed and counted per talker and sentence, and a guess whether the port runs
// at the wrong speed. No port and no clock in here: bytes in, tables out.
#pragma once

#include "bus/sentence.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>

#include <functional>

namespace bus {

// Cuts a byte stream into lines that start with '$' or '!'. A start character always begins a new line, so
// a sentence cut short by noise or a reconnected cable costs only itself.
class LineAssembler {
public:
    enum class Kind {
        Line,    // a complete line, start character included, line ending not
        TooLong, // passed the NMEA length limit before its end: dropped up to the next line end or start
        Garbled, // held a byte that is not printable text, or was cut short by the next start character
    };
    using Output = std::function<void(Kind kind, const QByteArray &line)>;

    explicit LineAssembler(Output output) : m_output(std::move(output)) {}

    void feed(QByteArrayView bytes);
    // Bytes that belonged to no line: noise between lines.
    qint64 strayBytes() const { return m_stray; }

private:
    enum class State { Between, InLine, Skipping };
    void endLine(Kind kind);

    Output m_output;
    State m_state = State::Between;
    QByteArray m_line;
    bool m_garbled = false;
    qint64 m_stray = 0;
};

// Mostly non-printable bytes over the last window: what a 4800-baud port makes of a 38400-baud talker and
// the reverse. A short burst of noise in good traffic stays well below the threshold.
class SpeedCheck {
public:
    static constexpr int Window = 256;
    void feed(QByteArrayView bytes);
    // Only once a full window has arrived, and while more than half of it is not text.
    bool looksWrong() const { return m_filled == Window && m_unprintable * 2 > Window; }
    // Whether it ever looked wrong since listening began.
    bool everLookedWrong() const { return m_ever; }

private:
    unsigned char m_ring[Window] = {};
    int m_next = 0;
    int m_filled = 0;
    int m_unprintable = 0;
    bool m_ever = false;
};

bool isPrintable(unsigned char byte);

// One row of the table: one talker and sentence.
struct SentenceRow {
    QString talker;
    QString identifier;
    bool proprietary = false;
    bool talkerListed = false;     // the talker ID is an entry of the "Talker ID" list
    bool identifierListed = false; // the identifier is an entry of the "Indentifier" list
    qint64 count = 0;
    qint64 badChecksum = 0;
    qint64 missingChecksum = 0;
    Sentence last;
};

// Whether our lists offer a sentence: the standard ones by talker and identifier, the maker's own "$PVLM".
bool talkerListed(const Sentence &s);
bool identifierListed(const Sentence &s);

struct Totals {
    qint64 bytes = 0;
    qint64 sentences = 0;
    qint64 badChecksum = 0;
    qint64 missingChecksum = 0;
    qint64 tooLong = 0;
    qint64 garbled = 0;    // lines with noise in them, cut short, or with no address
    qint64 strayBytes = 0; // noise between lines
};

// The whole listener core: feed it bytes as they come, read the table whenever it is to be shown.
class Monitor {
public:
    using SentenceSeen = std::function<void(const Sentence &)>;
    explicit Monitor(SentenceSeen seen = {});

    void feed(QByteArrayView bytes);

    // Rows ordered by talker, then sentence.
    QList<SentenceRow> rows() const { return m_rows.values(); }
    const SentenceRow *row(const QString &key) const;
    Totals totals() const;
    const SpeedCheck &speed() const { return m_speed; }

private:
    void onLine(LineAssembler::Kind kind, const QByteArray &line);

    SentenceSeen m_seen;
    LineAssembler m_lines;
    SpeedCheck m_speed;
    QMap<QString, SentenceRow> m_rows;
    Totals m_totals;
};

} // namespace bus
