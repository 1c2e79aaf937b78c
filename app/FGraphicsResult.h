// The results window: how piB was found. It plots the histogram of SS-SU codes, its moving sum,
// the correlation of that sum with the matching function, the matching function placed at the
// detected piB and a marker at piB, beside a legend and the analysis parameters.
//
// piB detection opens it once per run through ShowPiBHistogram:
//     ShowPiBHistogram(mainWindow, data, print, exportBmp, resultsFileName, batchMode);
// Interactively (neither print nor exportBmp) the window is modal until the user presses Ok.
// With print it goes to the default printer in landscape; with exportBmp the window's image is
// written beside the results file (PiBBitmapFileName). Batch runs never show anything on screen
// and never wait.
//
// The plot data is built by BuildResultPlot, a plain function that needs no window, so that the
// curves can be checked without showing anything.
#pragma once

#include <QChartView>
#include <QColor>
#include <QDialog>
#include <QLabel>
#include <QList>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/uVantrel4.h"
#include "support/uExceptions.h"

class QListWidget;
class QPrinter;
class QRubberBand;
class QValueAxis;

namespace vantrel {

// A failure of the results window: no printer, a bitmap that cannot be written, a matching
// function that cannot be evaluated. The run that asked for the window fails with it.
class EResultsWindowError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EResultsWindowError"; }
};

// Points of the matching-function curve: j = 0 .. 5999.
inline constexpr int kMatchingCurvePoints = 6000;
// Histogram bin i holds the SS-SU code i - kHistogramOffset.
inline constexpr int kHistogramOffset = 2000;

// One curve of the plot, in the order of the legend.
struct TResultCurve {
    QString LegendText;     // "SS-SU histogram", "Histogram sum", ...
    QColor Colour;          // line colour, also the legend's mark
    QList<QPointF> Points;  // ordered by x
    int Width = 1;          // pen width in pixels
    Qt::PenStyle Style = Qt::SolidLine;
};

// The plot's full view, in the units of the curves (x: SS-SU code, y: counts).
struct TVisibleRange {
    double XMin = 0, XMax = 0;
    double YMin = 0, YMax = 0;
};

// What the window draws.
struct TResultPlot {
    // The histogram, its sum, the correlation, the matching function (only for piB > 0) and
    // the piB marker, in this order: 5 curves, or 4 without the matching function.
    std::vector<TResultCurve> Curves;
    TVisibleRange Range;  // x -2000 .. 30000; y -1 - m .. H + m, m = 0.1 x (H - L)
};

// Builds the curves and the full view from what piB detection hands over. The three arrays must
// have the same length (32001 from the engine). matchingExpression is evaluated with the
// expression evaluator for the matching-function curve; a point where it fails (the removable
// gap of sin(2x)/(2x) at x = 0) takes the value just to its right. Raises EResultsWindowError
// when the expression cannot be parsed or evaluated, or the arrays are missing or unequal.
TResultPlot BuildResultPlot(const TPiBHistogramData& data,
                            const std::string& matchingExpression = pib::kMatchingExpression);

// "Histogram SU-SS and detected (LOG)piB (=1234)".
std::string PiBTitleText(int32_t piB);
// " File:<input file> Signal:<signal label>", appended to the title for print and bitmap.
std::string PiBTitleSuffix(const std::string& inputFileName, const std::string& signalLabel);
// The bitmap beside the results file: its name with every "." replaced by "_" and ".BMP"
// appended, in the same directory ("/data/s01.edf" -> "/data/s01_edf.BMP").
std::string PiBBitmapFileName(const std::string& resultsFileName);

// The graph: a chart view that zooms and pans with the right mouse button.
//   right drag            zooms into the rectangle dragged
//   Ctrl + right drag     pans
//   right click           back to the full view
//   mouse wheel           zooms in and out around the pointer, out no further than the full view
//   Shift                 shows the value under the pointer (the window passes the key on)
// Zooming and panning only change the axes' ranges; the curves are never rebuilt.
class TPiBChartView : public QChartView {
    Q_OBJECT
  public:
    explicit TPiBChartView(QWidget* parent = nullptr);

