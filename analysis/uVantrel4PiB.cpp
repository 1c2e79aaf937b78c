// piB detection: the base level of SS - SU over the whole recording. A histogram of the
// per-second log-float codes of SS - SU is smoothed by a moving sum, a fixed matching function
// (a negative plateau followed by a sinc peak) is slid over it, and the bin under the peak at
// the best match is piB.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <limits>
#include <system_error>
#include <thread>
#include <tuple>
#include <vector>

#include "analysis/uVantrel4.h"
#include "analysis/uVantrel4Codes.h"
#include "analysis/uVantrel4Matching.h"
#include "analysis/uVantrel4Records.h"
#include "edf/uDataFile.h"
#include "support/uMath.h"

namespace vantrel {

namespace {

constexpr int32_t kInt32Max = std::numeric_limits<int32_t>::max();
// Codes that have a bin: -2000 .. 30000.
constexpr int32_t kLowestCode = -pib::kBinOffset;
constexpr int32_t kHighestCode = pib::kBins - 1 - pib::kBinOffset;
// Terms of one shift: matching samples 0 .. 5998 (the last sample, 0, takes no part).
constexpr int32_t kTerms = pib::kMatchingLength - 1;
// Shifts computed together: their sums are independent chains, which lets the processor
// overlap the additions instead of waiting for each one.
constexpr int32_t kShiftBlock = 4;
// Blocks a thread takes at a time.
constexpr int32_t kBlocksPerGrab = 8;

// Counts one second into the histogram, unless both SU and SS code to 0 or SS - SU has no bin.
void CountSecond(int16_t suCode, int16_t ssCode, std::vector<int32_t>& histogram) {
    const long double su = results::DecodeValue(suCode);
    const long double ss = results::DecodeValue(ssCode);
    if (std::fabs(su) < results::kLogFloatY0 && std::fabs(ss) < results::kLogFloatY0) return;
    const int d = results::CodeTable().Encode(static_cast<double>(ss - su));
    if (d < kLowestCode || d > kHighestCode || d == 0) return;
    int32_t& bin = histogram[d + pib::kBinOffset];
    if (bin < kInt32Max) ++bin;
}

// Reads record `index`; a failure is reported with the library's reason and passed on.
void ReadRecordForHistogram(TResultsRecords& file, int32_t index) {
    try {
        file.Load(index);
    } catch (const Exception& e) {
        ReportMessage("piB: Unable to read datablock from outputfile\r" + e.Message());
        throw;
    }
}

// Step 2: the histogram over every record, Cancel looked at once per record. False when the
// user cancelled.
bool BuildHistogram(const TAnalysisParam& AP, TProgressWindow& progress,
                    std::vector<int32_t>& histogram) {
    std::unique_ptr<TResultsRecords> file;
    try {
        file = std::make_unique<TResultsRecords>(AP.OutputFileName);
    } catch (const Exception& e) {
        ReportMessage("piB: Unable to read datablock from outputfile\r" + e.Message());
        throw;
    }
    const int32_t records = file->Records();
    // The first record is read even when there is none, so that an empty file fails here.
    for (int32_t i = 0; i < std::max(records, 1); ++i) {
        ReadRecordForHistogram(*file, i);
        EngineWindows().ProcessMessages();
        if (progress.Cancelled()) return false;
        progress.SetPosition(static_cast<int>(std::nearbyint(100.0 * i / records)));
        const int64_t first = int64_t{i} * results::kSamplesPerRecord;
        for (int64_t t = first; t < first + results::kSamplesPerRecord; ++t)
            CountSecond(file->Get(results::kSU, t), file->Get(results::kSS, t), histogram);
    }
    return true;
}

// The non-zero stretch [first, last] of values[0 .. count - 1]; first > last when all are 0.
std::pair<int32_t, int32_t> NonZeroStretch(const double* values, int32_t count) {
    int32_t first = 0;
    while (first < count && values[first] == 0)
        ++first;
    int32_t last = count - 1;
    while (last >= first && values[last] == 0)
        --last;
    return {first, last};
}

// A stretch of bins [First, Last] of the smoothed histogram outside of which, up to the next
// stretch, every bin is 0.
struct TBinRun {
    int32_t First, Last;
};

// The runs of non-zero bins, in order. Runs with fewer than kShiftBlock zero bins between them
// are joined, so that a block of shifts, which reaches up to kShiftBlock - 1 bins beyond a run
// (see SumShiftBlock), reaches only zeros there, never the next run.
std::vector<TBinRun> NonZeroRuns(const std::vector<int32_t>& smoothed) {
    std::vector<TBinRun> runs;
    for (int32_t b = 0; b < static_cast<int32_t>(smoothed.size()); ++b) {
        if (smoothed[b] == 0) continue;
        if (!runs.empty() && b - runs.back().Last <= kShiftBlock)
            runs.back().Last = b;
        else
            runs.push_back({b, b});
    }
    return runs;
}

// What the shifts share: the histogram's runs, the matching function's non-zero stretch, the
// shifts that have any non-zero term, and where the sums go.
struct TMatchWork {
    const int32_t* Smoothed = nullptr;
    const double* Matching = nullptr;
    std::vector<TBinRun> Runs;
    int32_t TermFirst = 0, TermLast = -1;
    int32_t ShiftFirst = 0, ShiftLast = -1;
    double* Out = nullptr;  // the curve at index peak: Out[s] is shift s
};

// The sums of the shifts s0 .. s0 + n - 1 (n <= kShiftBlock), each over its terms in increasing
// m. A term whose histogram bin lies between the runs, or whose matching sample lies outside
// its non-zero stretch, is +0 or -0. A sum that starts at +0 never becomes -0 when rounding to
// nearest, and adding a zero to any other value leaves it unchanged; so leaving those terms
// out, or taking in the few zero bins next to a run that a block of shifts shares, gives
// exactly the sum over all 5999 terms in order.
void SumShiftBlock(const TMatchWork& w, int32_t s0, int32_t n) {
    const int32_t sLast = s0 + n - 1;
    long double sum[kShiftBlock] = {0, 0, 0, 0};
    // The first run that ends at or after the lowest bin the block reaches.
    auto run = std::lower_bound(w.Runs.begin(), w.Runs.end(), s0 + w.TermFirst,
                                [](const TBinRun& r, int32_t bin) { return r.Last < bin; });
    for (; run != w.Runs.end() && run->First <= sLast + w.TermLast; ++run) {
        if (n == kShiftBlock) {
            // Bins run->First - 3 .. run->Last + 3 for the block: zeros beyond the run.
            const int32_t mFirst = std::max(w.TermFirst, run->First - sLast);
            const int32_t mLast = std::min(w.TermLast, run->Last - s0);
            const int32_t* h = w.Smoothed + s0;
            // Four named sums stay in registers; an array would go through memory.
            long double a0 = sum[0], a1 = sum[1], a2 = sum[2], a3 = sum[3];
            for (int32_t m = mFirst; m <= mLast; ++m) {
                const long double g = w.Matching[m];
                a0 += static_cast<long double>(h[m]) * g;
                a1 += static_cast<long double>(h[m + 1]) * g;
                a2 += static_cast<long double>(h[m + 2]) * g;
                a3 += static_cast<long double>(h[m + 3]) * g;
            }
            sum[0] = a0, sum[1] = a1, sum[2] = a2, sum[3] = a3;
        } else {
            for (int32_t k = 0; k < n; ++k) {
                const int32_t mFirst = std::max(w.TermFirst, run->First - (s0 + k));
                const int32_t mLast = std::min(w.TermLast, run->Last - (s0 + k));
                for (int32_t m = mFirst; m <= mLast; ++m)
                    sum[k] += static_cast<long double>(w.Smoothed[s0 + k + m]) *
                              static_cast<long double>(w.Matching[m]);
            }
        }
    }
    for (int32_t k = 0; k < n; ++k)
        w.Out[s0 + k] = static_cast<double>(sum[k]);
}

// The sum of shift s alone: the same terms in the same order as SumShiftBlock, so the same sum.
long double ShiftSum(const TMatchWork& w, int32_t s) {
    long double sum = 0;
    auto run = std::lower_bound(w.Runs.begin(), w.Runs.end(), s + w.TermFirst,
                                [](const TBinRun& r, int32_t bin) { return r.Last < bin; });
    for (; run != w.Runs.end() && run->First <= s + w.TermLast; ++run) {
        const int32_t mFirst = std::max(w.TermFirst, run->First - s);
        const int32_t mLast = std::min(w.TermLast, run->Last - s);
        for (int32_t m = mFirst; m <= mLast; ++m)
            sum += static_cast<long double>(w.Smoothed[s + m]) *
                   static_cast<long double>(w.Matching[m]);
    }
    return sum;
}

// A stretch of the matching function's samples and the largest of them.
struct TStretch {
    int32_t First, Last;
    double Largest;
};

// Samples first .. last in stretches of at most `length`; a run of equal samples (the plateau)
// is one stretch whatever its length.
std::vector<TStretch> Stretches(const std::vector<double>& matching, int32_t first, int32_t last,
                                int32_t length) {
    std::vector<TStretch> stretches;
    for (int32_t m = first; m <= last;) {
        TStretch t{m, m, matching[m]};
        while (t.Last < last && matching[t.Last + 1] == matching[m])
            ++t.Last;
        if (t.Last == m) t.Last = std::min(last, m + length - 1);
        for (int32_t k = t.First; k <= t.Last; ++k)
            t.Largest = std::max(t.Largest, matching[k]);
        stretches.push_back(t);
        m = t.Last + 1;
    }
    return stretches;
}

// Takes blocks of shifts from the shared counter until none are left.
void SumShifts(const TMatchWork& w, std::atomic<int32_t>& nextBlock, int32_t blocks) {
    for (;;) {
        const int32_t b0 = nextBlock.fetch_add(kBlocksPerGrab);
        if (b0 >= blocks) return;
        for (int32_t b = b0; b < std::min(blocks, b0 + kBlocksPerGrab); ++b) {
            const int32_t s0 = w.ShiftFirst + b * kShiftBlock;
            SumShiftBlock(w, s0, std::min(kShiftBlock, w.ShiftLast - s0 + 1));
        }
    }
}

}  // namespace

std::vector<int32_t> SmoothHistogram(const std::vector<int32_t>& histogram) {
    const int32_t K = pib::kHalfWidth;
    std::vector<int32_t> smoothed(pib::kBins, 0);
    int64_t window = 0;  // a night never comes near the int32 limit; a damaged file might
    for (int32_t b = 0; b < 2 * K; ++b)
        window += histogram[b];
    for (int32_t b = K; b <= pib::kBins - 1 - K; ++b) {
        window += histogram[b + K];
        smoothed[b] = static_cast<int32_t>(std::min<int64_t>(window, kInt32Max));
        window -= histogram[b - K];
    }
    return smoothed;
}

std::vector<double> MatchingFunction() {
    return pib::SampleMatchingFunction();
}

int32_t FirstMaximum(const std::vector<double>& values, int32_t last) {
    double best = 0;
    int32_t index = -1;
    for (int32_t i = 0; i <= last; ++i) {
        if (values[i] > best) {
            best = values[i];
            index = i;
        }
    }
    return index;
}

std::vector<double> MatchCurve(const std::vector<int32_t>& smoothed,
                               const std::vector<double>& matching, int32_t peak, int32_t threads) {
    std::vector<double> curve(pib::kBins, 0.0);
    TMatchWork w;
    w.Smoothed = smoothed.data();
    w.Matching = matching.data();
    w.Out = curve.data() + peak;
    w.Runs = NonZeroRuns(smoothed);
    std::tie(w.TermFirst, w.TermLast) = NonZeroStretch(matching.data(), kTerms);
    if (w.Runs.empty() || w.TermFirst > w.TermLast) return curve;
    // Shift s has a non-zero term when a non-zero bin s + m meets a non-zero term m.
    w.ShiftFirst = std::max(0, w.Runs.front().First - w.TermLast);
    w.ShiftLast = std::min(pib::kShifts - 1, w.Runs.back().Last - w.TermFirst);
    if (w.ShiftFirst > w.ShiftLast) return curve;

    const int32_t blocks = (w.ShiftLast - w.ShiftFirst + kShiftBlock) / kShiftBlock;
    const int32_t grabs = (blocks + kBlocksPerGrab - 1) / kBlocksPerGrab;
    if (threads <= 0) threads = static_cast<int32_t>(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, grabs);
    std::atomic<int32_t> nextBlock{0};
    std::vector<std::thread> helpers;
    for (int32_t i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back(SumShifts, std::cref(w), std::ref(nextBlock), blocks);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the others share the work
        }
    }
    SumShifts(w, nextBlock, blocks);
    for (std::thread& helper : helpers)
        helper.join();
    return curve;
}

