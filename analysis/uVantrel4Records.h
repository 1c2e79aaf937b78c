// The results file as the numerical stages after SU/SS see it: opened for reading and writing,
// its samples reached by signal and second. Internal to the engine.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "analysis/uVantrel4.h"

namespace vantrel {

// One results file with one data record in memory. The record that holds a second is read when
// a sample of it is first asked for; a changed record is written back before another is read,
// and by Flush. Records left unwritten when the object dies (an error left the stage) stay as
// they were on disk.
class TResultsRecords {
  public:
    // Opens the file for reading and writing. Raises EFOpenError when the file does not exist
    // (opening for writing would create it), EDataFileHeaderInvalid when its header is not a
    // results file's layout (14 signals of 1800 samples per record), or the library's error.
    explicit TResultsRecords(const std::string& fileName);
    TResultsRecords(const TResultsRecords&) = delete;
    TResultsRecords& operator=(const TResultsRecords&) = delete;

    int32_t Records() const { return FFile.NumberOfRecords(); }
    // Seconds in the file: records x 1800.
    int64_t Seconds() const { return int64_t{Records()} * results::kSamplesPerRecord; }

    // Makes `record` the one in memory (writing back a changed one first). Raises the
    // library's EDataFile error when the record cannot be read or written.
    void Load(int32_t record);
    // The code of `signal` at second t, and its change.
    int16_t Get(int signal, int64_t t);
    void Put(int signal, int64_t t, int16_t code);
    // Writes the record in memory back when it was changed.
    void Flush();
    // Flush, write the header and close the file.
    void Finish();

  private:
    int32_t Index(int signal, int64_t t);

    TEDFFile FFile;
    std::array<int32_t, results::kSignals> FOffsets{};
    int32_t FCurrent = -1;
    bool FDirty = false;
};

}  // namespace vantrel
