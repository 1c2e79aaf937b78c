// The check that runs before every analysis: the main window's fields, the ranges of the
// analysis parameters, and the choice of the undersampling factor, which fixes the computation
// frequency of the whole engine.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>

#include "analysis/uVantrel4.h"
#include "edf/uEDFTools.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

// The computation frequency the factor choice aims at.
constexpr double kTargetFrequency = 56.0;

// Trunc of a long double, kept within the int32 range (a frequency of 0 or an absurd one must
// not make the conversion undefined).
int64_t TruncClamped(long double x) {
    constexpr long double kLimit = std::numeric_limits<int32_t>::max();
    if (std::isnan(x)) return 0;
    if (x > kLimit) return std::numeric_limits<int32_t>::max();
    if (x < -kLimit) return -std::numeric_limits<int32_t>::max();
    return static_cast<int64_t>(std::trunc(x));
}

// Reports the first failure only: the message rule of ValidateAnalysisParameters.
class TFirstFailure {
  public:
    TFirstFailure(bool batchMode, TProgressList* list) : FBatchMode(batchMode), FList(list) {}
    // Records the failure when it is the first.
    void Check(bool ok, const std::string& message, int code) {
        if (ok || FCode != 0) return;
        FCode = code;
        if (FBatchMode) {
            if (FList) FList->Append(message);
        } else {
            EngineWindows().ShowError(message);
        }
    }
    int Code() const { return FCode; }

  private:
    bool FBatchMode;
    TProgressList* FList;
    int FCode = 0;
};

}  // namespace

int ValidateAnalysisParameters(int32_t& UndersamplingFactor, bool BatchMode,
                               TProgressList* ProgressList, double SampleFrequency, double HP,
                               double LP, double F0, double B, double Fc, double SmootherRate) {
    TFirstFailure failure(BatchMode, ProgressList);
    const double fs = SampleFrequency;
    failure.Check(fs > 0, "Samplefrequency should be > 0", 1);
    failure.Check(0 <= LP && LP <= fs, "0 <= LP <= Fsample", 2);
    failure.Check(0 <= HP && HP <= fs, "0 <= HP <= Fsample", 3);
    failure.Check(HP <= LP, "HP <= LP", 2);
    failure.Check(0 <= F0 && F0 <= fs, "0 <= F0 <= Fsample", 4);
    failure.Check(0 <= B && B <= fs, "0 <= B0 <= Fsample", 5);
    failure.Check(0 <= Fc && Fc <= fs, "0 <= Fc <= Fsample", 6);
    failure.Check(0 <= SmootherRate && SmootherRate <= 1.0, "0.0 <= rate <= 1.0", 7);
    if (failure.Code() != 0) return failure.Code();

    const double low = 3 * std::max(F0, Fc);
    const double high = std::min(fs, 0.75 * LP);
    failure.Check(!(low > high),
                  "No valid IIRundersampler value with these parameters\n"
                  "F0 and/or Fc too large, or LP too small",
                  1);
    if (failure.Code() != 0) return failure.Code();
    failure.Check(HP < 3 * F0, "HP filter should be < " + FloatToStr(3 * F0) + "Hz", 3);
    if (failure.Code() != 0) return failure.Code();
    failure.Check(B < 2 * F0, "B0 should be < 2*F0", 5);
    if (failure.Code() != 0) return failure.Code();

    // Both quotients in long double (0.99 as the nearest long double, left to right); low and
    // high are the double values.
    const int64_t smallest = TruncClamped(0.99L * fs / high) + 1;
    const int64_t largest = TruncClamped(static_cast<long double>(fs) / low);
    failure.Check(largest >= smallest,
                  "Unable to find a valid computation frequency\n"
                  "F0 and/or Fc too large, or LP too small",
                  1);
    if (failure.Code() != 0) return failure.Code();

    if (UndersamplingFactor != 0) return 0;  // forced: kept, even outside the range
    int64_t chosen = smallest;
    double nearest = std::fabs(fs / static_cast<double>(smallest) - kTargetFrequency);
    // Candidates fall as n grows: once one is at or below the target no later one is nearer,
    // so the search ends there (a tiny F0 would otherwise walk through millions of factors).
    for (int64_t n = smallest + 1;
         n <= largest && fs / static_cast<double>(n - 1) > kTargetFrequency; ++n) {
        const double distance = std::fabs(fs / static_cast<double>(n) - kTargetFrequency);
        if (distance < nearest) {  // a tie keeps the smaller factor
            nearest = distance;
            chosen = n;
        }
    }
    UndersamplingFactor = static_cast<int32_t>(chosen);
    return 0;
}

