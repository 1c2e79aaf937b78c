// The results file's layout: every header text of its 14 signals, and the header stages that
// name signals 2..13 and make the final adjustment of signals 0..7. The SU/SS stage creates the
// file with these texts (uVantrel4SuSs.cpp).
#include <locale.h>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/uVantrel4.h"
#include "support/uMath.h"
#include "support/udStr.h"

namespace vantrel {

// ---- Formatting --------------------------------------------------------------------------------

namespace {

// The "C" numeric conventions for one thread while it lives: printf then writes '.' whatever
// locale the application set.
class TScopedCLocale {
  public:
    TScopedCLocale() : FLocale(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr))) {
        if (FLocale) FPrevious = uselocale(FLocale);
    }
    ~TScopedCLocale() {
        if (!FLocale) return;
        uselocale(FPrevious);
        freelocale(FLocale);
    }
    TScopedCLocale(const TScopedCLocale&) = delete;
    TScopedCLocale& operator=(const TScopedCLocale&) = delete;

  private:
    locale_t FLocale;
    locale_t FPrevious = nullptr;
};

}  // namespace

std::string CFormat(const char* format, ...) {
    TScopedCLocale c;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        text.assign(buffer.data(), static_cast<size_t>(length));
    }
    va_end(again);
    return text;
}

// ---- Texts -------------------------------------------------------------------------------------

std::string DimText(double F0) {
    return CFormat("at %.1fHz", F0);
}

std::string Transducer0Text(double FCompute, double Fc, double F0, double B) {
    return "fCompute/fc/f0/B =" + CFormat("%.3f/%.3f/%.3f/%.3fHz.", FCompute, Fc, F0, B);
}

std::string LogFloatText(const std::string& dim) {
    // Three 8-character slots at positions 15, 26 and 38: where a log-float aware reader looks
    // for the unit, Y0 and A.
    const TFormatSettings plain;  // '.' as decimal separator
    return "sign*LN[sign*(" + PadRight(dim, 8) + ")/(" +
           FloatToFixedWidth(results::kLogFloatY0, 8, plain) + ")]/(" +
           FloatToFixedWidth(results::kLogFloatA, 8, plain) + ") (Tarn:J Sleep Res 1998-supp2:132)";
}

std::string SmoothText(const std::string& transducer, double SmootherRate) {
    return CFormat("%s Smootherrate=%8.6f/s", Trim(transducer).c_str(), SmootherRate);
}

std::string RecordingText(double F0, int32_t SignalIndex, const std::string& label,
                          const std::string& inputFileName) {
    const std::string name = std::filesystem::path(inputFileName).filename().string();
    std::string text = "Microcontinuity analysis at " + Trim(CFormat("%.1f", F0)) + "Hz of ch." +
                       std::to_string(SignalIndex) + " (" + Trim(label) + ") in " + Trim(name);
    // EDF allows printable ASCII only: a file or label name in UTF-8 or Latin-1 would make the
    // results file invalid EDF for every strict reader.
    for (char& c : text)
        if (c < 32 || c > 126) c = '_';
    return text.substr(0, 80);
}

long double PhysicalPiB(int32_t PiB) {
    return LogFloatDecode(PiB, results::kLogFloatY0, results::kLogFloatA);
}

long double PiBText(int32_t PiB, double PhysScale) {
    if (PhysScale == 0) return 0;
    const long double value = PhysicalPiB(PiB) / PhysScale;
    return std::isfinite(value) ? value : 0;
}

std::string ResultsLabel(int signal, const std::string& source) {
    using namespace results;
    const std::string rest = source.size() > 3 ? source.substr(3) : std::string();
    switch (signal) {
        case kSU:
            return "SU " + Trim(source) + "**2/x";
        case kSS:
            return "SS " + Trim(source) + "**2/x";
        case kSUPlus:
            return "SU+" + rest;
        case kSUMinus:
            return "SU-" + rest;
        case kSSPlus:
            return "SS+" + rest;
        case kSSMinus:
            return "SS-" + rest;
        case kSSP:
            return "SSP" + rest;
        case kSS0:
            return "SS0" + rest;
        case kHFArtifact:
            return "HF artifact";
        case kLFArtifact:
            return "LF artifact";
        case kMissingSignal:
            return "Missing signal";
        case kMC:
            return "MC";
        case kMCJump:
            return "MC-Jump";
        case kMCEvent:
            return "MC-Event";
        default:
            return "";
    }
}

std::string ResultsPrefiltering(int signal, long double piBText) {
    using namespace results;
    switch (signal) {
        case kHFArtifact:
            return CFormat("Detected when [[SS-SU-piB] div piB] >=%3d with physical piB=%.2Lf",
                           XPiBPlus, piBText);
        case kLFArtifact:
            return CFormat("Detected when [[SS-SU-piB] div piB] <=%3d with physical piB=%.2Lf",
                           XPiBMinus, piBText);
        case kMissingSignal:
            return CFormat("Detected when [piB div [SS]] >=%3d with physical piB=%.2Lf", XPiBZero,
                           piBText);
        case kMC:
            return CFormat("Microcontinuity (Method O.Tarn) physical piB=%.2Lf", piBText);
        case kMCJump:
            return "Microcontinuity jump = 100 * [[SU-/SS-] - [SU+/SS+]]";
        case kMCEvent:
            return CFormat("Microcontinuity event <= %2ds", 1);
        default:
            return "";
    }
}

