// piB detection on results files written with known SU and SS codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "FakeWindows.h"
#include "ResultsFiles.h"
#include "analysis/uVantrel4.h"
#include "analysis/uVantrel4Matching.h"
#include "edf/uDataFile.h"

namespace vantrel::testing {
namespace {

// One SU/SS pair repeated for `seconds` seconds from second 100.
struct TPiBCase {
    const char* Name;
    int SU, SS, Seconds;
    int CountedBin;  // -1: no second is counted
    int PiB;
};

// SS - SU codes back to the code of SS when SU is 0, and to minus the code of SU when SS is 0.
// The matching peak sits at index 3999 of the curve, so a bin below it never gets a positive
// match.
const TPiBCase kPiBCases[] = {
    {"one bin at code 9210", 0, 9210, 10, 11210, 9210},
    {"one bin at code 2500", 0, 2500, 3, 4500, 2500},
    {"one bin at code 25000", 0, 25000, 1, 27000, 25000},
    {"a negative code is below the peak", 1500, 0, 10, 500, 0},
    {"both codes 0 are skipped", 0, 0, 50, -1, 0},
    {"SS equal to SU is code 0", 4000, 4000, 50, -1, 0},
    {"a code below -2000 has no bin", 2001, 0, 50, -1, 0},
    {"a code above 30000 has no bin", 0, 30001, 50, -1, 0},
};

TEST(DetectPiB, FindsTheBinOfAConcentratedHistogram) {
    for (const TPiBCase& c : kPiBCases) {
        SCOPED_TRACE(c.Name);
        TScratchDir dir;
        const std::string path = dir.File("results.edf");
        TSignalCodes codes{{results::kSU, std::vector<int16_t>(100 + c.Seconds, 0)},
                           {results::kSS, std::vector<int16_t>(100 + c.Seconds, 0)}};
        for (int t = 100; t < 100 + c.Seconds; ++t) {
            codes[results::kSU][t] = static_cast<int16_t>(c.SU);
            codes[results::kSS][t] = static_cast<int16_t>(c.SS);
        }
        WriteResultsFile(path, codes);
        TScopedFakeRun run(false);
        TInputSignalChar ISC;
        ISC.PiB = 77;
        ASSERT_TRUE(DetectPiB(ResultsParams(path), ISC));
        EXPECT_EQ(ISC.PiB, c.PiB);
        ASSERT_EQ(run.Windows.HistogramsShown, 1);
        const std::vector<int32_t>& bins = run.Windows.LastHistogramBins;
        ASSERT_EQ(bins.size(), 32001u);
        int64_t total = 0;
        for (int32_t n : bins)
            total += n;
        EXPECT_EQ(total, c.CountedBin < 0 ? 0 : c.Seconds);
        if (c.CountedBin >= 0) {
            EXPECT_EQ(bins[c.CountedBin], c.Seconds);
        }
        EXPECT_EQ(run.Windows.LastHistogram.MatchingPeak, 3999);
        EXPECT_EQ(run.Windows.LastHistogram.PiB, ISC.PiB);
    }
}

TEST(DetectPiB, ShowsTheHistogramInteractivelyOrWhenPrintedOrExported) {
    struct {
        bool Batch, Print, Bmp;
        int Shown;
    } const cases[] = {{false, false, false, 1},
                       {true, false, false, 0},
                       {true, true, false, 1},
                       {true, false, true, 1}};
    TScratchDir dir;
    const std::string path = dir.File("results.edf");
    WriteResultsFile(path, {{results::kSS, {9210, 9210}}});
    for (const auto& c : cases) {
        TScopedFakeRun run(c.Batch);
        RunContext().PrintPiB = c.Print;
        RunContext().ExportBmp = c.Bmp;
        TInputSignalChar ISC;
        ASSERT_TRUE(DetectPiB(ResultsParams(path), ISC));
        EXPECT_EQ(run.Windows.HistogramsShown, c.Shown);
        EXPECT_EQ(ISC.PiB, 9210);
    }
}

TEST(DetectPiB, CancelStopsAtTheNextRecord) {
    TScratchDir dir;
    const std::string path = dir.File("results.edf");
    WriteResultsFile(path, {{results::kSS, {9210, 9210}}}, 3);
    const std::string before = FileBytes(path);
    TScopedFakeRun run(false);
    run.Windows.CancelAfterProcessMessages = 2;
    TInputSignalChar ISC;
    ISC.PiB = 5;
    EXPECT_FALSE(DetectPiB(ResultsParams(path), ISC));
    EXPECT_EQ(ISC.PiB, 5);
    EXPECT_EQ(run.Windows.ProcessMessagesCalls, 2);
    EXPECT_EQ(run.Windows.HistogramsShown, 0);
    EXPECT_EQ(run.Windows.OpenProgressWindows, 0);
    EXPECT_EQ(run.Windows.MainWindowDisabled, 0);
    EXPECT_EQ(run.Windows.EventsOf("text:"),
              std::vector<std::string>{"Creating histogram of SS-SU"});
    EXPECT_EQ(run.Windows.EventsOf("position:"), std::vector<std::string>{"0"});
    EXPECT_EQ(FileBytes(path), before);
}

TEST(DetectPiB, AFileWithoutRecordsFailsWithTheLibrarysReason) {
    TScratchDir dir;
    const std::string path = dir.File("results.edf");
    WriteResultsFile(path, {}, 0);
    TScopedFakeRun run(true);
    TInputSignalChar ISC;
    EXPECT_THROW(DetectPiB(ResultsParams(path), ISC), EDataFileReadData);
    EXPECT_EQ(run.Progress.Lines(),
              (std::vector<std::string>{"piB: Unable to read datablock from outputfile",
                                        "Error reading file data"}));
    EXPECT_EQ(run.Windows.OpenProgressWindows, 0);
    EXPECT_EQ(run.Windows.MainWindowDisabled, 0);
}

// An empty histogram leaves piB 0, which the smoothing then refuses.
TEST(DetectPiB, AnEmptyHistogramGivesPiB0WhichSmoothingRefuses) {
    TScratchDir dir;
    const std::string path = dir.File("results.edf");
    WriteResultsFile(path, {});
    TScopedFakeRun run(true);
    RunContext().PrintPiB = true;
    TInputSignalChar ISC;
    ASSERT_TRUE(DetectPiB(ResultsParams(path), ISC));
    EXPECT_EQ(ISC.PiB, 0);
    EXPECT_FALSE(Smooth(ResultsParams(path), 0, PhysicalPiB(ISC.PiB)));
    EXPECT_EQ(run.Progress.Lines(),
              std::vector<std::string>{"piB=0 is smaller than LogFloat_Y0*10"});
}

TEST(PiBMatching, MatchingFunctionHasItsPlateauAndPeak) {
    const std::vector<double> g = MatchingFunction();
    ASSERT_EQ(g.size(), 6000u);
    EXPECT_EQ(g[0], 0.0);
    EXPECT_EQ(g[5999], 0.0);
    EXPECT_NEAR(g[1], -0.5894 * 2 / 3, 1e-15);
    EXPECT_NEAR(g[3999], 1.0, 1e-6);  // sin(2x)/(2x) at x = -pi/5999
    EXPECT_EQ(g[5000], 0.0);          // beyond pi/2
    EXPECT_EQ(FirstMaximum(g, 5998), 3999);
}

// The samples the build computed are the ones the run would compute, bit for bit.
TEST(PiBMatching, GeneratedSamplesAreTheFunctionsSamples) {
    const std::vector<double> g = MatchingFunction();
    for (int32_t l = 0; l < pib::kMatchingLength; ++l)
        ASSERT_EQ(std::memcmp(&pib::kMatchingSamples[l], &g[l], sizeof(double)), 0) << l;
}

// The match curve skips zero terms and spreads shifts over threads; every entry must still be
// the plain sum over all 5999 terms, in order. Single bins 1, 2 and 3 bins apart after
// smoothing test the joining of runs.
TEST(PiBMatching, MatchCurveEqualsThePlainSumWhateverTheThreads) {
    std::vector<int32_t> histogram(32001, 0);
    for (int b = 9000; b < 12000; ++b)
        histogram[b] = (b * 7919) % 97;
    for (int b : {100, 20000, 20184, 20369, 20555, 31990})
        histogram[b] = 3;
    const std::vector<int32_t> smoothed = SmoothHistogram(histogram);
    const std::vector<double> g = MatchingFunction();
    const std::vector<double> one = MatchCurve(smoothed, g, 3999, 1);
    for (int threads : {0, 3})
        EXPECT_EQ(MatchCurve(smoothed, g, 3999, threads), one);
    std::vector<double> plain(32001, 0.0);
    for (int s = 0; s <= 26001; ++s) {
        long double sum = 0;
        for (int m = 0; m <= 5998; ++m)
            sum += static_cast<long double>(smoothed[s + m]) * static_cast<long double>(g[m]);
        plain[3999 + s] = static_cast<double>(sum);
    }
    EXPECT_EQ(one, plain);
}

// The maximum found from bounds is the whole curve's first maximum: on a night, on two equal
// peaks (the first wins), on a histogram whose curve has no positive entry, on an empty one,
// and on random ones.
TEST(PiBMatching, MatchCurveMaximumIsTheWholeCurvesFirstMaximum) {
    const std::vector<double> g = MatchingFunction();
    std::vector<std::vector<int32_t>> histograms(4, std::vector<int32_t>(32001, 0));
    for (int b = 23600; b < 26200; ++b)  // a night: a triangle, and scattered seconds
        histograms[0][b] = std::min(b - 23600, 26200 - b) / 20;
    for (int b : {300, 5000, 17000, 31000})
        histograms[0][b] = 1;
    histograms[1][12000] = histograms[1][20000] = 5;  // two equal peaks
    histograms[2][100] = 4;  // only the negative plateau of g ever meets it within the curve
    std::mt19937 random(11);
    for (int k = 0; k < 8; ++k) {
        std::vector<int32_t> h(32001, 0);
        const int centre = 3000 + static_cast<int>(random() % 26000);
        for (int i = 0; i < 2000; ++i)
            ++h[std::clamp(centre + static_cast<int>(random() % 3001) - 1500, 0, 32000)];
        for (int i = 0; i < 30; ++i)
            h[random() % 32001] += static_cast<int32_t>(random() % 3);
        histograms.push_back(h);
    }
    for (size_t k = 0; k < histograms.size(); ++k) {
        const std::vector<int32_t> smoothed = SmoothHistogram(histograms[k]);
        const int32_t whole = FirstMaximum(MatchCurve(smoothed, g, 3999, 1), 32001 - 2);
        EXPECT_EQ(MatchCurveMaximum(smoothed, g, 3999), whole) << "histogram " << k;
    }
}

TEST(PiBMatching, SmoothedHistogramIsAMovingSumOf183Bins) {
    std::vector<int32_t> histogram(32001, 0);
    histogram[1000] = 4;
    histogram[50] = 1;              // within K of the low end: only smoothed bins >= 91 see it
    histogram[32000] = 2147483647;  // the sums reaching the last bin are held at the limit
    histogram[31990] = 2147483647;
    const std::vector<int32_t> smoothed = SmoothHistogram(histogram);
    EXPECT_EQ(smoothed[1000 - 91], 4);
    EXPECT_EQ(smoothed[1000 + 91], 4);
    EXPECT_EQ(smoothed[1000 - 92], 0);
    EXPECT_EQ(smoothed[90], 0);
    EXPECT_EQ(smoothed[91], 1);
    EXPECT_EQ(smoothed[141], 1);
    EXPECT_EQ(smoothed[142], 0);
    EXPECT_EQ(smoothed[31909], 2147483647);
    EXPECT_EQ(smoothed[31910], 0);
}

}  // namespace
}  // namespace vantrel::testing
