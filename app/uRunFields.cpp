#include "app/uRunFields.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

#include "app/uShellTools.h"
#include "edf/uEDF.h"
#include "edf/uEDFAnnotations.h"
#include "edf/uEDFTools.h"
#include "edf/uSignalLabels.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

bool EnvironmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

}  // namespace

bool IsUsableRecording(const std::string& fileName) {
    try {
        return RegularFileExists(fileName) && IsValidEDFFile(fileName, false);
    } catch (const std::exception&) {
        return false;  // a file that cannot be opened is no valid EDF file
    }
}

TSignalChoice ChooseSignal(const std::string& fileName, int32_t number) {
    TEDFFile file;
    OpenForReading(file, fileName);
    TSignalChoice choice;
    choice.SignalCount = file.SignalCount();
    choice.InRange = number > 0 && number <= choice.SignalCount;
    if (!choice.InRange) return choice;
    const TCustomEDFSignalInfo& signal = file.Signal(number - 1);
    choice.Label = signal.Label();
    choice.Prefiltering = signal.GetPrefiltering();
    choice.SampleFrequency =
        static_cast<double>(signal.SamplesPerRecord() / file.FileInfo().RecordDuration());
    return choice;
}

TSignalText ResolveSignalText(const std::string& fileName, const std::string& text) {
    TSignalText signal;
    signal.Number = text;
    if (Trim(text).empty() || IsSignalNumberText(text) || !IsUsableRecording(fileName))
        return signal;
    TEDFFile file;
    OpenForReading(file, fileName);
    const TSignalLabelMatch match = MatchSignalLabel(file, text);
    signal.Problem = match.Problem;
    if (match.Number > 0) {
        signal.Number = std::to_string(match.Number);
        signal.Label = match.Label;
        signal.ByLabel = true;
    }
    return signal;
}

bool IsAnnotationSignal(const std::string& fileName, const std::string& numberText) {
    const std::string number = Trim(numberText);
    if (!IsInt32Text(number) || !RegularFileExists(fileName)) return false;
    try {
        TEDFFile file;
        OpenForReading(file, fileName);
        const int32_t n = StrToInt32Or0(number);
        return file.IsValid() && n > 0 && n <= file.SignalCount() &&
               IsAnnotationLabel(file.Signal(n - 1).Label());
    } catch (const std::exception&) {
        return false;
    }
}

std::string GapsProblem(const std::string& fileName) {
    if (!IsUsableRecording(fileName)) return {};
    TEDFFile file;
    OpenForReading(file, fileName);
    const std::optional<TEDFGap> gap = FindFirstGap(file);
    if (!gap) return {};
    return "The recording has gaps: record " + std::to_string(gap->Record) + " starts at " +
           FloatToStr(gap->Start) + " s, " + FloatToStr(gap->Expected) + " s expected (EDF+D)";
}

TFileRefusal CollidingFiles(const std::string& input, const std::string& output, bool batch,
                            bool exportBmp, bool picture) {
    if (input.empty() || output.empty()) return {};
    if (SameFile(input, output)) return {"The results file must not be the input file"};
    const TRunFiles files = RunFiles(output, CurrentDirectory());
    auto collides = [&](const std::string& file) {
        return SameFile(file, input) || SameFile(file, output);
    };
    if (batch && collides(files.Log))
        return {
            "The batch log \"" + files.Log + "\" must not be the input file or the results file",
            false};
    const struct {
        bool Written;
        const char* What;
        const std::string& Name;
    } beside[] = {
        {true, "run record", files.Record},
        {true, "lock file", files.Lock},
        {picture, "picture", files.Picture},
        {exportBmp, "bitmap", files.Bitmap},
    };
    for (const auto& file : beside)
        if (file.Written && collides(file.Name))
            return {std::string("The ") + file.What + " \"" + file.Name +
                    "\" must not be the input file or the results file"};
    return {};
}

void RemoveEarlierResults(const std::string& output) {
    const TRunFiles files = RunFiles(output, CurrentDirectory());
    for (const std::string* name : {&files.Results, &files.Record, &files.Picture, &files.Bitmap}) {
        std::error_code ec;
        if (RegularFileExists(*name)) std::filesystem::remove(*name, ec);
    }
}

void ApplyEngineSettings(const TCommandLineValues& values) {
    XPiBPlus = values.XPiBPlus;
    XPiBMinus = values.XPiBMinus;
    XPiBZero = values.XPiBZero;
    IIRBackpolate = values.IIRBackpolate;
    DUEFilterName = values.DUEFilterName;
    AnalysisThreads = values.AnalysisThreads;
}

TEngineBinding::TEngineBinding(TEngineWindows& windows, TProgressList& list, bool batch)
    : FWindows(windows), FList(list) {
    SetEngineWindows(&FWindows);
    RunContext().BatchMode = batch;
    RunContext().ProgressList = &FList;
}

TEngineBinding::~TEngineBinding() {
    if (RunContext().Windows == &FWindows) SetEngineWindows(nullptr);
    if (RunContext().ProgressList == &FList) RunContext().ProgressList = nullptr;
}

bool HaveDisplay() {
    return EnvironmentSet("QT_QPA_PLATFORM") || EnvironmentSet("DISPLAY") ||
           EnvironmentSet("WAYLAND_DISPLAY");
}

}  // namespace vantrel
