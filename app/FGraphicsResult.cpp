#include "app/FGraphicsResult.h"

#include <QChart>
#include <QCursor>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRubberBand>
#include <QSaveFile>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <numbers>

#include "expr/uExprParser.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

// The window's size as designed; the layout may only grow it.
constexpr int kDesignWidth = 624;
constexpr int kDesignHeight = 503;
// Interactive runs pause before the title is set, and keep a printed window on screen a moment.
constexpr int kTitlePauseMs = 500;
constexpr int kPrintWaitMs = 2000;
constexpr int kPrintDpi = 300;
// The plot area's background: a mid grey on which both the black matching function and the
// white piB marker stand out.
const QColor kPlotBackground(176, 176, 176);

// The parts of the title that name the file and the signal (print and bitmap).
const char* const kTitleFileTag = " File:";
const char* const kTitleSignalTag = " Signal:";

const QColor kHistogramColour(0xFF, 0x00, 0x00);    // red
const QColor kSumColour(0x00, 0xFF, 0xFF);          // aqua
const QColor kCorrelationColour(0x00, 0x00, 0xFF);  // blue
const QColor kMatchingColour(0x00, 0x00, 0x00);     // black
const QColor kPiBColour(0xFF, 0xFF, 0xFF);          // white
// The piB marker is white like the grid lines: wider and dashed, it cannot pass for one.
constexpr int kPiBMarkerWidth = 3;
constexpr Qt::PenStyle kPiBMarkerStyle = Qt::DashLine;

// Lets window messages run for ms milliseconds.
void PauseProcessingMessages(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void CheckHistogramData(const TPiBHistogramData& data) {
    if (!data.Histogram || !data.HistogramSum || !data.Correlation)
        throw EResultsWindowError("piB histogram: an array is missing");
    const size_t n = data.Histogram->size();
    if (n == 0 || data.HistogramSum->size() != n || data.Correlation->size() != n)
        throw EResultsWindowError(
            "piB histogram: the histogram, its sum and the correlation differ in length (" +
            std::to_string(n) + ", " + std::to_string(data.HistogramSum->size()) + ", " +
            std::to_string(data.Correlation->size()) + ")");
}

// The matching function sampled as the window shows it: t = j / 6000 x 3 pi - 2 pi.
std::vector<long double> SampleMatchingFunction(const std::string& expression) {
    TExprParser parser;
    try {
        parser.SetExpression(expression);
    } catch (const EMathParserError& e) {
        throw EResultsWindowError("Matching function cannot be parsed: " + e.Message());
    }
    constexpr long double pi = std::numbers::pi_v<long double>;
    std::vector<long double> values(kMatchingCurvePoints);
    for (int j = 0; j < kMatchingCurvePoints; ++j) {
        const long double t = static_cast<long double>(j) / kMatchingCurvePoints * 3 * pi - 2 * pi;
        parser.X = t;
        long double value = parser.Value();
        if (parser.CalcError()) {
            // sin(2x)/(2x) has a removable gap at x = 0, which j = 4000 hits exactly: take the
            // value just to its right, the function's limit there.
            parser.X = std::nextafter(t, std::numeric_limits<long double>::infinity());
            value = parser.Value();
            if (parser.CalcError())
                throw EResultsWindowError("Matching function cannot be evaluated at x = " +
                                          FloatToStr(t));
        }
        values[j] = value;
    }
    return values;
}

// A step of 1, 2 or 5 times a power of ten that cuts span into about `ticks` parts.
double NiceTickInterval(double span, int ticks) {
    if (!(span > 0) || !std::isfinite(span)) return 1;
    const double raw = span / ticks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / magnitude;
    return (norm < 1.5 ? 1 : norm < 3 ? 2 : norm < 7 ? 5 : 10) * magnitude;
}

// About this many ticks on each axis, at round values (NiceTickInterval).
constexpr int kTicksX = 6;
constexpr int kTicksY = 8;

void UseRoundTicks(QValueAxis* axis) {
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0);
    axis->setLabelFormat("%g");
}

