// tools/make-recording, the generator of the engine tests' long recordings, run as a program.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <algorithm>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "Recordings.h"
#include "edf/uEDFTools.h"

using namespace vantrel_test;

namespace {

int ExitStatus(const std::string& arguments) {
    const std::string command =
        std::string(VANTREL_TOOLS_DIR) + "/make-recording " + arguments + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(MakeRecording, ExitStatus) {
    ScratchDir dir;
    const struct {
        std::string arguments;
        int status;
    } cases[] = {
        {"--help", 0},
        {"--duration=10s " + dir.File("a.edf"), 0},
        {"--bogus " + dir.File("b.edf"), 1},
        {"--rate=100 --record=0.015 " + dir.File("c.edf"), 1},  // 1.5 samples a record
        {"--digital=0:70000 " + dir.File("d.edf"), 1},
        {"", 1},
        {"--duration=10s /no/such/dir/e.edf", 2},
        {"--content sines --duration=10s " + dir.File("f.edf"), 0},
        {"--content=noise --duration=10s " + dir.File("g.edf"), 1},
        {"--duration=10s " + dir.File("h.edf") + " --content", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExitStatus(c.arguments), c.status) << c.arguments;
}

TEST(MakeRecording, SameSeedSameBytesWithTheArtifacts) {
    ScratchDir dir;
    const std::string options = "--duration=20m --signals=3 --rate=128 --record=2 --seed=7 ";
    MakeRecording(dir.File("a.edf"), options);
    MakeRecording(dir.File("b.edf"), options);
    MakeRecording(dir.File("c.edf"), "--duration=20m --signals=3 --rate=128 --record=2 --seed=8");
    EXPECT_EQ(FileBytes(dir.File("a.edf")), FileBytes(dir.File("b.edf")));
    EXPECT_NE(FileBytes(dir.File("a.edf")), FileBytes(dir.File("c.edf")));
    ASSERT_TRUE(vantrel::IsValidEDFFile(dir.File("a.edf"), true));

    // The EEG: a flat stretch of 14.4 s from 30 % and a saturated one from 55 % of the night.
    vantrel::TEDFFile file;
    file.SetFileName(dir.File("a.edf"));
    file.SetReadOnly(true);
    file.SetActive(true);
    ASSERT_EQ(file.NumberOfRecords(), 600);
    EXPECT_EQ(file.Signal(0).Prefiltering(), "HP:0.5Hz LP:35Hz");
    auto eegRecord = [&](int32_t j) {
        file.ReadRecord(j);
        const auto& buffer = file.GetRecordBuffer();
        return std::vector<int16_t>(buffer.begin(), buffer.begin() + 256);
    };
    const auto flat = eegRecord(181);       // 362 .. 364 s
    const auto saturated = eegRecord(331);  // 662 .. 664 s
    const auto normal = eegRecord(10);
    EXPECT_TRUE(std::all_of(flat.begin(), flat.end(), [&](int16_t v) { return v == flat[0]; }));
    EXPECT_TRUE(
        std::all_of(saturated.begin(), saturated.end(), [](int16_t v) { return v == 32767; }));
    EXPECT_GT(std::set<int16_t>(normal.begin(), normal.end()).size(), 50u);
}

// --content=sines: signal 1's slow waves swell and fade every 5 minutes over a steady 10 Hz
// rhythm; the other signals are uniform noise within their level (12 uV for signal 2).
TEST(MakeRecording, SinesContent) {
    ScratchDir dir;
    MakeRecording(dir.File("s.edf"), "--duration=5m --signals=2 --rate=100 --content=sines");
    vantrel::TEDFFile file;
    file.SetFileName(dir.File("s.edf"));
    file.SetReadOnly(true);
    file.SetActive(true);
    ASSERT_EQ(file.NumberOfRecords(), 300);
    constexpr double kDigitalPerMicrovolt = 65535 / 500.0;
    auto largest = [&](int32_t record, int signal) {
        file.ReadRecord(record);
        const auto& buffer = file.GetRecordBuffer();
        int largest = 0;
        for (int s = 0; s < 100; ++s)  // 0 uV is digital -0.5: +-1 is within the rounding
            largest = std::max(largest, std::abs(2 * buffer[signal * 100 + s] + 1) / 2);
        return largest / kDigitalPerMicrovolt;
    };
    EXPECT_LT(largest(0, 0), 40);    // the envelope is 0: 15 uV of 10 Hz and noise
    EXPECT_GT(largest(150, 0), 80);  // at its top: 80 uV of slow wave besides
    for (int32_t record : {0, 150, 299})
        EXPECT_LE(largest(record, 1), 12.01);
}

}  // namespace
