// The real program in batch mode with "/BMP" and no display: it must write the results file, its
// log and the histogram bitmap without showing or waiting for anything.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "SharedData.h"

namespace fs = std::filesystem;

namespace {

int32_t LittleEndian32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return static_cast<int32_t>(value);
}

}  // namespace

TEST(Vantrel4Batch, BmpWithoutADisplay) {
    VANTREL_NEED_SHARED_DATA();
    const fs::path input = vantrel_test::SharedDataDir() / "sleepedf-sc4001-5min.edf";
    const fs::path dir = fs::temp_directory_path() / "vantrel4_batch_bmp";
    fs::remove_all(dir);
    fs::create_directories(dir);

    // No display of any kind: the program has to render off screen by itself.
    const std::string command =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 600 '" +
        std::string(VANTREL4_EXE) + "' '" + input.string() + "' 1 '" + (dir / "out.cvn").string() +
        "' 1 1.5 1.8 0.01666 /BATCH /OVERWRITE /BMP </dev/null >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    EXPECT_TRUE(fs::is_regular_file(dir / "out.cvn"));
    std::ifstream log(dir / "out.log");
    const std::string logText((std::istreambuf_iterator<char>(log)), {});
    EXPECT_NE(logText.find("Exporting PiB histogram to BMP"), std::string::npos) << logText;

    std::ifstream bmp(dir / "out_cvn.BMP", std::ios::binary);
    const std::string header((std::istreambuf_iterator<char>(bmp)), {});
    ASSERT_GE(header.size(), 26u);
    EXPECT_EQ(header.substr(0, 2), "BM");
    // The window's design size at least (width and height of the bitmap's info header).
    EXPECT_GE(LittleEndian32(header, 18), 624);
    EXPECT_GE(std::abs(LittleEndian32(header, 22)), 503);
    fs::remove_all(dir);
}
