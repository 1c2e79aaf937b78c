// The first numerical stage: the analysed signal's characteristics, and SU and SS, the
// per-second sums of the DU/E x SE filter product and of the squared SE output, written as
// log-float signals 0 and 1 of a newly created results file.
//
// The arithmetic is fixed to the type and the order written here: results are compared sample
// by sample with another implementation, and a "simplification" (a double time accumulator,
// a fused multiply-add) moves which sample closes a second or changes the last bit of a sum.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>
#include <thread>

#include "analysis/uVantrel4.h"
#include "analysis/uVantrel4Codes.h"
#include "edf/uDataFile.h"
#include "edf/uEDFSignalReader.h"
#include "edf/uEDFTools.h"
#include "support/uMath.h"

namespace vantrel {

namespace {

constexpr int32_t kClip = 32767;  // undersampled values are limited to +-kClip

// Room for the undersampled samples of one record: every sample for N = 1, otherwise at most
// SamplesPerRecord div N + 1 (the counter runs on across records).
size_t BlockLength(int32_t SamplesPerRecord, int32_t N) {
    return N == 1 ? size_t(SamplesPerRecord) : size_t(SamplesPerRecord / N + 1);
}

// Releases the stage's filters and block arrays on every path; the scalars stay for the run.
class TStageResources {
  public:
    explicit TStageResources(TSUSSParameters& SP) : FSP(SP) {}
    ~TStageResources() {
        FSP.DueFilter.reset();
        FSP.SeFilter.reset();
        FSP.InBlock = {};
        FSP.DueOut = {};
        FSP.SeOut = {};
    }
    TStageResources(const TStageResources&) = delete;
    TStageResources& operator=(const TStageResources&) = delete;

  private:
    TSUSSParameters& FSP;
};

// A recursive filter from the factory, or a clear error for a name that gives none.
std::unique_ptr<TCustomFilter> CreateRecursiveFilter(const std::string& name) {
    std::unique_ptr<TCustomFilter> filter = CreateFilter(name);
    if (!filter || !dynamic_cast<TCustomIIRFilter*>(filter.get()))
        throw EInvalidOperation("Filter name \"" + name +
                                "\" does not give a recursive filter; use DUE, DUE1987 or "
                                "DUE2007");
    return filter;
}

void ConfigureDueFilter(TSUSSParameters& SP, const TAnalysisParam& AP) {
    SP.DueFilter = CreateRecursiveFilter(DUEFilterName);
    auto& due = static_cast<TCustomIIRFilter&>(*SP.DueFilter);
    due.IncludeInputTerms = true;
    due.PreviousOutputWeight = 0.0;
    due.SetSetting(1, SP.FCompute);
    due.SetSetting(2, 200.0);
    due.SetSetting(3, AP.Fc);
    due.InputType = stInt16;
    due.SetOutputType(stDouble);
    due.Reset();
}

void ConfigureSeFilter(TSUSSParameters& SP, const TAnalysisParam& AP) {
    SP.SeFilter = CreateRecursiveFilter("SE");
    auto& se = static_cast<TCustomIIRFilter&>(*SP.SeFilter);
    se.IncludeInputTerms = false;
    se.PreviousOutputWeight = IIRBackpolate;
    se.SetSetting(1, SP.FCompute);
    se.SetSetting(2, 8.0);
    se.SetSetting(3, AP.Fc);
    se.SetSetting(4, AP.F0);
    se.SetSetting(5, AP.B);
    se.InputType = stInt16;
    se.SetOutputType(stDouble);
    se.Reset();
}

// Reads the analysed signal's part of input record `index` into `samples`.
void ReadInputRecord(TEDFFile& input, int32_t signal, int32_t index, TDynSmallIntArray& samples) {
    try {
        input.ReadSignal(signal, index, 1, samples);
    } catch (...) {
        // An unattended run must never wait for a dialog: batch mode reports to the list.
        static const std::string message = "Unable to read datablock from EDF inputFile";
        if (RunContext().BatchMode)
            ReportMessage(message);
        else
            EngineWindows().ShowError(message);
        throw;
    }
}

// The analysed signal's samples of the input records, in batches that grow from one record to
// 64 (TEDFSignalReader: only the signal's bytes where the records are in the page cache, a
// long recording in few system calls; spans of whole records read past the cache, ahead of
// the stage, where they are not). A batch that fails is read again record by record, so a
// record that the file no longer holds is still met, and reported, at that record, on the
// stage's thread.
//
// With a worker, the next batch is read while the stage filters the current one, so copying
// from the page cache overlaps the arithmetic. The input file is then touched by one thread at a
// time: the worker while a batch is asked for, the stage's thread when none is. The two hand
// batches over by spinning briefly before they sleep: the other side nearly always answers
// within microseconds, and a sleep and wake-up per batch cost more than the reads saved.
class TSignalRecords {
  public:
    TSignalRecords(TEDFFile& input, int32_t signal, int32_t samplesPerRecord, bool worker)
        : FInput(input),
          FSignal(signal),
          FSamplesPerRecord(samplesPerRecord),
          FMaxBatch(std::clamp(kMaxBatchSamples / std::max(samplesPerRecord, 1), 1, 64)),
          FRecords(input.NumberOfRecords()),
          FReader(input, signal),
          FCurrent(FMaxBatch, samplesPerRecord),
          FAhead(FMaxBatch, samplesPerRecord) {
        // Reads past the page cache run on their own while this thread computes.
        if (!worker || FRecords < 2 || FReader.ReadingPastTheCache()) return;
        try {
            FWorker = std::thread([this] { Work(); });
        } catch (const std::system_error&) {
            // No thread to be had: the batches are read on the stage's thread.
        }
    }
    ~TSignalRecords() {
        if (!FWorker.joinable()) return;
        FState.store(TAhead::Stop, std::memory_order_release);
        FState.notify_all();
        FWorker.join();  // a batch being read is finished first: a few microseconds
    }
    TSignalRecords(const TSignalRecords&) = delete;
    TSignalRecords& operator=(const TSignalRecords&) = delete;