// ---- Files -------------------------------------------------------------------------------------

bool IsSameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const bool same = std::filesystem::equivalent(a, b, error);
    return !error && same;
}

void OpenResultsFile(TEDFFile& file, const std::string& OutputFileName) {
    // Opening for writing would create a missing file: look first.
    std::error_code error;
    if (!std::filesystem::is_regular_file(OutputFileName, error))
        throw Exception("Results file " + OutputFileName + " not found");
    file.SetFileName(OutputFileName);
    file.SetReadOnly(false);
    file.SetStrictChecking(false);
    file.SetActive(true);
    if (!file.HeaderValid() || file.SignalCount() != results::kSignals)
        throw Exception("Results file " + OutputFileName + " is not a results file of 14 signals");
}

// ---- Header stages -----------------------------------------------------------------------------

namespace {

// Runs one header stage on the reopened results file and closes it explicitly, so that a write
// error is never lost in a destructor. Any error makes the stage false.
template <class Change>
bool ChangeResultsHeader(const std::string& OutputFileName, Change change) {
    try {
        TEDFFile file;
        OpenResultsFile(file, OutputFileName);
        change(file);
        file.WriteHeader();
        file.Close();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

bool CreateArtifactHeaders(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                           const TSUSSParameters& SP) {
    const long double piB = PiBText(ISC.PiB, SP.PhysScale);
    return ChangeResultsHeader(AP.OutputFileName, [&](TEDFFile& file) {
        const TCustomEDFSignalInfo& su = file.Signal(results::kSU);
        const std::string transducer = su.Transducer();
        const std::string dimension = su.GetDimension();
        const std::string reserved = su.Reserved();
        for (int k : {results::kHFArtifact, results::kLFArtifact, results::kMissingSignal}) {
            TCustomEDFSignalInfo& signal = file.Signal(k);
            signal.SetLabel(ResultsLabel(k, ""));
            signal.SetTransducer(transducer);
            signal.SetPhysicalDimension(dimension);
            signal.SetPhysicalMinimum(-32767);
            signal.SetPhysicalMaximum(32767);
            signal.SetDigitalMinimum(-32767);
            signal.SetDigitalMaximum(32767);
            signal.SetPrefiltering(ResultsPrefiltering(k, piB));
            signal.SetReserved(reserved);
        }
    });
}

bool CreateSmoothedHeaders(const TAnalysisParam& AP, const TInputSignalChar&) {
    return ChangeResultsHeader(AP.OutputFileName, [&](TEDFFile& file) {
        const TCustomEDFSignalInfo& ss = file.Signal(results::kSS);
        const std::string transducer = SmoothText(ss.Transducer(), AP.SmootherRate);
        for (int k = results::kSUPlus; k <= results::kSSMinus; ++k) {
            TCustomEDFSignalInfo& signal = file.Signal(k);
            signal.SetLabel(ResultsLabel(k, ss.Label()));
            signal.SetTransducer(transducer);
            signal.SetPhysicalDimension(ss.PhysicalDimension());
            signal.SetPhysicalMinimum(ss.PhysicalMinimum());
            signal.SetPhysicalMaximum(ss.PhysicalMaximum());
            signal.SetDigitalMinimum(ss.DigitalMinimum());
            signal.SetDigitalMaximum(ss.DigitalMaximum());
            signal.SetPrefiltering(ss.Prefiltering());
            signal.SetReserved(ss.Reserved());
        }
    });
}

bool CreateMCHeaders(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                     const TSUSSParameters& SP) {
    const long double piB = PiBText(ISC.PiB, SP.PhysScale);
    return ChangeResultsHeader(AP.OutputFileName, [&](TEDFFile& file) {
        // A scratch header, a full copy of signal 0, is adapted step by step; each target
        // signal becomes a copy of it.
        TEDFSignalInfo scratch;
        scratch.Assign(&file.Signal(results::kSU));
        scratch.SetTransducer(SmoothText(scratch.Transducer(), AP.SmootherRate));
        const std::string suLabel = scratch.Label();
        for (int k : {results::kSSP, results::kSS0}) {
            scratch.SetLabel(ResultsLabel(k, suLabel));
            file.Signal(k).Assign(&scratch);
        }
        scratch.SetPhysicalDimension("%");
        scratch.SetDigitalMinimum(-32767);
        scratch.SetDigitalMaximum(32767);
        scratch.SetPhysicalMinimum(-3276.7);
        scratch.SetPhysicalMaximum(3276.7);
        for (int k : {results::kMC, results::kMCJump, results::kMCEvent}) {
            scratch.SetLabel(ResultsLabel(k, ""));
            scratch.SetPrefiltering(ResultsPrefiltering(k, piB));
            file.Signal(k).Assign(&scratch);
        }
    });
}

void FinalHeaderFix(const std::string& OutputFileName) {
    TEDFFile file;
    OpenResultsFile(file, OutputFileName);
    for (int k = results::kSU; k <= results::kSS0; ++k) {
        TCustomEDFSignalInfo& signal = file.Signal(k);
        signal.SetPhysicalDimension("Filtered");
        signal.SetPhysicalMinimum(-32767);
        signal.SetPhysicalMaximum(32767);
    }
    file.WriteHeader();
    file.Close();
}

}  // namespace vantrel