int32_t MatchCurveMaximum(const std::vector<int32_t>& smoothed, const std::vector<double>& matching,
                          int32_t peak) {
    TMatchWork w;
    w.Smoothed = smoothed.data();
    w.Matching = matching.data();
    w.Runs = NonZeroRuns(smoothed);
    std::tie(w.TermFirst, w.TermLast) = NonZeroStretch(matching.data(), kTerms);
    if (w.Runs.empty() || w.TermFirst > w.TermLast) return -1;
    w.ShiftFirst = std::max(0, w.Runs.front().First - w.TermLast);
    // Entries beyond kBins - 2 take no part in the maximum.
    w.ShiftLast =
        std::min({pib::kShifts - 1, w.Runs.back().Last - w.TermFirst, pib::kBins - 2 - peak});
    if (w.ShiftFirst > w.ShiftLast) return -1;

    // The bins are never negative, so a shift's sum is at most the sum, over stretches of the
    // matching function, of the stretch's largest sample times the bins under the stretch (a
    // difference of prefix sums, exact in double below 2^53). Its rounding, and that of the sum
    // itself, stay far below 1e-9 of the largest sample's magnitude times all the bins under the
    // function: the bound takes that much on top.
    // Coarse stretches bound every shift; a shift whose coarse bound reaches the best sum found
    // is bound again with fine stretches before its terms are summed.
    double magnitude = 0;
    for (int32_t m = w.TermFirst; m <= w.TermLast; ++m)
        magnitude = std::max(magnitude, std::fabs(matching[m]));
    const std::vector<TStretch> stretches = Stretches(matching, w.TermFirst, w.TermLast, 256);
    const std::vector<TStretch> fine = Stretches(matching, w.TermFirst, w.TermLast, 8);
    std::vector<double> prefix(smoothed.size() + 1, 0);
    int64_t total = 0;
    for (size_t b = 0; b < smoothed.size(); ++b)
        prefix[b + 1] = static_cast<double>(total += smoothed[b]);
    // Shift s is bound[s - ShiftFirst]; a stretch at a time, so the loop over shifts is plain.
    const int32_t shifts = w.ShiftLast - w.ShiftFirst + 1;
    std::vector<double> bound(static_cast<size_t>(shifts), 0);
    const double* p = prefix.data() + w.ShiftFirst;
    for (const TStretch& t : stretches) {
        const double* high = p + t.Last + 1;
        const double* low = p + t.First;
        for (int32_t i = 0; i < shifts; ++i)
            bound[i] += t.Largest * (high[i] - low[i]);
    }
    const double* high = p + w.TermLast + 1;
    const double* low = p + w.TermFirst;
    for (int32_t i = 0; i < shifts; ++i)
        bound[i] += 1e-9 * magnitude * (high[i] - low[i]);
    const auto fineBound = [&](int32_t s) {
        const double* q = prefix.data() + s;
        double b = 1e-9 * magnitude * (q[w.TermLast + 1] - q[w.TermFirst]);
        for (const TStretch& t : fine)
            b += t.Largest * (q[t.Last + 1] - q[t.First]);
        return b;
    };

    // The highest bound first gives a sum that bars most shifts; the others go in the order of
    // their bounds, until a bound is below the best sum found. Where bounds tie the earlier
    // shift comes first, as the maximum's rule wants.
    double best = 0;
    int32_t bestShift = -1;
    const auto consider = [&](int32_t s) {
        if (fineBound(s) < best) return;
        const auto sum = static_cast<double>(ShiftSum(w, s));
        if (sum > best || (sum == best && bestShift >= 0 && s < bestShift)) {
            best = sum;
            bestShift = s;
        }
    };
    const auto highest = std::max_element(bound.begin(), bound.end());
    if (!(*highest > 0)) return -1;  // no shift can have a positive sum
    consider(w.ShiftFirst + static_cast<int32_t>(highest - bound.begin()));
    struct TCandidate {
        double Bound;
        int32_t Shift;
    };
    std::vector<TCandidate> candidates;
    for (int32_t i = 0; i < shifts; ++i)
        if (bound[i] > 0 && bound[i] >= best) candidates.push_back({bound[i], w.ShiftFirst + i});
    std::sort(candidates.begin(), candidates.end(), [](const TCandidate& a, const TCandidate& b) {
        return a.Bound > b.Bound || (a.Bound == b.Bound && a.Shift < b.Shift);
    });
    for (const TCandidate& c : candidates) {
        if (c.Bound < best) break;
        consider(c.Shift);
    }
    return bestShift < 0 ? -1 : peak + bestShift;
}

