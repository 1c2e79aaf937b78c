// Sample access to an open results file, one data record at a time.
#include "analysis/uVantrel4Records.h"

#include <filesystem>

#include "edf/uDataFile.h"
#include "edf/udDisk.h"

namespace vantrel {

TResultsRecords::TResultsRecords(const std::string& fileName) {
    // A missing file must not be created empty by opening it for writing.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(fileName, ec))
        throw EFOpenError("Cannot open file \"" + fileName + "\". No such file or directory");
    FFile.SetFileName(fileName);
    FFile.SetReadOnly(false);
    // Leniently, like every other stage's opening: the recording and patient texts are copied
    // from the input unchanged and may hold bytes outside printable ASCII.
    FFile.SetStrictChecking(false);
    FFile.SetActive(true);
    bool layout = FFile.HeaderValid() && FFile.SignalCount() == results::kSignals;
    for (int k = 0; layout && k < results::kSignals; ++k) {
        layout = FFile.Signal(k).SamplesPerRecord() == results::kSamplesPerRecord;
        FOffsets[k] = FFile.Signal(k).SampleOffset();
    }
    if (!layout) throw EDataFileHeaderInvalid();
}

void TResultsRecords::Load(int32_t record) {
    if (record == FCurrent) return;
    Flush();
    FCurrent = -1;
    FFirst = kNoRecord;
    FFile.ReadRecord(record);
    FCurrent = record;
    FFirst = int64_t{record} * results::kSamplesPerRecord;
    FData = FFile.GetRecordBuffer().data();
}

int32_t TResultsRecords::LoadingIndex(int signal, int64_t t) {
    const auto record = static_cast<int32_t>(t / results::kSamplesPerRecord);
    if (record != FCurrent) Load(record);
    return FOffsets[signal] + static_cast<int32_t>(t % results::kSamplesPerRecord);
}

void TResultsRecords::Flush() {
    if (!FDirty) return;
    FFile.WriteRecord(FCurrent);
    FDirty = false;
}

void TResultsRecords::Finish() {
    Flush();
    FFile.WriteHeader();
    FFile.SetActive(false);
}

}  // namespace vantrel
