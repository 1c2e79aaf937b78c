// The stages of one analysis (the match curve has its own, bench_match_curve) on a generated night
// (tools/make-recording, 8 hours, 20 signals of 256 Hz in 1-second records, the slow-wave
// parameters at 51.2 Hz):
//   BM_ReadOneSignal   the analysed signal of every record: inside whole records (ReadRecord,
//                      as the SU/SS stage read it before), alone (ReadSignal), and alone for
//                      64 records a call (as the SU/SS stage reads it now);
//   BM_SuSs            the whole SU/SS stage: read, undersample, filter, code, write;
//   BM_MCSmooth        one MC_Smooth call of each option on the night's results file;
//   BM_LogFloat        coding one value by table and by LogFloatEncode, and building the table.
// The recording and its results file are made once in $VANTREL_BENCH_DIR (default: the
// temporary directory) and removed at the end. Files are read from the page cache.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include "BenchDir.h"
#include "analysis/uVantrel4.h"
#include "edf/uEDF.h"
#include "support/uLogFloatTable.h"
#include "support/uMath.h"

using namespace vantrel;

namespace {

// The night, its analysis parameters, and a results file after SU/SS and piB.
class TNight {
  public:
    TNight() {
        const std::string stem =
            (BenchDir() / ("vantrel-stages-" + std::to_string(::getpid()))).string();
        AP.InputFileName = stem + ".edf";
        AP.OutputFileName = stem + ".cvn";
        AP.SignalIndex = 0;
        AP.F0 = 1;
        AP.B = 1.5;
        AP.Fc = 1.8;
        AP.SmootherRate = 0.01666;
        AP.UndersamplingFactor = 5;
        const std::string command = std::string(VANTREL_TOOLS_DIR) +
                                    "/make-recording --duration=8h --signals=20 --seed=1 " +
                                    AP.InputFileName;
        if (std::system(command.c_str()) != 0) throw std::runtime_error("make-recording failed");
        if (!GetInputSignalChar(AP, ISC) || !ComputeSuSs(SP, AP, ISC) || !DetectPiB(AP, ISC))
            throw std::runtime_error("the analysis of the night failed");
    }
    ~TNight() {
        std::filesystem::remove(AP.InputFileName);
        std::filesystem::remove(AP.OutputFileName);
    }
    TAnalysisParam AP;
    TInputSignalChar ISC;
    TSUSSParameters SP;
};

TNight& Night() {
    static TNight night;
    return night;
}

void OpenInput(TEDFFile& file) {
    file.SetFileName(Night().AP.InputFileName);
    file.SetReadOnly(true);
    file.SetStrictChecking(false);
    file.SetActive(true);
}

void BM_ReadOneSignal(benchmark::State& state) {
    const int64_t mode = state.range(0);  // 0 whole records, 1 the part alone, 2 64 parts at a time
    const bool alone = mode >= 1;
    const int32_t batch = mode == 2 ? 64 : 1;
    TEDFFile file;
    OpenInput(file);
    const int32_t signal = Night().AP.SignalIndex;
    const int32_t n = file.Signal(signal).SamplesPerRecord();
    const int32_t offset = file.Signal(signal).SampleOffset();
    TDynSmallIntArray part(static_cast<size_t>(n) * batch);
    int64_t sum = 0;
    for (auto _ : state) {
        for (int32_t r = 0; r < file.NumberOfRecords(); r += batch) {
            const int32_t count = std::min(batch, file.NumberOfRecords() - r);
            const int16_t* samples = part.data();
            if (alone) {
                file.ReadSignal(signal, r, count, part);
            } else {
                file.ReadRecord(r);
                samples = file.GetRecordBuffer().data() + offset;
            }
            for (int32_t s = 0; s < n * count; ++s)
                sum += samples[s];
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetLabel(mode == 2 ? "ReadSignal, 64 records" : alone ? "ReadSignal" : "ReadRecord");
    state.counters["per_record"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * file.NumberOfRecords(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadOneSignal)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_SuSs(benchmark::State& state) {
    TNight& night = Night();
    for (auto _ : state) {
        TSUSSParameters SP;
        if (!ComputeSuSs(SP, night.AP, night.ISC)) state.SkipWithError("ComputeSuSs failed");
    }
}
BENCHMARK(BM_SuSs)->Unit(benchmark::kMillisecond);

void BM_MCSmooth(benchmark::State& state) {
    TNight& night = Night();
    const auto option = static_cast<uint8_t>(state.range(0));
    const long double piB = PhysicalPiB(night.ISC.PiB);
    // Options 1 .. 3 read what option 0 (and 1 for 2 and 3) wrote.
    for (uint8_t earlier = 0; earlier < option && earlier < 2; ++earlier)
        MC_Smooth(night.AP, earlier, XPiBPlus, XPiBMinus, XPiBZero, 7, 10.0, 2.0, 0.5, 1, piB);
    for (auto _ : state)
        if (!MC_Smooth(night.AP, option, XPiBPlus, XPiBMinus, XPiBZero, 7, 10.0, 2.0, 0.5, 1, piB))
            state.SkipWithError("MC_Smooth failed");
}
BENCHMARK(BM_MCSmooth)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// Values spread over the codes of a night's SU and SS, either sign.
std::vector<double> CodingValues() {
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> exponent(-5, 8);
    std::vector<double> values(4096);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = (i % 3 ? 1 : -1) * std::pow(10.0, exponent(random));
    return values;
}

void BM_LogFloat(benchmark::State& state) {
    const int variant = static_cast<int>(state.range(0));
    if (variant == 2) {
        for (auto _ : state)
            benchmark::DoNotOptimize(TLogFloatTable(0.0001, 0.001));
        state.SetLabel("build the table");
        return;
    }
    const TLogFloatTable table(0.0001, 0.001);
    const std::vector<double> values = CodingValues();
    int64_t sum = 0;
    for (auto _ : state)
        for (double x : values)
            sum += variant == 0 ? table.Encode(x) : LogFloatEncode(x, 0.0001, 0.001);
    benchmark::DoNotOptimize(sum);
    state.SetLabel(variant == 0 ? "encode by table" : "LogFloatEncode");
    state.counters["per_value"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * values.size(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LogFloat)->DenseRange(0, 2);

}  // namespace

BENCHMARK_MAIN();
