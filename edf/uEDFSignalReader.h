// TEDFSignalReader: one signal of an open recording, record after record from the first to the
// last, read the way the file's bytes can be had fastest.
//
// Where the records are in the page cache, only the signal's part of each record is read
// (ReadSignalInto: the parts of up to 64 records in one system call). Where they are not, small
// reads would leave the disk serving many small requests and defeat the kernel's read-ahead:
// the reader then reads large spans of whole records (about 4 MiB) straight from the disk,
// past the page cache (O_DIRECT), several spans ahead of the caller through io_uring, and takes
// the signal's parts from memory. The disk stays busy while the caller computes, on the
// caller's own thread; copying a whole recording through the page cache would cost as much
// processor time as the analysis itself. Which case holds is asked of the kernel for every span
// (mincore), so a recording that is cached in part is read both ways.
//
// Where the system offers no direct reads (a file system without O_DIRECT, no io_uring) every
// span is read as a cached one. A span that cannot be read directly (an error, a file cut
// short since it was opened) is read as a cached one too, so a record the file no longer holds
// fails exactly as with ReadSignalInto.
#pragma once

#include <cstdint>
#include <memory>

namespace vantrel {

class TCustomBaseEDFFile;

class TEDFSignalReader {
  public:
    // A span read past the page cache: the whole records in about this many bytes.
    static constexpr int64_t kSpanBytes = int64_t{4} << 20;

    // What was read how; for benchmarks and tests.
    struct TStatistics {
        int64_t DirectReads = 0;    // spans read past the page cache
        int64_t DirectBytes = 0;    // their bytes
        int64_t CachedRecords = 0;  // records whose part was read through the page cache
    };

    // Reads signal `signal` of `file`, which must stay open, with the same header, while the
    // reader lives. Never raises for the system's refusals: the reader then reads as
    // ReadSignalInto does. The first spans are asked for at once.
    TEDFSignalReader(TCustomBaseEDFFile& file, int32_t signal);
    ~TEDFSignalReader();
    TEDFSignalReader(const TEDFSignalReader&) = delete;
    TEDFSignalReader& operator=(const TEDFSignalReader&) = delete;

    // The samples of records first .. first + count - 1 into `samples` (count x the signal's
    // SamplesPerRecord), as ReadSignalInto gives them. Records are asked for in increasing
    // order: the spans before `first` are released. False, never an exception, where
    // ReadSignalInto fails. One thread at a time.
    bool Read(int32_t first, int32_t count, int16_t* samples);

    const TStatistics& Statistics() const;
    // The first span is being read past the page cache: the reads run on their own while the
    // caller computes, and a thread of its own to read would only wait for the disk.
    bool ReadingPastTheCache() const;

  private:
    struct TState;
    std::unique_ptr<TState> FState;
};

}  // namespace vantrel
