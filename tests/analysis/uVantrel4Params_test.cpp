// The check before a run: the range checks with their codes and messages, the choice of the
// undersampling factor, and the field checks of the main window's values.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "FakeWindows.h"
#include "Recordings.h"
#include "analysis/uVantrel4.h"

using namespace vantrel;
using namespace vantrel_test;
using vantrel::testing::TScopedFakeRun;

namespace {

struct ValidationCase {
    const char* name;
    double fs, LP, HP, F0, B, Fc, rate;
    int32_t factorIn;  // 0: chosen by the check
    int code;
    int32_t factorOut;
    const char* message;  // "" for none
};

// The Slow Wave preset at 256 Hz: LP 70, HP 0.5, F0 1, B 1.5, Fc 1.8, Rate 0.01666.
const ValidationCase kValidation[] = {
    {"SlowWavePreset", 256, 70, 0.5, 1, 1.5, 1.8, 0.01666, 0, 0, 5, ""},
    {"F0Ten", 200, 70, 0.5, 10, 3.5, 1.8, 0.01666, 0, 0, 4, ""},
    {"SmallestFactorTwo", 100, 100, 0.5, 1, 1.5, 1.8, 0.01666, 0, 0, 2, ""},
    {"TieTakesSmallerFactor", 192, 192, 0.5, 1, 1.5, 1.8, 0.01666, 0, 0, 3, ""},  // 64 | 48
    {"ForcedFactorKept", 256, 70, 0.5, 1, 1.5, 1.8, 0.01666, 3, 0, 3, ""},
    {"RateZeroPasses", 256, 70, 0.5, 1, 1.5, 1.8, 0, 0, 0, 5, ""},
    {"NoSampleFrequency", 0, 70, 0.5, 1, 1.5, 1.8, 0.01666, 0, 1, 0,
     "Samplefrequency should be > 0"},
    {"LPNegative", 256, -1, 0.5, 1, 1.5, 1.8, 0.01666, 0, 2, 0, "0 <= LP <= Fsample"},
    {"HPAboveFs", 256, 70, 300, 1, 1.5, 1.8, 0.01666, 0, 3, 0, "0 <= HP <= Fsample"},
    {"HPAboveLP", 256, 2, 5, 1, 1.5, 1.8, 0.01666, 0, 2, 0, "HP <= LP"},
    {"EmptyF0", 256, 70, 0.5, -1, 1.5, 1.8, 0.01666, 0, 4, 0, "0 <= F0 <= Fsample"},
    {"BAboveFs", 256, 70, 0.5, 1, 300, 1.8, 0.01666, 0, 5, 0, "0 <= B0 <= Fsample"},
    {"FcNegative", 256, 70, 0.5, 1, 1.5, -1, 0.01666, 0, 6, 0, "0 <= Fc <= Fsample"},
    {"RateAboveOne", 256, 70, 0.5, 1, 1.5, 1.8, 1.5, 0, 7, 0, "0.0 <= rate <= 1.0"},
    {"FirstFailureOnly", 256, -1, 0.5, -1, 1.5, 1.8, 0.01666, 0, 2, 0, "0 <= LP <= Fsample"},
    {"LPZero", 256, 0, 0, 1, 1.5, 1.8, 0.01666, 0, 1, 0,
     "No valid IIRundersampler value with these parameters\nF0 and/or Fc too large, or LP too "
     "small"},
    {"HPTooHigh", 256, 70, 6, 1, 1.5, 1.8, 0.01666, 0, 3, 0, "HP filter should be < 3Hz"},
    {"BEqualsTwiceF0", 256, 70, 0.5, 1, 2, 1.8, 0.01666, 0, 5, 0, "B0 should be < 2*F0"},
    // low 52.2 <= high 52.5, but factors 5 .. 4.
    {"NoFactorInRange", 256, 70, 0.5, 1, 1.5, 17.4, 0.01666, 0, 1, 0,
     "Unable to find a valid computation frequency\nF0 and/or Fc too large, or LP too small"},
};

class Validation : public ::testing::TestWithParam<ValidationCase> {};

TEST_P(Validation, CodeFactorAndTheFirstMessage) {
    const ValidationCase& c = GetParam();
    TScopedFakeRun run(false);
    int32_t factor = c.factorIn;
    const int code = ValidateAnalysisParameters(factor, false, &run.Progress, c.fs, c.HP, c.LP,
                                                c.F0, c.B, c.Fc, c.rate);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(factor, c.factorOut);
    const std::vector<std::string> expected =
        *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{};
    EXPECT_EQ(run.Windows.Errors, expected);
    EXPECT_TRUE(run.Progress.Lines().empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, Validation, ::testing::ValuesIn(kValidation),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Validation, BatchModeReportsToTheProgressListOnly) {
    TScopedFakeRun run(true);
    int32_t factor = 0;
    EXPECT_EQ(ValidateAnalysisParameters(factor, true, &run.Progress, 256, 0, 0, 1, 1.5, 1.8, 0),
              1);
    EXPECT_TRUE(run.Windows.Errors.empty());
    EXPECT_EQ(run.Progress.Lines(),
              (std::vector<std::string>{"No valid IIRundersampler value with these parameters",
                                        "F0 and/or Fc too large, or LP too small"}));
}

// ---- The field checks --------------------------------------------------------------------------

struct FieldCase {
    const char* name;
    void (*change)(TParameterFields&);
    bool ok;
    TParameterField focus;
    const char* fieldMessage;
    const char* reported;  // by the range check, "" for none
};

const FieldCase kFields[] = {
    {"Valid", [](TParameterFields&) {}, true, TParameterField::None, "", ""},
    {"LPWithComma", [](TParameterFields& f) { f.LP = " 70,0 "; }, true, TParameterField::None, "",
     ""},
    {"MissingInput", [](TParameterFields& f) { f.InputFileName += ".none"; }, false,
     TParameterField::InputFile, "Invalid EDF inputfilename", ""},
    {"InputNotEDF", [](TParameterFields& f) { f.InputFileName = f.OutputFileName; }, false,
     TParameterField::InputFile, "Invalid EDF inputfilename", ""},
    {"EmptyOutput", [](TParameterFields& f) { f.OutputFileName = "  "; }, false,
     TParameterField::OutputFile, "Invalid EDF outputfilename", ""},
    {"OutputDirectoryMissing", [](TParameterFields& f) { f.OutputFileName = "/no/such/r.edf"; },
     false, TParameterField::OutputFile, "Invalid EDF outputfilename", ""},
    {"EmptySignalNumber", [](TParameterFields& f) { f.SignalNumber = ""; }, false,
     TParameterField::SignalNumber, "Invalid number format", ""},
    {"SignalNumberTooHigh", [](TParameterFields& f) { f.SignalNumber = "2"; }, false,
     TParameterField::SignalNumber, "Invalid number format", ""},
    {"SignalNumberZero", [](TParameterFields& f) { f.SignalNumber = "0"; }, false,
     TParameterField::SignalNumber, "Invalid number format", ""},
    {"SignalNumberNotAnInteger", [](TParameterFields& f) { f.SignalNumber = "1.5"; }, false,
     TParameterField::None, "", ""},
    {"EmptyLP", [](TParameterFields& f) { f.LP = " "; }, false, TParameterField::LP,
     "Please type the value of the lowest applied LP filter", ""},
    {"UnreadableLP", [](TParameterFields& f) { f.LP = "7O"; }, false, TParameterField::LP,
     "Invalid number format", ""},
    {"EmptyHP", [](TParameterFields& f) { f.HP = ""; }, false, TParameterField::HP,
     "Please type the value of the highest applied HP filter", ""},
    {"UnreadableRate", [](TParameterFields& f) { f.Rate = "fast"; }, false, TParameterField::Rate,
     "Invalid number format", ""},
    {"EmptyF0", [](TParameterFields& f) { f.F0 = ""; }, false, TParameterField::F0, "",
     "0 <= F0 <= Fsample"},
    {"HPTooHigh", [](TParameterFields& f) { f.HP = "6"; }, false, TParameterField::HP, "",
     "HP filter should be < 3Hz"},
};

class Fields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(Fields, FirstFailureWithItsFocus) {
    const FieldCase& c = GetParam();
    ScratchDir dir;
    WriteRecording(dir.File("in.edf"), TestRecording{.SamplesPerRecord = 256});
    std::ofstream(dir.File("notes.txt")) << "not an EDF file";
    TParameterFields fields{dir.File("in.edf"),
                            dir.File("notes.txt"),
                            "1",
                            "70",
                            "0.5",
                            "1",
                            "1.5",
                            "1.8",
                            "0.01666",
                            1,
                            256,
                            0};
    c.change(fields);
    TScopedFakeRun run(false);
    const TParameterCheck check = CheckParameterFields(fields, false, &run.Progress);
    EXPECT_EQ(check.Ok, c.ok);
    EXPECT_EQ(check.Focus, c.focus);
    EXPECT_EQ(check.FieldMessage, c.fieldMessage);
    const std::vector<std::string> reported =
        *c.reported ? std::vector<std::string>{c.reported} : std::vector<std::string>{};
    EXPECT_EQ(run.Windows.Errors, reported);
    if (c.ok) {
        EXPECT_EQ(check.UndersamplingFactor, 5);
        EXPECT_EQ(check.SignalIndex, 0);
        EXPECT_EQ(run.Progress.Lines(), std::vector<std::string>{"Undersampling = 5 (51.2Hz)"});
    } else {
        EXPECT_TRUE(run.Progress.Lines().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Fields, ::testing::ValuesIn(kFields),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Fields, AForcedFactorIsShownWithItsFrequency) {
    ScratchDir dir;
    WriteRecording(dir.File("in.edf"), TestRecording{.SamplesPerRecord = 256});
    TParameterFields fields{dir.File("in.edf"),
                            dir.File("r.edf"),
                            "1",
                            "70",
                            "0.5",
                            "1",
                            "1.5",
                            "1.8",
                            "0.01666",
                            1,
                            256,
                            12};
    TScopedFakeRun run(true);
    const TParameterCheck check = CheckParameterFields(fields, true, &run.Progress);
    EXPECT_TRUE(check.Ok);
    EXPECT_EQ(check.UndersamplingFactor, 12);
    EXPECT_EQ(run.Progress.Lines(),
              std::vector<std::string>{"Undersampling = 12 (21.3333333333333Hz)"});
}

}  // namespace
