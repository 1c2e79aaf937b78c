#include "report/uSummary.h"

#include <filesystem>
#include <system_error>

#include "report/uResultsReader.h"
#include "report/uTableText.h"
#include "support/udStr.h"

namespace vantrel {

std::vector<std::string> SummaryHeader() {
    return {"id",
            "input",
            "signal",
            "results",
            "exit_status",
            "pib",
            "seconds_analysed",
            "wall_seconds",
            "label",
            "reason",
            "clean_seconds",
            "artifact_fraction",
            "mc_mean",
            "mc_median",
            "mc_events_per_hour",
            "mc_jump_runs_per_hour",
            "version",
            "minutes_W",
            "minutes_N1",
            "minutes_N2",
            "minutes_N3",
            "minutes_REM",
            "minutes_unscored",
            "mc_mean_NREM",
            "mc_mean_N2",
            "mc_mean_N3",
            "mc_mean_REM",
            "mc_events_per_hour_NREM",
            "mc_events_per_hour_N2",
            "mc_events_per_hour_N3",
            "mc_events_per_hour_REM"};
}

namespace {

// The stage columns: minutes of each stage, then MC means and event rates of the groups that
// researchers compare. Empty cells for a night without a hypnogram.
void AppendStageCells(std::vector<std::string>& cells, const TRunRecord& record) {
    constexpr int kMinuteStages = 6;           // W .. unscored
    constexpr int kCompared[] = {6, 2, 3, 4};  // NREM, N2, N3, REM in kStageGroupNames
    if (!record.Hypnogram || record.Stages.size() < kStageGroupCount) {
        cells.resize(cells.size() + kMinuteStages + 2 * std::size(kCompared));
        return;
    }
    for (int g = 0; g < kMinuteStages; ++g)
        cells.push_back(Cell(record.Stages[g].Seconds / 60.0));
    for (const int g : kCompared)
        cells.push_back(Cell(record.Stages[g].MCMean));
    for (const int g : kCompared)
        cells.push_back(Cell(record.Stages[g].MCEventsPerHour));
}

}  // namespace

std::vector<std::string> SummaryCells(const TSummaryRow& row) {
    std::vector<std::string> cells = {row.Id, row.Input, row.Signal, row.Results, row.ExitStatus};
    if (!row.Record) {
        cells.insert(cells.end(), {"", "", row.WallSeconds, "", row.Reason});
        cells.resize(SummaryHeader().size());
        return cells;
    }
    const TRunRecord& r = *row.Record;
    const TNightStatistics& night = r.Results.Night;
    const std::string wall = row.WallSeconds.empty() ? Cell(r.WallSeconds) : row.WallSeconds;
    cells.insert(cells.end(),
                 {Cell(r.Results.PiB), std::to_string(r.Results.Seconds), wall, r.Input.Label,
                  row.Reason, std::to_string(night.CleanSeconds), Cell(night.ArtifactFraction),
                  Cell(night.MCMean), Cell(night.MCMedian), Cell(night.MCEventsPerHour),
                  Cell(night.MCJumpRunsPerHour), r.ProgramVersion});
    AppendStageCells(cells, r);
    return cells;
}

std::string BaseNameId(const std::string& recording) {
    return std::filesystem::path(recording).stem().string();
}

std::string NoRunRecordMessage(const std::string& resultsFileName) {
    return "No run record beside " + resultsFileName + "; analyse the recording again to make one";
}

TRunRecord ReadableResultsRecord(const std::string& resultsFileName) {
    {
        TResultsReader reader(resultsFileName);
        if (!reader.Complete())
            throw EResultsFileError("The results file " + resultsFileName +
                                    " is incomplete: its run did not finish; analyse the "
                                    "recording again");
    }
    const std::string record = RunRecordFileName(resultsFileName);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(record, ec))
        throw ERunRecordError(NoRunRecordMessage(resultsFileName));
    return ReadRunRecord(record);
}

}  // namespace vantrel