QPen CurvePen(const TResultCurve& curve) {
    QPen pen(curve.Colour, curve.Width, curve.Style);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

// The curve's line as the legend shows it, a little thicker so that thin lines can be seen.
QPixmap LegendMark(const TResultCurve& curve) {
    QPixmap mark(24, 10);
    mark.fill(kPlotBackground);
    QPainter painter(&mark);
    QPen pen = CurvePen(curve);
    pen.setWidth(std::max(curve.Width, 2));
    painter.setPen(pen);
    painter.drawLine(1, 5, 23, 5);
    return mark;
}

// A zoomed-out axis range kept within the full view: no wider than it, and shifted back inside.
void KeepWithin(double& low, double& high, double fullLow, double fullHigh) {
    if (high - low >= fullHigh - fullLow) {
        low = fullLow;
        high = fullHigh;
        return;
    }
    if (low < fullLow) {
        high += fullLow - low;
        low = fullLow;
    }
    if (high > fullHigh) {
        low -= high - fullHigh;
        high = fullHigh;
    }
}

QString ValueTipText(const QPointF& value) {
    return QString("x = %1\ny = %2").arg(value.x(), 0, 'g', 6).arg(value.y(), 0, 'g', 6);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Plot data

TResultPlot BuildResultPlot(const TPiBHistogramData& data, const std::string& matchingExpression) {
    CheckHistogramData(data);
    const std::vector<int32_t>& histogram = *data.Histogram;
    const std::vector<int32_t>& sum = *data.HistogramSum;
    const std::vector<double>& correlation = *data.Correlation;
    const qsizetype n = static_cast<qsizetype>(histogram.size());
    const auto code = [](qsizetype i) { return static_cast<double>(i - kHistogramOffset); };

    const auto [low, high] = std::minmax_element(histogram.begin(), histogram.end());
    const double H = *high, L = *low;
    const double m = 0.1 * (H - L);
    double M = 0;  // largest absolute correlation
    for (double c : correlation)
        M = std::max(M, std::fabs(c));

    TResultPlot plot;
    plot.Range = {-static_cast<double>(kHistogramOffset), code(n - 1), -1 - m, H + m};

    TResultCurve hist{"SS-SU histogram", kHistogramColour, {}};
    hist.Points.reserve(n);
    for (qsizetype i = 0; i < n; ++i)
        hist.Points.append({code(i), double(histogram[i])});

    TResultCurve sums{"Histogram sum", kSumColour, {}};
    sums.Points.reserve(n);
    const double window = 2.0 * data.HalfWidth + 1;
    double S = 0;  // largest y of the sum curve, the height of the matching function
    for (qsizetype i = 0; i < n; ++i) {
        const double y = sum[i] / window;
        S = std::max(S, y);
        sums.Points.append({code(i), y});
    }

    // An all-zero correlation (an empty histogram) is drawn as zero rather than 0/0.
    TResultCurve corr{"Correlation coefficient", kCorrelationColour, {}};
    corr.Points.reserve(n);
    for (qsizetype i = 0; i < n; ++i)
        corr.Points.append({code(i), M > 0 ? correlation[i] / M : 0.0});

    plot.Curves.push_back(std::move(hist));
    plot.Curves.push_back(std::move(sums));
    plot.Curves.push_back(std::move(corr));

    if (data.PiB > 0) {
        const std::vector<long double> f = SampleMatchingFunction(matchingExpression);
        TResultCurve matching{"Matching function", kMatchingColour, {}};
        matching.Points.reserve(kMatchingCurvePoints);
        const double x0 = double(data.PiB) - data.MatchingPeak;
        for (int j = 0; j < kMatchingCurvePoints; ++j)
            matching.Points.append({x0 + j, static_cast<double>(f[j] * S)});
        plot.Curves.push_back(std::move(matching));
    }

    // The marker rises from the x axis to the top of the full view.
    TResultCurve marker{"piB", kPiBColour, {}, kPiBMarkerWidth, kPiBMarkerStyle};
    marker.Points = {{double(data.PiB), 0.0}, {data.PiB + 0.01, plot.Range.YMax}};
    plot.Curves.push_back(std::move(marker));
    return plot;
}

std::string PiBTitleText(int32_t piB) {
    char text[80];
    std::snprintf(text, sizeof text, "Histogram SU-SS and detected (LOG)piB (=%d)", piB);
    return text;
}

std::string PiBTitleSuffix(const std::string& inputFileName, const std::string& signalLabel) {
    return kTitleFileTag + inputFileName + kTitleSignalTag + signalLabel;
}

std::string PiBBitmapFileName(const std::string& resultsFileName) {
    const size_t slash = resultsFileName.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string name = resultsFileName.substr(nameStart);
    std::replace(name.begin(), name.end(), '.', '_');
    return resultsFileName.substr(0, nameStart) + name + ".BMP";
}

// ---------------------------------------------------------------------------------------------
// The graph

TPiBChartView::TPiBChartView(QWidget* parent) : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::NoRubberBand);
    viewport()->setMouseTracking(true);
    FRubberBand = new QRubberBand(QRubberBand::Rectangle, viewport());
}

