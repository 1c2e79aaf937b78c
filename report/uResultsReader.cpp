#include "report/uResultsReader.h"

#include <limits>

#include "edf/uEDFTools.h"
#include "support/uMath.h"

namespace vantrel {

TResultsReader::TResultsReader(const std::string& fileName) {
    try {
        OpenForReading(FFile, fileName);
    } catch (const std::exception& e) {
        throw EResultsFileError("Cannot read the results file \"" + fileName + "\": " + e.what());
    }
    bool layout = FFile.IsValid() && FFile.SignalCount() == results::kSignals;
    for (int k = 0; layout && k < results::kSignals; ++k)
        layout = FFile.Signal(k).SamplesPerRecord() == results::kSamplesPerRecord;
    if (!layout)
        throw EResultsFileError("\"" + fileName +
                                "\" is not a results file: it needs 14 signals of 1800 samples "
                                "per data record");
}

bool TResultsReader::Complete() const {
    return FFile.Signal(results::kSU).PhysicalDimension() == "Filtered";
}

void TResultsReader::Load(int32_t record) {
    std::string reason;
    TDynSmallIntArray& buffer = FFile.GetRecordBuffer();
    if (!FFile.ReadRecordInto(record, buffer, reason))
        throw EResultsFileError("Cannot read data record " + std::to_string(record) +
                                " of the results file \"" + FileName() + "\": " + reason);
    FRecord = record;
}

const TResultsSecond& TResultsReader::At(int64_t t) {
    if (t < 0 || t >= SecondsInFile())
        throw EResultsFileError("Second " + std::to_string(t) + " is not in the results file \"" +
                                FileName() + "\"");
    const auto record = static_cast<int32_t>(t / kPerRecord);
    if (record != FRecord) Load(record);
    const TDynSmallIntArray& buffer = FFile.GetRecordBuffer();
    const int64_t sample = t % kPerRecord;
    for (int k = 0; k < results::kSignals; ++k)
        FSecond.Codes[k] = buffer[static_cast<size_t>(k * kPerRecord + sample)];
    FSecond.Second = t;
    return FSecond;
}

TResultsReader::TLinearScale TResultsReader::LinearScale(int signal) const {
    const TCustomEDFSignalInfo& header = FFile.Signal(signal);
    return {header.PhysicalMaximum() - header.PhysicalMinimum(),
            static_cast<double>(header.DigitalMaximum()) - header.DigitalMinimum()};
}

double DecodeLogFloatCode(int16_t code, double physScale) {
    if (physScale == 0) return std::numeric_limits<double>::quiet_NaN();
    return static_cast<double>(LogFloatDecode(code, results::kLogFloatY0, results::kLogFloatA) /
                               physScale);
}

}  // namespace vantrel
