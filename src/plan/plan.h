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

// One location of a plan: what it shows (its icon "None" unless the product takes an icon), and where its
// table starts in its file.
struct Location : frame::Configuration {
    int line = 0;
    int column = 0;
};

struct Plan {
    int product = -1;
    QList<Location> locations; // in location order
};

// One fault of a plan file, where it is and what is valid there.
struct Fault {
    QString file;
    int line = 0;
    int column = 0;
    QString message;

    QString text() const; // "helm.toml:3:9: ..."
};

struct ReadResult {
    Plan plan;
    QList<Fault> faults; // in file order; the plan is to be used only when there are none
};

ReadResult parsePlan(const QByteArray &text, const QString &fileName);
// Reads and checks the file; a file that cannot be read is one fault at line 0.
ReadResult readPlan(const QString &path);

// The values a plan and the command line take, as the window's lists show them (any case). Each returns
// the position (or number), or nothing with what is valid in `valid`.
enum class Value { Product, Talker, Sentence, Field, Type, Instrument, Icon, Location };
std::optional<int> lookup(Value kind, const QString &text, QString *valid);
QString validValues(Value kind);
QString productCaption(int product);
// Whether the product's frames carry an icon byte, and those products for a message: "2 (MD90  Ver 1.3 +)".
bool showsIcons(int product);
QString iconProducts();

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
// product, and a location the plan already has. Returns why it refused or failed, nothing when written.
std::optional<QString> appendLocation(const QString &path, const Location &location, int product);

// Replaces the file with text in one step, so a failure leaves the old plan whole. Returns why it failed,
// nothing when written.
std::optional<QString> replaceFile(const QString &path, const QByteArray &text);

} // namespace plan
