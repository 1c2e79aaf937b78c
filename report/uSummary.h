// The cohort summary: one row per night, the same columns whether the rows come from a cohort
// run ("summary.csv") or from results files named on the command line ("vantrel4 --summary").
// The numbers come from the run records only, so that they have one implementation.
//
// Columns, in order: id (the night's name in the cohort), input, signal, results, exit_status,
// pib (full precision),
// seconds_analysed (the record's seconds), wall_seconds, label, reason (why a night failed,
// empty otherwise), clean_seconds, artifact_fraction, mc_mean, mc_median, mc_events_per_hour,
// mc_jump_runs_per_hour, version; then, for nights with a hypnogram (empty otherwise),
// minutes_W, minutes_N1, minutes_N2, minutes_N3, minutes_REM, minutes_unscored (every second of
// the stage, artifact or not), mc_mean_NREM, mc_mean_N2, mc_mean_N3, mc_mean_REM,
// mc_events_per_hour_NREM, mc_events_per_hour_N2, mc_events_per_hour_N3,
// mc_events_per_hour_REM.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "report/uRunRecord.h"

namespace vantrel {

// One night of the summary.
struct TSummaryRow {
    std::string Id;           // the night's id= of the list, else the recording's base name
    std::string Input;        // the recording as the list or the record names it
    std::string Signal;       // the signal number, 1 = first
    std::string Results;      // the results file
    std::string ExitStatus;   // of the batch run; "0" for a results file named directly
    std::string WallSeconds;  // the run's wall-clock time; the record's when empty
    std::string Reason;       // why the night has no numbers; empty for a completed night
    std::optional<TRunRecord> Record;  // present for a completed night
};

std::vector<std::string> SummaryHeader();
// The id of a night without an id= of its own: the recording's file name without its folders
// and extension ("/data/n001.edf" gives "n001").
std::string BaseNameId(const std::string& recording);
std::vector<std::string> SummaryCells(const TSummaryRow& row);

// "No run record beside <file>; analyse the recording again to make one".
std::string NoRunRecordMessage(const std::string& resultsFileName);

// The record of a results file that may be read: the file is a complete results file and its
// record is beside it. Raises ERunRecordError with NoRunRecordMessage when there is no record,
// and EResultsFileError for a file that is no results file or is incomplete.
TRunRecord ReadableResultsRecord(const std::string& resultsFileName);

}  // namespace vantrel