    // The samples of record j; records are asked for in increasing order.
    const int16_t* Record(int32_t j) {
        if (j < FCurrent.First || j >= FCurrent.First + FCurrent.Count) Load(j);
        return FCurrent.Samples.data() +
               static_cast<size_t>(j - FCurrent.First) * FSamplesPerRecord;
    }

  private:
    static constexpr int32_t kMaxBatchSamples = 32768;  // 64 KiB
    static constexpr int kSpins = 4096;                 // about 100 to 200 microseconds

    struct TBatch {
        TBatch(int32_t records, int32_t samplesPerRecord)
            : Samples(static_cast<size_t>(records) * samplesPerRecord) {}
        TDynSmallIntArray Samples;
        int32_t First = 0, Count = 0;  // the records held
    };
    // Of the batch read ahead: Idle (none asked for) -> Asked (by the stage) -> Read or Failed
    // (by the worker) -> Idle (taken by the stage). Stop ends the worker.
    enum class TAhead : uint8_t { Idle, Asked, Read, Failed, Stop };

    void Load(int32_t j) {
        if (FWorker.joinable())
            LoadAhead(j);
        else
            LoadHere(j);
    }

    // Without a worker: the batch from j on this thread.
    void LoadHere(int32_t j) {
        const int32_t count = NextCount(j);
        if (count > 1 && FReader.Read(j, count, FCurrent.Samples.data())) {
            FCurrent.First = j;
            FCurrent.Count = count;
            return;
        }
        LoadAlone(j);
    }