void TPiBChartView::SetAxes(QValueAxis* axisX, QValueAxis* axisY, const TVisibleRange& full) {
    FAxisX = axisX;
    FAxisY = axisY;
    FFull = full;
    ResetView();
}

void TPiBChartView::ResetView() {
    ZoomTo(FFull);
}

void TPiBChartView::ZoomTo(const TVisibleRange& view) {
    if (!FAxisX || !FAxisY) return;
    // The tick interval first: the old one over a much wider range would lay out thousands of
    // ticks for a moment.
    FAxisX->setTickInterval(NiceTickInterval(view.XMax - view.XMin, kTicksX));
    FAxisY->setTickInterval(NiceTickInterval(view.YMax - view.YMin, kTicksY));
    // Every range change maps all points of every curve again: change both ranges in one step
    // through the plot area when it is laid out, one axis after the other otherwise.
    const TVisibleRange now = CurrentView();
    const QRectF area = chart()->plotArea();
    const double spanX = now.XMax - now.XMin, spanY = now.YMax - now.YMin;
    if (area.width() > 0 && area.height() > 0 && spanX > 0 && spanY > 0) {
        const double sx = area.width() / spanX, sy = area.height() / spanY;
        chart()->zoomIn(QRectF(area.left() + (view.XMin - now.XMin) * sx,
                               area.top() + (now.YMax - view.YMax) * sy,
                               (view.XMax - view.XMin) * sx, (view.YMax - view.YMin) * sy));
    }
    // Exact values (a no-op when the step above already reached them within rounding).
    FAxisX->setRange(view.XMin, view.XMax);
    FAxisY->setRange(view.YMin, view.YMax);
}

TVisibleRange TPiBChartView::CurrentView() const {
    if (!FAxisX || !FAxisY) return {};
    return {FAxisX->min(), FAxisX->max(), FAxisY->min(), FAxisY->max()};
}

QPointF TPiBChartView::ValueAt(const QPoint& viewPos) const {
    return chart()->mapToValue(chart()->mapFromScene(mapToScene(viewPos)));
}

void TPiBChartView::ShowValueTip(const QPoint& globalPos) {
    const QPoint pos = viewport()->mapFromGlobal(globalPos);
    if (!FAxisX || !viewport()->rect().contains(pos)) return;
    QToolTip::showText(globalPos, ValueTipText(ValueAt(pos)), this);
}

bool TPiBChartView::event(QEvent* event) {
    // With Shift the value under the pointer is the tip, not the help text.
    if (event->type() == QEvent::ToolTip &&
        (QGuiApplication::keyboardModifiers() & Qt::ShiftModifier))
        return true;
    return QChartView::event(event);
}

