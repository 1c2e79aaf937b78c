// libFuzzer target: an EDF file made of arbitrary bytes is opened, leniently and strictly, its
// headers are read the way the analysis reads them, and every data record is read.
//
// Opening never raises for a readable file (a bad header only makes it invalid), and reading a
// record within the counted range never raises: an exception escaping here is a finding.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "edf/uEDF.h"
#include "support/uMath.h"

namespace {

// One in-memory file for the whole run, rewritten for every input: no disk traffic.
class TMemoryFile {
  public:
    TMemoryFile() : fd_(memfd_create("fuzz-edf", 0)) {
        if (fd_ < 0) std::abort();
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~TMemoryFile() { close(fd_); }
    void Fill(const uint8_t* data, size_t size) {
        if (ftruncate(fd_, 0) != 0) std::abort();
        size_t done = 0;
        while (done < size) {
            const ssize_t written = pwrite(fd_, data + done, size - done, off_t(done));
            if (written <= 0) std::abort();
            done += size_t(written);
        }
    }
    const std::string& Path() const { return path_; }

  private:
    int fd_;
    std::string path_;
};

// Touches what the analysis reads of a signal header, so that sanitizers see every derivation.
long double InspectSignal(const vantrel::TCustomEDFSignalInfo& signal) {
    long double sum = signal.Label().size() + signal.GetDimension().size();
    sum += signal.PhysicalMinimum() + signal.PhysicalMaximum();
    sum += signal.DigitalMinimum() + signal.DigitalMaximum() + signal.SamplesPerRecord();
    if (signal.IsLogFloat()) sum += signal.LogFloatY0() + signal.LogFloatA();
    if (signal.GainValid()) sum += signal.Gain();
    return sum;
}

// A sample as a physical value, the way the analysis converts it.
long double PhysicalValue(const vantrel::TCustomEDFSignalInfo& signal, int16_t sample) {
    if (signal.IsLogFloat())
        return vantrel::LogFloatDecode(sample, signal.LogFloatY0(), signal.LogFloatA());
    return signal.PhysicalMinimum() + (sample - signal.DigitalMinimum()) * signal.Gain();
}

void OpenAndReadAll(const std::string& path, bool strict) {
    vantrel::TEDFFile file;
    file.SetFileName(path);
    file.SetReadOnly(true);
    file.SetStrictChecking(strict);
    file.SetActive(true);
    volatile long double sink = 0;
    for (int32_t k = 0; k < file.SignalCount(); ++k)
        sink = sink + InspectSignal(file.Signal(k));
    if (!file.IsValid()) return;
    const auto& info = file.FileInfo();
    sink = sink + info.StartDateTime() + info.EndDateTime();
    sink = sink + info.End().DifferenceInSeconds(info.Start());
    auto& buffer = file.GetRecordBuffer();
    for (int32_t i = 0; i < file.NumberOfRecords(); ++i) {
        file.ReadRecord(i);
        for (int32_t k = 0; k < file.SignalCount(); ++k) {
            const auto& signal = file.Signal(k);
            if (!signal.GainValid() && !signal.IsLogFloat()) continue;
            sink = sink + PhysicalValue(signal, buffer[signal.SampleOffset()]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TMemoryFile file;
    file.Fill(data, size);
    OpenAndReadAll(file.Path(), /*strict=*/false);
    OpenAndReadAll(file.Path(), /*strict=*/true);
    return 0;
}
