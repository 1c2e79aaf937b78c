// What a night's picture shows, as data and text: its title line, the columns a small results
// file is reduced to, and the ticks of its axes.
#include "report/uNightPictureData.h"

#include <gtest/gtest.h>

#include "EDFTestFiles.h"
#include "ResultsFileWriter.h"

namespace {

using namespace vantrel;

TRunRecord Record() {
    TRunRecord r;
    r.Input.Path = "/data/night.edf";
    r.Input.SignalNumber = 3;
    r.Input.Label = "EEG C3-A2";
    r.Input.PhysicalDimension = "uV";
    r.Input.RecordingStart = "2026-01-01T23:10:30";
    r.Parameters.F0 = 1;
    r.Parameters.B = 1.5;
    r.Parameters.Fc = 1.8;
    r.Parameters.Rate = 0.01666;
    r.Parameters.EventThreshold = 5;
    r.Results.Seconds = 10;
    r.Results.PiB = 12.345;
    r.Results.Night.CleanSeconds = 27180;
    r.Results.Night.MCMean = 21.44;
    r.Results.Night.MCEventsPerHour = 3.25;
    return r;
}

TEST(NightPictureData, Title) {
    TRunRecord bare = Record();
    bare.Input.Label = "EEG \xb5V";  // Latin-1, as some recorders write it
    bare.Input.PhysicalDimension = "";
    bare.Results.Night = {};
    bare.Results.Night.CleanSeconds = 59;
    const struct {
        TRunRecord Record;
        std::string Details;
    } cases[] = {
        {Record(),
         "signal 3 EEG C3-A2  \u00b7  F0 1 Hz, B 1.5 Hz, Fc 1.8 Hz, rate 0.01666/s  \u00b7  "
         "piB 12.3 uV\u00b2  \u00b7  clean 7 h 33 min  \u00b7  MC mean 21.4 %  \u00b7  "
         "3.2 events/h"},
        {bare,
         "signal 3 EEG \u00b5V  \u00b7  F0 1 Hz, B 1.5 Hz, Fc 1.8 Hz, rate 0.01666/s  \u00b7  "
         "piB 12.3  \u00b7  clean 59 s  \u00b7  MC mean n/a  \u00b7  n/a events/h"},
    };
    for (const auto& c : cases) {
        const TPictureTitle title = PictureTitle(c.Record);
        EXPECT_EQ(title.Path, "/data/night.edf");
        EXPECT_EQ(title.Details, c.Details);
        EXPECT_EQ(title.Text(), "/data/night.edf  \u00b7  " + c.Details);
    }
}

// Ten seconds in four columns: seconds 0-2, 3-4, 5-7 and 8-9.
TEST(NightPictureData, ColumnsOfASmallNight) {
    using namespace vantrel::results;
    vantrel_test::ScratchDir dir;
    vantrel_test::WriteResultsFile(dir.File("night.cvn"),
                                   {{kSU, {-300, 100, 500, 7, 9, 0, 0, 0, 0, 0}},
                                    {kSS, std::vector<int16_t>(10, 1000)},
                                    {kHFArtifact, {0, 0, 0, 1}},
                                    {kMC, {100, 200, 300, 0, 0, 0, 0, 0, 0, 0}},
                                    {kMCEvent, {0, 0, 0, 0, 0, 0, 0, 0, 6, -5}},
                                    {kMCJump, {600, 0, 0, 0, 0, 0, 0, -500, 0, 0}}});
    TStagedNight stages;
    using S = TSleepStage;
    stages.Seconds = {S::N2, S::N2, S::N2, S::N2, S::N2, S::W, S::REM, S::REM, S::N1, S::N3};
    TResultsReader reader(dir.File("night.cvn"));
    const TNightPictureData data = ReadNightPictureData(reader, Record(), 4, stages);
    ASSERT_EQ(data.Columns.size(), 4u);
    const TPictureColumn& first = data.Columns[0];
    EXPECT_EQ(first.Seconds, 3);
    EXPECT_EQ(first.Low[0], -300);
    EXPECT_EQ(first.High[0], 500);
    EXPECT_EQ(first.Median[0], 100);
    EXPECT_DOUBLE_EQ(first.MCLow, 10);
    EXPECT_DOUBLE_EQ(first.MCHigh, 30);
    EXPECT_DOUBLE_EQ(first.MCMean, 20);
    EXPECT_EQ(first.JumpRunSeconds, 1);
    EXPECT_EQ(data.Columns[1].HFSeconds, 1);
    EXPECT_EQ(data.Columns[2].JumpRunSeconds, 1);
    EXPECT_EQ(data.Columns[3].EventSeconds, 1);  // |-5| is not above the threshold 5
    EXPECT_EQ(first.Stage, S::N2);
    EXPECT_EQ(data.Columns[2].Stage, S::REM);
    EXPECT_EQ(data.Columns[3].Stage, S::N1);  // a tie: the earlier stage
    // Where SU codes to 0 (seconds 5 to 9) SS - SU is SS itself: code 1000, bin 3000.
    EXPECT_EQ(data.Histogram[3000], 5);
    EXPECT_EQ(data.Seconds, 10);
}

TEST(NightPictureData, Ticks) {
    const struct {
        const char* Start;
        int64_t Seconds;
        int MaxTicks;
        std::vector<std::string> Labels;
        double FirstPosition;
    } clocks[] = {
        {"2026-01-01T23:10:30",
         8 * 3600,
         30,
         {"00:00", "01:00", "02:00", "03:00", "04:00", "05:00", "06:00", "07:00"},
         2970},
        {"2026-01-01T23:10:30", 8 * 3600, 5, {"00:00", "02:00", "04:00", "06:00"}, 2970},
        {"2026-01-01T23:10:30", 300, 30, {"23:11", "23:12", "23:13", "23:14", "23:15"}, 30},
        {"no clock", 3 * 3600, 4, {"+00:00", "+01:00", "+02:00", "+03:00"}, 0},
    };
    for (const auto& c : clocks) {
        SCOPED_TRACE(c.Start + std::string(" ") + std::to_string(c.MaxTicks));
        const std::vector<TAxisTick> ticks = ClockTicks(c.Start, c.Seconds, c.MaxTicks);
        std::vector<std::string> labels;
        for (const TAxisTick& tick : ticks)
            labels.push_back(tick.Label);
        EXPECT_EQ(labels, c.Labels);
        EXPECT_DOUBLE_EQ(ticks.front().Position, c.FirstPosition);
    }
    // Physical value v (scale 1) at code round(ln(|v| / 0.0001) / 0.001), signed; 0.0001
    // itself codes to 0 and gives way to the 0 tick.
    std::vector<std::pair<double, std::string>> ticks;
    for (const TAxisTick& tick : SignedLogTicks(-10000, 12000, 1, 10))
        ticks.emplace_back(tick.Position, tick.Label);
    const std::vector<std::pair<double, std::string>> expected = {
        {-9210, "-1"},   {-6908, "-0.1"}, {-4605, "-0.01"}, {-2303, "-0.001"}, {0, "0"},
        {2303, "0.001"}, {4605, "0.01"},  {6908, "0.1"},    {9210, "1"},       {11513, "10"}};
    EXPECT_EQ(ticks, expected);
    EXPECT_EQ(SignedLogTicks(-10000, 12000, 1, 4).size(), 3u);  // -1, 0 and 1
    EXPECT_EQ(TickNumber(2e-10), "2e-10");
    EXPECT_EQ(TickNumber(-100000), "-1e5");
}

}  // namespace