    // The axes and their full view; set once the curves are in the chart.
    void SetAxes(QValueAxis* axisX, QValueAxis* axisY, const TVisibleRange& full);
    void ResetView();                        // back to the full view
    void ZoomTo(const TVisibleRange& view);  // shows this range
    TVisibleRange CurrentView() const;
    // The tip with the value at the pointer (global position), when the pointer is over the
    // plot.
    void ShowValueTip(const QPoint& globalPos);

  protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    QPointF ValueAt(const QPoint& viewPos) const;

    QValueAxis* FAxisX = nullptr;
    QValueAxis* FAxisY = nullptr;
    TVisibleRange FFull;
    QRubberBand* FRubberBand = nullptr;
    QPoint FPressPos;
    TVisibleRange FPressView;
    bool FPanning = false;
    bool FRightDown = false;
};

// A one-line label with one part, a file path, that gives way: when the line is too narrow the
// path is shortened in the middle ("/tmp/coh…/visit-2/night.edf"). The line never wraps and the
// rest of it is never cut: its minimum width holds everything but the path.
class TElidedPathLabel : public QLabel {
    Q_OBJECT
  public:
    explicit TElidedPathLabel(QWidget* parent = nullptr);
    // head + path + tail is the text; only path is shortened.
    void SetParts(const QString& head, const QString& path, const QString& tail);
    QString FullText() const { return FHead + FPath + FTail; }
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void Fit();

    QString FHead, FPath, FTail;
};

// The results window, titled "Results". Created hidden; ShowPiBHistogram drives it.
class TFormGraphResult : public QDialog {
    Q_OBJECT
  public:
    explicit TFormGraphResult(QWidget* owner = nullptr);

    // Labelf0, LabelB, Labelfc, LabelSm (general format, 15 digits) and LabelUs ("%d").
    void SetParameters(const TAnalysisParam& params);
    void SetTitle(const std::string& text);
    // Appends PiBTitleSuffix to the title, as a second line under the piB line (LabelFile):
    // the file's path is what gives way when the window is narrow, piB never does.
    void AppendFileToTitle(const std::string& inputFileName, const std::string& signalLabel);
    // Puts the curves into the graph (each replaced in one step), sets the full view and
    // fills the legend with one item per curve.
    void SetPlot(const TResultPlot& plot);

    // Lays the window out at its current size without showing it on screen, so that it can be
    // printed or saved by a run nobody watches.
    void PrepareOffScreen();
    // Draws the window onto the printer's page, scaled to fit and centred.
    void PrintOn(QPrinter& printer);
    // The default printer, in landscape when asked. Raises EResultsWindowError when there is
    // none or printing fails; whatFor completes the message ("No printer available for ...").
    void PrintOnDefaultPrinter(bool landscape, const std::string& whatFor);
    // The window's client image at its size, written as a BMP file (overwritten). Raises
    // EResultsWindowError with the file name and the system's reason when it cannot be written.
    void SaveBitmap(const std::string& fileName);

    TPiBChartView* Graph() const { return FGraph; }
    QString TitleText() const;  // in full, as PiBTitleText and PiBTitleSuffix give it

  protected:
    // Shift over the plot shows the value under the pointer at once; its release hides it.
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private slots:
    void ButtonOkClick();
    void Button1Click();  // "Print": the window as it is, on the default printer

  private:
    QLabel* FLabelTitle = nullptr;
    TElidedPathLabel* FLabelFile = nullptr;
    TPiBChartView* FGraph = nullptr;
    QListWidget* FLegend = nullptr;
    QLabel* FLabelf0 = nullptr;
    QLabel* FLabelB = nullptr;
    QLabel* FLabelfc = nullptr;
    QLabel* FLabelSm = nullptr;
    QLabel* FLabelUs = nullptr;
};

// Shows, prints and/or exports the piB histogram (see the top of this file). Returns when the
// window has been closed, or printed and exported; the window is released on every path.
// Raises EResultsWindowError: "No printer available for /PRINTPIB", a bitmap that cannot be
// written, a matching function that cannot be evaluated.
void ShowPiBHistogram(QWidget* owner, const vantrel::TPiBHistogramData& data, bool print,
                      bool exportBmp, const std::string& resultsFileName, bool batchMode);

}  // namespace vantrel
