// Frames written out by hand from the product's worked examples and the code tables, each with what it
// shows: the one table the frame tests check the encoder and the decoder against. The entries are the texts
// the lists show, so a row does not depend on list positions.
#pragma once

#include <QByteArray>

#include <array>

struct GoldenFrame {
    const char *name;
    int location;
    // A standard sentence (talker, sentence, field, type for XDR) or, when instrument is set, an instrument.
    const char *talker;
    const char *sentence;
    int field;
    const char *type;
    const char *instrument;
    int product;      // 0 MD20/MD40, 1 MD90 1.0 to 1.2, 2 MD90 1.3
    const char *icon; // chosen in the icon dialog; only product 2 sends it
    const char *shows;
    const char *firstHex;
    const char *repeatHex;

    QByteArray first() const { return QByteArray::fromHex(firstHex); }
    QByteArray repeat() const { return QByteArray::fromHex(repeatHex); }
};

inline constexpr std::array GoldenFrames{
    GoldenFrame{"II XDR C, field 3, location 1, MD20/MD40", 1, "II", "XDR", 3, "C - Temperature, Degrees C",
                nullptr, 0, "None", "II XDR field 3 type C - Temperature, Degrees C", "24304949584452433 33E",
                "24304949584452433326"},
    GoldenFrame{"GP RMC, field 5, location 3, MD20/MD40", 3, "GP", "RMC", 5, nullptr, nullptr, 0, "None",
                "GP RMC field 5", "24324750524D4305357B", "24324750524D4305355B"},
    GoldenFrame{"GP RMC, MD90 1.3 with KT", 3, "GP", "RMC", 5, nullptr, nullptr, 2, "KT",
                "GP RMC field 5, icon KT", "24324750524D430535047F", "24324750524D430535045F"},
    GoldenFrame{"GP RMC, MD90 1.0 with KT chosen: no icon byte", 3, "GP", "RMC", 5, nullptr, nullptr, 1, "KT",
                "GP RMC field 5", "24324750524D4305357B", "24324750524D4305355B"},
    GoldenFrame{"MD90 1.3 with None adds 0xFF", 3, "GP", "RMC", 5, nullptr, nullptr, 2, "None",
                "GP RMC field 5, icon None", "24324750524D430535FF84", "24324750524D430535FFA4"},
    GoldenFrame{"MD90 1.3 with MILES: an icon byte that is the frame start", 3, "GP", "RMC", 5, nullptr,
                nullptr, 2, "MILES", "GP RMC field 5, icon MILES", "24 32 47 50 52 4D 43 05 35 24 5F",
                "24 32 47 50 52 4D 43 05 35 24 7F"},
    GoldenFrame{"GGA sends CGA", 1, "GP", "GGA", 1, nullptr, nullptr, 0, "None", "GP GGA field 1",
                "2430 4750 434741 01 31 62", "2430 4750 434741 01 31 7A"},
    GoldenFrame{"GNS sends HNS", 1, "GP", "GNS", 1, nullptr, nullptr, 0, "None", "GP GNS field 1",
                "2430 4750 484E53 01 31 72", "2430 4750 484E53 01 31 6A"},
    GoldenFrame{"MSK sends HSK", 1, "GP", "MSK", 1, nullptr, nullptr, 0, "None", "GP MSK field 1",
                "2430 4750 48534B 01 31 77", "2430 4750 48534B 01 31 6F"},
    GoldenFrame{"field 10: 0x0A and ':'", 1, "GP", "RMC", 10, nullptr, nullptr, 0, "None", "GP RMC field 10",
                "2430 4750 524D43 0A 3A 7B", "2430 4750 524D43 0A 3A 63"},
    GoldenFrame{"field 25: 0x19 and 'I'", 1, "GP", "RMC", 25, nullptr, nullptr, 0, "None", "GP RMC field 25",
                "2430 4750 524D43 19 49 1B", "2430 4750 524D43 19 49 03"},
    GoldenFrame{"XDR V, field 25", 1, "II", "XDR", 25, "V - Volume, Cubic Meters", nullptr, 0, "None",
                "II XDR field 25 type V - Volume, Cubic Meters", "2430 4949 584452 56 49 51",
                "2430 4949 584452 56 49 49"},
    GoldenFrame{"location 10: '9', key 60", 10, "GP", "RMC", 5, nullptr, nullptr, 0, "None", "GP RMC field 5",
                "2439 4750 524D43 05 35 7B", "2439 4750 524D43 05 35 47"},
    GoldenFrame{"engine RPM at location 2, MD20/MD40", 2, nullptr, nullptr, 0, nullptr, "NX20/40 ENGINE RPM",
                0, "None", "NX20/40 ENGINE RPM", "243150564C4D29047258", "243150564C4D29047244"},
    GoldenFrame{"engine RPM, MD90 1.0 gives the same frame", 2, nullptr, nullptr, 0, nullptr,
                "NX20/40 ENGINE RPM", 1, "DegF", "NX20/40 ENGINE RPM", "243150564C4D29047258",
                "243150564C4D29047244"},
    GoldenFrame{"engine RPM, MD90 1.3 with VOLTS", 2, nullptr, nullptr, 0, nullptr, "NX20/40 ENGINE RPM", 2,
                "VOLTS", "NX20/40 ENGINE RPM, icon VOLTS", "243150564C4D290472560E",
                "243150564C4D2904725612"},
    GoldenFrame{"pressure: 0x1B sent raw", 1, nullptr, nullptr, 0, nullptr, "LX20/40 PRESSURE P.S.I.", 0,
                "None", "LX20/40 PRESSURE P.S.I.", "243050564C4D1B04746C", "243050564C4D1B047474"},
    GoldenFrame{"engine hours: 0x1B with 2", 1, nullptr, nullptr, 0, nullptr,
                "NX20/40 ENGINE HOURS AND MINUTES", 0, "None", "NX20/40 ENGINE HOURS AND MINUTES",
                "243050564C4D1B02726C", "243050564C4D1B027274"},
    GoldenFrame{"temperature at location 10", 10, nullptr, nullptr, 0, nullptr,
                "MX20/40 TEMPERATURE DEG. FAHRENHEIT", 0, "None", "MX20/40 TEMPERATURE DEG. FAHRENHEIT",
                "243950564C4D1B04756D", "243950564C4D1B047551"},
    GoldenFrame{"windlass: 1 and q", 1, nullptr, nullptr, 0, nullptr, "WX20/40 WINDLASS BATTERY VOLTAGE", 0,
                "None", "WX20/40 WINDLASS BATTERY VOLTAGE", "243050564C4D01047173", "243050564C4D0104716B"},
    GoldenFrame{"consumption: 1 and v", 1, nullptr, nullptr, 0, nullptr,
                "GX20/40 CONSUMPTION LTRS OR GAL./HR", 0, "None", "GX20/40 CONSUMPTION LTRS OR GAL./HR",
                "243050564C4D01047674", "243050564C4D0104766C"},
};
