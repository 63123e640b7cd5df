// A display plan: what each memory location of one display is to show, kept as a small TOML file, checked
// as a whole before anything is sent, turned into frames and written back as plan text.
#pragma once

#include "frame/configuration.h"

#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <QSet>
#include <QStringList>

#include <optional>

namespace plan {

inline constexpr int ProductCount = vocabulary::ProductCount;
inline constexpr int FirstLocation = 1;
inline constexpr int LastLocation = vocabulary::MemoryLocationCount;

// Limits a plan is checked against before it is parsed, so that no file can exhaust memory or the stack: a
// whole display takes under 1 KB and nests keys three deep ([location.1] and its keys).
inline constexpr qsizetype MaxPlanBytes = 1024 * 1024;
inline constexpr int MaxKeyDepth =
    32; // dotted parts of a key or header, plus the tables and arrays around it
// Faults shown of one plan; the rest are counted ("... and N more faults").
inline constexpr int MaxFaultsShown = 50;
// A note is a name for people, not a document: one line of at most this many characters.
inline constexpr int MaxNoteLength = 200;

// Where a value stands in its file (1-based); line 0 for a plan that was never a file.
struct Position {
    int line = 0;
    int column = 0;
};

// One location of a plan: what it shows (its icon "None" unless the product takes an icon), and where its
// table and its keys stand in its file.
struct Location : frame::Configuration {
    QString note; // what the user calls it ("speed over ground"); one line, kept in the file
    int line = 0;
    int column = 0;
    // Where a fault about each key points: the value (the key itself for type); a key not here points at
    // the table's header.
    QHash<QString, Position> at;
    // Keys the file gave that name no entry: left unset, with their fault already told by the reader.
    QSet<QString> unread;
};

struct Plan {
    int product = -1;
    QList<Location> locations; // in location order; none yet in a fresh plan (its product line alone)
    Position productAt{};      // of the product's value; line 0 when there is none
    QSet<QString> unread{};    // "product" when the file gave one that names none
};

// One fault of a plan: the location it belongs to (0: the plan as a whole), the key (empty: the location
// or the plan itself), what is wrong and what is valid there; and where it stands when it came from a file.
struct Fault {
    QString file;
    int line = 0;
    int column = 0;
    QString message;
    int location = 0;
    QString key{};

    QString text() const; // "helm.toml:3:9: ...", with the file name made printable
};

// Checks a plan value as a whole: product, each location's kind and entries, notes, icons for the product,
// each location at most once. The faults come in location order, without file or position.
QList<Fault> check(const Plan &plan);

struct ReadResult {
    Plan plan;           // every location the file gives, faulty or not
    QList<Fault> faults; // in file order; the plan is to be sent or written only when there are none
    // The file is a plan at all (TOML within the limits, read into a value), whatever faults it has.
    bool isPlan = false;
};

// Checks the text as a whole: a text over the limits is one fault where it crosses them, and is not parsed.
ReadResult parsePlan(const QByteArray &text, const QString &fileName);
// Reads and checks the file; a file that cannot be read is one fault at line 0, and so is anything but a
// regular file (a link is not followed, a FIFO not waited on) and a file larger than MaxPlanBytes.
ReadResult readPlan(const QString &path);

// The values a plan and the command line take, as the window's lists show them (any case). Each returns
// the position (or number), or nothing with what is valid in `valid`.
enum class Value { Product, Talker, Sentence, Field, Type, Instrument, Icon, Location };
std::optional<int> lookup(Value kind, const QString &text, QString *valid);
QString validValues(Value kind);
// What is valid, short enough for one line of a message: a long list by its size and its ends.
QString briefValues(Value kind);
// What a fault says of a value that names nothing: "location 3: talker: "XX" is not valid; did you mean
// CX?" (`where` is "location 3: " or empty); with no text, a value of the wrong kind.
QString notValidMessage(const QString &where, Value kind, const std::optional<QString> &text);
// What to say after a value that names nothing: the nearest entries ("did you mean RMC?"), else what is
// valid.
QString notValidHint(Value kind, const QString &text);

// The frame record of one location for the plan's product, check bytes included, or the list that has no
// chosen entry (then the record is empty). A clean plan's location always encodes.
frame::EncodeError compose(int product, const Location &location, frame::SentenceBytes &out);
// The ten repetitions as they go on the wire; none for a location that does not encode.
QList<QByteArray> frames(int product, const Location &location);

// What a location may show other than the user expects: its sentence alternates, or its field lies past
// the sentence's last. Warnings, never faults: a plan with them is clean and sends.
QStringList warnings(const frame::Configuration &c);

// Plan text: the product line a new file starts with, and one location's table.
QString productText(int product);
QString locationText(const Location &location, int product);
// The whole plan as the writer keeps it: the product line, then each location's table in location order.
// Comments other than the writer's own are not kept.
QByteArray planText(const Plan &plan);
// Why a note cannot be kept as it is (a line break or another control character, or too long); nothing
// when it can.
std::optional<QString> noteProblem(const QString &note);
// The comments of a plan text ("# engine room" and the like), in file order, as written after the '#'.
QStringList comments(const QByteArray &text);
// The comments of `existing` that `replacement` no longer holds: what a save over the file would drop.
QStringList droppedComments(const QByteArray &existing, const QByteArray &replacement);

// Appends the location to the plan file, creating it with the product line. Refuses (and leaves the file
// as it was) a path that is not a regular file, a file that is not a clean plan, a plan for another
// product, and a location the plan already has. Appends made at the same time, by this program or
// another run of it, follow one another, each reading what the one before wrote. Returns why it refused
// or failed, nothing when written; notAPlanFile tells a path that can hold no plan (anything but a regular
// file, or a file larger than MaxPlanBytes) from the other refusals.
std::optional<QString> appendLocation(const QString &path, const Location &location, int product,
                                      bool *notAPlanFile = nullptr);

// The plan text with the given locations in it: a location the text already has is put in the place of
// its table, keeping its note when the new one has none and still shows the same (a note on a location that
// now shows something else is dropped), and the others are added at the end; the rest of
// the text, comments included, stays as it is. `existing` is the text's plan, read clean.
QByteArray mergedText(const QByteArray &text, const Plan &existing, const QList<Location> &taken);
// Merges the locations into the plan file, under the same lock as appendLocation: a missing or empty file
// is made with `header` (comment lines) and the product line. Refuses a file that is not a clean plan for
// this product, leaving it as it was. Returns why, nothing when written.
std::optional<QString> mergeLocations(const QString &path, const QList<Location> &taken, int product,
                                      const QString &header = {});
// Why a file cannot take a plan for the product (-1: any product) before anything is written to it: not a
// regular file, not a clean plan, a plan for another product. A missing or empty file can. When it is a
// plan, its product is put in planProduct.
std::optional<QString> refusePlanFile(const QString &path, int product, int *planProduct = nullptr);

// Replaces the file with text in one step, so a failure leaves the old plan whole, with its owner and
// mode; anything but a regular file is left alone. Returns why it failed, nothing when written.
std::optional<QString> replaceFile(const QString &path, const QByteArray &text);

} // namespace plan
