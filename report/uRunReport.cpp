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

TClockTime RecordingStart(TEDFFile& recording) {
    const THPDateTime start = recording.FileInfo().Start();
    const TClockTime header =
        ClockTimeOfSerialDay(static_cast<int64_t>(start.Day()), start.Picoseconds());
    const long double subsecond = SubsecondStart(recording);
    return header + chr::milliseconds{static_cast<int64_t>(std::llround(subsecond * 1000))};
}

std::string RecordingStartText(TEDFFile& recording) {
    return IsoText(RecordingStart(recording));
}

std::optional<THypnogram> NightHypnogram(const std::string& recordingFileName,
                                         const std::string& namedFile, double epochSeconds) {
    TEDFFile recording;
    OpenForReading(recording, recordingFileName);
    std::optional<THypnogram> hypnogram;
    if (!namedFile.empty()) {
        hypnogram = ReadHypnogram(namedFile, epochSeconds);
    } else if (IsEDFPlus(recording) && !AnnotationSignals(recording).empty()) {
        try {
            hypnogram = ReadHypnogram(recordingFileName, epochSeconds);
        } catch (const EHypnogramError&) {
            return std::nullopt;  // annotations that cannot be read hold no stages to use
        }
        if (hypnogram->Spans.empty()) return std::nullopt;
    }
    if (hypnogram) {
        const long double duration =
            recording.NumberOfRecords() * recording.FileInfo().RecordDuration();
        StageSeconds(*hypnogram, RecordingStart(recording),
                     static_cast<int64_t>(std::ceil(duration)));
    }
    return hypnogram;
}

uint32_t StageGroups(TSleepStage stage) {
    constexpr uint32_t kNREM = 1u << 6, kSleep = 1u << 7;
    const uint32_t own = 1u << static_cast<int>(stage);
    switch (stage) {
        case TSleepStage::N1:
        case TSleepStage::N2:
        case TSleepStage::N3:
            return own | kNREM | kSleep;
        case TSleepStage::REM:
            return own | kSleep;
        default:
            return own;
    }
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
    const int64_t seconds = std::min(results.Seconds, reader.SecondsInFile());
    const TStatisticsScales scales{SP.PhysScale, p.EventThreshold};
    if (!circumstances.Hypnogram) {
        results.Night = ComputeStatistics(reader, seconds, scales).Night;
    } else {
        const THypnogram& hypnogram = *circumstances.Hypnogram;
        const TClockTime start = RecordingStart(input);
        const TStagedNight night = StageSeconds(hypnogram, start, seconds);
        TStatisticsSet set = ComputeStatistics(
            reader, seconds, scales, kStageGroupCount,
            [&night](int64_t t) { return StageGroups(night.Seconds[static_cast<size_t>(t)]); });
        results.Night = set.Night;
        record.Stages = std::move(set.Groups);
        TRunHypnogram& h = record.Hypnogram.emplace();
        h.Path = hypnogram.Path;
        h.Format = FormatName(hypnogram.Format);
        h.Start = IsoText(hypnogram.Start ? *hypnogram.Start : start);
        h.Spans = static_cast<int64_t>(hypnogram.Spans.size());
        h.SecondsScored = night.SecondsScored;
        h.LightsOff = night.LightsOff;
        h.LightsOn = night.LightsOn;
    }

    const auto finished = chr::system_clock::now();
    record.Finished = IsoUtcText(finished);
    record.WallSeconds = chr::duration<double>(finished - circumstances.Started).count();
    return record;
}

}  // namespace vantrel
