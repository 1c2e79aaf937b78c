// The results window on Qt's offscreen platform: the curves it builds, its labels, its full
// view, the bitmap it writes and the failures it raises.
#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTimer>
#include <QWheelEvent>

#include <filesystem>
#include <fstream>

#include "app/FGraphicsResult.h"

using namespace vantrel;
namespace fs = std::filesystem;

namespace {

constexpr int kBins = 32001;

// A histogram with two full bins at codes 1000 and 1001 (H = 20, L = 0, so m = 2), a sum whose
// largest value over 2 x 91 + 1 is 5, and a correlation whose largest magnitude is 4.
struct TSampleData {
    std::vector<int32_t> histogram = std::vector<int32_t>(kBins, 0);
    std::vector<int32_t> sum = std::vector<int32_t>(kBins, 0);
    std::vector<double> correlation = std::vector<double>(kBins, 0.0);
    TPiBHistogramData data;

    explicit TSampleData(int32_t piB) {
        histogram[0] = 1;
        histogram[3000] = 10;
        histogram[3001] = 20;
        histogram[32000] = 3;
        sum[0] = 366;
        sum[3001] = 915;
        correlation[0] = -4;
        correlation[32000] = 2;
        data.Histogram = &histogram;
        data.HistogramSum = &sum;
        data.Correlation = &correlation;
        data.MatchingPeak = 3999;
        data.HalfWidth = 91;
        data.PiB = piB;
        data.InputFileName = "/data/night1.edf";
        data.SignalLabel = "EEG Fpz-Cz";
        data.Params = {"/data/night1.edf", 0, "/data/out.cvn", 1, 1.5, 1.8, 0.01666, 2};
    }
};

fs::path FreshDir(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("vantrel_results_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

}  // namespace

TEST(ResultsWindow, BuildsTheCurvesInOrder) {
    const TResultPlot plot = BuildResultPlot(TSampleData(1000).data);
    const struct {
        const char* legend;
        QRgb colour;
        qsizetype count;
        QPointF first, last;
    } expected[] = {
        {"SS-SU histogram", 0xFF0000, kBins, {-2000, 1}, {30000, 3}},
        {"Histogram sum", 0x00FFFF, kBins, {-2000, 2}, {30000, 0}},
        {"Correlation coefficient", 0x0000FF, kBins, {-2000, -1}, {30000, 0.5}},
        // x from piB - peak; f(-2 pi) = (2/3) x (-0.5894); scaled by the largest sum value 5.
        {"Matching function", 0x000000, 6000, {-2999, -0.5894 * 2 / 3 * 5}, {3000, 0}},
        {"piB", 0xFFFFFF, 2, {1000, 0}, {1000.01, 22}},
    };
    ASSERT_EQ(plot.Curves.size(), std::size(expected));
    for (size_t i = 0; i < plot.Curves.size(); ++i) {
        const TResultCurve& c = plot.Curves[i];
        SCOPED_TRACE(expected[i].legend);
        EXPECT_EQ(c.LegendText, expected[i].legend);
        EXPECT_EQ(c.Colour.rgb() & 0xFFFFFF, expected[i].colour);
        ASSERT_EQ(c.Points.size(), expected[i].count);
        EXPECT_DOUBLE_EQ(c.Points.front().x(), expected[i].first.x());
        EXPECT_NEAR(c.Points.front().y(), expected[i].first.y(), 1e-12);
        EXPECT_DOUBLE_EQ(c.Points.back().x(), expected[i].last.x());
        EXPECT_NEAR(c.Points.back().y(), expected[i].last.y(), 1e-12);
    }
    // Sample 4000 of the matching function is its peak, sin(2x)/(2x) at x = 0, scaled to 5.
    EXPECT_EQ(plot.Curves[3].Points[4000], QPointF(1001, 5));
}

TEST(ResultsWindow, LeavesOutTheMatchingFunctionWithoutAPositivePiB) {
    for (int32_t piB : {0, -7}) {
        const TResultPlot plot = BuildResultPlot(TSampleData(piB).data);
        ASSERT_EQ(plot.Curves.size(), 4u) << piB;
        EXPECT_EQ(plot.Curves[2].LegendText, "Correlation coefficient");
        EXPECT_EQ(plot.Curves[3].LegendText, "piB");
        EXPECT_EQ(plot.Curves[3].Points.front(), QPointF(piB, 0));
    }
}

TEST(ResultsWindow, FullViewSpansTheHistogram) {
    const struct {
        const char* name;
        std::vector<int32_t> bins;  // full bins from index 0; the rest hold `rest`
        int32_t rest;
        TVisibleRange range;
    } cases[] = {
        {"two full bins", {1, 0, 20}, 0, {-2000, 30000, -3, 22}},  // m = 2
        {"empty", {}, 0, {-2000, 30000, -1, 0}},
        {"flat", {}, 7, {-2000, 30000, -1, 7}},  // H = L: m = 0
    };
    for (const auto& c : cases) {
        TSampleData sample(100);
        std::fill(sample.histogram.begin(), sample.histogram.end(), c.rest);
        std::copy(c.bins.begin(), c.bins.end(), sample.histogram.begin());
        std::fill(sample.correlation.begin(), sample.correlation.end(), 0.0);  // M = 0 too
        const TResultPlot plot = BuildResultPlot(sample.data);
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(plot.Range.XMin, c.range.XMin);
        EXPECT_DOUBLE_EQ(plot.Range.XMax, c.range.XMax);
        EXPECT_DOUBLE_EQ(plot.Range.YMin, c.range.YMin);
        EXPECT_DOUBLE_EQ(plot.Range.YMax, c.range.YMax);
        EXPECT_EQ(plot.Curves[2].Points[0].y(), 0.0);  // all-zero correlation stays 0

        // The window shows the full view, and comes back to it after zooming.
        TFormGraphResult form;
        form.SetPlot(plot);
        form.PrepareOffScreen();
        form.Graph()->ZoomTo({0, 10, 0.5, 1});
        EXPECT_DOUBLE_EQ(form.Graph()->CurrentView().XMax, 10);
        EXPECT_DOUBLE_EQ(form.Graph()->CurrentView().YMin, 0.5);
        form.Graph()->ResetView();
        EXPECT_DOUBLE_EQ(form.Graph()->CurrentView().YMax, c.range.YMax);
        EXPECT_DOUBLE_EQ(form.Graph()->CurrentView().XMin, c.range.XMin);

        // Turning the wheel out, anywhere, ends at the full view.
        form.Graph()->ZoomTo({0, 8000, c.range.YMin, c.range.YMax});
        const QPointF corner(form.Graph()->viewport()->width() - 5, 5);
        QWheelEvent out(corner, form.Graph()->viewport()->mapToGlobal(corner), {}, {0, -120},
                        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        for (int turn = 0; turn < 10; ++turn)
            QCoreApplication::sendEvent(form.Graph()->viewport(), &out);
        EXPECT_DOUBLE_EQ(form.Graph()->CurrentView().XMin, c.range.XMin);
        EXPECT_DOUBLE_EQ(form.Graph()->CurrentView().XMax, c.range.XMax);
        EXPECT_DOUBLE_EQ(form.Graph()->CurrentView().YMin, c.range.YMin);
        EXPECT_DOUBLE_EQ(form.Graph()->CurrentView().YMax, c.range.YMax);
    }
}

TEST(ResultsWindow, GraphAndLegendHoldTheCurves) {
    const TResultPlot plot = BuildResultPlot(TSampleData(1000).data);
    TFormGraphResult form;
    form.SetPlot(plot);
    const QList<QAbstractSeries*> series = form.Graph()->chart()->series();
    const auto* legend = form.findChild<QListWidget*>("Legend");
    ASSERT_EQ(series.size(), 5);
    ASSERT_EQ(legend->count(), 5);
    for (int i = 0; i < 5; ++i) {
        const auto* line = static_cast<QLineSeries*>(series[i]);
        EXPECT_EQ(line->name(), plot.Curves[i].LegendText);
        EXPECT_EQ(legend->item(i)->text(), plot.Curves[i].LegendText);
        EXPECT_EQ(line->color(), plot.Curves[i].Colour);
        EXPECT_EQ(line->count(), plot.Curves[i].Points.size());
    }
}

TEST(ResultsWindow, ParameterLabels) {
    const struct {
        TAnalysisParam params;
        const char* f0;
        const char* b;
        const char* fc;
        const char* sm;
        const char* us;
    } cases[] = {
        {{"", 0, "", 1, 1.5, 1.8, 0.01666, 2}, "1", "1.5", "1.8", "0.01666", "2"},
        {{"", 0, "", 1.0 / 3, 12.5, 0.00001, 1e20, 13},
         "0.333333333333333",
         "12.5",
         "1E-5",
         "1E20",
         "13"},
    };
    for (const auto& c : cases) {
        TFormGraphResult form;
        form.SetParameters(c.params);
        const auto text = [&](const char* name) {
            return form.findChild<QLabel*>(name)->text().toStdString();
        };
        EXPECT_EQ(text("Labelf0"), c.f0);
        EXPECT_EQ(text("LabelB"), c.b);
        EXPECT_EQ(text("Labelfc"), c.fc);
        EXPECT_EQ(text("LabelSm"), c.sm);
        EXPECT_EQ(text("LabelUs"), c.us);
    }
}

TEST(ResultsWindow, TitleTexts) {
    EXPECT_EQ(PiBTitleText(1234), "Histogram SU-SS and detected (LOG)piB (=1234)");
    EXPECT_EQ(PiBTitleText(-5), "Histogram SU-SS and detected (LOG)piB (=-5)");
    EXPECT_EQ(PiBTitleText(1234) + PiBTitleSuffix("/d/n1.edf", "EEG Fpz-Cz"),
              "Histogram SU-SS and detected (LOG)piB (=1234) File:/d/n1.edf Signal:EEG Fpz-Cz");
}

TEST(ResultsWindow, TitleShortensThePathNeverPiB) {
    const std::string path =
        "/tmp/cohort-2024-sleep-study-department-of-clinical-neurophysiology/participant-0042/"
        "visit-2/night.edf";
    TFormGraphResult form;
    form.SetTitle(PiBTitleText(22201));
    form.AppendFileToTitle(path, "EEG C3-A2");
    EXPECT_EQ(form.TitleText().toStdString(),
              PiBTitleText(22201) + PiBTitleSuffix(path, "EEG C3-A2"));
    form.PrepareOffScreen();
    EXPECT_EQ(form.size(), QSize(624, 503));  // the window as designed holds the title
    const auto* piB = form.findChild<QLabel*>("LabelTitle");
    const auto* file = form.findChild<QLabel*>("LabelFile");
    const struct {
        int width;  // 1: as narrow as the window goes
        const char* pathEnd;
        bool shortened;
    } cases[] = {{624, "/visit-2/night.edf", true}, {1, "", true}, {2000, path.c_str(), false}};
    for (const auto& c : cases) {
        form.resize(c.width, form.height());
        QCoreApplication::processEvents();
        SCOPED_TRACE(file->text().toStdString());
        EXPECT_EQ(piB->text(), "Histogram SU-SS and detected (LOG)piB (=22201)");
        EXPECT_TRUE(file->text().startsWith("File:/"));
        EXPECT_TRUE(file->text().endsWith(QString(c.pathEnd) + " Signal:EEG C3-A2"));
        EXPECT_EQ(file->text().contains(QChar(0x2026)), c.shortened);
        for (const QLabel* line : {piB, file}) {  // one line each, none cut
            EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()),
                      line->contentsRect().width());
            EXPECT_LE(line->height(), line->fontMetrics().height() * 3 / 2);
        }
    }
}

TEST(ResultsWindow, InteractiveWindowIsModalUntilOk) {
    QString windowTitle, title;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        windowTitle = modal->windowTitle();
        title = modal->findChild<QLabel*>("LabelTitle")->text();
        modal->findChild<QPushButton*>("ButtonOk")->click();
    });
    poll.start(20);
    ShowPiBHistogram(nullptr, TSampleData(1234).data, false, false, "out.cvn", false);
    EXPECT_EQ(windowTitle, "Results");
    EXPECT_EQ(title, "Histogram SU-SS and detected (LOG)piB (=1234)");  // no file, no signal
}

