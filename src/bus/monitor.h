// What a listener makes of the bytes on an NMEA 0183 bus: lines cut at CR/LF and at the length limit,
// noise set apart, sentences parsed and counted per talker and sentence, and a guess whether the port runs
// at the wrong speed. No port and no clock in here: bytes in, tables out.
#pragma once

#include "bus/sentence.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QMap>

#include <array>
#include <functional>
#include <optional>

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
    // Forgets the line under way; the rest of it, up to its end, is skipped rather than taken for noise.
    void drop();
    // Bytes that belonged to no line: noise between lines.
    qint64 strayBytes() const { return m_stray; }
    void resetStray() { m_stray = 0; }

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

// One meaning of a sentence whose meaning changes from one to the next (MWV relative or true, an XDR with
// another set of transducers, GSV message 2 of 3): each has its own counts and last sentence, as a display
// set to a field of that sentence shows them in turn.
struct VariantRow {
    QString label; // "R", "T", "2", "C AIRTEMP, A HEEL"; empty for a sentence of one meaning
    qint64 count = 0;
    qint64 badChecksum = 0;
    qint64 missingChecksum = 0;
    qint64 firstMs = 0; // when the first and the last came, on the clock the monitor is fed with
    qint64 lastMs = 0;
    Sentence last;
};

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
    qint64 firstMs = 0;
    qint64 lastMs = 0;
    Sentence last;
    // In the order they were first seen; past MaxVariants the rest are counted in the last one, "other".
    QList<VariantRow> variants;

    QString key() const { return talker + identifier; }
    // More than one meaning came: a display set to one of its fields shows them in turn.
    bool alternates() const { return variants.size() > 1; }
};

// Sentences a second, from the first to the last seen; nothing before two have come a second apart.
std::optional<double> rateOf(qint64 count, qint64 firstMs, qint64 lastMs);

// The field that says which kind of data a sentence carries where one sentence carries several in turn.
struct KindField {
    const char *identifier;
    int field;           // as "Commas" counts
    const char *meaning; // what the field's value says
    int secondField = 0; // a second field that goes with it, or 0
};
inline constexpr std::array KindFields{
    KindField{"MWV", 2, "R relative, T true"},
    KindField{"GSV", 2, "message number"},
    KindField{"RTE", 2, "message number"},
    KindField{"ALM", 2, "message number"},
    KindField{"TXT", 2, "message number"},
    KindField{"VDM", 2, "fragment number"},
    KindField{"VDO", 2, "fragment number"},
    KindField{"RPM", 1, "S shaft or E engine, with its number in field 2", 2},
};
// The kind field of a sentence, or nothing for a sentence that has none.
const KindField *kindFieldOf(const Sentence &s);
// The variant a sentence belongs to: its kind field's value, for XDR its transducers ("C AIRTEMP, A HEEL"),
// and empty for a sentence of one meaning.
QString variantOf(const Sentence &s);

// What the warning says about a sentence that alternates.
inline constexpr char AlternatesText[] = "alternates: a display set to a field of it shows these in turn";

// XDR carries transducers four fields each: type, value, units, name.
struct Quadruplet {
    int firstField = 0; // the type's field number; the value is firstField + 1
    QString type, value, units, name;
    int valueField() const { return firstField + 1; }
};
QList<Quadruplet> quadrupletsOf(const Sentence &s);
bool isXdr(const Sentence &s);

// Whether our lists offer a sentence: the standard ones by talker and identifier, the maker's own "$PVLM".
bool talkerListed(const Sentence &s);
bool identifierListed(const Sentence &s);

// Whether our lists offer a row, and if not why, in words: "offered", or what the lists lack and what to do
// ("GN: a multi-GNSS talker the display's list does not have; set the receiver or multiplexer to send GP").
QString offerText(const SentenceRow &row);
bool offered(const SentenceRow &row);

// A field of the bus as the main window's lists would take it.
struct Pick {
    QString talker;
    QString identifier;
    int field = 0;   // as "Commas" counts
    QString xdrType; // the transducer's type letter, for XDR only
    bool proprietary = false;
};
// Why the lists cannot take this pick; nothing when they can.
std::optional<QString> whyNotOffered(const Pick &pick);

struct Totals {
    qint64 bytes = 0;
    qint64 sentences = 0;
    qint64 badChecksum = 0;
    qint64 missingChecksum = 0;
    qint64 tooLong = 0;
    qint64 garbled = 0;    // lines with noise in them, cut short, or with no address
    qint64 strayBytes = 0; // noise between lines
};

// The whole listener core: feed it bytes as they come, read the table whenever it is to be shown. However
// long it runs and however many names arrive, it keeps at most MaxRows rows of MaxVariants variants each;
// sentences under further names are counted in others().
class Monitor {
public:
    static constexpr int MaxRows = 200;
    static constexpr int MaxVariants = 8;

    using SentenceSeen = std::function<void(const Sentence &)>;
    explicit Monitor(SentenceSeen seen = {});

    // nowMs: the time the bytes came, on any steady clock in milliseconds; rates and ages are read on it.
    void feed(QByteArrayView bytes, qint64 nowMs = 0);
    // The line being received is lost (the port was reopened or given to a send): drop its start.
    void interrupt();
    // Forgets everything seen so far.
    void clear();

    // Rows ordered by talker, then sentence.
    QList<SentenceRow> rows() const { return m_rows.values(); }
    const QMap<QString, SentenceRow> &rowMap() const { return m_rows; }
    const SentenceRow *row(const QString &key) const;
    // Sentences under names past MaxRows: their count, checksums and the last one.
    const SentenceRow &others() const { return m_others; }
    Totals totals() const;
    const SpeedCheck &speed() const { return m_speed; }
    // The time of the last bytes fed.
    qint64 nowMs() const { return m_now; }

private:
    void onLine(LineAssembler::Kind kind, const QByteArray &line);

    SentenceSeen m_seen;
    LineAssembler m_lines;
    SpeedCheck m_speed;
    QMap<QString, SentenceRow> m_rows;
    SentenceRow m_others;
    Totals m_totals;
    qint64 m_now = 0;
};

} // namespace bus