    // With a worker: the batch it read for j, or record j alone (the first record, or one
    // whose batch failed); then the worker is asked for the batch after it.
    void LoadAhead(int32_t j) {
        const bool asked = FState.load(std::memory_order_relaxed) != TAhead::Idle;
        if (asked && TakeAhead() && FAhead.First == j)
            std::swap(FCurrent, FAhead);
        else
            LoadAlone(j);
        const int32_t next = FCurrent.First + FCurrent.Count;
        if (next >= FRecords) return;
        FAhead.First = next;
        FAhead.Count = NextCount(next);
        FState.store(TAhead::Asked, std::memory_order_release);
        FState.notify_one();
    }

    void LoadAlone(int32_t j) {
        ReadInputRecord(FInput, FSignal, j, FCurrent.Samples);
        FCurrent.First = j;
        FCurrent.Count = 1;
    }

    // Records in the batch from `first`; the batches after it are twice as long, up to the most.
    int32_t NextCount(int32_t first) {
        const int32_t count = std::min(FBatch, FRecords - first);
        FBatch = std::min(FBatch * 2, FMaxBatch);
        return count;
    }

    // Waits for the batch asked for; true when it was read whole.
    bool TakeAhead() {
        const TAhead state =
            Await([](TAhead s) { return s == TAhead::Read || s == TAhead::Failed; });
        FState.store(TAhead::Idle, std::memory_order_relaxed);
        return state == TAhead::Read;
    }

    template <typename Done>
    TAhead Await(Done done) {
        for (int spin = 0;; ++spin) {
            const TAhead state = FState.load(std::memory_order_acquire);
            if (done(state)) return state;
            if (spin < kSpins)
                CpuRelax();
            else
                FState.wait(state, std::memory_order_acquire);
        }
    }

    static void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#endif
    }

    void Work() {
        while (true) {
            if (Await([](TAhead s) { return s == TAhead::Asked || s == TAhead::Stop; }) ==
                TAhead::Stop)
                return;
            bool read = false;
            try {
                read = FReader.Read(FAhead.First, FAhead.Count, FAhead.Samples.data());
            } catch (...) {
                read = false;  // the stage's thread reads the records again and reports
            }
            // A Stop set meanwhile stays.
            TAhead asked = TAhead::Asked;
            FState.compare_exchange_strong(asked, read ? TAhead::Read : TAhead::Failed,
                                           std::memory_order_acq_rel);
            FState.notify_one();
        }
    }

    TEDFFile& FInput;
    const int32_t FSignal, FSamplesPerRecord, FMaxBatch, FRecords;
    TEDFSignalReader FReader;
    int32_t FBatch = 1;  // records of the next batch
    TBatch FCurrent, FAhead;
    std::atomic<TAhead> FState{TAhead::Idle};
    std::thread FWorker;
};

}  // namespace

// ---- Input signal characteristics --------------------------------------------------------------

bool GetInputSignalChar(const TAnalysisParam& AP, TInputSignalChar& ISC) {
    try {
        TEDFFile input;
        OpenForReading(input, AP.InputFileName);
        if (!input.HeaderValid() || AP.SignalIndex < 0 || AP.SignalIndex >= input.SignalCount())
            return false;
        const TCustomEDFSignalInfo& signal = input.Signal(AP.SignalIndex);
        const long double duration = input.FileInfo().RecordDuration();

        ISC.SignalLabel = signal.Label();
        ISC.SamplesPerRecord = signal.SamplesPerRecord();
        ISC.RecordOffset = signal.SampleOffset();
        ISC.SampleFrequency = static_cast<double>(signal.SamplesPerRecord() / duration);

        const double digitalRange =
            static_cast<double>(signal.DigitalMaximum()) - signal.DigitalMinimum();
        const double physicalRange = signal.PhysicalMaximum() - signal.PhysicalMinimum();
        ISC.DigitalGain = physicalRange == 0 ? 0.0 : digitalRange / physicalRange;
        // In long double: for -32768..32767 over +-250 the double product would make the zero
        // exactly -0.5 (rounding to 0); its true value lies just below and rounds to -1.
        const long double zero =
            RoundHalfEven(signal.DigitalMinimum() -
                          static_cast<long double>(ISC.DigitalGain) * signal.PhysicalMinimum());
        constexpr long double kLimit = std::numeric_limits<int32_t>::max();
        if (!(std::fabs(zero) <= kLimit))  // also NaN
            ISC.DigitalZero = zero < 0 ? -std::numeric_limits<int32_t>::max()
                                       : std::numeric_limits<int32_t>::max();
        else
            ISC.DigitalZero = static_cast<int32_t>(zero);
        input.Close();
        return ISC.SamplesPerRecord > 0 && std::isfinite(ISC.SampleFrequency);
    } catch (...) {
        return false;
    }
}

