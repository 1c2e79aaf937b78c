// The unattended run: the main window's batch behaviour on plain texts.
#include "app/uBatchRun.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <functional>
#include <system_error>

#include "app/uInterrupt.h"
#include "app/uRunOutputs.h"
#include "app/uShellTools.h"
#include "edf/uEDF.h"
#include "edf/uEDFTools.h"
#include "edf/uSignalLabels.h"
#include "support/uExceptions.h"
#include "support/uVersion.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

// A batch run's progress window: nobody presses its Cancel; a termination signal does.
class TBatchProgress : public TProgressWindow {
  public:
    void SetText(const std::string&) override {}
    void SetPosition(int) override {}
    bool Cancelled() const override { return InterruptSignal() != 0; }
    void Show() override {}
    void Hide() override {}
};

}  // namespace

void TBatchWindows::ShowError(const std::string& text) {
    if (TProgressList* list = RunContext().ProgressList) list->Append(text);
}

std::unique_ptr<TProgressWindow> TBatchWindows::CreateProgress() {
    return std::make_unique<TBatchProgress>();
}

void TBatchWindows::WritePicture(const TRunRecord&, const std::string&,
                                 const std::string& pictureFile, const std::optional<THypnogram>&) {
    throw Exception("Cannot write the picture \"" + pictureFile +
                    "\": pictures are drawn by the window program");
}

TBatchRun::TBatchRun(std::vector<std::string> args, TBatchWindows& windows, TBatchMode mode)
    : FArgs(std::move(args)),
      FWindows(windows),
      FMode(mode),
      FBinding(windows, FProgressList, true) {
    FProgressList.OnAppend = [](const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    };
}

int TBatchRun::Run() {
    const TInterruptHandlers interrupts;
    try {
        const TParseOutcome outcome = ParseCommandLine(FArgs, *this, FOptions);
        if (outcome == TParseOutcome::Usage) {
            PrintUsage();
            Finish(kExitUsage, false);
            return FExitCode;
        }
        Start();
    } catch (const std::exception& e) {
        AppendLine(e.what());  // no run starts: the log says which argument stopped it
        TakeResultsFileFromArguments();
    }
    if (!StoppedBySignal()) Finish(kExitFailed, true);  // a run not finished on the way failed
    return FExitCode;
}

void TBatchRun::AppendLine(const std::string& line) {
    FProgressList.Append(line);
}

void TBatchRun::TakeResultsFileFromArguments() {
    if (!Field(TCommandField::OutputFile).empty()) return;
    const std::string named = PositionalArgument(FArgs, 3);
    Field(TCommandField::OutputFile) = CompleteOutputFileName(named, CurrentDirectory());
}

// ---- The fields -------------------------------------------------------------------------------

void TBatchRun::SetField(TCommandField field, const std::string& text) {
    Field(field) = text;
    if (field == TCommandField::InputFile) InputFileChanged();
    if (field == TCommandField::SignalNumber) SignalNumberChanged();
    if (field == TCommandField::OutputFile)
        Field(field) = CompleteOutputFileName(text, CurrentDirectory());
}

void TBatchRun::InputFileChanged() {
    const std::string& input = Field(TCommandField::InputFile);
    if (!RegularFileExists(input)) return;
    TEDFFile file;
    OpenForReading(file, input);  // an error here ends the run with its message
    if (!file.IsValid()) {
        FSignalMaximum = 32767;
        return;
    }
    FSignalMaximum = file.SignalCount();
    file.SetActive(false);
    SignalNumberChanged();
}

void TBatchRun::SignalNumberChanged() {
    std::string& number = Field(TCommandField::SignalNumber);
    const std::string& input = Field(TCommandField::InputFile);
    if (number.empty() || !IsUsableRecording(input)) return;
    if (!IsSignalNumberText(number)) {
        const TSignalText signal = ResolveSignalText(input, number);
        FSignalProblem = signal.Problem;  // refused at Start, after the lines naming the files
        if (!signal.ByLabel) return;
        number = signal.Number;
        FSignalByLabel = true;
    }
    if (!IsInt32Text(number)) throw EConvertError("'" + number + "' is not a valid integer value");
    try {
        const TSignalChoice choice = ChooseSignal(input, StrToInt32Or0(number));
        FSignalMaximum = choice.SignalCount;
        if (!choice.InRange) return;
        FSampleFrequency = choice.SampleFrequency;
        FSignalLabel = Trim(choice.Label);
        const TPrefilterValues filters = FiltersFromPrefilter(choice.Prefiltering);
        Field(TCommandField::LP) = filters.LP;
        Field(TCommandField::HP) = filters.HP;
    } catch (const std::exception&) {
        // The file went away or its header cannot be read: the fields keep what they held.
    }
}