void TPiBChartView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) return QChartView::mousePressEvent(event);
    FRightDown = true;
    FPressPos = event->position().toPoint();
    FPressView = CurrentView();
    FPanning = event->modifiers() & Qt::ControlModifier;
    if (!FPanning) {
        FRubberBand->setGeometry(QRect(FPressPos, QSize()));
        FRubberBand->show();
    }
    event->accept();
}

void TPiBChartView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (event->modifiers() & Qt::ShiftModifier)
        QToolTip::showText(event->globalPosition().toPoint(), ValueTipText(ValueAt(pos)), this);
    if (!FRightDown) return QChartView::mouseMoveEvent(event);
    if (FPanning) {
        const QRectF area = chart()->plotArea();
        if (area.width() <= 0 || area.height() <= 0) return;
        const double dx =
            (pos.x() - FPressPos.x()) * (FPressView.XMax - FPressView.XMin) / area.width();
        const double dy =
            (pos.y() - FPressPos.y()) * (FPressView.YMax - FPressView.YMin) / area.height();
        ZoomTo({FPressView.XMin - dx, FPressView.XMax - dx, FPressView.YMin + dy,
                FPressView.YMax + dy});
    } else {
        FRubberBand->setGeometry(QRect(FPressPos, pos).normalized());
    }
    event->accept();
}

void TPiBChartView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton || !FRightDown)
        return QChartView::mouseReleaseEvent(event);
    FRightDown = false;
    if (!FPanning) {
        FRubberBand->hide();
        const QRect band = QRect(FPressPos, event->position().toPoint()).normalized();
        if (band.width() > 4 && band.height() > 4) {
            const QPointF a = ValueAt(band.topLeft()), b = ValueAt(band.bottomRight());
            ZoomTo({std::min(a.x(), b.x()), std::max(a.x(), b.x()), std::min(a.y(), b.y()),
                    std::max(a.y(), b.y())});
        } else {
            ResetView();  // a right click without dragging
        }
    }
    event->accept();
}

void TPiBChartView::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y();
    if (steps == 0 || !FAxisX) return QChartView::wheelEvent(event);
    const double factor = steps > 0 ? 0.8 : 1.25;
    const QPointF c = ValueAt(event->position().toPoint());
    const TVisibleRange v = CurrentView();
    TVisibleRange next{c.x() + (v.XMin - c.x()) * factor, c.x() + (v.XMax - c.x()) * factor,
                       c.y() + (v.YMin - c.y()) * factor, c.y() + (v.YMax - c.y()) * factor};
    if (factor > 1) {
        KeepWithin(next.XMin, next.XMax, FFull.XMin, FFull.XMax);
        KeepWithin(next.YMin, next.YMax, FFull.YMin, FFull.YMax);
    }
    ZoomTo(next);
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// The window

