#include "report/uSecondsTable.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include "report/uIsoTime.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

// The log-float signals in column order, after second and time.
constexpr std::array<int, 8> kLogFloatColumns = {
    results::kSU,     results::kSS,      results::kSUPlus, results::kSUMinus,
    results::kSSPlus, results::kSSMinus, results::kSSP,    results::kSS0};
constexpr std::array<int, 6> kLinearColumns = {results::kHFArtifact,    results::kLFArtifact,
                                               results::kMissingSignal, results::kMC,
                                               results::kMCJump,        results::kMCEvent};

}  // namespace

void WriteSecondsTable(const TRunRecord& record, TResultsReader& reader, std::ostream& out,
                       TTableFormat format, const std::function<std::string(int64_t)>& stageOf) {
    std::vector<std::string> row = {"second",  "time", "SU",      "SS",       "SU+",     "SU-",
                                    "SS+",     "SS-",  "SSP",     "SS0",      "HF",      "LF",
                                    "Missing", "MC",   "MC_jump", "MC_event", "artifact"};
    if (stageOf) row.push_back("stage");
    WriteRow(out, row, format);

    std::array<TResultsReader::TLinearScale, results::kSignals> scales{};
    for (const int signal : kLinearColumns)
        scales[signal] = reader.LinearScale(signal);
    const std::optional<TClockTime> start = ParseIsoText(record.Input.RecordingStart);
    const double physScale = record.Results.PhysScale;
    for (int64_t t = 0; t < record.Results.Seconds; ++t) {
        const TResultsSecond& second = reader.At(t);
        row.clear();
        row.push_back(std::to_string(t));
        row.push_back(start ? IsoText(*start + std::chrono::seconds{t}) : std::string());
        for (const int signal : kLogFloatColumns)
            row.push_back(Cell(DecodeLogFloatCode(second.Codes[signal], physScale)));
        for (const int signal : kLinearColumns)
            row.push_back(FloatToShortestStr(scales[signal].Value(second.Codes[signal])));
        const bool artifact = second.Codes[results::kHFArtifact] > 0 ||
                              second.Codes[results::kLFArtifact] > 0 ||
                              second.Codes[results::kMissingSignal] > 0;
        row.push_back(artifact ? "1" : "0");
        if (stageOf) row.push_back(stageOf(t));
        WriteRow(out, row, format);
    }
}

}  // namespace vantrel
