// The options that describe one send, shared by the verbs that compose one (frames, send, plan export).
#pragma once

#include "cli/options.h"
#include "frame/sentencebytes.h"
#include "plan/plan.h"

namespace cli {

// What the options describe: a product and one memory location, each value read through the plan's lookups.
struct Described {
    int product = 0;
    plan::Location location;
};

// Reads the options for the kind of sentence ("standard" or "proprietary"). Throws UsageError.
Described describedByOptions(const Options &o, const QString &kind);

// What a send leaves out of what the options describe: a transducer type on a sentence other than XDR, an
// icon on a product that shows none. frames and send say so; a plan refuses it.
bool typeLeftOut(const plan::Location &l);
bool iconLeftOut(const Described &d);

// Composes the send the options describe for the kind (the verb's first positional argument).
frame::SentenceBytes composeFromOptions(const Options &o, QTextStream &err);

} // namespace cli