// ---- SU/SS parameters --------------------------------------------------------------------------

bool PrepareSuSsParameters(TSUSSParameters& SP, const TAnalysisParam& AP,
                           const TInputSignalChar& ISC, long double RecordDuration) {
    const int32_t N = AP.UndersamplingFactor;
    const double nd = static_cast<double>(N * RecordDuration);  // rounded to double first
    SP.FCompute = ISC.SamplesPerRecord / nd;
    // A factor or a duration that gives no finite positive frequency is refused like a
    // frequency below 1 Hz: nothing sensible could be computed from it.
    if (N < 1 || !(RecordDuration > 0) || !std::isfinite(SP.FCompute) || !(SP.FCompute >= 1) ||
        SP.FCompute > std::numeric_limits<int32_t>::max()) {
        SP.SamplesPerSecond = 0;
        ReportMessage("The underSampled frequency should be >= 1 Hz");
        return false;
    }
    SP.SamplesPerSecond = static_cast<int32_t>(std::trunc(SP.FCompute));
    SP.SampleRemainder = static_cast<int32_t>(
        ISC.SamplesPerRecord -
        RoundHalfEven(static_cast<long double>(SP.SamplesPerSecond) * N * RecordDuration));
    SP.SampleInterval = 1.0L / SP.FCompute;
    SP.SUScale = 1.0 / (32767.0 / std::sqrt(2.0));
    SP.SSScale = static_cast<double>(static_cast<long double>(SP.SUScale) * 25 * SP.SampleInterval);
    SP.PhysScale = static_cast<double>(static_cast<long double>(ISC.DigitalGain) * ISC.DigitalGain *
                                       8 * 200 * SP.SUScale);
    return true;
}

// ---- The results file --------------------------------------------------------------------------

bool CreateResultsFile(TEDFFile& input, const TAnalysisParam& AP, const TInputSignalChar& ISC,
                       TSUSSParameters& SP, std::string* reason) {
    try {
        // The analysis never opens its input for writing.
        if (IsSameFile(AP.OutputFileName, input.FileName())) return false;
        const TCustomEDFSignalInfo& analysed = input.Signal(AP.SignalIndex);
        const std::string unit = analysed.GetDimension();
        const std::string dim = DimText(AP.F0);
        const std::string transducer = Transducer0Text(SP.FCompute, AP.Fc, AP.F0, AP.B);
        // Without a physical range (PhysScale 0) no range follows from it; the signals get
        // +-32767, which the final adjustment writes for 0..7 anyway and the header stages of
        // 8..13 replace. Otherwise the header could never be complete.
        const double physicalMaximum = 32767 / SP.PhysScale;
        const bool scaled = SP.PhysScale != 0 && std::isfinite(physicalMaximum);

        TEDFFile output;
        output.SetFileName(AP.OutputFileName);
        // Lenient: the patient and the unit are copied from the input as they are.
        output.SetStrictChecking(false);
        output.CreateNew(results::kSignals, true);
        TCustomEDFFileInfo& info = output.FileInfo();
        info.SetPatient(input.FileInfo().GetPatient());
        info.SetRecording(RecordingText(AP.F0, AP.SignalIndex, ISC.SignalLabel, AP.InputFileName));
        info.SetStartDate(input.FileInfo().StartDate());
        info.SetStartClock(input.FileInfo().StartClock());
        info.SetRecordDuration(results::kRecordDuration);
        output.WriteHeader();

        for (int k = 0; k < results::kSignals; ++k) {
            TCustomEDFSignalInfo& signal = output.Signal(k);
            const bool named = k == results::kSU || k == results::kSS;
            signal.SetLabel(named ? ResultsLabel(k, unit) : "");
            signal.SetTransducer(named ? transducer : "");
            signal.SetPhysicalDimension(dim);
            signal.SetDigitalMinimum(-32767);
            signal.SetDigitalMaximum(32767);
            signal.SetPhysicalMinimum(scaled ? -physicalMaximum : -32767);
            signal.SetPhysicalMaximum(scaled ? physicalMaximum : 32767);
            signal.SetPrefiltering(named ? LogFloatText(signal.GetDimension()) : "");
            signal.SetSamplesPerRecord(results::kSamplesPerRecord);
            output.WriteHeader();
        }
        if (!output.IsOpen()) return false;  // some field could not be made valid
        output.Close();
        return true;
    } catch (const std::exception& e) {
        if (reason) *reason = e.what();
        return false;
    }
}

