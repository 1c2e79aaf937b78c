// Signals named by label: which signal a label text chooses, and why none is chosen.
#include "edf/uSignalLabels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SharedData.h"
#include "edf/uEDF.h"
#include "edf/uEDFTools.h"
#include "support/udStr.h"

namespace vantrel_test {
namespace {

using vantrel::TLabelledSignal;

TEST(SignalLabels, NumbersStayNumbers) {
    for (const char* number : {"1", " 19 ", "+3", "-1", "99999999999"})
        EXPECT_TRUE(vantrel::IsSignalNumberText(number)) << number;
    for (const char* label : {"", " ", "1a", "C3", "label:1", "1|2", "+"})
        EXPECT_FALSE(vantrel::IsSignalNumberText(label)) << label;
}

TEST(SignalLabels, TheFirstAliasThatMatchesDecides) {
    VANTREL_NEED_SHARED_DATA();
    // Signal 1 holds annotations; 3 has blanks around its label; 4 and 5 differ in case only.
    const std::vector<TLabelledSignal> made = {
        {"EDF Annotations", true},
        {"EEG C3-A2", false},
        {" C3-M2  ", false},
        {"EMG", false},
        {"emg", false},
    };
    // nox-a1-2min.edf: signal 1 holds annotations, signals 2 and 8 are labelled "1" and "2",
    // signal 18 "C3 Impédance" (UTF-8), signal 19 "C3-M2".
    vantrel::TEDFFile file;
    vantrel::OpenForReading(file, (SharedDataDir() / "nox-a1-2min.edf").string());
    std::vector<TLabelledSignal> nox;
    for (int32_t k = 0; k < file.SignalCount(); ++k)
        nox.push_back({file.Signal(k).Label(), file.Signal(k).IsAnnotation()});
    const std::string madeLabels = "the labels are: EEG C3-A2, C3-M2, EMG, emg";
    const std::string e = "\xC3\xA9", E = "\xC3\x89";  // "é" and "É" in UTF-8

    const struct {
        const std::vector<TLabelledSignal>& Recording;
        std::string Text;
        int32_t Number;
        std::string Problem;  // the message; for nox its start (the list of 89 labels follows)
    } cases[] = {
        {made, "C3-M2|EEG C3-A2", 3, ""},  // priority order, not signal order
        {made, "eeg c3-a2|C3-M2", 2, ""},
        {made, "  c3-M2 ", 3, ""},         // case and blanks
        {made, "C5| |c3-m2|", 3, ""},      // no match, an empty alias: the next
        {made, "Label:eeg c3-a2", 2, ""},  // the prefix in any case
        {made, "EMG|C3-M2", 0, "Several signals labelled EMG: 4, 5"},
        {made, "C5|C6", 0, "No signal labelled C5|C6; " + madeLabels},
        {made, "label:EDF Annotations", 0, "No signal labelled EDF Annotations; " + madeLabels},
        {nox, "label:1", 2, ""},  // a label that is a number
        {nox, "LABEL: 2 ", 8, ""},
        {nox, "c3 imp" + e + "dance", 18, ""},  // bytes above 127 equal
        {nox, "C3 IMP" + E + "DANCE", 0,
         "No signal labelled C3 IMP" + E + "DANCE; the labels are: 1, 1 Imp" + e + "dance, 1-2, "},
        {nox, "EEG C3-A2|C3-M2", 19, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const vantrel::TSignalLabelMatch match = vantrel::MatchSignalLabel(c.Recording, c.Text);
        EXPECT_EQ(match.Number, c.Number);
        const bool start = &c.Recording == &nox;
        EXPECT_EQ(match.Problem.substr(0, start ? c.Problem.size() : std::string::npos), c.Problem);
        if (c.Number > 0) {
            EXPECT_EQ(match.Label, vantrel::Trim(c.Recording[size_t(c.Number - 1)].Label));
        }
    }
}

}  // namespace
}  // namespace vantrel_test
