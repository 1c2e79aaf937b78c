// The shell's file names, the batch log, header texts, prefiltering values and the signal list.
#include "app/uShellTools.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "SharedData.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ShellFiles, NamesOfOneRun) {
    const struct {
        const char* Field;
        const char* Completed;
        const char* Log;
    } cases[] = {
        {"night.cvn", "/data/a/night.cvn", "night.log"},
        {"../r/x.cvn", "/data/r/x.cvn", "../r/x.log"},
        {" /r/a.b.edf ", "/r/a.b.edf ", "/r/a.b.log"},
        {"/r.d/noext", "/r.d/noext", "/r.d/noext.log"},
        {"", "", "/data/a/Error.log"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(vantrel::CompleteOutputFileName(c.Field, "/data/a"), c.Completed) << c.Field;
        EXPECT_EQ(vantrel::BatchLogFileName(c.Field, "/data/a"), c.Log) << c.Field;
    }
    EXPECT_EQ(vantrel::BitmapFileName("/r/night1.edf"), "/r/night1_edf.BMP");
    EXPECT_EQ(vantrel::BitmapFileName("/r.x/a.b.edf"), "/r.x/a_b_edf.BMP");
}

TEST(ShellFiles, SameFileByAnyPathOrLink) {
    const fs::path dir = fs::temp_directory_path() / "vantrel_samefile_test";
    fs::remove_all(dir);
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "in.edf") << "x";
    fs::create_hard_link(dir / "in.edf", dir / "hard.edf");
    fs::create_symlink(dir / "in.edf", dir / "soft.edf");
    const std::string in = (dir / "in.edf").string();
    EXPECT_TRUE(vantrel::SameFile(in, (dir / "sub" / ".." / "in.edf").string()));
    EXPECT_TRUE(vantrel::SameFile(in, (dir / "hard.edf").string()));
    EXPECT_TRUE(vantrel::SameFile(in, (dir / "soft.edf").string()));
    EXPECT_FALSE(vantrel::SameFile(in, (dir / "out.cvn").string()));
    EXPECT_TRUE(vantrel::SameFile((dir / "new.cvn").string(), (dir / "sub/../new.cvn").string()));
    fs::remove_all(dir);
}

TEST(ShellFiles, BatchLogIsAppendedWithCrLf) {
    const fs::path log = fs::temp_directory_path() / "vantrel_batchlog_test.log";
    fs::remove(log);
    std::string error;
    ASSERT_TRUE(vantrel::WriteBatchLog({"--- BATCH mode ---", "a"}, log.string(), error));
    ASSERT_TRUE(vantrel::WriteBatchLog({"b"}, log.string(), error));
    EXPECT_EQ(ReadAll(log), "--- BATCH mode ---\r\na\r\nb\r\n");
    fs::remove(log);
    EXPECT_FALSE(vantrel::WriteBatchLog({"x"}, "/nonexistent-dir/x.log", error));
    EXPECT_EQ(error,
              "Cannot write the batch log \"/nonexistent-dir/x.log\": No such file or directory");
}

TEST(ShellHeaderTexts, Utf8OrLatin1) {
    EXPECT_EQ(vantrel::HeaderTextForDisplay("C3 Imp\xC3\xA9"
                                            "dance"),
              "C3 Imp\xC3\xA9"
              "dance");
    EXPECT_EQ(vantrel::HeaderTextForDisplay("C3 Imp\xE9"
                                            "dance"),
              "C3 Imp\xC3\xA9"
              "dance");
    EXPECT_EQ(vantrel::HeaderTextForDisplay("\xC0\xAF"), "\xC3\x80\xC2\xAF");  // overlong
    EXPECT_TRUE(vantrel::IsAnnotationLabel("EDF Annotations "));
    EXPECT_FALSE(vantrel::IsAnnotationLabel("EEG Fpz-Cz"));
}

TEST(ShellHeaderTexts, FiltersFromPrefiltering) {
    const struct {
        const char* Text;
        const char* LP;
        const char* HP;
    } cases[] = {
        {"HP:0.5Hz LP:70Hz", "70", "0.5"},
        {"HP:0.1Hz DIGITAL FIR LP AT 30HZ LP:35Hz", "30", "0.1"},
        {"LP:70", "", ""},
        {"LP:30.00Hz HP:0.30Hz NOTCH:50", "30.00", "0.30"},
        {"hp: 0,3 hz lp:abcHz", "", "0,3"},
        {"DC", "", ""},
    };
    for (const auto& c : cases) {
        const vantrel::TPrefilterValues values = vantrel::FiltersFromPrefilter(c.Text);
        EXPECT_EQ(values.LP, c.LP) << c.Text;
        EXPECT_EQ(values.HP, c.HP) << c.Text;
    }
}

TEST(ShellSignalList, RealRecording) {
    VANTREL_NEED_SHARED_DATA();
    std::ostringstream out;
    std::string error;
    const fs::path file = vantrel_test::SharedDataDir() / "sleepedf-sc4001-5min.edf";
    ASSERT_TRUE(vantrel::ListSignals(file.string(), out, error)) << error;
    EXPECT_EQ(out.str().substr(0, out.str().find('\n')),
              "1\tEEG Fpz-Cz\t100 Hz\tHP:0.5Hz LP:100Hz [enhanced cassette BW]");
    EXPECT_NE(out.str().find("\n4\tResp oro-nasal\t1 Hz\tHP:0.03Hz LP:0.9Hz\n"), std::string::npos);
    EXPECT_FALSE(vantrel::ListSignals("/nonexistent.edf", out, error));
}

}  // namespace