// ---- Start ------------------------------------------------------------------------------------

void TBatchRun::Start() {
    const std::string& input = Field(TCommandField::InputFile);
    const std::string& output = Field(TCommandField::OutputFile);
    AppendLine("Analysing file \"" + input + "\"");
    const std::string signal = Trim(Field(TCommandField::SignalNumber));
    AppendLine("Signal# " + signal +
               (FSignalByLabel ? " (" + HeaderTextToUtf8(FSignalLabel) + ")" : ""));
    AppendLine("Output file \"" + output + "\"");
    if (StoppedBySignal() || RefusedBeforeStart()) return;
    if (RegularFileExists(output) && !FOptions.OverwriteOutput) {
        Refuse("Output file already exists!");
        return;
    }
    const std::size_t linesBeforeCheck = FProgressList.Lines().size();
    if (!CheckParameters()) {
        const std::vector<std::string> messages(
            FProgressList.Lines().begin() + static_cast<std::ptrdiff_t>(linesBeforeCheck),
            FProgressList.Lines().end());
        AppendLine("Analysis parameters error");
        // Unattended, the last line must say what is wrong with an input that is refused.
        if (FChecked.Focus == TParameterField::InputFile && !Trim(input).empty()) {
            if (const std::string problem = RecordingProblem(Trim(input)); !problem.empty())
                AppendLine(problem);
        } else if (const std::string cause = ParameterCause(messages); !cause.empty()) {
            AppendLine(cause);
        }
        Finish(kExitFailed, true);
        return;
    }
    if (!ReadTheHypnogram() || StoppedBySignal()) return;
    if (FMode == TBatchMode::Check) {  // the first deletion or write comes next
        Finish(kExitOk, false);
        return;
    }
    if (FOptions.OverwriteOutput) RemoveEarlierResults(output);
    RunTheAnalysis();
}

void TBatchRun::Refuse(const std::string& text, bool writeLog) {
    AppendLine(text);
    Finish(kExitFailed, writeLog);
}

void TBatchRun::Warn(const std::string& line) {
    AppendLine(line);
    FWarnings.push_back(line);
}

bool TBatchRun::RefusedBeforeStart() {
    const std::string input = Trim(Field(TCommandField::InputFile));
    const std::string output = Trim(Field(TCommandField::OutputFile));
    if (const std::string problem = ResultsNameProblem(output); !problem.empty()) {
        Refuse(problem, false);  // no log beside a directory or a device
        return true;
    }
    const TFileRefusal refusal =
        CollidingFiles(input, output, true, FOptions.ExportBmp, FOptions.Picture);
    if (!refusal.Message.empty()) {
        // A log that would damage a file of the run is not written: the lines stay on stderr.
        Refuse(refusal.Message, refusal.LogWritable);
        return true;
    }
    if (!FSignalProblem.empty()) {
        Refuse(FSignalProblem);
        return true;
    }
    const std::string& number = Field(TCommandField::SignalNumber);
    if (IsAnnotationSignal(input, number)) {
        Refuse("Signal " + Trim(number) + " is an EDF+ annotation signal");
        return true;
    }
    if (const std::string gaps = GapsProblem(input); !gaps.empty()) {
        Refuse(gaps);
        return true;
    }
    if (!output.empty()) {
        FLock.emplace(output, FMode == TBatchMode::Check);
        if (!FLock->Problem().empty()) {
            Refuse(FLock->Problem());
            return true;
        }
    }
    if (FOptions.PrintPiB) {
        if (const std::string problem = FWindows.PrinterProblem(); !problem.empty()) {
            Refuse(problem);
            return true;
        }
    }
    if (IsUsableRecording(input)) {
        // The run does not stop for these; the check reports them as warnings. A recording read
        // leniently is what the run always does, so only the check says so.
        if (FMode == TBatchMode::Check)
            if (const std::string lenient = LenientReadingWarning(input); !lenient.empty())
                Warn(lenient);
        TEDFFile file;
        OpenForReading(file, input);
        if (const std::string warning = MissingRecordsWarning(file); !warning.empty())
            Warn(warning);
    }
    return false;
}

