#include "app/uRunOutputs.h"

#include <utility>

namespace vantrel {

TRunOutputs::TRunOutputs(TRunCircumstances circumstances,
                         std::function<void(const TRunRecord&)> picture)
    : FCircumstances(std::move(circumstances)), FPicture(std::move(picture)) {
    RunContext().BeforeFinalHeaderFix = [this](const TAnalysisParam& AP,
                                               const TInputSignalChar& ISC,
                                               const TSUSSParameters& SP) { Write(AP, ISC, SP); };
}

TRunOutputs::~TRunOutputs() {
    RunContext().BeforeFinalHeaderFix = nullptr;
}

void TRunOutputs::Write(const TAnalysisParam& AP, const TInputSignalChar& ISC,
                        const TSUSSParameters& SP) {
    TRunRecord record = MakeRunRecord(AP, ISC, SP, FCircumstances);
    WriteRunRecord(record, RunRecordFileName(AP.OutputFileName));
    if (FPicture) FPicture(record);
    if (RunContext().BatchMode && record.Results.Seconds > 0 &&
        record.Results.Night.CleanSeconds == 0)
        ReportMessage("Warning: no artifact-free second in the recording");
    FRecord = std::move(record);
}

}  // namespace vantrel