bool DetectPiB(const TAnalysisParam& AP, TInputSignalChar& ISC) {
    TMainWindowDisabler disabler;
    TStageProgress progress("Creating histogram of SS-SU");
    std::vector<int32_t> histogram(pib::kBins, 0);
    if (!BuildHistogram(AP, *progress, histogram)) return false;

    ISC.PiB = 0;
    const std::vector<int32_t> smoothed = SmoothHistogram(histogram);
    const std::vector<double> matching(std::begin(pib::kMatchingSamples),
                                       std::end(pib::kMatchingSamples));
    const int32_t peak = std::max(0, FirstMaximum(matching, pib::kMatchingLength - 2));
    // The whole curve only where it is shown; its maximum alone takes a fraction of the time.
    const TRunContext& context = RunContext();
    const bool shown = !context.BatchMode || context.PrintPiB || context.ExportBmp;
    std::vector<double> curve;
    int32_t best = -1;
    if (shown) {
        curve = MatchCurve(smoothed, matching, peak, AnalysisThreads);
        best = FirstMaximum(curve, pib::kBins - 2);
    } else {
        best = MatchCurveMaximum(smoothed, matching, peak);
    }
    if (best >= 0) ISC.PiB = best - pib::kBinOffset;

    if (shown) {
        TPiBHistogramData data;
        data.Histogram = &histogram;
        data.HistogramSum = &smoothed;
        data.Correlation = &curve;
        data.MatchingPeak = peak;
        data.HalfWidth = pib::kHalfWidth;
        data.PiB = ISC.PiB;
        data.InputFileName = AP.InputFileName;
        data.SignalLabel = ISC.SignalLabel;
        data.Params = AP;
        EngineWindows().ShowPiBHistogram(data, context.PrintPiB, context.ExportBmp);
    }
    return true;
}

}  // namespace vantrel
