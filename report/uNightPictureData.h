// What a night's picture shows, worked out without drawing anything: its title line, the night
// reduced to the pixel columns of its time axis, the histogram of SS - SU that piB was found
// on, and the ticks of its clock-time and signed-logarithmic axes. app/ draws it
// (uNightPicture.h); everything here is plain data that a test can read as text.
//
// SU and SS are negative in a third to two thirds of the seconds of a real night, so no plain
// logarithmic axis fits them. Their log-float codes (sign x log of the magnitude) form a signed
// logarithmic scale: the picture plots the codes and labels the ticks in physical units.
//
// Example:
//   const TRunRecord record = ReadableResultsRecord(results);
//   const std::optional<TStagedNight> stages = PictureStages(record, "", 30);
//   TResultsReader reader(results);
//   const TNightPictureData data = ReadNightPictureData(reader, record, 1180, stages);
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report/uHypnogram.h"
#include "report/uResultsReader.h"
#include "report/uRunRecord.h"

namespace vantrel {

// The title line. The path goes first and is the part shortened (in the middle) when the line
// is too long for the picture; the details always stay whole.
struct TPictureTitle {
    std::string Path;     // the input file as the run named it
    std::string Details;  // signal, parameters, piB, clean time, MC mean, events per hour
    // The whole line, as the picture's "Title" text keeps it.
    std::string Text() const { return Path + kSeparator + Details; }
    static constexpr const char* kSeparator = "  \u00b7  ";  // a middle dot: Latin-1, as PNG texts
};

// "night.edf" and "signal 1 EEG Fpz-Cz · F0 1 Hz, B 1.5 Hz, Fc 1.8 Hz, rate 0.01666/s ·
// piB 12.3 uV² · clean 7 h 32 min · MC mean 21.4 % · 3.2 events/h". Header texts that are not
// UTF-8 are read as Latin-1; a value without a clean second to compute it from reads "n/a".
TPictureTitle PictureTitle(const TRunRecord& record);

// The seconds of one pixel column of the time axis, reduced.
struct TPictureColumn {
    // SU, SS, SSP and SS0 (in this order): least, greatest and median log-float code (the
    // lower of the middle two for an even count). SU's sign changes from second to second in
    // much of a night: a median stays a value the signal had, where a mean of codes would not.
    std::array<int16_t, 4> Low{}, High{}, Median{};
    double MCLow = 0, MCHigh = 0, MCMean = 0;                  // MC, %
    int32_t Seconds = 0;                                       // seconds in the column
    int32_t HFSeconds = 0, LFSeconds = 0, MissingSeconds = 0;  // with that artifact
    int32_t EventSeconds = 0;    // inside an MC event (|MC-Event| above the run's threshold)
    int32_t JumpRunSeconds = 0;  // inside an MC-Jump run (|MC-Jump| >= 50 %)
    // The stage most of the column's seconds have (the earlier stage of a tie); none without
    // a hypnogram.
    std::optional<TSleepStage> Stage;
};

// The signals SU, SS, SSP and SS0 in TPictureColumn's order.
inline constexpr std::array<int, 4> kPictureLogSignals = {results::kSU, results::kSS, results::kSSP,
                                                          results::kSS0};

struct TNightPictureData {
    int64_t Seconds = 0;                  // the record's seconds: the time axis's length
    std::vector<TPictureColumn> Columns;  // second t lies in column t x columns / Seconds
    // The range of log-float codes worth showing: the 0.2nd and 99.8th percentile of every
    // second of the four signals, so that a few wild seconds do not flatten the night.
    int16_t CodeLow = 0, CodeHigh = 0;
    double MCTop = 100;  // %: the MC axis's top, at least 100, else MC's 99.8th percentile
    // The SS - SU histogram of piB detection, bin = code + pib::kBinOffset, counted as the
    // analysis counts it, and its moving sum over 2K + 1 bins.
    std::vector<int32_t> Histogram, HistogramSum;
    bool HasStages = false;
    std::optional<double> LightsOff, LightsOn;  // s from the recording's start, when annotated
};

// Reads seconds 0 .. record.Results.Seconds - 1 of the results file once, in order, into
// min(columns, seconds) columns. stages, when given, holds at least as many seconds. Raises
// the reader's error.
TNightPictureData ReadNightPictureData(TResultsReader& reader, const TRunRecord& record,
                                       int columns, const std::optional<TStagedNight>& stages);

// The stage of every second of the night: from the hypnogram file named, else from the one
// the run record names (read again with this epoch length for plain text); nothing when
// neither names one. Raises EHypnogramError when the file cannot be used.
std::optional<TStagedNight> PictureStages(const TRunRecord& record, const std::string& hypnogram,
                                          double epochSeconds);
// The stages of a hypnogram already read, on the recording's clock of the record.
TStagedNight PictureStages(const TRunRecord& record, const THypnogram& hypnogram);

// A tick of an axis: where it is (seconds from the recording's start, or a log-float code) and
// its label.
struct TAxisTick {
    double Position = 0;
    std::string Label;
};

// Ticks at whole clock times of the recording's clock ("23:00"): the step is the shortest of
// 1, 2, 5, 10, 15 and 30 minutes and 1, 2, 3 and 6 hours that gives at most maxTicks ticks, and
// at least an hour for a recording of 3 hours or more. Time from the start ("+01:00") when the
// start is no clock time.
std::vector<TAxisTick> ClockTicks(const std::string& recordingStart, int64_t seconds, int maxTicks);

// Ticks of the signed logarithmic axis of SU and SS between two codes: 0 and the powers of
// ten, of either sign, in physical units (the input's unit squared: the code's value divided by
// physScale), every second or third power when there are more than maxTicks; with 2 and 5
// times a power added when fewer than three would show.
std::vector<TAxisTick> SignedLogTicks(int lowCode, int highCode, double physScale, int maxTicks);

// A physical value as a tick label: "0", "0.5", "20", "1000", "1e-10", "-2e5".
std::string TickNumber(double value);

}  // namespace vantrel
