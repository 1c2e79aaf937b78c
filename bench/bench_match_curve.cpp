// The match curve of piB detection on a night-sized histogram: 28800 seconds, all but 40 of them
// in a band of about 2600 codes, the 40 scattered over the whole range (as artifacts and the
// edges of a real night put them). The smoothed histogram then has some 9000 non-zero bins, as
// a generated 8-hour night has (8466).
//
//   build/bench/bench_match_curve
//
// BM_MatchCurve/T uses T threads (0: one per core); BM_MatchCurveMaximum finds the curve's
// first maximum alone from bounds; BM_MatchCurvePlain is the sum over all 26002 x 5999 terms in
// one thread, the cost without skipping zero terms.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "analysis/uVantrel4.h"

namespace {

using namespace vantrel;

std::vector<int32_t> NightHistogram() {
    std::vector<int32_t> histogram(pib::kBins, 0);
    std::mt19937 random(7);
    for (int t = 0; t < 28760; ++t) {
        // A triangle over 21600 .. 24200: the sum of two uniform numbers.
        const int code =
            21600 + static_cast<int>(random() % 1300) + static_cast<int>(random() % 1300);
        ++histogram[code + pib::kBinOffset];
    }
    for (int t = 0; t < 40; ++t)
        ++histogram[random() % 31000 + 1];
    return histogram;
}

struct TInputs {
    std::vector<int32_t> Smoothed = SmoothHistogram(NightHistogram());
    std::vector<double> Matching = MatchingFunction();
};

const TInputs& Inputs() {
    static const TInputs inputs;
    return inputs;
}

void BM_MatchCurve(benchmark::State& state) {
    const TInputs& in = Inputs();
    for (auto _ : state) {
        std::vector<double> curve =
            MatchCurve(in.Smoothed, in.Matching, 3999, static_cast<int32_t>(state.range(0)));
        benchmark::DoNotOptimize(curve.data());
    }
    int64_t bins = 0;
    for (int32_t n : in.Smoothed)
        bins += n != 0;
    state.counters["nonzero_bins"] = static_cast<double>(bins);
}
BENCHMARK(BM_MatchCurve)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond);

// The curve's first maximum alone, from bounds (batch runs that show no histogram).
void BM_MatchCurveMaximum(benchmark::State& state) {
    const TInputs& in = Inputs();
    for (auto _ : state)
        benchmark::DoNotOptimize(MatchCurveMaximum(in.Smoothed, in.Matching, 3999));
}
BENCHMARK(BM_MatchCurveMaximum)->Unit(benchmark::kMillisecond);

void BM_MatchCurvePlain(benchmark::State& state) {
    const TInputs& in = Inputs();
    for (auto _ : state) {
        std::vector<double> curve(pib::kBins, 0.0);
        for (int s = 0; s < pib::kShifts; ++s) {
            long double sum = 0;
            for (int m = 0; m < pib::kMatchingLength - 1; ++m)
                sum += static_cast<long double>(in.Smoothed[s + m]) *
                       static_cast<long double>(in.Matching[m]);
            curve[3999 + s] = static_cast<double>(sum);
        }
        benchmark::DoNotOptimize(curve.data());
    }
}
BENCHMARK(BM_MatchCurvePlain)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