namespace {

// A field's number: empty gives `empty` (the range check then rejects it), unreadable fails.
bool ReadNumberField(const std::string& field, double empty, double& value) {
    const std::string text = Trim(field);
    if (text.empty()) {
        value = empty;
        return true;
    }
    return TryStrToFloatGuess(text, true, value);
}

// The directory part of a file name exists (no directory part: the current directory).
bool DirectoryExists(const std::string& fileName) {
    const std::filesystem::path directory = std::filesystem::path(fileName).parent_path();
    if (directory.empty()) return true;
    std::error_code error;
    return std::filesystem::is_directory(directory, error);
}

// An EDF file the library reads with lenient checking; a file that cannot even be opened is
// not one either.
bool ReadableEDFFile(const std::string& fileName) {
    try {
        return IsValidEDFFile(fileName, false);
    } catch (...) {
        return false;
    }
}

TParameterField FieldOfCode(int code) {
    switch (code) {
        case 2:
            return TParameterField::LP;
        case 3:
            return TParameterField::HP;
        case 4:
            return TParameterField::F0;
        case 5:
            return TParameterField::B;
        case 6:
            return TParameterField::Fc;
        case 7:
            return TParameterField::Rate;
        default:
            return TParameterField::None;
    }
}

TParameterCheck FieldFailure(TParameterCheck check, TParameterField field,
                             const std::string& message) {
    check.Ok = false;
    check.Focus = field;
    check.FieldMessage = message;
    return check;
}

}  // namespace

TParameterCheck CheckParameterFields(const TParameterFields& fields, bool BatchMode,
                                     TProgressList* ProgressList) {
    TParameterCheck check;
    check.UndersamplingFactor = fields.UndersamplingFactor;
    try {
        const std::string input = Trim(fields.InputFileName);
        std::error_code error;
        if (input.empty() || !std::filesystem::is_regular_file(input, error) ||
            !ReadableEDFFile(input))
            return FieldFailure(check, TParameterField::InputFile, "Invalid EDF inputfilename");

        const std::string output = Trim(fields.OutputFileName);
        if (output.empty() || !DirectoryExists(output))
            return FieldFailure(check, TParameterField::OutputFile, "Invalid EDF outputfilename");

        const std::string number = Trim(fields.SignalNumber);
        if (number.empty())
            return FieldFailure(check, TParameterField::SignalNumber, "Invalid number format");
        // A text that is no integer at all ends the check without a message.
        if (!IsInt32Text(number)) return check;
        const int32_t signal = StrToInt32Or0(number);
        if (signal <= 0 || signal > fields.SignalCount)
            return FieldFailure(check, TParameterField::SignalNumber, "Invalid number format");
        check.SignalIndex = signal - 1;

        struct TFilterField {
            const std::string& Text;
            TParameterField Field;
            const char* Missing;
            double& Value;
        };
        for (const TFilterField& f :
             {TFilterField{fields.LP, TParameterField::LP,
                           "Please type the value of the lowest applied LP filter", check.LP},
              TFilterField{fields.HP, TParameterField::HP,
                           "Please type the value of the highest applied HP filter", check.HP}}) {
            if (Trim(f.Text).empty()) return FieldFailure(check, f.Field, f.Missing);
            if (!ReadNumberField(f.Text, 0, f.Value))
                return FieldFailure(check, f.Field, "Invalid number format");
        }
        struct TParameterText {
            const std::string& Text;
            TParameterField Field;
            double& Value;
        };
        for (const TParameterText& p :
             {TParameterText{fields.F0, TParameterField::F0, check.F0},
              TParameterText{fields.B, TParameterField::B, check.B},
              TParameterText{fields.Fc, TParameterField::Fc, check.Fc},
              TParameterText{fields.Rate, TParameterField::Rate, check.Rate}})
            if (!ReadNumberField(p.Text, -1.0, p.Value))
                return FieldFailure(check, p.Field, "Invalid number format");

        int32_t factor = fields.UndersamplingFactor;
        const int code =
            ValidateAnalysisParameters(factor, BatchMode, ProgressList, fields.SampleFrequency,
                                       check.HP, check.LP, check.F0, check.B, check.Fc, check.Rate);
        if (code != 0) {
            check.Focus = FieldOfCode(code);
            return check;
        }
        check.UndersamplingFactor = factor;
        if (ProgressList)
            ProgressList->Append("Undersampling = " + std::to_string(factor) + " (" +
                                 FloatToStr(fields.SampleFrequency / factor) + "Hz)");
        check.Ok = true;
        return check;
    } catch (...) {
        // Anything unexpected makes the check fail without a message.
        check.Ok = false;
        check.Focus = TParameterField::None;
        check.FieldMessage.clear();
        return check;
    }
}

}  // namespace vantrel
