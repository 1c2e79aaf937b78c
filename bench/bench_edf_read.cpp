// Reading a long recording record by record, the input path of every analysis, against plain
// read() calls over the same bytes.
//
// The recordings are generated on first use in $VANTREL_BENCH_DIR (default: the system's
// temporary directory) and removed at the end:
//   large: 8 hours, 20 signals of 256 Hz, 1-second records (10240-byte records, 295 MB);
//   small: 8 hours, 4 signals of 100 Hz, 1-second records (800-byte records, read through the
//          library's read-ahead buffer).
// Run it twice in a row, or with --benchmark_repetitions, so that the files come from the page
// cache. Every variant reads all records and sums the samples of one signal, as an analysis
// does.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchDir.h"
#include "edf/uEDF.h"

using namespace vantrel;

namespace {

constexpr int32_t kRecords = 8 * 3600;  // 8 hours of 1-second records
constexpr int32_t kAnalysedSignal = 3;

struct TLayout {
    const char* Name;
    int32_t Signals;
    int32_t SamplesPerRecord;
};

constexpr TLayout kLarge = {"large", 20, 256};
constexpr TLayout kSmall = {"small", 4, 100};

// Writes a recording of the layout with the library and removes it when the program ends.
class TGeneratedRecording {
  public:
    explicit TGeneratedRecording(const TLayout& layout)
        : FPath(BenchDir() / ("vantrel-bench-" + std::string(layout.Name) + "-" +
                              std::to_string(::getpid()) + ".edf")) {
        TEDFFile file;
        file.SetFileName(FPath.string());
        file.CreateNew(layout.Signals, true);
        file.FileInfo().SetPatient("X X X X");
        file.FileInfo().SetRecording("Startdate 01-JAN-2020 X X bench");
        file.FileInfo().SetStartDateTime(43831.9);
        file.FileInfo().SetRecordDuration(1);
        for (int32_t k = 0; k < layout.Signals; ++k) {
            TCustomEDFSignalInfo& s = file.Signal(k);
            s.SetLabel("EEG " + std::to_string(k + 1));
            s.SetPhysicalDimension("uV");
            s.SetPhysicalMinimum(-500);
            s.SetPhysicalMaximum(500);
            s.SetDigitalMinimum(-32768);
            s.SetDigitalMaximum(32767);
            s.SetSamplesPerRecord(layout.SamplesPerRecord);
        }
        file.WriteHeader();
        TDynSmallIntArray& buffer = file.GetRecordBuffer();
        for (int32_t r = 0; r < kRecords; ++r) {
            for (size_t i = 0; i < buffer.size(); ++i)
                buffer[i] = static_cast<int16_t>((r * 31 + static_cast<int32_t>(i)) & 0x7fff);
            file.WriteRecord(r);
        }
        HeaderBytes = file.FileInfo().HeaderBytes();
        RecordBytes = static_cast<int64_t>(file.RecordSamples()) * 2;
        SignalOffset = file.Signal(kAnalysedSignal).SampleOffset();
        SamplesPerRecord = layout.SamplesPerRecord;
    }
    ~TGeneratedRecording() {
        std::error_code ec;
        std::filesystem::remove(FPath, ec);
    }
    std::string Path() const { return FPath.string(); }

    int64_t HeaderBytes = 0;
    int64_t RecordBytes = 0;
    int32_t SignalOffset = 0;
    int32_t SamplesPerRecord = 0;

  private:
    std::filesystem::path FPath;
};

const TGeneratedRecording& Recording(const TLayout& layout) {
    static std::map<std::string, std::unique_ptr<TGeneratedRecording>> recordings;
    auto& recording = recordings[layout.Name];
    if (!recording) recording = std::make_unique<TGeneratedRecording>(layout);
    return *recording;
}

// The library: open read-only and lenient, ReadRecord into the shared buffer, take one signal.
void ReadWithLibrary(benchmark::State& state, const TLayout& layout) {
    const TGeneratedRecording& recording = Recording(layout);
    for (auto _ : state) {
        TEDFFile file;
        file.SetFileName(recording.Path());
        file.SetReadOnly(true);
        file.SetStrictChecking(false);
        file.SetActive(true);
        const TDynSmallIntArray& buffer = file.GetRecordBuffer();
        const TCustomEDFSignalInfo& signal = file.Signal(kAnalysedSignal);
        int64_t sum = 0;
        for (int32_t r = 0; r < file.NumberOfRecords(); ++r) {
            file.ReadRecord(r);
            for (int32_t s = 0; s < signal.SamplesPerRecord(); ++s)
                sum += buffer[static_cast<size_t>(signal.SampleOffset() + s)];
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * recording.RecordBytes * kRecords);
}

// Plain read() calls of `chunk` bytes over the data records, the same signal summed.
void ReadWithPlainRead(benchmark::State& state, const TLayout& layout, int64_t chunk) {
    const TGeneratedRecording& recording = Recording(layout);
    const int64_t recordBytes = recording.RecordBytes;
    const int64_t chunkBytes = chunk > 0 ? chunk : recordBytes;
    std::vector<int16_t> data(static_cast<size_t>(chunkBytes / 2 + recordBytes / 2));
    for (auto _ : state) {
        const int fd = ::open(recording.Path().c_str(), O_RDONLY);
        if (fd < 0) {
            state.SkipWithError("cannot open the recording");
            break;
        }
        ::lseek(fd, recording.HeaderBytes, SEEK_SET);
        int64_t sum = 0;
        int64_t filled = 0;  // bytes of data[] holding unread records
        for (;;) {
            const ssize_t got = ::read(fd, reinterpret_cast<char*>(data.data()) + filled,
                                       static_cast<size_t>(chunkBytes));
            if (got <= 0) break;
            filled += got;
            int64_t used = 0;
            for (; used + recordBytes <= filled; used += recordBytes) {
                const int16_t* record = data.data() + used / 2;
                for (int32_t s = 0; s < recording.SamplesPerRecord; ++s)
                    sum += record[recording.SignalOffset + s];
            }
            std::copy(data.begin() + used / 2, data.begin() + filled / 2, data.begin());
            filled -= used;
        }
        ::close(fd);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * recording.RecordBytes * kRecords);
}

void BM_EDFFile_Large(benchmark::State& state) {
    ReadWithLibrary(state, kLarge);
}
void BM_PlainRead_Large_RecordChunks(benchmark::State& state) {
    ReadWithPlainRead(state, kLarge, 0);
}
void BM_PlainRead_Large_1MiBChunks(benchmark::State& state) {
    ReadWithPlainRead(state, kLarge, 1 << 20);
}
void BM_EDFFile_Small(benchmark::State& state) {
    ReadWithLibrary(state, kSmall);
}
void BM_PlainRead_Small_RecordChunks(benchmark::State& state) {
    ReadWithPlainRead(state, kSmall, 0);
}
void BM_PlainRead_Small_1MiBChunks(benchmark::State& state) {
    ReadWithPlainRead(state, kSmall, 1 << 20);
}

}  // namespace

BENCHMARK(BM_EDFFile_Large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead_Large_RecordChunks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead_Large_1MiBChunks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EDFFile_Small)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead_Small_RecordChunks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead_Small_1MiBChunks)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
