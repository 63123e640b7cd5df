// A display plan: what each memory location of one display is to show, kept as a small TOML file, checked
// as a whole before anything is sent, turned into frames and written back as plan text.
#pragma once

#include "frame/configuration.h"

#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"
#include <QByteArray>
#include <QList>
#include <QString>

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

// One location of a plan: what it shows (its icon "None" unless the product takes an icon), and where its
// table starts in its file.
struct Location : frame::Configuration {
    int line = 0;
    int column = 0;
};

struct Plan {
    int product = -1;
    QList<Location> locations; // in location order; none yet in a fresh plan (its product line alone)
};

// One fault of a plan file, where it is and what is valid there.
struct Fault {
    QString file;
    int line = 0;
    int column = 0;
    QString message;

    QString text() const; // "helm.toml:3:9: ...", with the file name made printable
};

struct ReadResult {
    Plan plan;
    QList<Fault> faults; // in file order; the plan is to be used only when there are none
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

// The frame record of one location for the plan's product, check bytes included. A clean plan's location
// always encodes.
frame::SentenceBytes compose(int product, const Location &location);
// The ten repetitions as they go on the wire.
QList<QByteArray> frames(int product, const Location &location);

// Plan text: the product line a new file starts with, and one location's table.
QString productText(int product);
QString locationText(const Location &location, int product);

// Appends the location to the plan file, creating it with the product line. Refuses (and leaves the file
// as it was) a path that is not a regular file, a file that is not a clean plan, a plan for another
// product, and a location the plan already has. Appends made at the same time, by this program or
// another run of it, follow one another, each reading what the one before wrote. Returns why it refused
// or failed, nothing when written; notAPlanFile tells a path that can hold no plan (anything but a regular
// file, or a file larger than MaxPlanBytes) from the other refusals.
std::optional<QString> appendLocation(const QString &path, const Location &location, int product,
                                      bool *notAPlanFile = nullptr);

// Replaces the file with text in one step, so a failure leaves the old plan whole, with its owner and
// mode; anything but a regular file is left alone. Returns why it failed, nothing when written.
std::optional<QString> replaceFile(const QString &path, const QByteArray &text);

} // namespace plan
