// Per-sample cost of the filters over long blocks. The analysis runs a DU/E filter and the SE
// filter over every computation sample of a recording (int16 in, double out), so those are
// measured in exactly that configuration; the others are there for comparison.
//
//   build/bench/bench_filters --benchmark_filter=SE
//
// The "per_sample" counter is the time per filtered sample.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "filters/uFilter.h"

namespace {

using namespace vantrel;

std::vector<int16_t> TestSignal(size_t n) {
    std::vector<int16_t> values(n);
    for (size_t i = 0; i < n; ++i)
        values[i] = static_cast<int16_t>(3000 * std::sin(0.37 * i) + 500 * std::sin(0.011 * i));
    return values;
}

std::unique_ptr<TCustomFilter> MakeAnalysisFilter(const std::string& type,
                                                  const std::vector<double>& settings,
                                                  bool includeInputTerms, double weight) {
    std::unique_ptr<TCustomFilter> filter = CreateFilter(type);
    if (auto* iir = dynamic_cast<TCustomIIRFilter*>(filter.get())) {
        iir->IncludeInputTerms = includeInputTerms;
        iir->PreviousOutputWeight = weight;
    }
    for (size_t i = 0; i < settings.size(); ++i)
        filter->SetSetting(static_cast<int32_t>(i + 1), settings[i]);
    filter->InputType = stInt16;
    filter->SetOutputType(stDouble);
    filter->Reset();
    return filter;
}

void RunBlocks(benchmark::State& state, TCustomFilter& filter) {
    const auto blockLength = static_cast<size_t>(state.range(0));
    const std::vector<int16_t> in = TestSignal(blockLength);
    std::vector<double> out(blockLength);
    for (auto _ : state) {
        filter.Filter(in.data(), out.data(), 0, static_cast<int32_t>(blockLength) - 1, -1);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(blockLength));
    state.counters["per_sample"] = benchmark::Counter(
        static_cast<double>(blockLength),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Gain 200, -3 dB frequency 0.5 Hz at a computation frequency of 56 Hz, as the analysis sets it.
void BM_DUE(benchmark::State& state, const char* type) {
    auto filter = MakeAnalysisFilter(type, {56, 200, 0.5}, true, 0.0);
    RunBlocks(state, *filter);
}

// Gain 8, Fc 0.5 Hz, F0 10 Hz, bandwidth 3 Hz; emitted from past outputs with weight 0.5.
void BM_SE(benchmark::State& state) {
    auto filter = MakeAnalysisFilter("SE", {56, 8, 0.5, 10, 3}, false, 0.5);
    RunBlocks(state, *filter);
}

void BM_Other(benchmark::State& state, const char* type, std::vector<double> settings) {
    auto filter = MakeAnalysisFilter(type, settings, true, 0.0);
    RunBlocks(state, *filter);
}

constexpr int64_t kRecord = 1800;   // a few data records' worth of computation samples
constexpr int64_t kLong = 1 << 20;  // a long block: about 5 hours at 56 Hz

BENCHMARK_CAPTURE(BM_DUE, DUE, "DUE")->Arg(kRecord)->Arg(kLong);
BENCHMARK_CAPTURE(BM_DUE, DUE1987, "DUE1987")->Arg(kLong);
BENCHMARK_CAPTURE(BM_DUE, DUE2007, "DUE2007")->Arg(kLong);
BENCHMARK(BM_SE)->Arg(kRecord)->Arg(kLong);
BENCHMARK_CAPTURE(BM_Other, LP, "LP", std::vector<double>{56, 1, 5})->Arg(kLong);
BENCHMARK_CAPTURE(BM_Other, BP12, "BP12", std::vector<double>{56, 1, 0.5, 20})->Arg(kLong);
BENCHMARK_CAPTURE(BM_Other, LP05, "LP05", std::vector<double>{56, 1, 2})->Arg(kLong);
BENCHMARK_CAPTURE(BM_Other, MEDIAN_1s, "MEDIAN", std::vector<double>{56, 1})->Arg(1 << 16);

}  // namespace

BENCHMARK_MAIN();