namespace {

// A little room beside the text, so that a line that just fits is not cut by rounding.
constexpr int kLineSlack = 4;

QLabel* ValueLabel(const char* objectName) {
    auto* label = new QLabel;
    label->setObjectName(objectName);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

}  // namespace

TElidedPathLabel::TElidedPathLabel(QWidget* parent) : QLabel(parent) {
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TElidedPathLabel::SetParts(const QString& head, const QString& path, const QString& tail) {
    FHead = head;
    FPath = path;
    FTail = tail;
    updateGeometry();
    Fit();
}

QSize TElidedPathLabel::minimumSizeHint() const {
    const QString shortest =
        FHead + (FPath.isEmpty() ? QString() : QStringLiteral("\u2026")) + FTail;
    const QMargins m = contentsMargins();
    return {fontMetrics().horizontalAdvance(shortest) + m.left() + m.right() + 2 * margin() +
                kLineSlack,
            QLabel::minimumSizeHint().height()};
}

QSize TElidedPathLabel::sizeHint() const {
    // No wider than the minimum: a long path must not make the window grow.
    return minimumSizeHint();
}

void TElidedPathLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    Fit();
}

void TElidedPathLabel::Fit() {
    const QFontMetrics metrics = fontMetrics();
    const int room = contentsRect().width() - 2 * margin() - kLineSlack;
    const QString full = FullText();
    if (metrics.horizontalAdvance(full) <= room) {
        setText(full);
        return;
    }
    const int pathRoom = room - metrics.horizontalAdvance(FHead + FTail);
    setText(FHead + metrics.elidedText(FPath, Qt::ElideMiddle, std::max(pathRoom, 0)) + FTail);
}

// The window has no Qt parent: the run disables the main window, and a child window of a
// disabled window could not be used. It is centred on its owner instead.
TFormGraphResult::TFormGraphResult(QWidget* owner) : QDialog(nullptr) {
    setWindowTitle("Results");
    setObjectName("FormGraphResult");

    // The title's piB line never wraps: the window is never narrower than it.
    FLabelTitle = new QLabel;
    FLabelTitle->setObjectName("LabelTitle");
    QFont titleFont = FLabelTitle->font();
    titleFont.setBold(true);
    FLabelTitle->setFont(titleFont);
    FLabelFile = new TElidedPathLabel;
    FLabelFile->setObjectName("LabelFile");
    FLabelFile->setVisible(false);

    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    chart->setPlotAreaBackgroundBrush(kPlotBackground);
    chart->setPlotAreaBackgroundVisible(true);
    auto* axisX = new QValueAxis;
    auto* axisY = new QValueAxis;
    UseRoundTicks(axisX);
    UseRoundTicks(axisY);
    QFont axisFont = axisX->labelsFont();
    axisFont.setPointSizeF(axisFont.pointSizeF() * 0.85);
    axisX->setLabelsFont(axisFont);
    axisY->setLabelsFont(axisFont);
    axisX->setTitleFont(axisFont);
    axisY->setTitleFont(axisFont);
    axisX->setTitleText(QStringLiteral("SS \u2212 SU (log-float code)"));
    axisY->setTitleText(QStringLiteral("count"));
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    FGraph = new TPiBChartView;
    FGraph->setObjectName("Graph");
    FGraph->setChart(chart);
    FGraph->setToolTip(
        "Right drag: zoom; Ctrl + right drag: pan; right click: full view;\n"
        "wheel: zoom in and out; Shift: value under the pointer");

    FLegend = new QListWidget;
    FLegend->setObjectName("Legend");
    FLegend->setUniformItemSizes(true);
    FLegend->setIconSize(QSize(24, 10));
    FLegend->setSelectionMode(QAbstractItemView::NoSelection);
    FLegend->setFocusPolicy(Qt::NoFocus);
    FLegend->setFixedHeight(5 * 16 + 2 * FLegend->frameWidth() + 4);

    auto* parameters = new QGroupBox("Analysis Parameters");
    auto* grid = new QGridLayout(parameters);
    FLabelf0 = ValueLabel("Labelf0");
    FLabelB = ValueLabel("LabelB");
    FLabelfc = ValueLabel("Labelfc");
    FLabelSm = ValueLabel("LabelSm");
    FLabelUs = ValueLabel("LabelUs");
    const struct {
        const char* name;
        QLabel* value;
        const char* unit;
    } rows[] = {{"f0", FLabelf0, "Hz"},
                {"B", FLabelB, "Hz"},
                {"fc", FLabelfc, "Hz"},
                {"SmootherRate", FLabelSm, "/s"},
                {"Undersampling", FLabelUs, ""}};
    int row = 0;
    for (const auto& r : rows) {
        grid->addWidget(new QLabel(r.name), row, 0);
        grid->addWidget(r.value, row, 1);
        grid->addWidget(new QLabel(r.unit), row, 2);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(4);

    auto* buttonFull = new QPushButton("Full view");
    buttonFull->setObjectName("ButtonFullView");
    auto* button1 = new QPushButton("Print");
    button1->setObjectName("Button1");
    auto* buttonOk = new QPushButton("Ok");
    buttonOk->setObjectName("ButtonOk");
    buttonOk->setDefault(true);
    buttonOk->setFocus();
    buttonFull->setAutoDefault(false);
    button1->setAutoDefault(false);
    connect(buttonFull, &QPushButton::clicked, FGraph, &TPiBChartView::ResetView);
    connect(button1, &QPushButton::clicked, this, &TFormGraphResult::Button1Click);
    connect(buttonOk, &QPushButton::clicked, this, &TFormGraphResult::ButtonOkClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(buttonFull);
    buttons->addWidget(button1);
    buttons->addWidget(buttonOk);
    auto* rightColumn = new QWidget;
    rightColumn->setFixedWidth(205);
    auto* right = new QVBoxLayout(rightColumn);
    right->setContentsMargins(0, 0, 0, 0);
    right->addWidget(new QLabel("Legend"));
    right->addWidget(FLegend);
    right->addWidget(parameters);
    right->addStretch(1);
    right->addLayout(buttons);
    // The title spans the window: the file path of a printed or exported window needs room.
    auto* window = new QVBoxLayout(this);
    window->addWidget(FLabelTitle);
    window->addWidget(FLabelFile);
    auto* columns = new QHBoxLayout;
    columns->addWidget(FGraph, 1);
    columns->addWidget(rightColumn, 0);
    window->addLayout(columns, 1);

    resize(kDesignWidth, kDesignHeight);
    if (owner) move(owner->frameGeometry().center() - rect().center());
}

void TFormGraphResult::SetParameters(const TAnalysisParam& params) {
    const auto general = [](double x) { return QString::fromStdString(FormatFloatGeneral(x, 15)); };
    FLabelf0->setText(general(params.F0));
    FLabelB->setText(general(params.B));
    FLabelfc->setText(general(params.Fc));
    FLabelSm->setText(general(params.SmootherRate));
    FLabelUs->setText(QString::number(params.UndersamplingFactor));
}

void TFormGraphResult::SetTitle(const std::string& text) {
    FLabelTitle->setText(QString::fromStdString(text));
}

void TFormGraphResult::AppendFileToTitle(const std::string& inputFileName,
                                         const std::string& signalLabel) {
    // The pieces of PiBTitleSuffix, with the path apart; the line begins without its blank.
    FLabelFile->SetParts(
        QString::fromLatin1(kTitleFileTag).trimmed(), QString::fromStdString(inputFileName),
        QString::fromLatin1(kTitleSignalTag) + QString::fromStdString(signalLabel));
    FLabelFile->setVisible(true);
}

QString TFormGraphResult::TitleText() const {
    if (FLabelFile->FullText().isEmpty()) return FLabelTitle->text();
    return FLabelTitle->text() + QLatin1Char(' ') + FLabelFile->FullText();
}

void TFormGraphResult::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Shift) FGraph->ShowValueTip(QCursor::pos());
    QDialog::keyPressEvent(event);
}

void TFormGraphResult::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Shift) QToolTip::hideText();
    QDialog::keyReleaseEvent(event);
}