TEST(ResultsWindow, BitmapFileName) {
    const struct {
        const char* results;
        const char* bitmap;
    } cases[] = {
        {"/r/night1.edf", "/r/night1_edf.BMP"},
        {"/r/a.b.edf", "/r/a_b_edf.BMP"},
        {"out.cvn", "out_cvn.BMP"},
        {"/dir.x/noext", "/dir.x/noext.BMP"},  // dots of the directory stay
    };
    for (const auto& c : cases)
        EXPECT_EQ(PiBBitmapFileName(c.results), c.bitmap) << c.results;
}

TEST(ResultsWindow, BatchBitmapIsABmpOfTheWindowsSize) {
    const fs::path dir = FreshDir("bmp");
    const fs::path bitmap = dir / "out_cvn.BMP";
    std::ofstream(bitmap) << "an older file";  // overwritten
    const TSampleData sample(1000);
    ShowPiBHistogram(nullptr, sample.data, false, true, (dir / "out.cvn").string(), true);

    QFile file(QString::fromStdString(bitmap.string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(2), "BM");
    const QImage image(QString::fromStdString(bitmap.string()), "BMP");
    EXPECT_EQ(image.size(), TFormGraphResult().size());
    EXPECT_FALSE(image.isNull());
    fs::remove_all(dir);
}

TEST(ResultsWindow, PrintsOntoALandscapePage) {
    const fs::path pdf = FreshDir("print") / "page.pdf";
    TFormGraphResult form;
    form.SetPlot(BuildResultPlot(TSampleData(1000).data));
    form.PrepareOffScreen();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    printer.setPageOrientation(QPageLayout::Landscape);
    form.PrintOn(printer);
    QFile file(QString::fromStdString(pdf.string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(4), "%PDF");
    fs::remove_all(pdf.parent_path());
}

TEST(ResultsWindow, Failures) {
    const TSampleData sample(1000);
    const std::string missingDir = (FreshDir("fail") / "no such dir" / "out.cvn").string();
    const auto message = [](const auto& action) -> std::string {
        try {
            action();
        } catch (const EResultsWindowError& e) {
            return e.what();
        }
        return "(nothing raised)";
    };

    const std::string bmp =
        message([&] { ShowPiBHistogram(nullptr, sample.data, false, true, missingDir, true); });
    EXPECT_NE(bmp.find("no such dir/out_cvn.BMP"), std::string::npos) << bmp;
    EXPECT_NE(bmp.find("No such file or directory"), std::string::npos) << bmp;

    EXPECT_NE(message([&] { BuildResultPlot(sample.data, "sin(x"); }).find("cannot be parsed"),
              std::string::npos);
    EXPECT_NE(message([&] {
                  BuildResultPlot(sample.data, "ln(x-100)");
              }).find("Matching function cannot be evaluated at x = "),
              std::string::npos);

    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer";
    EXPECT_EQ(message([&] { ShowPiBHistogram(nullptr, sample.data, true, false, "o.cvn", true); }),
              "No printer available for /PRINTPIB");
}

int main(int argc, char** argv) {
    // Nothing here may need a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
