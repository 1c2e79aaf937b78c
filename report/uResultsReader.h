// Reading a results file second by second, in constant memory: one data record (30 minutes of
// all 14 signals) at a time. Signals 0..7 hold log-float codes (Y0 0.0001, A 0.001) that only a
// decoder turns into values; signals 8..13 are linear. This is the one decoder the exports, the
// statistics and the pictures share.
//
// Example:
//   TResultsReader reader("night.cvn");
//   for (int64_t t = 0; t < seconds; ++t) {
//       const TResultsSecond& s = reader.At(t);
//       double su = DecodeLogFloatCode(s.Codes[results::kSU], physScale);
//       double mc = reader.LinearScale(results::kMC).Value(s.Codes[results::kMC]);
//   }
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "analysis/uVantrel4.h"
#include "edf/uEDF.h"
#include "support/uExceptions.h"

namespace vantrel {

// A file that cannot be read as a results file, or a record that cannot be read; the message
// names the file and the reason.
class EResultsFileError : public Exception {
  public:
    using Exception::Exception;
};

// The digital values of every signal at one second.
struct TResultsSecond {
    int64_t Second = -1;                           // 0 = the first second of the file
    std::array<int16_t, results::kSignals> Codes;  // by results::Signal
};

class TResultsReader {
  public:
    // Opens the results file read-only. Raises EResultsFileError when it cannot be opened or
    // is not a results file (14 signals of 1800 samples per record).
    explicit TResultsReader(const std::string& fileName);
    TResultsReader(const TResultsReader&) = delete;
    TResultsReader& operator=(const TResultsReader&) = delete;

    const std::string& FileName() const { return FFile.FileName(); }
    // The final header fix is done: signal 0's physical dimension reads "Filtered".
    bool Complete() const;
    // Seconds the file's records hold, padding of the last record included.
    int64_t SecondsInFile() const { return int64_t{FFile.NumberOfRecords()} * kPerRecord; }
    // The second t, 0 <= t < SecondsInFile (raises otherwise); the record that holds it is
    // read when it is not the one in memory, so ascending t reads every record once.
    const TResultsSecond& At(int64_t t);
    // The scale of a linear signal (8..13) from its header.
    struct TLinearScale {
        double PhysicalRange = 0;  // physical maximum - physical minimum
        double DigitalRange = 0;   // digital maximum - digital minimum
        // digital x physical range / digital range, computed as digital / (digital range /
        // physical range): the MC signals' 65534 / 6553.4 is exactly 10 as a double, so every
        // tenth of a per cent comes out as the double nearest to it (21.2, not
        // 21.199999999999996).
        double Value(int64_t digital) const {
            return PhysicalRange == 0 || DigitalRange == 0
                       ? 0
                       : static_cast<double>(digital) / (DigitalRange / PhysicalRange);
        }
    };
    TLinearScale LinearScale(int signal) const;

  private:
    static constexpr int64_t kPerRecord = results::kSamplesPerRecord;
    void Load(int32_t record);

    TEDFFile FFile;
    int32_t FRecord = -1;  // the record in FFile's buffer
    TResultsSecond FSecond;
};

// SU, SS, SU+, SU-, SS+, SS-, SSP and SS0 in the input's unit squared: the log-float code
// decoded (Y0 0.0001, A 0.001) and divided by physScale (PhysScale of the run). NaN when
// physScale is 0 (an input without a physical range has no physical scale).
double DecodeLogFloatCode(int16_t code, double physScale);

}  // namespace vantrel
