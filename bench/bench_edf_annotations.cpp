// The gap check of a 24-hour EDF+D recording of 1-second records, as every batch run and every
// cohort check makes it, against reading the same time keeping from whole records.
//
// The recording (4 EEG signals of 256 Hz and an annotation signal of 60 bytes a record, 182 MB)
// is written with the library on first use in $VANTREL_BENCH_DIR (default: the system's
// temporary directory) and removed at the end. Every 30th record carries an annotation besides
// its time keeping. Run with --benchmark_repetitions so that the file comes from the page cache.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchDir.h"
#include "edf/uEDF.h"
#include "edf/uEDFAnnotations.h"
#include "edf/uEDFTools.h"

using namespace vantrel;

namespace {

constexpr int32_t kRecords = 24 * 3600;
constexpr int32_t kEEGSignals = 4;
constexpr int32_t kEEGSamples = 256;
constexpr int32_t kAnnotationSamples = 30;

class TGeneratedRecording {
  public:
    TGeneratedRecording()
        : FPath(BenchDir() / ("vantrel-bench-edfplusd-" + std::to_string(::getpid()) + ".edf")) {
        TEDFFile file;
        file.SetFileName(FPath.string());
        file.CreateNew(kEEGSignals + 1, true);
        file.FileInfo().SetPatient("X X X X");
        file.FileInfo().SetRecording("Startdate 01-JAN-2020 X X bench");
        file.FileInfo().SetReserved("EDF+D");
        file.FileInfo().SetStartDateTime(43831.9);
        file.FileInfo().SetRecordDuration(1);
        for (int32_t k = 0; k <= kEEGSignals; ++k) {
            TCustomEDFSignalInfo& s = file.Signal(k);
            const bool annotations = k == kEEGSignals;
            s.SetLabel(annotations ? "EDF Annotations" : "EEG " + std::to_string(k + 1));
            s.SetPhysicalDimension(annotations ? "" : "uV");
            s.SetPhysicalMinimum(annotations ? -1 : -500);
            s.SetPhysicalMaximum(annotations ? 1 : 500);
            s.SetDigitalMinimum(-32768);
            s.SetDigitalMaximum(32767);
            s.SetSamplesPerRecord(annotations ? kAnnotationSamples : kEEGSamples);
        }
        file.WriteHeader();
        TDynSmallIntArray& buffer = file.GetRecordBuffer();
        const size_t tals = static_cast<size_t>(file.Signal(kEEGSignals).SampleOffset());
        for (int32_t r = 0; r < kRecords; ++r) {
            for (size_t i = 0; i < tals; ++i)
                buffer[i] = static_cast<int16_t>((r * 31 + static_cast<int32_t>(i)) & 0x7fff);
            std::string text = "+" + std::to_string(r) + "\x14\x14";
            text += '\0';
            if (r % 30 == 0) text += "+" + std::to_string(r) + ".5\x14" + "Arousal\x14";
            text.resize(kAnnotationSamples * 2, '\0');
            for (size_t i = 0; i < kAnnotationSamples; ++i)
                buffer[tals + i] = static_cast<int16_t>(static_cast<uint8_t>(text[2 * i]) |
                                                        static_cast<uint8_t>(text[2 * i + 1]) << 8);
            file.WriteRecord(r);
        }
        file.Close();
    }
    ~TGeneratedRecording() {
        std::error_code ec;
        std::filesystem::remove(FPath, ec);
    }
    std::string Path() const { return FPath.string(); }

  private:
    std::filesystem::path FPath;
};

const TGeneratedRecording& Recording() {
    static const TGeneratedRecording recording;
    return recording;
}

// What a batch run does: open the input, check it for gaps.
void BM_FindFirstGap(benchmark::State& state) {
    const std::string path = Recording().Path();
    for (auto _ : state) {
        TEDFFile file;
        OpenForReading(file, path);
        if (FindFirstGap(file)) state.SkipWithError("a gap in a contiguous recording");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// Every annotation of the recording (the time keeping and 2880 others).
void BM_ReadAnnotations(benchmark::State& state) {
    const std::string path = Recording().Path();
    for (auto _ : state) {
        TEDFFile file;
        OpenForReading(file, path);
        if (ReadAnnotations(file).Annotations.size() != kRecords / 30)
            state.SkipWithError("annotations lost");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// For comparison: the same time keeping from whole records read one by one.
void BM_TimeKeepingFromWholeRecords(benchmark::State& state) {
    const std::string path = Recording().Path();
    for (auto _ : state) {
        TEDFFile file;
        OpenForReading(file, path);
        const TDynSmallIntArray& buffer = file.GetRecordBuffer();
        const size_t tals = static_cast<size_t>(file.Signal(kEEGSignals).SampleOffset());
        long double sum = 0;
        for (int32_t r = 0; r < file.NumberOfRecords(); ++r) {
            file.ReadRecord(r);
            std::string bytes(kAnnotationSamples * 2, '\0');
            for (size_t i = 0; i < kAnnotationSamples; ++i) {
                const auto u = static_cast<uint16_t>(buffer[tals + i]);
                bytes[2 * i] = static_cast<char>(u & 0xff);
                bytes[2 * i + 1] = static_cast<char>(u >> 8);
            }
            sum += ParseTalRecord(bytes).Start;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

}  // namespace

BENCHMARK(BM_FindFirstGap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAnnotations)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimeKeepingFromWholeRecords)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
