// The results file of a whole batch run (RunAnalysis) on generated recordings, pinned by a
// checksum recorded before any speed-up of the engine. Every speed-up (reading only the
// analysed signal, the filter loops, the match curve, the code tables) must leave these bytes
// exactly as they were.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "FakeWindows.h"
#include "analysis/uVantrel4.h"
#include "analysis/uVantrel4Codes.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// FNV-1a, 64 bits, over the file's bytes. The recording field of the main header (bytes
// 88 .. 167) names the input file, whose temporary path changes from run to run: it is left out.
uint64_t ResultsChecksum(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i >= 88 && i < 168) continue;
        hash = (hash ^ static_cast<uint8_t>(bytes[i])) * 1099511628211ull;
    }
    return hash;
}

struct TChecksumCase {
    const char* Recording;  // make-recording options
    int32_t Signal;         // 0-based
    double F0, B, Fc, Rate;
    int32_t Factor;
    uint64_t Checksum;  // recorded before tuning
};

TEST(ResultsChecksum, GeneratedRecordingsGiveTheRecordedBytes) {
    const TChecksumCase cases[] = {
        // 20 signals of 256 Hz in 1 s records, the first analysed; 51.2 Hz closes seconds by
        // the time accumulator.
        {"--duration=2h --signals=20 --seed=14", 0, 1, 1.5, 1.8, 0.01666, 5, 0x19351256aaf06ae8},
        // A later signal of a 100 Hz recording in 30 s records; 50 Hz closes seconds by count.
        {"--duration=2h --signals=3 --rate=100 --record=30 --seed=5", 1, 10, 3.5, 1.8, 0.05, 2,
         0x2cd8c7625c010753},
    };
    std::string dir = (fs::temp_directory_path() / "vantrel-checksum-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    for (const TChecksumCase& c : cases) {
        SCOPED_TRACE(c.Recording);
        const std::string input = dir + "/in" + std::to_string(&c - cases) + ".edf";
        const std::string command =
            std::string(VANTREL_TOOLS_DIR) + "/make-recording " + c.Recording + " " + input;
        ASSERT_EQ(std::system(command.c_str()), 0);
        testing::TScopedFakeRun run(true);
        const std::string output = dir + "/out" + std::to_string(&c - cases) + ".cvn";
        ASSERT_TRUE(RunAnalysis(input, c.Signal, output, c.F0, c.B, c.Fc, c.Rate, c.Factor, true,
                                false, false, &run.Progress));
        char hex[20];
        std::snprintf(hex, sizeof hex, "%016llx",
                      static_cast<unsigned long long>(ResultsChecksum(output)));
        EXPECT_EQ(ResultsChecksum(output), c.Checksum) << "checksum " << hex;
    }
    fs::remove_all(dir);
}

// The code table the build generated is the one the program would compute at its start, entry
// for entry (bit for bit: equal values could still differ in a zero's sign).
TEST(ResultsCodeTable, GeneratedTableIsTheOneBuiltAtRunTime) {
    const TLogFloatTable built(results::kLogFloatY0, results::kLogFloatA);
    for (int c = 0; c <= kLogFloatMaxCode; ++c) {
        const double boundary = built.Boundary(c);
        ASSERT_EQ(std::memcmp(&results::kCodeBoundaries[c], &boundary, sizeof(double)), 0)
            << "boundary of code " << c;
    }
    for (int32_t d = 0; d <= kLogFloatMaxCode + 1; ++d) {
        const long double value = built.Value(d);
        ASSERT_EQ(std::memcmp(&results::kCodeValues[d], &value, 10), 0) << "value of code " << d;
    }
}

}  // namespace
}  // namespace vantrel
