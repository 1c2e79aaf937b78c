// The per-second table of a results file ("vantrel4 --export"): one row a second of the night,
// every signal in physical units, for programs that cannot decode the results file's codes.
// Columns: second, time (clock time from the record's recording_start), SU, SS, SU+, SU-, SS+,
// SS-, SSP, SS0 (the input's unit squared), HF, LF, Missing, MC, MC_jump, MC_event (linear),
// artifact (1 when HF, LF or Missing is above 0), and stage when a hypnogram is known.
// Streams: one results record in memory, whatever the night's length.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "report/uResultsReader.h"
#include "report/uRunRecord.h"
#include "report/uTableText.h"

namespace vantrel {

// Writes the header and the rows of seconds 0 .. record.Results.Seconds - 1. stageOf, when
// given, adds the column "stage" with its text for each second. Raises the reader's errors;
// the stream's state tells whether writing worked.
void WriteSecondsTable(const TRunRecord& record, TResultsReader& reader, std::ostream& out,
                       TTableFormat format,
                       const std::function<std::string(int64_t)>& stageOf = {});

}  // namespace vantrel