bool TBatchRun::CheckParameters() {
    TParameterFields fields;
    fields.InputFileName = Field(TCommandField::InputFile);
    fields.OutputFileName = Field(TCommandField::OutputFile);
    fields.SignalNumber = Field(TCommandField::SignalNumber);
    fields.LP = Field(TCommandField::LP);
    fields.HP = Field(TCommandField::HP);
    fields.F0 = Field(TCommandField::F0);
    fields.B = Field(TCommandField::B);
    fields.Fc = Field(TCommandField::Fc);
    fields.Rate = Field(TCommandField::Rate);
    fields.SignalCount = FSignalMaximum;
    fields.SampleFrequency = FSampleFrequency;
    fields.UndersamplingFactor = FOptions.UndersamplingFactor;
    FChecked = CheckParameterFields(fields, true, &FProgressList);
    // Unattended, the field's message is the only clue to what is wrong.
    if (!FChecked.Ok && !FChecked.FieldMessage.empty()) AppendLine(FChecked.FieldMessage);
    return FChecked.Ok;
}

std::string TBatchRun::ParameterCause(const std::vector<std::string>& messages) const {
    const TParameterField focus = FChecked.Focus;
    const std::string number = Trim(FFields[size_t(TCommandField::SignalNumber)]);
    if (focus == TParameterField::SignalNumber && IsSignalNumberText(number) &&
        IsUsableRecording(FFields[size_t(TCommandField::InputFile)]))
        return "Signal " + number + " does not exist: the recording has " +
               std::to_string(FSignalMaximum) + " signals";
    const bool parameter = focus == TParameterField::LP || focus == TParameterField::HP ||
                           focus == TParameterField::F0 || focus == TParameterField::B ||
                           focus == TParameterField::Fc || focus == TParameterField::Rate ||
                           (focus == TParameterField::None && !messages.empty());
    if (!parameter || FSampleFrequency <= 0) return {};  // no signal to name
    auto filter = [](const char* name, const std::string& text) {
        const std::string value = Trim(text);
        return std::string(", ") + name + " " + (value.empty() ? "not given" : value + " Hz");
    };
    std::string cause = "Signal " + number + " (" + HeaderTextToUtf8(FSignalLabel) + ", " +
                        FloatToStr(FSampleFrequency) + " Hz" +
                        filter("LP", FFields[size_t(TCommandField::LP)]) +
                        filter("HP", FFields[size_t(TCommandField::HP)]) + "): ";
    for (std::size_t i = 0; i < messages.size(); ++i)
        cause += (i ? "; " : "") + messages[i];
    return cause;
}

bool TBatchRun::ReadTheHypnogram() {
    try {
        FHypnogram = NightHypnogram(Trim(Field(TCommandField::InputFile)), FOptions.Hypnogram,
                                    FOptions.EpochSeconds);
    } catch (const std::exception& e) {
        Refuse(e.what());  // before anything is deleted or written
        return false;
    }
    if (FHypnogram)
        AppendLine("Sleep stages from " + FHypnogram->Path + " (" + FormatName(FHypnogram->Format) +
                   ", " + std::to_string(FHypnogram->Spans.size()) + " stage spans)");
    return true;
}

TAnalysisParam TBatchRun::CheckedParameters() const {
    TAnalysisParam AP;
    AP.InputFileName = FFields[static_cast<size_t>(TCommandField::InputFile)];
    AP.SignalIndex = FChecked.SignalIndex;
    AP.OutputFileName = FFields[static_cast<size_t>(TCommandField::OutputFile)];
    AP.F0 = FChecked.F0;
    AP.B = FChecked.B;
    AP.Fc = FChecked.Fc;
    AP.SmootherRate = FChecked.Rate;
    AP.UndersamplingFactor = FChecked.UndersamplingFactor;
    return AP;
}