void TFormGraphResult::SetPlot(const TResultPlot& plot) {
    QChart* chart = FGraph->chart();
    const QList<QAbstractAxis*> x = chart->axes(Qt::Horizontal), y = chart->axes(Qt::Vertical);
    auto* axisX = static_cast<QValueAxis*>(x.front());
    auto* axisY = static_cast<QValueAxis*>(y.front());
    chart->removeAllSeries();
    FLegend->clear();
    FGraph->SetAxes(axisX, axisY, plot.Range);
    for (const TResultCurve& curve : plot.Curves) {
        auto* series = new QLineSeries;
        series->setName(curve.LegendText);
        series->setPen(CurvePen(curve));
        // Added empty, then filled in one step, so that its points are mapped once, into the
        // full view that is already set.
        chart->addSeries(series);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
        series->replace(curve.Points);
        auto* item = new QListWidgetItem(QIcon(LegendMark(curve)), curve.LegendText);
        item->setSizeHint(QSize(0, 16));
        FLegend->addItem(item);
    }
}

void TFormGraphResult::PrepareOffScreen() {
    setAttribute(Qt::WA_DontShowOnScreen, true);
    show();
    if (layout()) layout()->activate();
    QCoreApplication::processEvents();
}

void TFormGraphResult::PrintOn(QPrinter& printer) {
    // A scaled widget is drawn through an image of the page's size: 300 dpi is sharp on paper,
    // the printer's full resolution would take seconds and hundreds of megabytes.
    printer.setResolution(std::min(printer.resolution(), kPrintDpi));
    QPainter painter;
    if (!painter.begin(&printer))
        throw EResultsWindowError("Unable to print the piB histogram on printer \"" +
                                  printer.printerName().toStdString() + "\"");
    const double scale =
        std::min(double(printer.width()) / width(), double(printer.height()) / height());
    painter.translate((printer.width() - width() * scale) / 2,
                      (printer.height() - height() * scale) / 2);
    painter.scale(scale, scale);
    render(&painter, QPoint(), QRegion(), DrawWindowBackground | DrawChildren);
    if (!painter.end())
        throw EResultsWindowError("Printing the piB histogram on printer \"" +
                                  printer.printerName().toStdString() + "\" failed");
}

