// What a completed run writes beside its results file, after its last smoothing call and before
// the final header fix: the run record "<results file>.json" and, when asked for, the night's
// picture. A results file that reads "Filtered" therefore always has them; when one cannot be
// written the run fails with the file and the reason, and the results file stays incomplete.
// A batch run whose every second is an artifact second completes with the line
// "Warning: no artifact-free second in the recording".
//
// Example:
//   TRunOutputs outputs(circumstances);       // for the life of the run
//   RunAnalysis(...);
#pragma once

#include <functional>
#include <optional>

#include "report/uRunReport.h"

namespace vantrel {

class TRunOutputs {
  public:
    // picture, when given, draws the night's picture from the record; it raises when it cannot.
    explicit TRunOutputs(TRunCircumstances circumstances,
                         std::function<void(const TRunRecord&)> picture = {});
    ~TRunOutputs();
    TRunOutputs(const TRunOutputs&) = delete;
    TRunOutputs& operator=(const TRunOutputs&) = delete;

    // The record written, once the run got that far.
    const std::optional<TRunRecord>& Record() const { return FRecord; }

  private:
    void Write(const TAnalysisParam& AP, const TInputSignalChar& ISC, const TSUSSParameters& SP);

    TRunCircumstances FCircumstances;
    std::function<void(const TRunRecord&)> FPicture;
    std::optional<TRunRecord> FRecord;
};

}  // namespace vantrel
