// The unattended run: the main window's batch behaviour on plain texts.
#include "app/uBatchRun.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/uShellTools.h"
#include "edf/uEDF.h"
#include "edf/uEDFTools.h"
#include "support/uExceptions.h"
#include "support/udStr.h"

namespace vantrel {

namespace fs = std::filesystem;

void TBatchWindows::ShowError(const std::string& text) {
    if (TProgressList* list = RunContext().ProgressList) list->Append(text);
}

TBatchRun::TBatchRun(std::vector<std::string> args, TEngineWindows& windows)
    : FArgs(std::move(args)), FWindows(windows) {
    FProgressList.OnAppend = [](const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    };
    SetEngineWindows(&FWindows);
    RunContext().BatchMode = true;
    RunContext().ProgressList = &FProgressList;
}

TBatchRun::~TBatchRun() {
    if (RunContext().Windows == &FWindows) SetEngineWindows(nullptr);
    if (RunContext().ProgressList == &FProgressList) RunContext().ProgressList = nullptr;
}

int TBatchRun::Run() {
    TParseOutcome outcome = TParseOutcome::Completed;
    try {
        outcome = ParseCommandLine(FArgs, *this, FOptions);
        RunContext().BatchMode = true;
        if (outcome == TParseOutcome::Usage) {
            std::fputs((UsageText() + "\n").c_str(), stdout);
            std::fflush(stdout);
            Finish(kExitUsage, false);
            return FExitCode;
        }
        Start();
    } catch (const std::exception& e) {
        AppendLine(e.what());  // no run starts, or it ended with an error: the log says which
    }
    Finish(kExitFailed, true);  // a run that was not finished on the way failed
    return FExitCode;
}

void TBatchRun::AppendLine(const std::string& line) {
    FProgressList.Append(line);
}

// ---- The fields -------------------------------------------------------------------------------

void TBatchRun::SetField(TCommandField field, const std::string& text) {
    switch (field) {
        case TCommandField::InputFile:
            FInputFile = text;
            InputFileChanged();
            break;
        case TCommandField::SignalNumber:
            FSignalNumber = text;
            SignalNumberChanged();
            break;
        case TCommandField::OutputFile:
            FOutputFile = text;
            OutputFileLeft();
            break;
        case TCommandField::F0:
            FF0Text = text;
            break;
        case TCommandField::B:
            FBText = text;
            break;
        case TCommandField::Fc:
            FFcText = text;
            break;
        case TCommandField::Rate:
            FRateText = text;
            break;
        case TCommandField::LP:
            FLPText = text;
            break;
        case TCommandField::HP:
            FHPText = text;
            break;
    }
}

void TBatchRun::InputFileChanged() {
    if (!RegularFileExists(FInputFile)) return;
    TEDFFile file;
    file.SetFileName(FInputFile);
    file.SetReadOnly(true);
    file.SetStrictChecking(false);
    file.SetActive(true);  // an error here ends the run with its message
    if (!file.IsValid()) {
        FSignalMaximum = 32767;
        return;
    }
    FSignalMaximum = file.SignalCount();
    file.SetActive(false);
    SignalNumberChanged();
}

void TBatchRun::SignalNumberChanged() {
    if (FSignalNumber.empty()) return;
    bool valid = false;
    try {
        valid = RegularFileExists(FInputFile) && IsValidEDFFile(FInputFile, false);
    } catch (const std::exception&) {
        valid = false;  // a file that cannot be opened is no valid EDF file
    }
    if (!valid) return;
    if (!IsInt32Text(FSignalNumber))
        throw EConvertError("'" + FSignalNumber + "' is not a valid integer value");
    const int32_t n = StrToInt32Or0(FSignalNumber);
    try {
        TEDFFile file;
        file.SetFileName(FInputFile);
        file.SetReadOnly(true);
        file.SetStrictChecking(false);
        file.SetActive(true);
        FSignalMaximum = file.SignalCount();
        if (n <= 0 || n > FSignalMaximum) return;
        const TCustomEDFSignalInfo& signal = file.Signal(n - 1);
        FSampleFrequency =
            static_cast<double>(signal.SamplesPerRecord() / file.FileInfo().RecordDuration());
        const TPrefilterValues filters = FiltersFromPrefilter(signal.GetPrefiltering());
        FLPText = filters.LP;
        FHPText = filters.HP;
    } catch (const std::exception&) {
        // The file went away or its header cannot be read: the fields keep what they held.
    }
}

void TBatchRun::OutputFileLeft() {
    FOutputFile = CompleteOutputFileName(FOutputFile, CurrentDirectory());
}

// ---- Start ------------------------------------------------------------------------------------

void TBatchRun::Start() {
    if (RefusedBeforeStart()) return;
    if (RegularFileExists(FOutputFile)) {
        if (!FOptions.OverwriteOutput) {
            AppendLine("Output file already exists!");
            Finish(kExitFailed, true);
            return;
        }
        std::error_code ec;
        fs::remove(FOutputFile, ec);  // the outcome is not tested: the run reports what follows
    }
    AppendLine("Analysing file \"" + FInputFile + "\"");
    AppendLine("Signal# " + Trim(FSignalNumber));
    AppendLine("Output file \"" + FOutputFile + "\"");
    if (!CheckParameters()) {
        AppendLine("Analysis parameters error");
        Finish(kExitFailed, true);
        return;
    }
    RunTheAnalysis();
}

void TBatchRun::Refuse(const std::string& text, bool writeLog) {
    AppendLine(text);
    Finish(kExitFailed, writeLog);
}

bool TBatchRun::RefusedBeforeStart() {
    const std::string input = Trim(FInputFile);
    const std::string output = Trim(FOutputFile);
    if (!input.empty() && !output.empty()) {
        if (SameFile(input, output)) {
            Refuse("The results file must not be the input file");
            return true;
        }
        const std::string log = BatchLogFileName(output, CurrentDirectory());
        if (SameFile(log, input) || SameFile(log, output)) {
            // Writing this log would damage a file of the run: the lines stay on stderr.
            Refuse("The batch log \"" + log + "\" must not be the input file or the results file",
                   false);
            return true;
        }
        const std::string bitmap = BitmapFileName(output);
        if (FOptions.ExportBmp && (SameFile(bitmap, input) || SameFile(bitmap, output))) {
            Refuse("The bitmap \"" + bitmap + "\" must not be the input file or the results file");
            return true;
        }
    }
    const std::string number = Trim(FSignalNumber);
    if (!IsInt32Text(number) || !RegularFileExists(FInputFile)) return false;
    try {
        TEDFFile file;
        file.SetFileName(FInputFile);
        file.SetReadOnly(true);
        file.SetStrictChecking(false);
        file.SetActive(true);
        const int32_t n = StrToInt32Or0(number);
        if (!file.IsValid() || n <= 0 || n > file.SignalCount()) return false;
        if (!IsAnnotationLabel(file.Signal(n - 1).Label())) return false;
    } catch (const std::exception&) {
        return false;  // the parameter check reports an unreadable input file
    }
    Refuse("Signal " + number + " is an EDF+ annotation signal");
    return true;
}

bool TBatchRun::CheckParameters() {
    TParameterFields fields;
    fields.InputFileName = FInputFile;
    fields.OutputFileName = FOutputFile;
    fields.SignalNumber = FSignalNumber;
    fields.LP = FLPText;
    fields.HP = FHPText;
    fields.F0 = FF0Text;
    fields.B = FBText;
    fields.Fc = FFcText;
    fields.Rate = FRateText;
    fields.SignalCount = FSignalMaximum;
    fields.SampleFrequency = FSampleFrequency;
    fields.UndersamplingFactor = FOptions.UndersamplingFactor;
    const TParameterCheck check = CheckParameterFields(fields, true, &FProgressList);
    if (!check.Ok) {
        // Unattended, the field's message is the only clue to what is wrong.
        if (!check.FieldMessage.empty()) AppendLine(check.FieldMessage);
        return false;
    }
    FF0 = check.F0;
    FB = check.B;
    FFc = check.Fc;
    FSmootherRate = check.Rate;
    FOptions.UndersamplingFactor = check.UndersamplingFactor;
    return true;
}

void TBatchRun::ApplyEngineSettings() const {
    XPiBPlus = FOptions.XPiBPlus;
    XPiBMinus = FOptions.XPiBMinus;
    XPiBZero = FOptions.XPiBZero;
    IIRBackpolate = FOptions.IIRBackpolate;
    DUEFilterName = FOptions.DUEFilterName;
    AnalysisThreads = FOptions.AnalysisThreads;
}

void TBatchRun::RunTheAnalysis() {
    ApplyEngineSettings();
    const int32_t signalIndex = StrToInt32Or0(Trim(FSignalNumber)) - 1;
    const bool completed = RunAnalysis(FInputFile, signalIndex, FOutputFile, FF0, FB, FFc,
                                       FSmootherRate, FOptions.UndersamplingFactor, true,
                                       FOptions.PrintPiB, FOptions.ExportBmp, &FProgressList);
    Finish(completed ? kExitOk : kExitFailed, true);
}

void TBatchRun::Finish(int exitCode, bool writeLog) {
    if (FFinished) return;
    FFinished = true;
    if (writeLog && !FProgressList.Lines().empty()) {
        std::string error;
        const std::string log = BatchLogFileName(FOutputFile, CurrentDirectory());
        if (!WriteBatchLog(FProgressList.Lines(), log, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());  // the lines were echoed already
            exitCode = kExitFailed;
        }
    }
    FExitCode = exitCode;
}

}  // namespace vantrel