void TFormGraphResult::PrintOnDefaultPrinter(bool landscape, const std::string& noPrinterMessage) {
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) throw EResultsWindowError(noPrinterMessage);
    QPrinter printer(info, QPrinter::HighResolution);
    if (landscape) printer.setPageOrientation(QPageLayout::Landscape);
    PrintOn(printer);
}

void TFormGraphResult::SaveBitmap(const std::string& fileName) {
    QImage image(size(), QImage::Format_RGB32);
    image.fill(palette().window().color());
    render(&image, QPoint(), QRegion(), DrawWindowBackground | DrawChildren);

    const auto fail = [&](const QString& reason) {
        return EResultsWindowError("Unable to write the piB histogram bitmap \"" + fileName +
                                   "\": " + reason.toStdString());
    };
    QSaveFile file(QString::fromStdString(fileName));
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) throw fail(file.errorString());
    QImageWriter writer(&file, "bmp");
    if (!writer.write(image)) {
        const QString reason = writer.errorString();
        file.cancelWriting();
        throw fail(reason);
    }
    if (!file.commit()) throw fail(file.errorString());
}

void TFormGraphResult::ButtonOkClick() {
    accept();
}

void TFormGraphResult::Button1Click() {
    try {
        PrintOnDefaultPrinter(false, "No printer available");
    } catch (const EResultsWindowError& e) {
        QMessageBox::warning(this, "Print", QString::fromStdString(e.Message()));
    }
}

// ---------------------------------------------------------------------------------------------

void ShowPiBHistogram(QWidget* owner, const TPiBHistogramData& data, bool print, bool exportBmp,
                      const std::string& resultsFileName, bool batchMode) {
    const auto form = std::make_unique<TFormGraphResult>(owner);
    form->SetParameters(data.Params);
    if (!batchMode) PauseProcessingMessages(kTitlePauseMs);
    form->SetTitle(PiBTitleText(data.PiB));
    form->SetPlot(BuildResultPlot(data));

    if (!print && !exportBmp) {
        form->exec();
        return;
    }
    form->AppendFileToTitle(data.InputFileName, data.SignalLabel);
    if (print) {
        // Fail before anything is shown when there is nowhere to print.
        if (QPrinterInfo::defaultPrinter().isNull())
            throw EResultsWindowError("No printer available for /PRINTPIB");
        if (batchMode) {
            if (const QScreen* screen = form->screen())
                form->resize(form->size().expandedTo(screen->availableGeometry().size()));
            form->PrepareOffScreen();
        } else {
            form->showMaximized();
            form->repaint();
            PauseProcessingMessages(kPrintWaitMs);
        }
        form->PrintOnDefaultPrinter(true, "No printer available for /PRINTPIB");
    }
    if (exportBmp) {
        if (!form->isVisible()) form->PrepareOffScreen();
        form->SaveBitmap(PiBBitmapFileName(resultsFileName));
    }
}

}  // namespace vantrel
