// Hypnograms: stage names, the three formats, clock-time alignment worked out by hand, the two
// real hypnograms against recordings that start when they do, and every refusal's message.
#include "report/uHypnogram.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "EDFTestFiles.h"
#include "SharedData.h"
#include "edf/uEDFTools.h"
#include "report/uRunReport.h"

namespace {

using namespace vantrel;
namespace chr = std::chrono;
using S = TSleepStage;

TEST(Hypnogram, StageNames) {
    const struct {
        const char* Text;
        std::optional<TSleepStage> Stage;
    } cases[] = {
        {"W", S::W},
        {" wake ", S::W},
        {"0", S::W},
        {"1", S::N1},
        {"n1", S::N1},
        {"S1", S::N1},
        {"2", S::N2},
        {"Sleep stage 2", S::N2},
        {"s2", S::N2},
        {"3", S::N3},
        {"4", S::N3},
        {"N4", S::N3},
        {"s3", S::N3},
        {"Sleep stage N3", S::N3},
        {"R", S::REM},
        {"rem", S::REM},
        {"5", S::REM},
        {"?", S::Unscored},
        {"Movement time", S::Unscored},
        {"MT", S::Unscored},
        {"unknown", S::Unscored},
        {"Sleep stage ?", S::Unscored},
        {"Lights off@@EEG F4-A1", std::nullopt},
        {"N5", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseStageName(c.Text), c.Stage) << "\"" << c.Text << "\"";
}

TClockTime At(int hour, int minute, double second) {
    return TClockTime{chr::sys_days{chr::year{2026} / 1 / 1} + chr::hours{hour} +
                      chr::minutes{minute} +
                      chr::milliseconds{static_cast<int64_t>(second * 1000)}};
}

std::string Stages(const TStagedNight& night) {
    std::string text;
    for (const TSleepStage s : night.Seconds)
        text += s == S::Unscored ? '.' : StageName(s)[s == S::REM ? 0 : (s == S::W ? 0 : 1)];
    return text;  // W, 1, 2, 3, R and "." for unscored
}

// Second t gets the span covering start + t + 0.5 s; later onsets win, then later lines.
TEST(Hypnogram, AlignmentByClockTime) {
    const TClockTime night = At(23, 0, 0);
    const struct {
        const char* Case;
        std::optional<TClockTime> Start;
        std::vector<TStageSpan> Spans;
        int64_t Seconds;
        std::string Expected;
    } cases[] = {
        {"starts before the recording",
         At(22, 59, 57),
         {{0, 5, S::W}, {5, 3, S::N2}},
         8,
         "WW222..."},
        {"starts after the recording", At(23, 0, 3), {{0, 2, S::REM}}, 8, "...RR..."},
        {"subsecond start", At(23, 0, 0.6), {{0, 2, S::N1}}, 4, ".11."},
        {"overlapping spans: the later start wins",
         night,
         {{0, 6, S::W}, {2, 2, S::N3}},
         6,
         "WW33WW"},
        {"equal onsets: the later line wins", night, {{0, 2, S::N1}, {0, 2, S::N2}}, 3, "22."},
        {"text formats count from the recording", std::nullopt, {{1, 2, S::N3}}, 4, ".33."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        THypnogram hypnogram;
        hypnogram.Start = c.Start;
        hypnogram.Spans = c.Spans;
        const TStagedNight staged = StageSeconds(hypnogram, night, c.Seconds);
        EXPECT_EQ(Stages(staged), c.Expected);
        EXPECT_EQ(staged.SecondsScored, std::count_if(c.Expected.begin(), c.Expected.end(),
                                                      [](char x) { return x != '.'; }));
    }
}

std::string Write(const vantrel_test::ScratchDir& dir, const std::string& name,
                  const std::string& text) {
    std::ofstream(dir.File(name), std::ios::binary) << text;
    return dir.File(name);
}

TEST(Hypnogram, EveryRefusalNamesTheFileTheLineAndTheReason) {
    vantrel_test::ScratchDir dir;
    const struct {
        const char* Name;
        const char* Text;
        std::string Message;  // after "The hypnogram <file>"
    } cases[] = {
        {"missing.tsv", nullptr, " cannot be read: No such file or directory"},
        {"empty.txt", " \n", " is empty"},
        {"stage.tsv", "onset\tduration\tstage\n0\t30\tW\n30\t30\tX9\n",
         ", line 3: \"X9\" is no sleep stage name"},
        {"plain.txt", "W\nN1\nQ\n", ", line 3: \"Q\" is no sleep stage name"},
        {"negative.tsv", "onset\tduration\tdescription\n-30\t30\tW\n",
         ", line 2: onset \"-30\" is not a number of seconds >= 0"},
        {"text.tsv", "onset\tduration\ttrial_type\n0\tlong\tN2\n",
         ", line 2: duration \"long\" is not a number of seconds >= 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string file = c.Text ? Write(dir, c.Name, c.Text) : dir.File(c.Name);
        try {
            ReadHypnogram(file);
            ADD_FAILURE() << "read";
        } catch (const EHypnogramError& e) {
            EXPECT_EQ(e.Message(), "The hypnogram " + file + c.Message);
        }
    }
    // Other annotations of a description column are skipped, zero durations too.
    const THypnogram kept = ReadHypnogram(Write(
        dir, "events.tsv", "onset\tduration\tdescription\n0\t30\tW\n5\t0\tN2\n9\t1\tarousal\n"));
    EXPECT_EQ(kept.Spans.size(), 1u);

    THypnogram late;
    late.Path = "late.txt";
    late.Start = At(23, 10, 0);
    late.Spans = {{0, 30, S::W}};
    try {
        StageSeconds(late, At(23, 0, 0), 60);
        ADD_FAILURE() << "overlaps";
    } catch (const EHypnogramError& e) {
        EXPECT_EQ(e.Message(),
                  "The hypnogram late.txt (2026-01-01T23:10:00 to 2026-01-01T23:10:30) does not "
                  "overlap the recording (2026-01-01T23:00:00 to 2026-01-01T23:01:00)");
    }
}

std::string Recording(const vantrel_test::ScratchDir& dir, const char* start,
                      const char* duration) {
    const std::string file = dir.File("night.edf");
    const std::string command = std::string(VANTREL_TOOLS_DIR) +
                                "/make-recording --duration=" + duration + " --start=\"" + start +
                                "\" '" + file + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return file;
}

// The two real hypnograms on recordings that start when they do; the AASM one also as
// tab-separated and as plain text, which give the same seconds.
TEST(Hypnogram, RealHypnogramsInTheThreeFormats) {
    VANTREL_NEED_SHARED_DATA();
    vantrel_test::ScratchDir dir;
    const auto hypnograms = vantrel_test::SharedDataDir() / "hypnograms";

    const std::string sleepedf = (hypnograms / "sleepedf-sc4001-hypnogram.edf").string();
    std::string recording = Recording(dir, "24.04.89 16.13.00", "31200s");
    std::optional<THypnogram> h = NightHypnogram(recording, sleepedf, 30);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->Spans.size(), 154u);
    TEDFFile file;
    OpenForReading(file, recording);
    TStagedNight night = StageSeconds(*h, RecordingStart(file), 31200);
    // W for 30630 s, then N1 120 s, N2 390 s, N3 30 s, N2 30 s (R&K stage 4 counts as N3).
    EXPECT_EQ(night.Seconds[30629], S::W);
    EXPECT_EQ(night.Seconds[30630], S::N1);
    EXPECT_EQ(night.Seconds[30750], S::N2);
    EXPECT_EQ(night.Seconds[31140], S::N3);
    EXPECT_EQ(night.Seconds[31170], S::N2);
    EXPECT_EQ(night.SecondsScored, 31200);

    const std::string hmc = (hypnograms / "hmc-sn001-hypnogram.edf").string();
    recording = Recording(dir, "01.01.01 23.59.30", "2h");
    file.SetActive(false);
    OpenForReading(file, recording);
    const THypnogram edf = ReadHypnogram(hmc);
    night = StageSeconds(edf, RecordingStart(file), 7200);
    EXPECT_EQ(night.LightsOff, 33.43);
    EXPECT_EQ(night.Seconds[239], S::W);
    EXPECT_EQ(night.Seconds[240], S::N1);  // epoch 9 is the first N1

    std::string tsv = "onset\tduration\tdescription\n", text;
    for (const TStageSpan& span : edf.Spans) {
        tsv += std::to_string(static_cast<int>(span.Onset)) + "\t30\tSleep stage " +
               StageName(span.Stage) + "\n";
        text += std::string(StageName(span.Stage)) + "\n";
    }
    for (const THypnogram& other :
         {ReadHypnogram(Write(dir, "hmc.tsv", tsv)), ReadHypnogram(Write(dir, "hmc.txt", text))})
        EXPECT_EQ(StageSeconds(other, RecordingStart(file), 7200).Seconds, night.Seconds)
            << FormatName(other.Format);
}

}  // namespace
