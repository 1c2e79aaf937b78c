// Clock times in the reports, as ISO 8601 texts: the recording's own clock (EDF keeps no time
// zone, so its times are written without one) and UTC for when a run happened.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace vantrel {

// A point on a clock, to the millisecond. For a recording: its local clock time as EDF keeps it.
using TClockTime = std::chrono::time_point<std::chrono::system_clock, std::chrono::milliseconds>;

// "1989-04-24T16:13:00", with ".250" when there are milliseconds.
std::string IsoText(TClockTime time);
// "2026-12-09T01:17:37Z": a UTC time to the second.
std::string IsoUtcText(std::chrono::system_clock::time_point time);
// IsoText read back (a trailing "Z" is allowed); nothing when the text is no such time.
std::optional<TClockTime> ParseIsoText(const std::string& text);
// The clock time of a serial day (days since 30 December 1899) and a time of day in
// picoseconds, to the millisecond (rounded down).
TClockTime ClockTimeOfSerialDay(int64_t serialDay, int64_t picosecondsOfDay);

}  // namespace vantrel
