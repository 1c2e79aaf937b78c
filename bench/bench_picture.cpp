// The night's picture of a generated 24-hour night (tools/make-recording --duration=24h,
// analysed once by vantrel4 with the slow-wave parameters):
//   BM_PictureData  the results file read once and reduced to the picture's 1174 columns, its
//                   histogram and its axis ranges (report/, in this process);
//   BM_Plot         the whole "vantrel4 --plot RESULTS OUT.png" as a person runs it: the
//                   program and the window program started, the record read, the night
//                   reduced, drawn on the offscreen platform and written as PNG.
// The goal: a 24-hour night drawn in under half a second (BM_Plot). The night and its results
// are made once in $VANTREL_BENCH_DIR (default: the temporary directory) and removed at the end.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "BenchDir.h"
#include "report/uNightPictureData.h"
#include "report/uSummary.h"

using namespace vantrel;

namespace {

class TNight {
  public:
    TNight() {
        Dir = BenchDir() / ("vantrel-picture-" + std::to_string(::getpid()));
        std::filesystem::create_directories(Dir);
        Results = (Dir / "night.cvn").string();
        const std::string input = (Dir / "night.edf").string();
        const std::string make = std::string(VANTREL_TOOLS_DIR) +
                                 "/make-recording --duration=24h --seed=1 '" + input + "'";
        const std::string analyse = std::string(VANTREL4_PATH) + " '" + input + "' 1 '" + Results +
                                    "' 1 1.5 1.8 0.01666 /BATCH >/dev/null 2>&1";
        if (std::system((make + " >/dev/null").c_str()) != 0 || std::system(analyse.c_str()) != 0)
            throw std::runtime_error("the night could not be made and analysed");
        Record = ReadableResultsRecord(Results);
    }
    ~TNight() {
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    std::filesystem::path Dir;
    std::string Results;
    TRunRecord Record;
};

TNight& Night() {
    static TNight night;
    return night;
}

void BM_PictureData(benchmark::State& state) {
    TNight& night = Night();
    for (auto _ : state) {
        TResultsReader reader(night.Results);
        benchmark::DoNotOptimize(ReadNightPictureData(reader, night.Record, 1174, std::nullopt));
    }
}
BENCHMARK(BM_PictureData)->Unit(benchmark::kMillisecond);

// CPU seconds (user and system) of the finished child processes so far.
double ChildrenCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Wall time, and the program's own CPU time as the counter "cpu_ms": on a machine shared with
// other work the wall time stretches, the CPU time much less.
void BM_Plot(benchmark::State& state) {
    TNight& night = Night();
    const std::string command = std::string(VANTREL4_PATH) + " --plot '" + night.Results + "' '" +
                                (night.Dir / "picture.png").string() + "'";
    const double before = ChildrenCpuSeconds();
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("vantrel4 --plot failed");
    state.counters["cpu_ms"] = benchmark::Counter((ChildrenCpuSeconds() - before) * 1000 /
                                                  static_cast<double>(state.iterations()));
}
BENCHMARK(BM_Plot)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
