// What one memory location of a display shows, as one value every layer takes as it is: the window's lists
// read into it, a plan holds it, the decoder gives it back, JSON carries it. Turning it into the frame record
// (encode), its one-line description (shows) and its JSON object (toJson, fromJson) happen here only.
#pragma once

#include "frame/sentencebytes.h"
#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <variant>

namespace frame {

// A standard sentence: entries by their position in the window's lists (-1: no entry chosen, or a code no
// entry sends), and the field counted from 1 as the Commas list shows it (0: none).
struct Standard {
    int talker = -1;
    int sentence = -1;
    int field = 0;
    int type = -1; // the transducer type; read only when the sentence is XDR

    bool operator==(const Standard &) const = default;
};

// A Velmora instrument, by its position in the instrument list (-1: none chosen).
struct Instrument {
    int instrument = -1;

    bool operator==(const Instrument &) const = default;
};

struct Configuration {
    int location = 0; // memory location 1 to 10; 0 when none is chosen
    std::variant<Standard, Instrument> what;
    int icon = 0; // index of the icon dialog's button; 0 "None", -1 when a frame's icon byte names none

    const Standard *standard() const { return std::get_if<Standard>(&what); }
    const Instrument *instrument() const { return std::get_if<Instrument>(&what); }
    bool isXdr() const { return standard() && standard()->sentence == vocabulary::XdrPosition; }

    bool operator==(const Configuration &) const = default;
};

// What a frame is, as scripts read it: "unknown", "standard", "xdr", "proprietary".
enum class FrameKind { Unknown, Standard, Xdr, Proprietary };
QString kindName(FrameKind kind);
FrameKind kindOf(const Configuration &c);

// Either the list that has no chosen entry, or nothing when the record was filled.
using EncodeError = std::optional<vocabulary::List>;

// Writes every field of the record but the check bytes, with the icon byte rule for the product. A list
// without a chosen entry is reported, never read through an empty code slot; then the record is untouched,
// so nothing half-composed can be sent.
EncodeError encode(const Configuration &c, const vocabulary::Product &product, SentenceBytes &out);

// The icon the product is sent: the chosen one when its frames carry an icon byte, otherwise "None".
int iconSent(const Configuration &c, const vocabulary::Product &product);

// What the location shows, as the lists show it: "GP RMC field 7, icon KT",
// "II XDR field 3 type C - Temperature, Degrees C", an instrument's name; the icon only when withIcon.
// An entry that names nothing reads "?".
QString shows(const Configuration &c, bool withIcon);
QString shows(const Configuration &c, const vocabulary::Product &product);

// The same keys wherever a configuration is printed: location, kind, talker, sentence, field, type,
// instrument, icon (texts as the lists show them, null where they do not apply or name nothing) and shows.
QJsonObject toJson(const Configuration &c, bool withIcon);
// Reads those keys back (shows and kind are not needed): the entries' texts in any case, the type also as
// its letter. Nothing, with the reason in error, when a key is missing or names no entry.
std::optional<Configuration> fromJson(const QJsonObject &o, QString *error);

} // namespace frame
