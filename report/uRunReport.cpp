#include "report/uRunReport.h"

#include <sys/stat.h>

#include <cmath>

#include "edf/uEDFAnnotations.h"
#include "edf/uEDFTools.h"
#include "report/uIsoTime.h"
#include "support/uVersion.h"
#include "support/udStr.h"

namespace vantrel {

namespace chr = std::chrono;

namespace {

void DescribeInputFile(TRunInput& input, const std::string& fileName) {
    struct stat status {};
    if (::stat(fileName.c_str(), &status) != 0) return;
    input.Bytes = static_cast<uint64_t>(status.st_size);
    const auto modified = chr::system_clock::time_point{chr::seconds{status.st_mtim.tv_sec}};
    input.Modified = IsoUtcText(modified);
}

}  // namespace

std::string RecordingStartText(TEDFFile& recording) {
    const THPDateTime start = recording.FileInfo().Start();
    const TClockTime header =
        ClockTimeOfSerialDay(static_cast<int64_t>(start.Day()), start.Picoseconds());
    const long double subsecond = SubsecondStart(recording);
    return IsoText(header +
                   chr::milliseconds{static_cast<int64_t>(std::llround(subsecond * 1000))});
}

TRunRecord MakeRunRecord(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                         const TSUSSParameters& SP, const TRunCircumstances& circumstances) {
    TRunRecord record;
    record.ProgramName = kProgramName;
    record.ProgramVersion = ProgramVersion();
    record.CommandLine = circumstances.CommandLine;
    record.Started = IsoUtcText(circumstances.Started);

    TEDFFile input;
    OpenForReading(input, AP.InputFileName);
    TRunInput& in = record.Input;
    in.Path = AP.InputFileName;
    DescribeInputFile(in, AP.InputFileName);
    in.RecordingStart = RecordingStartText(input);
    in.SignalNumber = AP.SignalIndex + 1;
    in.Label = Trim(ISC.SignalLabel);
    in.SampleFrequency = ISC.SampleFrequency;
    in.PhysicalDimension = Trim(input.Signal(AP.SignalIndex).GetDimension());

    TRunParameters& p = record.Parameters;
    p.F0 = AP.F0;
    p.B = AP.B;
    p.Fc = AP.Fc;
    p.Rate = AP.SmootherRate;
    p.LP = circumstances.LP;
    p.HP = circumstances.HP;
    p.UndersamplingFactor = AP.UndersamplingFactor;
    p.ComputationFrequency = SP.FCompute;
    p.DueFilter = DUEFilterName;
    p.XPiBPlus = XPiBPlus;
    p.XPiBMinus = XPiBMinus;
    p.XPiBZero = XPiBZero;
    p.IIRBackpolate = IIRBackpolate;
    p.EventThreshold = RunEventThreshold(AP.SmootherRate);

    TRunResults& results = record.Results;
    results.Path = AP.OutputFileName;
    results.Seconds =
        ResultsSeconds(input.NumberOfRecords(), ISC.SamplesPerRecord, AP.UndersamplingFactor, SP);
    results.PhysScale = SP.PhysScale;
    results.PiBCode = ISC.PiB;
    results.PiB = static_cast<double>(PiBText(ISC.PiB, SP.PhysScale));
    TResultsReader reader(AP.OutputFileName);
    results.Night = ComputeStatistics(reader, std::min(results.Seconds, reader.SecondsInFile()),
                                      {SP.PhysScale, p.EventThreshold})
                        .Night;

    const auto finished = chr::system_clock::now();
    record.Finished = IsoUtcText(finished);
    record.WallSeconds = chr::duration<double>(finished - circumstances.Started).count();
    return record;
}

}  // namespace vantrel
