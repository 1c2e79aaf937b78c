// Writes small results files with chosen codes, second by second. Headers as a complete run
// leaves them: log-float signals 0..7 and the artifact counters at +-32767, the MC signals at
// +-3276.7 % over +-32767 (a digital step is 0.1 %). Headers as a run's stages find them
// (`THeaders::Filtered`): every signal "Filtered" at +-32767.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "analysis/uVantrel4.h"
#include "edf/uEDF.h"

namespace vantrel_test {

using TCodes = std::map<int, std::vector<int16_t>>;  // signal -> codes from second 0; missing: 0

enum class THeaders { Complete, Filtered };

// `records` records of 14 signals x 1800 seconds.
inline void WriteResultsFile(const std::string& path, const TCodes& codes, int records = 1,
                             THeaders headers = THeaders::Complete) {
    using namespace vantrel;
    TEDFFile file;
    file.SetFileName(path);
    file.CreateNew(results::kSignals, true);
    TCustomEDFFileInfo& info = file.FileInfo();
    info.SetPatient("X X X X");
    info.SetRecording("Startdate X X X X");
    info.SetStartDateTime(36526.5);
    info.SetRecordDuration(results::kRecordDuration);
    file.WriteHeader();
    for (int k = 0; k < results::kSignals; ++k) {
        const bool mc = headers == THeaders::Complete && k >= results::kMC;
        TCustomEDFSignalInfo& s = file.Signal(k);
        s.SetLabel(mc ? "MC" : "S" + std::to_string(k));
        s.SetPhysicalDimension(mc ? "%" : "Filtered");
        s.SetPhysicalMinimum(mc ? -3276.7 : -32767);
        s.SetPhysicalMaximum(mc ? 3276.7 : 32767);
        s.SetDigitalMinimum(-32767);
        s.SetDigitalMaximum(32767);
        s.SetSamplesPerRecord(results::kSamplesPerRecord);
    }
    file.WriteHeader();
    TDynSmallIntArray& buffer = file.GetRecordBuffer();
    for (int r = 0; r < records; ++r) {
        std::fill(buffer.begin(), buffer.end(), int16_t{0});
        for (const auto& [signal, values] : codes)
            for (size_t k = 0; k < results::kSamplesPerRecord; ++k) {
                const size_t t = static_cast<size_t>(r) * results::kSamplesPerRecord + k;
                if (t < values.size()) buffer[signal * results::kSamplesPerRecord + k] = values[t];
            }
        file.WriteRecord(r);
    }
    file.Close();
}

}  // namespace vantrel_test
