// Sample access to an open results file: held whole, or one data record at a time.
#include "analysis/uVantrel4Records.h"

#include <algorithm>
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
    for (int k = 0; k < results::kSignals; ++k)
        FBase[k] = FOffsets[k];
    // A file without records stays record by record: it fails on its first record.
    const int64_t bytes = Seconds() * results::kSignals * int64_t{sizeof(int16_t)};
    if (Records() > 0 && bytes <= SmoothingMemoryBytes) ReadWhole();
}

void TResultsRecords::ReadWhole() {
    const int64_t seconds = Seconds();
    FSamples =
        std::make_unique_for_overwrite<int16_t[]>(static_cast<size_t>(seconds) * results::kSignals);
    for (int k = 0; k < results::kSignals; ++k)
        FBase[k] = k * seconds;
    const TDynSmallIntArray& buffer = FFile.GetRecordBuffer();
    for (int32_t record = 0; record < Records(); ++record) {
        FFile.ReadRecord(record);
        const int64_t first = int64_t{record} * results::kSamplesPerRecord;
        for (int k = 0; k < results::kSignals; ++k)
            std::copy_n(buffer.begin() + FOffsets[k], results::kSamplesPerRecord,
                        FSamples.get() + FBase[k] + first);
    }
    FWhole = true;
    FData = FSamples.get();
    FFirst = 0;
    FSpan = static_cast<uint64_t>(seconds);
}

void TResultsRecords::WriteWhole() {
    TDynSmallIntArray& buffer = FFile.GetRecordBuffer();
    for (int32_t record = 0; record < Records(); ++record) {
        const int64_t first = int64_t{record} * results::kSamplesPerRecord;
        for (int k = 0; k < results::kSignals; ++k)
            std::copy_n(FSamples.get() + FBase[k] + first, results::kSamplesPerRecord,
                        buffer.begin() + FOffsets[k]);
        FFile.WriteRecord(record);
    }
}

void TResultsRecords::Load(int32_t record) {
    if (FWhole || record == FCurrent) return;
    Flush();
    FCurrent = -1;
    FFirst = kNoRecord;
    FFile.ReadRecord(record);
    FCurrent = record;
    FFirst = int64_t{record} * results::kSamplesPerRecord;
    FData = FFile.GetRecordBuffer().data();
}

int64_t TResultsRecords::LoadingIndex(int signal, int64_t t) {
    if (FWhole) throw EDataFileReadData();  // a second the file does not hold
    const auto record = static_cast<int32_t>(t / results::kSamplesPerRecord);
    if (record != FCurrent) Load(record);
    return FOffsets[signal] + t % results::kSamplesPerRecord;
}

void TResultsRecords::Flush() {
    if (FWhole || !FDirty) return;
    FFile.WriteRecord(FCurrent);
    FDirty = false;
}

void TResultsRecords::Finish() {
    if (FWhole) {
        WriteWhole();
        FDirty = false;
    }
    Flush();
    FFile.WriteHeader();
    FFile.SetActive(false);
}

}  // namespace vantrel
