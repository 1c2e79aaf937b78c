// The statistics of a night on small results files whose every number can be worked out by hand.
#include "report/uNightStatistics.h"

#include <gtest/gtest.h>

#include <cmath>

#include "EDFTestFiles.h"
#include "ResultsFileWriter.h"

namespace {

using namespace vantrel;
using vantrel_test::TCodes;

// Expected statistics; NaN for a value that must be missing.
struct Expected {
    int64_t Clean, HF, Events, JumpRuns;
    double ArtifactFraction, MCMean, MCMedian, MCP10, MCP90, EventsPerHour, JumpRunsPerHour;
};

void ExpectValue(const std::optional<double>& value, double expected, const char* name) {
    if (std::isnan(expected)) {
        EXPECT_FALSE(value.has_value()) << name;
        return;
    }
    ASSERT_TRUE(value.has_value()) << name;
    EXPECT_NEAR(*value, expected, 1e-12 * std::max(1.0, std::fabs(expected))) << name;
}

TEST(NightStatistics, HandComputedNights) {
    const double none = NAN;
    const struct {
        const char* Case;
        int64_t Seconds;
        TCodes Codes;
        Expected Want;
    } cases[] = {
        // Second 3 is an HF artifact. Events (threshold 5): 0-1 counted, 3-4 starts in the
        // artifact second and is not, 8-9 touches the end; MC-Jump runs at both ends.
        {"runs at both ends, one starting in an artifact",
         10,
         {{results::kHFArtifact, {0, 0, 0, 1}},
          {results::kMC, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}},
          {results::kMCEvent, {9, 9, 0, 9, 9, 0, 0, 0, -9, 9}},
          {results::kMCJump, {500, 0, 0, 0, 0, 0, 0, 0, -600, -500}}},
         {9, 1, 2, 2, 1 - 9.0 / 10, 51.0 / 9, 6, 1.8, 9.2, 800, 800}},
        {"ties", 4, {{results::kMC, {10, 10, 10, 20}}}, {4, 0, 0, 0, 0, 1.25, 1, 1, 1.7, 0, 0}},
        {"no clean second",
         3,
         {{results::kLFArtifact, {1, 1, 0}},
          {results::kMissingSignal, {0, 2, 3}},
          {results::kMCEvent, {9, 9, 9}}},
         {0, 0, 0, 0, 1, none, none, none, none, none, none}},
        {"no second", 0, {}, {0, 0, 0, 0, none, none, none, none, none, none, none}},
    };
    vantrel_test::ScratchDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        vantrel_test::WriteResultsFile(dir.File("night.cvn"), c.Codes);
        TResultsReader reader(dir.File("night.cvn"));
        const TNightStatistics s = ComputeStatistics(reader, c.Seconds, {1e-4, 5}).Night;
        EXPECT_EQ(s.Seconds, c.Seconds);
        EXPECT_EQ(s.CleanSeconds, c.Want.Clean);
        EXPECT_EQ(s.HFSeconds, c.Want.HF);
        EXPECT_EQ(s.MCEvents, c.Want.Events);
        EXPECT_EQ(s.MCJumpRuns, c.Want.JumpRuns);
        ExpectValue(s.ArtifactFraction, c.Want.ArtifactFraction, "artifact_fraction");
        ExpectValue(s.MCMean, c.Want.MCMean, "mc_mean");
        ExpectValue(s.MCMedian, c.Want.MCMedian, "mc_median");
        ExpectValue(s.MCP10, c.Want.MCP10, "mc_p10");
        ExpectValue(s.MCP90, c.Want.MCP90, "mc_p90");
        ExpectValue(s.MCEventsPerHour, c.Want.EventsPerHour, "mc_events_per_hour");
        ExpectValue(s.MCJumpRunsPerHour, c.Want.JumpRunsPerHour, "mc_jump_runs_per_hour");
    }
}

// SU and SS: the code decoded with Y0 0.0001 and A 0.001, over PhysScale; the median of
// codes 0 .. 8000 in steps of 1000 is code 4000, e^4 with PhysScale 0.0001.
TEST(NightStatistics, DecodesLogFloatCodesOverThePhysicalScale) {
    const struct {
        int16_t Code;
        double PhysScale, Value;
    } cases[] = {
        {0, 1, 0},
        {1000, 1, 1e-4 * 2.718281828459045},
        {-2000, 2, -1e-4 * 7.38905609893065 / 2},
        {32767, 1e-4, 170030678761465.12},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(DecodeLogFloatCode(c.Code, c.PhysScale), c.Value, 1e-12 * std::fabs(c.Value))
            << c.Code;
    EXPECT_TRUE(std::isnan(DecodeLogFloatCode(1000, 0)));

    vantrel_test::ScratchDir dir;
    std::vector<int16_t> codes;
    for (int16_t code = 0; code <= 8000; code += 1000)
        codes.push_back(code);
    vantrel_test::WriteResultsFile(dir.File("su.cvn"), {{results::kSU, codes}});
    TResultsReader reader(dir.File("su.cvn"));
    const TNightStatistics s = ComputeStatistics(reader, 9, {1e-4, 33}).Night;
    ExpectValue(s.SUMedian, 54.598150033144236, "su_median");
    ExpectValue(s.SSMedian, 0, "ss_median");
}

}  // namespace
