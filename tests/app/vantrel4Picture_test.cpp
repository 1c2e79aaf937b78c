// The night's picture through the real vantrel4: /PNG in a batch run and --plot, each picture
// checked for its size, for not being blank and for its "Title" text; the failures of both; and
// the title line shortened in the middle.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "BatchProcess.h"
#include "SharedData.h"
#include "app/uNightPicture.h"
#include "report/uResultsReader.h"
#include "report/uRunRecord.h"

namespace vantrel_test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Args(const std::string& results, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {"in.edf", "1",       results,  "1",   "1.5",
                                     "1.8",    "0.01666", "/BATCH", "/PNG"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

class Vantrel4Picture : public TRunFolderSuite {
  protected:
    static void SetUpTestSuite() {
        MakeFolder("vantrel-picture");
        MakeRecording("in.edf", "--duration=2h");
        ASSERT_EQ(Run(Args("night.cvn")).ExitCode, 0);
    }

    // 1600 x 1000, ink on a good part of it in many colours, and the title of its record.
    static void ExpectPicture(const fs::path& picture, const fs::path& results) {
        const QImage image(QString::fromStdString(picture.string()));
        ASSERT_FALSE(image.isNull()) << picture;
        EXPECT_EQ(image.size(), QSize(1600, 1000));
        std::set<QRgb> colours;
        int inked = 0, seen = 0;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3, ++seen) {
                const QRgb pixel = image.pixel(x, y);
                colours.insert(pixel);
                inked += qGray(pixel) < 240;
            }
        EXPECT_GT(colours.size(), 200u);
        EXPECT_GT(inked, seen / 10);
        const vantrel::TRunRecord record =
            vantrel::ReadRunRecord(vantrel::RunRecordFileName(results.string()));
        EXPECT_EQ(image.text(QStringLiteral("Title")).toStdString(),
                  vantrel::PictureTitle(record).Text());
    }
};

TEST_F(Vantrel4Picture, ABatchRunDrawsItsNight) {
    ExpectPicture(dir_ / "night.cvn.png", dir_ / "night.cvn");
    EXPECT_NE(ReadBytes(dir_ / "night.log").find("Drawing the night's picture"), std::string::npos);
}

// --plot draws the same picture from the finished results file, without any display.
TEST_F(Vantrel4Picture, PlotDrawsAnExistingResultsFile) {
    const std::string command = "cd '" + dir_.string() +
                                "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                                Vantrel4().string() + "' --plot night.cvn again.png";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ExpectPicture(dir_ / "again.png", dir_ / "night.cvn");
    EXPECT_EQ(ReadBytes(dir_ / "again.png"), ReadBytes(dir_ / "night.cvn.png"));
}

// A night with a real hypnogram: the run's picture shows its stages (the step line's colour is
// there), and --plot finds the same hypnogram through the run record.
TEST_F(Vantrel4Picture, TheHypnogramOfTheRun) {
    VANTREL_NEED_SHARED_DATA();
    const fs::path hypnogram =
        vantrel_test::SharedDataDir() / "hypnograms" / "hmc-sn001-hypnogram.edf";
    MakeRecording("hmc.edf", "--duration=1h --start='01.01.01 23.59.30'");
    const BatchRun run = Run({"hmc.edf", "1", "hmc.cvn", "1", "1.5", "1.8", "0.01666", "/BATCH",
                              "/PNG", "/HYPNOGRAM:" + hypnogram.string()});
    ASSERT_EQ(run.ExitCode, 0) << run.Stderr;
    ExpectPicture(dir_ / "hmc.cvn.png", dir_ / "hmc.cvn");
    const QImage image(QString::fromStdString((dir_ / "hmc.cvn.png").string()));
    int stageInk = 0;
    for (int y = 0; y < 250; ++y)
        for (int x = 0; x < 1300; ++x)
            stageInk += image.pixel(x, y) == qRgb(25, 40, 120);
    EXPECT_GT(stageInk, 2000);
    ASSERT_EQ(Run({"--plot", "hmc.cvn", "hmc-again.png"}).ExitCode, 0);
    EXPECT_EQ(ReadBytes(dir_ / "hmc-again.png"), ReadBytes(dir_ / "hmc.cvn.png"));
}

// A picture that cannot be written fails the run, which leaves its results file incomplete;
// --plot refuses what it cannot read and says when it cannot write.
TEST_F(Vantrel4Picture, Failures) {
    fs::create_directory(dir_ / "blocked.cvn.png");
    const BatchRun blocked = Run(Args("blocked.cvn"));
    EXPECT_EQ(blocked.ExitCode, 2);
    const std::string last = Lines(ReadBytes(dir_ / "blocked.log")).back();
    EXPECT_EQ(
        last.rfind("Cannot write the picture \"" + (dir_ / "blocked.cvn.png").string() + "\": ", 0),
        0u)
        << last;
    EXPECT_FALSE(vantrel::TResultsReader((dir_ / "blocked.cvn").string()).Complete());

    fs::copy_file(dir_ / "night.cvn", dir_ / "norecord.cvn");
    const struct {
        std::vector<std::string> Args;
        int ExitCode;
        std::string Message;
    } cases[] = {
        {{"--plot", "blocked.cvn"}, 2, "vantrel4: The results file blocked.cvn is incomplete"},
        {{"--plot", "norecord.cvn"}, 2, "vantrel4: No run record beside norecord.cvn"},
        {{"--plot", "night.cvn", "night.cvn"}, 2, "vantrel4: The picture \"night.cvn\" must not"},
        {{"--plot", "night.cvn", "/hypnogram:missing.txt"}, 2, "vantrel4: "},
        {{"--plot", "night.cvn", "no/such/folder.png"},
         3,
         "vantrel4: Cannot write the picture \"no/such/folder.png\": "},
        {{"--plot"}, 2, "vantrel4: usage: vantrel4 --plot RESULTS"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Args.back());
        const BatchRun run = Run(c.Args);
        EXPECT_EQ(run.ExitCode, c.ExitCode);
        EXPECT_EQ(Lines(run.Stderr).back().rfind(c.Message, 0), 0u) << run.Stderr;
    }
}

TEST(NightPictureTitle, ALongPathIsShortenedInTheMiddle) {
    const vantrel::TPictureTitle title{
        "/data/cohort/site-a/subject-0001/visit-2/polysomnography/night.edf",
        "signal 1 EEG C3-A2  \u00b7  F0 1 Hz"};
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(18);
    const QFontMetrics metrics(font);
    const QString whole = QString::fromStdString(title.Text());
    EXPECT_EQ(vantrel::ElidedTitle(title, font, metrics.horizontalAdvance(whole) + 10), whole);
    const int width = metrics.horizontalAdvance(whole) * 2 / 3;
    const QString elided = vantrel::ElidedTitle(title, font, width);
    EXPECT_LE(metrics.horizontalAdvance(elided), width);
    EXPECT_TRUE(elided.startsWith(QStringLiteral("/data/")));
    EXPECT_TRUE(elided.contains(QChar(0x2026)));
    EXPECT_TRUE(elided.endsWith(QString::fromStdString("night.edf  \u00b7  " + title.Details)));
}

}  // namespace
}  // namespace vantrel_test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
