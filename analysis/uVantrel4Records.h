// The results file as the numerical stages after SU/SS see it: opened for reading and writing,
// its samples reached by signal and second. Internal to the engine.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "analysis/uVantrel4.h"

namespace vantrel {

// One results file, its samples reached by second. A file whose samples fit in
// SmoothingMemoryBytes is read whole when opened and written whole by Finish, so that the
// passes of a smoothing call cost two reads and two writes of the file, not two of every record
// per pass. A longer one keeps one data record in memory: the record that holds a second is read
// when a sample of it is first asked for, and a changed record is written back before another
// is read, and by Flush. Either way, what is not written when the object dies (an error left the
// stage) stays on disk as it was.
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
    // The samples are all in memory.
    bool Whole() const { return FWhole; }
    // Held whole: signal k's samples, second after second, for reading and changing; Finish
    // writes them back.
    int16_t* WholeSignal(int k) { return FSamples.get() + FBase[k]; }

    // Makes `record` the one in memory (writing back a changed one first); nothing to do when
    // the file is held whole. Raises the library's EDataFile error when the record cannot be
    // read or written.
    void Load(int32_t record);
    // The code of `signal` at second t, and its change. Inline: the smoothing stages reach
    // every sample of every signal many times.
    int16_t Get(int signal, int64_t t) { return FData[Index(signal, t)]; }
    void Put(int signal, int64_t t, int16_t code) {
        const int64_t index = Index(signal, t);
        FData[index] = code;
        FDirty = true;
    }
    // Writes the record in memory back when it was changed (a file held whole waits for Finish).
    void Flush();
    // Writes what changed (all of a file held whole), then the header, and closes the file.
    void Finish();

  private:
    // The index of `signal` at second t in FData, loading the record that holds t.
    int64_t Index(int signal, int64_t t) {
        const uint64_t k = static_cast<uint64_t>(t - FFirst);
        if (k >= FSpan) return LoadingIndex(signal, t);
        return FBase[signal] + static_cast<int64_t>(k);
    }
    int64_t LoadingIndex(int signal, int64_t t);
    void ReadWhole();
    void WriteWhole();

    TEDFFile FFile;
    std::array<int32_t, results::kSignals> FOffsets{};  // of each signal in a data record
    bool FWhole = false;
    // Held whole: signal after signal. Not zeroed first: every sample is read into it.
    std::unique_ptr<int16_t[]> FSamples;
    std::array<int64_t, results::kSignals> FBase{};  // where each signal starts in FData
    int32_t FCurrent = -1;
    int64_t FFirst = kNoRecord;                   // first second in FData
    uint64_t FSpan = results::kSamplesPerRecord;  // seconds in FData
    int16_t* FData = nullptr;  // FSamples, or the file's record buffer while a record is held
    bool FDirty = false;
    static constexpr int64_t kNoRecord = INT64_MIN / 2;  // no t - kNoRecord is within a record
};

}  // namespace vantrel
