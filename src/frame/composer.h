// The two composers: the window's choices (list positions, as the lists report them) and the product turned
// into the frame record. A list without a chosen entry is reported, never read through an empty code slot.
#pragma once

#include "frame/sentencebytes.h"
#include "vocabulary/products.h"
#include "vocabulary/vocabulary.h"

#include <optional>

namespace frame {

struct StandardChoices {
    int talker = 0;
    int identifier = 0;
    int commas = 0;
    int xdr = 0; // read only when the identifier is "XDR"
    int memory = 0;
};

struct ProprietaryChoices {
    int instrument = 0;
    int memory = 0;
};

// Either the list that has no chosen entry, or nothing when the record was filled.
using ComposeError = std::optional<vocabulary::List>;

// Writes every field but the check bytes and applies the icon byte rule to iconIndex. On an error neither
// the record nor iconIndex is touched, so nothing half-composed can be sent.
ComposeError composeStandard(const StandardChoices &choices, const vocabulary::Product &product,
                             std::int16_t &iconIndex, SentenceBytes &out);
ComposeError composeProprietary(const ProprietaryChoices &choices, const vocabulary::Product &product,
                                std::int16_t &iconIndex, SentenceBytes &out);

} // namespace frame
