// The options that describe one send, shared by the verbs that compose one (frames, send).
#pragma once

#include "cli/options.h"
#include "frame/sentencebytes.h"

namespace cli {

QList<QCommandLineOption> sentenceOptions();

// Composes the send the options describe for the kind ("standard" or "proprietary", the verb's first
// positional argument); the check bytes are left to be computed. Throws UsageError.
frame::SentenceBytes composeFromOptions(const Options &o);

// The lines of --help that describe the sentence options.
QString sentenceOptionsHelp();

} // namespace cli