// ---- The record loop ---------------------------------------------------------------------------

bool ReduceSuSs(TEDFFile& input, TEDFFile& output, const TAnalysisParam& AP,
                const TInputSignalChar& ISC, TSUSSParameters& SP) {
    using results::kSamplesPerRecord;
    TDynSmallIntArray& out = output.GetRecordBuffer();
    const int32_t N = AP.UndersamplingFactor;
    if (N < 1 || AP.SignalIndex < 0 || AP.SignalIndex >= input.SignalCount() ||
        input.Signal(AP.SignalIndex).SamplesPerRecord() != ISC.SamplesPerRecord ||
        out.size() != size_t{results::kSignals} * kSamplesPerRecord ||
        SP.InBlock.size() < BlockLength(ISC.SamplesPerRecord, N) ||
        SP.DueOut.size() < SP.InBlock.size() || SP.SeOut.size() < SP.InBlock.size() ||
        !SP.DueFilter || !SP.SeFilter)
        throw ERangeError("SU/SS: the block arrays, filters or record buffers do not fit signal " +
                          std::to_string(AP.SignalIndex + 1) + " of " + input.FileName());
    std::fill(out.begin(), out.end(), int16_t{0});

    // The integer rule exactly when FCompute is whole: SampleRemainder can be 0 for a
    // fractional frequency too (128 - round(127.5) at 51.2 Hz), and counting whole samples
    // there would drift by minutes over a night.
    const bool wholeSeconds = SP.FCompute == std::trunc(SP.FCompute);
    int32_t k = 1;      // undersampling counter, running across records
    long double T = 0;  // time accumulated in the current second
    int32_t n = 0;      // computation samples in the current second
    int32_t m = 0;      // next sample of the results record
    double aSU = 0, aSS = 0;

    TMainWindowDisabler disabled;
    TStageProgress progress("Computing SU and SS from EDF inputfile");

    const bool reader =
        AnalysisThreads > 1 || (AnalysisThreads <= 0 && std::thread::hardware_concurrency() > 1);
    TSignalRecords signal(input, AP.SignalIndex, ISC.SamplesPerRecord, reader);
    const int32_t records = input.NumberOfRecords();
    for (int32_t j = 0; j < records; ++j) {
        const int16_t* in = signal.Record(j);
        EngineWindows().ProcessMessages();
        if (progress->Cancelled()) return false;
        progress->SetPosition(static_cast<int>(std::nearbyint(double(j) / records * 100)));

        // Samples N, 2N, 3N ... counted from 1 over the whole recording: the counter k says
        // how many samples were passed since the last one kept.
        int32_t b = 0;
        int32_t s = N - k;  // the first sample of this record to keep
        for (; s < ISC.SamplesPerRecord; s += N) {
            int64_t v = int64_t{in[s]} - ISC.DigitalZero;
            if (v > kClip) v = kClip;
            if (v < -kClip) v = -kClip;
            SP.InBlock[b++] = static_cast<int16_t>(v);
        }
        k = N - (s - ISC.SamplesPerRecord);  // samples since the last one kept, plus 1
        SP.DueFilter->Filter(SP.InBlock.data(), SP.DueOut.data(), 0, b - 1, -1);
        SP.SeFilter->Filter(SP.InBlock.data(), SP.SeOut.data(), 0, b - 1, -1);

        for (int32_t i = 0; i < b; ++i) {
            const double due = SP.DueOut[i], se = SP.SeOut[i];
            aSU += due * se;
            aSS += se * se;
            ++n;
            if (wholeSeconds) {
                // Seconds by samples: the time accumulator is not needed.
                if (n < SP.SamplesPerSecond) continue;
                n = 0;
            } else {
                T += SP.SampleInterval;
                if (T < 1.0L) continue;
                const double covered = static_cast<double>(n * SP.SampleInterval);
                aSU /= covered;
                aSS /= covered;
                n = 0;
                T -= 1.0L;
            }
            aSU = aSU * SP.SUScale;
            aSS = aSS * SP.SSScale;
            out[results::kSU * kSamplesPerRecord + m] = results::EncodeValue(aSU);
            out[results::kSS * kSamplesPerRecord + m] = results::EncodeValue(aSS);
            if (++m == kSamplesPerRecord) {
                output.WriteRecord(output.NumberOfRecords());
                m = 0;
            }
            aSU = aSS = 0;
        }
    }
    SP.SecondsWritten = int64_t{output.NumberOfRecords()} * kSamplesPerRecord + m;
    if (m > 0) {
        for (int signal : {results::kSU, results::kSS})
            std::fill(out.begin() + signal * kSamplesPerRecord + m,
                      out.begin() + (signal + 1) * kSamplesPerRecord, int16_t{0});
        output.WriteRecord(output.NumberOfRecords());
    }
    return true;
}