TRunCircumstances TBatchRun::Circumstances() const {
    TRunCircumstances circumstances;
    circumstances.CommandLine.push_back(kProgramName);
    circumstances.CommandLine.insert(circumstances.CommandLine.end(), FArgs.begin(), FArgs.end());
    circumstances.Started = FStarted;
    circumstances.LP = FChecked.LP;
    circumstances.HP = FChecked.HP;
    circumstances.Hypnogram = FHypnogram;
    return circumstances;
}

void TBatchRun::RunTheAnalysis() {
    ApplyEngineSettings(FOptions);
    const TAnalysisParam AP = CheckedParameters();
    std::function<void(const TRunRecord&)> picture;
    if (FOptions.Picture)
        picture = [this, &AP](const TRunRecord& record) {
            FWindows.WritePicture(record, AP.OutputFileName,
                                  RunFiles(AP.OutputFileName, CurrentDirectory()).Picture,
                                  FHypnogram);
        };
    const TRunOutputs outputs(Circumstances(), picture);
    bool completed = false;
    try {
        completed = RunAnalysis(AP.InputFileName, AP.SignalIndex, AP.OutputFileName, AP.F0, AP.B,
                                AP.Fc, AP.SmootherRate, AP.UndersamplingFactor, true,
                                FOptions.PrintPiB, FOptions.ExportBmp, &FProgressList);
    } catch (const std::exception& e) {
        AppendLine(e.what());  // an error the engine let through ends the run
    }
    if (!completed) {
        if (StoppedBySignal()) return;
        if (const std::string cause = FailureCause(AP); !cause.empty()) AppendLine(cause);
    }
    Finish(completed ? kExitOk : kExitFailed, true);
}

bool TBatchRun::StoppedBySignal() {
    const int signal = InterruptSignal();
    if (signal == 0 || FFinished) return false;
    AppendLine("Interrupted by signal " + SignalName(signal));
    Finish(InterruptExitCode(signal), true);
    return true;
}

void TBatchRun::Finish(int exitCode, bool writeLog) {
    if (FFinished) return;
    FFinished = true;
    if (FMode == TBatchMode::Check) writeLog = false;
    const std::string& output = Field(TCommandField::OutputFile);
    if (writeLog && !FProgressList.Lines().empty() && ResultsNameProblem(output).empty()) {
        std::string error;
        const std::string log = BatchLogFileName(output, CurrentDirectory());
        if (!WriteBatchLog(FProgressList.Lines(), log, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());  // the lines were echoed already
            if (exitCode == kExitOk) exitCode = kExitFailed;
        }
    }
    if (FLock) FLock->Release();
    FExitCode = exitCode;
}

TCheckOutcome TBatchRun::CheckOutcome() const {
    TCheckOutcome outcome;
    const std::string number = Trim(FFields[size_t(TCommandField::SignalNumber)]);
    if (IsSignalNumberText(number)) outcome.Signal = number;
    outcome.Label = HeaderTextToUtf8(FSignalLabel);
    if (FExitCode != kExitOk) {
        outcome.Status = "failed";
        if (!FProgressList.Lines().empty()) outcome.Reason = FProgressList.Lines().back();
        return outcome;
    }
    outcome.Status = FWarnings.empty() ? "ok" : "warning";
    for (const std::string& warning : FWarnings)
        outcome.Reason += (outcome.Reason.empty() ? "" : "; ") + warning;
    return outcome;
}

int RunCheck(std::vector<std::string> args, TBatchWindows& windows) {
    TBatchRun check(std::move(args), windows, TBatchMode::Check);
    const int exitCode = check.Run();
    if (exitCode == kExitUsage) return exitCode;
    const TCheckOutcome outcome = check.CheckOutcome();
    std::string line;
    for (const std::string* cell :
         {&outcome.Status, &outcome.Signal, &outcome.Label, &outcome.Reason}) {
        for (const char c : *cell)
            line += c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
        line += cell == &outcome.Reason ? '\n' : '\t';
    }
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() ||
        std::fflush(stdout) != 0) {
        std::fprintf(stderr, "vantrel4: cannot write standard output: %s\n", std::strerror(errno));
        return kExitOutput;
    }
    return exitCode;
}

}  // namespace vantrel
