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
    : FArgs(std::move(args)), FBinding(windows, FProgressList, true) {
    FProgressList.OnAppend = [](const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
    };
}

int TBatchRun::Run() {
    TParseOutcome outcome = TParseOutcome::Completed;
    try {
        outcome = ParseCommandLine(FArgs, *this, FOptions);
        if (outcome == TParseOutcome::Usage) {
            PrintUsage();
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
    const std::string& number = Field(TCommandField::SignalNumber);
    if (number.empty() || !IsUsableRecording(Field(TCommandField::InputFile))) return;
    if (!IsInt32Text(number)) throw EConvertError("'" + number + "' is not a valid integer value");
    try {
        const TSignalChoice choice =
            ChooseSignal(Field(TCommandField::InputFile), StrToInt32Or0(number));
        FSignalMaximum = choice.SignalCount;
        if (!choice.InRange) return;
        FSampleFrequency = choice.SampleFrequency;
        const TPrefilterValues filters = FiltersFromPrefilter(choice.Prefiltering);
        Field(TCommandField::LP) = filters.LP;
        Field(TCommandField::HP) = filters.HP;
    } catch (const std::exception&) {
        // The file went away or its header cannot be read: the fields keep what they held.
    }
}

// ---- Start ------------------------------------------------------------------------------------

void TBatchRun::Start() {
    if (RefusedBeforeStart()) return;
    const std::string& output = Field(TCommandField::OutputFile);
    if (RegularFileExists(output)) {
        if (!FOptions.OverwriteOutput) {
            AppendLine("Output file already exists!");
            Finish(kExitFailed, true);
            return;
        }
        std::error_code ec;
        fs::remove(output, ec);  // the outcome is not tested: the run reports what follows
    }
    AppendLine("Analysing file \"" + Field(TCommandField::InputFile) + "\"");
    AppendLine("Signal# " + Trim(Field(TCommandField::SignalNumber)));
    AppendLine("Output file \"" + output + "\"");
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
    const std::string& input = Field(TCommandField::InputFile);
    const TFileRefusal refusal = CollidingFiles(Trim(input), Trim(Field(TCommandField::OutputFile)),
                                                true, FOptions.ExportBmp);
    if (!refusal.Message.empty()) {
        // A log that would damage a file of the run is not written: the lines stay on stderr.
        Refuse(refusal.Message, refusal.LogWritable);
        return true;
    }
    const std::string& number = Field(TCommandField::SignalNumber);
    if (!IsAnnotationSignal(input, number)) return false;
    Refuse("Signal " + Trim(number) + " is an EDF+ annotation signal");
    return true;
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
    const TParameterCheck check = CheckParameterFields(fields, true, &FProgressList);
    if (!check.Ok) {
        // Unattended, the field's message is the only clue to what is wrong.
        if (!check.FieldMessage.empty()) AppendLine(check.FieldMessage);
        return false;
    }
    FChecked = check;
    return true;
}

void TBatchRun::RunTheAnalysis() {
    ApplyEngineSettings(FOptions);
    const int32_t signalIndex = StrToInt32Or0(Trim(Field(TCommandField::SignalNumber))) - 1;
    const bool completed = RunAnalysis(Field(TCommandField::InputFile), signalIndex,
                                       Field(TCommandField::OutputFile), FChecked.F0, FChecked.B,
                                       FChecked.Fc, FChecked.Rate, FChecked.UndersamplingFactor,
                                       true, FOptions.PrintPiB, FOptions.ExportBmp, &FProgressList);
    Finish(completed ? kExitOk : kExitFailed, true);
}

void TBatchRun::Finish(int exitCode, bool writeLog) {
    if (FFinished) return;
    FFinished = true;
    if (writeLog && !FProgressList.Lines().empty()) {
        std::string error;
        const std::string log =
            BatchLogFileName(Field(TCommandField::OutputFile), CurrentDirectory());
        if (!WriteBatchLog(FProgressList.Lines(), log, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());  // the lines were echoed already
            exitCode = kExitFailed;
        }
    }
    FExitCode = exitCode;
}

}  // namespace vantrel