// ---- The stage ---------------------------------------------------------------------------------

bool ComputeSuSs(TSUSSParameters& SP, const TAnalysisParam& AP, const TInputSignalChar& ISC) {
    if (IsSameFile(AP.OutputFileName, AP.InputFileName)) {
        ReportMessage("The results file " + AP.OutputFileName +
                      " is the input file; choose another results file name");
        return false;
    }
    TEDFFile input;
    OpenForReading(input, AP.InputFileName);

    if (!PrepareSuSsParameters(SP, AP, ISC, input.FileInfo().RecordDuration())) return false;
    TStageResources release(SP);
    const size_t blockLength = BlockLength(ISC.SamplesPerRecord, AP.UndersamplingFactor);
    SP.InBlock.assign(blockLength, 0);
    SP.DueOut.assign(blockLength, 0.0);
    SP.SeOut.assign(blockLength, 0.0);
    ConfigureDueFilter(SP, AP);
    ConfigureSeFilter(SP, AP);

    std::string reason;
    if (!CreateResultsFile(input, AP, ISC, SP, &reason)) {
        ReportMessage("Error creating EDF outputfile" + (reason.empty() ? "" : "\r" + reason));
        return false;
    }
    TEDFFile output;
    OpenResultsFile(output, AP.OutputFileName);
    try {
        if (!ReduceSuSs(input, output, AP, ISC, SP)) {
            ReportMessage("Error during SU/SS reduction");
            return false;
        }
        output.Close();  // writes the record count; a write error raises here, never lost
    } catch (const EDataFileWriteData& e) {
        // The library's record error gives the system's reason ("File too large") but not the
        // file: a cohort run must tell which file could not be written.
        throw Exception(e.Message() + " (results file \"" + AP.OutputFileName + "\")");
    }
    input.Close();
    return true;
}

}  // namespace vantrel
