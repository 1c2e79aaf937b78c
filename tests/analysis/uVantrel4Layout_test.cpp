// The results file's texts, and its header after every header stage, read back from the raw
// header bytes field by field.
#include <gtest/gtest.h>

#include <string>

#include "FakeWindows.h"
#include "Recordings.h"
#include "SharedData.h"
#include "analysis/uVantrel4.h"
#include "edf/uEDFTools.h"
#include "support/udStr.h"

using namespace vantrel;
using namespace vantrel_test;
using vantrel::testing::TScopedFakeRun;

namespace {

TEST(ResultsTexts, FormattedAsTheLayoutSays) {
    const struct {
        std::string got, expected;
    } cases[] = {
        {DimText(2.0), "at 2.0Hz"},
        {DimText(12.5), "at 12.5Hz"},
        {DimText(2.25), "at 2.2Hz"},  // the binary value, half to even
        {Transducer0Text(128, 0.5, 10, 2), "fCompute/fc/f0/B =128.000/0.500/10.000/2.000Hz."},
        {SmoothText(" T0 ", 0.01666), "T0 Smootherrate=0.016660/s"},
        {RecordingText(1, 0, " Fp2-F4 ", "/data/night 1.edf"),
         "Microcontinuity analysis at 1.0Hz of ch.0 (Fp2-F4) in night 1.edf"},
        {RecordingText(12.25, 3, "EEG", "/d/" + std::string(60, 'n') + ".edf"),
         ("Microcontinuity analysis at 12.2Hz of ch.3 (EEG) in " + std::string(60, 'n'))
             .substr(0, 80)},
        {ResultsLabel(results::kSU, "12345678"), "SU 12345678**2/x"},
        {ResultsLabel(results::kSSMinus, "SS uV**2/x"), "SS-uV**2/x"},
        {ResultsLabel(results::kSS0, "SU uV**2/x"), "SS0uV**2/x"},
        {ResultsPrefiltering(results::kHFArtifact, 1.234L),
         "Detected when [[SS-SU-piB] div piB] >=  9 with physical piB=1.23"},
        {ResultsPrefiltering(results::kLFArtifact, 1.235L),
         "Detected when [[SS-SU-piB] div piB] <= -9 with physical piB=1.24"},
        {ResultsPrefiltering(results::kMissingSignal, 0),
         "Detected when [piB div [SS]] >= 10 with physical piB=0.00"},
        {ResultsPrefiltering(results::kMC, 12),
         "Microcontinuity (Method O.Tarn) physical piB=12.00"},
        {ResultsPrefiltering(results::kMCEvent, 0), "Microcontinuity event <=  1s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got, c.expected);
}

TEST(ResultsTexts, LogFloatDeclarationIsRecognised) {
    const std::string text = LogFloatText("at 12.5Hz");
    ASSERT_EQ(text.size(), 80u);
    EXPECT_EQ(text.substr(14, 8), "at 12.5H");
    EXPECT_EQ(text.substr(25, 8), "0.0001  ");
    EXPECT_EQ(text.substr(37, 8), "0.001   ");
    TEDFSignalInfo signal;
    signal.SetLabel("SU");
    signal.SetPhysicalDimension("Filtered");
    signal.SetPhysicalMinimum(-32767);
    signal.SetPhysicalMaximum(32767);
    signal.SetDigitalMinimum(-32767);
    signal.SetDigitalMaximum(32767);
    signal.SetSamplesPerRecord(1800);
    signal.SetPrefiltering(text);
    EXPECT_TRUE(signal.IsLogFloat());
    EXPECT_EQ(signal.GetDimension(), "at 12.5H");
}

TEST(ResultsTexts, PhysicalPiBWithoutAScale) {
    EXPECT_EQ(PiBText(9210, 0), 0);
    EXPECT_NEAR(static_cast<double>(PiBText(9210, 2)), 0.5, 1e-3);  // code 9210 is about 1
}

// A complete header, stage by stage, on a real recording: every field of every signal as the
// layout gives it, read from the bytes on disk.
TEST(ResultsHeader, EveryFieldAfterAllStages) {
    VANTREL_NEED_SHARED_DATA();
    ScratchDir dir;
    const std::string input = (SharedDataDir() / "cap-brux2-100s.edf").string();
    const std::string output = dir.File("cap.mc.edf");
    TScopedFakeRun run(true);
    TAnalysisParam AP = Params(input, output, 5);
    TInputSignalChar ISC;
    TSUSSParameters SP;
    ASSERT_TRUE(GetInputSignalChar(AP, ISC));
    ASSERT_TRUE(ComputeSuSs(SP, AP, ISC));
    const std::string created = FileBytes(output);
    ISC.PiB = 9210;  // physical piB about 1
    ASSERT_TRUE(CreateArtifactHeaders(AP, ISC, SP));
    ASSERT_TRUE(CreateSmoothedHeaders(AP, ISC));
    ASSERT_TRUE(CreateMCHeaders(AP, ISC, SP));
    const std::string beforeFix = FileBytes(output);
    FinalHeaderFix(output);
    const std::string bytes = FileBytes(output);

    // Global header.
    EXPECT_EQ(bytes.substr(0, 8), "0       ");
    EXPECT_EQ(Trim(bytes.substr(8, 80)), "brux2");
    EXPECT_EQ(Trim(bytes.substr(88, 80)),
              "Microcontinuity analysis at 1.0Hz of ch.0 (Fp2-F4) in cap-brux2-100s.edf");
    EXPECT_EQ(bytes.substr(168, 16), "04.02.0222.07.23");
    EXPECT_EQ(Trim(bytes.substr(184, 8)), "3840");
    EXPECT_EQ(Trim(bytes.substr(236, 8)), "1");
    EXPECT_EQ(Trim(bytes.substr(244, 8)), "1800");
    EXPECT_EQ(bytes.substr(252, 4), "14  ");

    const std::string t0 = "fCompute/fc/f0/B =51.200/1.800/1.000/1.500Hz.";
    const std::string smooth = t0 + " Smootherrate=0.016660/s";
    const std::string logfloat = LogFloatText("at 1.0Hz");
    const std::string piB = "physical piB=" + CFormat("%.2Lf", PiBText(ISC.PiB, SP.PhysScale));
    struct Expected {
        const char *label, *dimension, *physMin, *physMax;
        std::string transducer, prefiltering;
    };
    const Expected signals[14] = {
        {"SU uV**2/x", "Filtered", "-32767", "32767", t0, logfloat},
        {"SS uV**2/x", "Filtered", "-32767", "32767", t0, logfloat},
        {"SU+uV**2/x", "Filtered", "-32767", "32767", smooth, logfloat},
        {"SU-uV**2/x", "Filtered", "-32767", "32767", smooth, logfloat},
        {"SS+uV**2/x", "Filtered", "-32767", "32767", smooth, logfloat},
        {"SS-uV**2/x", "Filtered", "-32767", "32767", smooth, logfloat},
        {"SSPuV**2/x", "Filtered", "-32767", "32767", smooth, logfloat},
        {"SS0uV**2/x", "Filtered", "-32767", "32767", smooth, logfloat},
        {"HF artifact", "at 1.0Hz", "-32767", "32767", t0,
         "Detected when [[SS-SU-piB] div piB] >=  9 with " + piB},
        {"LF artifact", "at 1.0Hz", "-32767", "32767", t0,
         "Detected when [[SS-SU-piB] div piB] <= -9 with " + piB},
        {"Missing signal", "at 1.0Hz", "-32767", "32767", t0,
         "Detected when [piB div [SS]] >= 10 with " + piB},
        {"MC", "%", "-3276.7", "3276.7", smooth, "Microcontinuity (Method O.Tarn) " + piB},
        {"MC-Jump", "%", "-3276.7", "3276.7", smooth,
         "Microcontinuity jump = 100 * [[SU-/SS-] - [SU+/SS+]]"},
        {"MC-Event", "%", "-3276.7", "3276.7", smooth, "Microcontinuity event <=  1s"},
    };
    for (int k = 0; k < 14; ++k) {
        SCOPED_TRACE("signal " + std::to_string(k));
        const Expected& e = signals[k];
        auto field = [&](int f) { return RawSignalField(bytes, 14, k, f); };
        EXPECT_EQ(field(sfLabel), PadRight(e.label, 16));
        EXPECT_EQ(field(sfTransducer), PadRight(e.transducer, 80));
        EXPECT_EQ(field(sfPhysicalDimension), PadRight(e.dimension, 8));
        EXPECT_EQ(field(sfPhysicalMinimum), PadRight(e.physMin, 8));
        EXPECT_EQ(field(sfPhysicalMaximum), PadRight(e.physMax, 8));
        EXPECT_EQ(field(sfDigitalMinimum), "-32767  ");
        EXPECT_EQ(field(sfDigitalMaximum), "32767   ");
        EXPECT_EQ(field(sfPrefiltering), PadRight(e.prefiltering, 80));
        EXPECT_EQ(field(sfSamplesPerRecord), "1800    ");
        EXPECT_EQ(field(sfReserved), std::string(32, ' '));
    }

    // Before the final fix signals 0..7 carry DIM and +-32767 / PhysScale; at creation 2..13
    // have no label, transducer or prefiltering.
    double physicalMaximum = 0;
    ASSERT_TRUE(TryStrToFloatSep(RawSignalField(beforeFix, 14, 6, sfPhysicalMaximum), '.', '\0',
                                 physicalMaximum));
    EXPECT_NEAR(physicalMaximum, 32767 / SP.PhysScale, 1e-3);
    EXPECT_EQ(RawSignalField(beforeFix, 14, 6, sfPhysicalDimension), "at 1.0Hz");
    for (int k = 2; k < 14; ++k)
        for (int f : {sfLabel, sfTransducer, sfPrefiltering})
            EXPECT_EQ(Trim(RawSignalField(created, 14, k, f)), "") << k << " " << f;
    EXPECT_TRUE(IsValidEDFFile(output, true));
}

}  // namespace
