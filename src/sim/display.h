// A simulated display in programming mode: it takes the sends its receiver hears, decides for each whether
// the display would take the configuration, keeps what its ten memory locations now show, and can give that
// back as a display plan. It only judges and remembers; the command line reads the port and prints.
//
// The rule a send is judged by: a repetition "counts" when it is a whole frame (header, 10 or 11 bytes),
// names a known location and configuration, ends with a check byte that fits (the first frame's or the repeat
// frames'), and came with the display's pacing (no byte closer than 50 ms to the one before, its pause before
// it). A send is taken when at least one repetition counts, all that count carry the same configuration, and
// the frame's length fits the display's product. Everything else that is wrong with it (a repetition that
// does not count, a check byte of the wrong kind for its place, a missing or extra repetition) is a warning.
// A send where no repetition counts, or where they disagree, is rejected; so is a flood, more bytes than a
// send can hold before the silence that ends one.
#pragma once

#include "frame/decoder.h"
#include "plan/plan.h"
#include "sim/receiver.h"
#include "vocabulary/vocabulary.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

namespace sim {

inline constexpr int MemoryLocations = vocabulary::MemoryLocationCount;

// Something wrong with a send: in one of its repetitions (1 to 10, more with too many), or in the send as a
// whole (repetition 0).
struct Finding {
    int repetition = 0;
    QString text;
    bool operator==(const Finding &) const = default;
};

// What the display made of one send.
struct Verdict {
    int send = 0; // 1, 2, ... in the order the sends came
    bool accepted = false;
    frame::DecodedFrame configuration; // a repetition that counted; location 0 when none did
    int repetitions = 0;
    QList<QByteArray> frames; // every repetition as received; for a flood, its first bytes
    QList<Finding> findings;  // warnings when accepted; the faults behind the rejection otherwise
    QString rejection;        // why the send was rejected; empty when accepted
    Micros start{};           // arrival of its first byte
};

// What one memory location shows and how many sends set it.
struct LocationState {
    frame::DecodedFrame configuration;
    int sends = 0;
};

class Display {
public:
    using Report = std::function<void(const Verdict &)>;

    // product: the display's product index when known (0 to 2), or -1 to take it from the first send taken:
    // 11-byte frames are for the product whose frames carry an icon byte; 10-byte frames for products 0 and 1
    // alike, and product 0 is assumed.
    explicit Display(int product = -1, Report report = {});
    Display(const Display &) = delete; // its receiver reports to this very object
    Display &operator=(const Display &) = delete;

    // Bytes as they arrive, with their arrival time; the time now, so silence ends a send; the end of input.
    void receive(const QByteArray &bytes, Micros at);
    void advanceTo(Micros now);
    void finish();

    // Judges one send as the receiver hands it over; called by the receiver, and by tests directly.
    Verdict take(const Send &send);

    int product() const { return m_product; }
    bool productAssumed() const { return m_productAssumed; }
    int accepted() const { return m_accepted; }
    int rejected() const { return m_rejected; }
    const std::array<std::optional<LocationState>, MemoryLocations> &locations() const { return m_locations; }

    // The ten locations as a table no wider than 79 columns.
    QString table() const;
    // The lines a verdict prints: its warnings, then "location 3: GP RMC field 5" or "send 2 rejected: ...".
    static QStringList lines(const Verdict &verdict);
    // One JSON object: "accepted": true with the configuration and its warnings, or "accepted": false,
    // "rejected": true with the reason, the problems and the frames.
    static QJsonObject toJson(const Verdict &verdict);
    QJsonObject summaryJson() const;

    // What the locations show as plan text, in the plans' TOML format; empty while no send was taken.
    QString planText() const;
    // Merges the locations taken into the plan file (a location taken replaces that location, the others
    // stay), or makes it with planText() when it is missing or empty; whole or not at all. A file that is not
    // a clean plan for this product is left as it is. Returns why it did not write, nothing when written.
    std::optional<QString> writePlan(const QString &path) const;
    // Why a path cannot take a plan: a symbolic link, a directory, a FIFO or a device; nothing when it can.
    static std::optional<QString> refusePlanPath(const QString &path);

private:
    // The comment lines a plan written from nothing starts with.
    QString planHeader() const;
    QList<plan::Location> takenLocations() const;

    Receiver m_receiver;
    Report m_report;
    int m_product = -1;
    bool m_productGiven = false;
    bool m_productAssumed = false;
    int m_sends = 0;
    int m_accepted = 0;
    int m_rejected = 0;
    std::array<std::optional<LocationState>, MemoryLocations> m_locations;
};

} // namespace sim
