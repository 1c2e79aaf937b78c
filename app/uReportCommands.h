// The commands that read results files instead of making them; no window, no Qt:
//   vantrel4 --export RESULTS [OUT] [/HYPNOGRAM:FILE] [/EPOCH=s]
//                                          the per-second table, to OUT or standard output
//                                          (CSV when OUT ends in ".csv", tab-separated else);
//                                          with a "stage" column from the hypnogram named, else
//                                          from the one the run used
//   vantrel4 --summary RESULTS...          a CSV header and one row per results file
//   vantrel4 --summary --cohort TABLE      the cohort summary of tools/cohort-run: TABLE has a
//                                          tab-separated line per night: id, input, signal,
//                                          results, exit status, wall seconds, batch log
//   vantrel4 --cohort-page TABLE OUT.html  the cohort page (report/uCohortPage.h) of the same
//                                          table
// Each reads a results file only when it is complete and has its run record. Exit codes: 0
// done, 2 a results file refused (the reason on standard error) or wrong usage, 3 the output
// could not be written.
#pragma once

#include <string>
#include <vector>

namespace vantrel {

// The first argument names the command ("--export", "-export" or "/EXPORT"; likewise summary).
bool IsExportRequest(const std::vector<std::string>& args);
bool IsSummaryRequest(const std::vector<std::string>& args);
bool IsCohortPageRequest(const std::vector<std::string>& args);
// "--plot": drawn by the window program (uNightPicture.h).
bool IsPlotRequest(const std::vector<std::string>& args);

// args: the whole command line without the program name, the command first.
int ExportCommand(const std::vector<std::string>& args);
int SummaryCommand(const std::vector<std::string>& args);
int CohortPageCommand(const std::vector<std::string>& args);

}  // namespace vantrel
