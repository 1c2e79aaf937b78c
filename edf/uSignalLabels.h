// Signals named by label. In a cohort the wanted channel is not at the same signal number in
// every night: devices, montages and exports differ, so one night has "EEG C3-A2" as signal 1
// and the next "C3-M2" as signal 4 among 60 others. Wherever a run takes a signal number, the
// text may therefore name the signal by its label:
//   - a whole number (an optional sign, then digits) stays a signal number, 1 = first;
//   - "label:TEXT" (the prefix in any letter case) matches TEXT as labels, for recordings whose
//     labels are themselves numbers ("label:1");
//   - any other text is a list of aliases separated by "|", in priority order
//     ("C3-M2|C3-A2|EEG C3-A2").
// An alias and a label match when, each trimmed of blanks, their bytes are equal with ASCII
// letters compared case-insensitively; bytes above 127 must be equal as they are. The first
// alias that matches any signal decides, and it must match exactly one. Annotation signals
// ("EDF Annotations") never match: they hold no samples. Empty aliases ("C3||C4") are skipped.
//
// Example:
//   const TSignalLabelMatch match = MatchSignalLabel(file, "C3-M2|C3-A2");
//   if (!match.Problem.empty()) refuse(match.Problem); else analyse(match.Number);
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

class TCustomBaseEDFFile;

// The text is a signal number, not a label list: after trimming, an optional sign and one or
// more digits, whether or not the number fits an integer or names an existing signal.
bool IsSignalNumberText(const std::string& text);

// One signal as label matching sees it.
struct TLabelledSignal {
    std::string Label;        // the header's label field, bytes as stored
    bool Annotation = false;  // an annotation signal: never matched
};

// The outcome of matching a label text against a recording's signals.
struct TSignalLabelMatch {
    int32_t Number = 0;   // the signal chosen, 1 = first; 0 when none was
    std::string Label;    // its label, trimmed, bytes as stored
    std::string Problem;  // why none was chosen; empty when one was
};

// Matches a text that is no signal number (IsSignalNumberText false) against the signals of a
// recording, in
// signal order. Problem is "No signal labelled <aliases>; the labels are: <list>" (the aliases
// as given, the labels of the signals that could match, trimmed and shown as UTF-8, separated
// by ", ") or "Several signals labelled <alias>: <numbers>" (separated by ", ").
TSignalLabelMatch MatchSignalLabel(const std::vector<TLabelledSignal>& recording,
                                   const std::string& text);
// The same for the signals of an open file whose header was read.
TSignalLabelMatch MatchSignalLabel(const TCustomBaseEDFFile& file, const std::string& text);

}  // namespace vantrel
