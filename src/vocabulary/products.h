// The products the tool configures: one row each, read by the window's product options, the composers, the
// settings file, the program values and the command line. Adding a product is one row here.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace vocabulary {

struct Product {
    const char *caption;        // the product option's caption
    bool sendsIconByte;         // frames carry the chosen icon's byte
    std::uint8_t settingsValue; // how the settings file stores the choice
};

// In the order of the window's product options; the option's index is the product's index.
inline constexpr std::array Products{Product{"MD20/MD40", false, 0},
                                     Product{"MD90  Ver 1.0,  1.1,  1.2", false, 1},
                                     Product{"MD90  Ver 1.3 +", true, 2}};
inline constexpr int ProductCount = int(Products.size());

// The product chosen when no setting says otherwise: the newest display.
inline constexpr int DefaultProductIndex = ProductCount - 1;

constexpr bool settingsValuesDistinct()
{
    for (int a = 0; a < ProductCount; ++a)
        for (int b = a + 1; b < ProductCount; ++b)
            if (Products[std::size_t(a)].settingsValue == Products[std::size_t(b)].settingsValue)
                return false;
    return true;
}
static_assert(settingsValuesDistinct(), "two products would be stored alike");

// The product at an option index; the default product for an index outside the table.
const Product &product(int index);
// The option index of the product stored as value; -1 when no product is.
int productForSettingsValue(int value);
// The caption at an option index; empty for a number that names no product.
QString productCaption(int index);
// Whether the product's frames carry the icon byte; false for a number that names no product.
bool showsIcons(int index);
// "2 (MD90  Ver 1.3 +)": the products whose frames carry an icon byte, for messages.
QString iconProducts();
// The products whose frames are sent alike: those that send the icon byte, or those that do not.
QList<int> productsSentAlike(bool iconByte);
// Product numbers for a message: "0", "0 and 1", "0, 1 and 2" (with "or" for conjunction "or").
QString productNumbers(const QList<int> &products, const QString &conjunction);
// The caption with its runs of blanks made single, for one-line messages: "MD90 Ver 1.0, 1.1, 1.2".
QString productName(int index);

} // namespace vocabulary
