// The cohort page, "index.html" beside a cohort's results: one row per night, to look at every
// night before trusting a cohort's numbers. A row holds the night's id, a thumbnail of its
// picture that links to the picture, its status and why it failed, piB, the clean fraction, MC
// mean and events per hour, the per-stage MC means when any night had a hypnogram, and links to
// its results file, batch log and run record. Failed nights come first.
//
// The page is one self-contained file: inline CSS, a few lines of inline script (a click on a
// column heading sorts by it, "index.html?sort=mc_mean" opens it sorted, "?sort=-mc_mean"
// descending), relative links, nothing loaded from the network, so that it works from a shared
// drive or a copied folder. Texts from recordings are escaped. The numbers are the run records'
// own, the same the summary shows.
//
// Example:
//   std::vector<TCohortPageNight> nights = ...;   // one per LIST line
//   WriteCohortPage(nights, "results/index.html");
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "report/uSummary.h"
#include "support/uExceptions.h"

namespace vantrel {

// A page that cannot be written; the message names the file and the reason.
class ECohortPageError : public Exception {
  public:
    using Exception::Exception;
};

// One night of the cohort.
struct TCohortPageNight {
    TSummaryRow Row;  // as the summary has it: id, input, signal, results, status, reason, record
    std::string Log;  // its batch log
};

// The sort keys of the page's columns, in order; the stage columns only when shown.
std::vector<std::string> CohortPageSortKeys(bool stages);

// The page. Links are relative to pageDirectory and go only to files that exist now: the
// picture "<results>.png", the results file, the log and the record "<results>.json".
std::string CohortPageHtml(const std::vector<TCohortPageNight>& nights,
                           const std::string& pageDirectory);

// Writes the page to a temporary file beside fileName and renames it into place, so that no
// browser ever shows half a page. Raises ECohortPageError.
void WriteCohortPage(const std::vector<TCohortPageNight>& nights, const std::string& fileName);

// Text for HTML: valid UTF-8 (other bytes read as Latin-1) with &, <, >, " and ' escaped.
std::string HtmlText(std::string_view text);

}  // namespace vantrel
