// The night's picture: layout, panels, the histogram beside them, writing the PNG, --plot.
#include "app/uNightPicture.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

#include "app/uCommandLine.h"
#include "app/uShellTools.h"
#include "report/uSummary.h"
#include "support/udStr.h"

namespace vantrel {

namespace {

const char* const kFontFamily = "DejaVu Sans";

const QColor kInk(34, 34, 34);
const QColor kGrid(226, 226, 226);
const QColor kFrame(170, 170, 170);
const QColor kSU(37, 99, 201);
const QColor kSS(222, 116, 0);
const QColor kSSP(30, 150, 60);
const QColor kSS0(140, 50, 180);
const QColor kMC(0, 112, 112);
const QColor kEvent(214, 30, 40);
const QColor kJump(40, 40, 40);
const QColor kHF(240, 110, 110, 90);
const QColor kLF(245, 190, 40, 110);
const QColor kMissing(120, 120, 120, 110);
const QColor kStage(25, 40, 120);
const QColor kREM(214, 30, 40);
const QColor kHistogram(214, 80, 80);

QFont Font(int pixels, bool bold = false) {
    QFont font(QString::fromLatin1(kFontFamily));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Where everything goes; every size follows from the picture's size. Each time panel has a row
// above it for its name and the names of its traces, in their colours.
struct TLayout {
    QRectF Title;
    QRectF Hypnogram, Codes, MC;   // the time panels; Hypnogram empty without stages
    QRectF EventStrip, JumpStrip;  // at the top of MC's panel, above its data
    QRectF Histogram, Legend;      // the column on the right
    double LabelRow = 0;           // the height of a panel's name row
    double AxisLabels = 0;         // the baseline of the time labels

    TLayout(QSize size, bool stages) {
        const double w = size.width(), h = size.height(), sx = w / 1600, sy = h / 1000;
        const double left = 96 * sx, right = w - 330 * sx, bottom = h - 40 * sy;
        LabelRow = 28 * sy;
        Title = QRectF(16 * sx, 0, w - 32 * sx, 40 * sy);
        double y = Title.bottom();
        const double hypnogram = stages ? 130 * sy : 0;
        const double rows = (stages ? 3 : 2) * LabelRow;
        const double codes = (bottom - y - rows - hypnogram) * 0.55;
        if (stages) {
            Hypnogram = QRectF(left, y + LabelRow, right - left, hypnogram);
            y = Hypnogram.bottom();
        }
        Codes = QRectF(left, y + LabelRow, right - left, codes);
        MC = QRectF(left, Codes.bottom() + LabelRow, right - left,
                    bottom - Codes.bottom() - LabelRow);
        EventStrip = QRectF(left, MC.top() + 5 * sy, MC.width(), 14 * sy);
        JumpStrip = QRectF(left, EventStrip.bottom() + 4 * sy, MC.width(), 14 * sy);
        AxisLabels = bottom + 24 * sy;
        const double column = w - 300 * sx;
        Histogram = QRectF(column, Codes.top() + 4 * sy, 276 * sx, 220 * sy);
        Legend =
            QRectF(column, Histogram.bottom() + 56 * sy, 276 * sx, bottom - Histogram.bottom());
    }
    // MC's data, below the strips.
    QRectF MCData() const {
        const double top = JumpStrip.bottom() + (JumpStrip.top() - MC.top()) * 2;
        return QRectF(MC.left(), top, MC.width(), MC.bottom() - top);
    }
};

// Seconds to x over the time panels; columns to whole pixels, so that shading and bands of
// neighbouring columns neither overlap nor leave seams.
struct TTimeAxis {
    double Left = 0, Width = 0;
    int64_t Seconds = 1;
    size_t Columns = 1;
    double X(double second) const { return Left + Width * second / static_cast<double>(Seconds); }
    double Edge(size_t c) const {
        return std::round(X(static_cast<double>(c) * Seconds / Columns));
    }
    // Pixels [left, right) of column c, at least one.
    std::pair<double, double> Pixels(size_t c) const {
        return {Edge(c), std::max(Edge(c + 1), Edge(c) + 1)};
    }
    double Middle(size_t c) const { return X((static_cast<double>(c) + 0.5) * Seconds / Columns); }
};

// Values to y in a panel.
struct TValueAxis {
    QRectF Rect;
    double Low = 0, High = 1;
    double Y(double v) const { return Rect.bottom() - (v - Low) / (High - Low) * Rect.height(); }
};

// Columns shaded where they have seconds of an artifact, the more of them the stronger.
void Shade(QPainter& p, const TNightPictureData& data, const TTimeAxis& time, const QRectF& panel,
           const QColor& colour, int32_t TPictureColumn::*seconds) {
    for (size_t c = 0; c < data.Columns.size(); ++c) {
        const TPictureColumn& column = data.Columns[c];
        if (column.*seconds == 0) continue;
        QColor fill = colour;
        fill.setAlphaF(colour.alphaF() * (0.4 + 0.6 * column.*seconds / column.Seconds));
        const auto [x0, x1] = time.Pixels(c);
        p.fillRect(QRectF(x0, panel.top(), x1 - x0, panel.height()), fill);
    }
}

void ShadeArtifacts(QPainter& p, const TNightPictureData& data, const TTimeAxis& time,
                    const QRectF& panel) {
    // Whole pixels need no antialiasing, and rectangles without it are filled many times faster.
    p.setRenderHint(QPainter::Antialiasing, false);
    Shade(p, data, time, panel, kMissing, &TPictureColumn::MissingSeconds);
    Shade(p, data, time, panel, kLF, &TPictureColumn::LFSeconds);
    Shade(p, data, time, panel, kHF, &TPictureColumn::HFSeconds);
    p.setRenderHint(QPainter::Antialiasing, true);
}

// The strip marks the columns that have seconds in an MC event or an MC-Jump run.
void Marks(QPainter& p, const TNightPictureData& data, const TTimeAxis& time, const QRectF& strip,
           const QColor& colour, int32_t TPictureColumn::*seconds) {
    for (size_t c = 0; c < data.Columns.size(); ++c) {
        if (data.Columns[c].*seconds == 0) continue;
        const auto [x0, x1] = time.Pixels(c);
        // At least three pixels: a single short event must still show at thumbnail size.
        p.fillRect(QRectF(x0, strip.top(), std::max(x1 - x0, 3.0), strip.height()), colour);
    }
}

// A band from each column's least to its greatest value, and a line through its typical value
// (median or mean).
void DrawTrace(QPainter& p, const TNightPictureData& data, const TTimeAxis& time,
               const TValueAxis& axis, const QColor& colour, double lineWidth, int bandAlpha,
               const std::function<std::array<double, 3>(const TPictureColumn&)>& lowMidHigh) {
    QPolygonF line;
    QColor band = colour;
    band.setAlpha(bandAlpha);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (size_t c = 0; c < data.Columns.size(); ++c) {
        if (data.Columns[c].Seconds == 0) continue;
        const std::array<double, 3> v = lowMidHigh(data.Columns[c]);
        if (bandAlpha > 0) {
            const auto [x0, x1] = time.Pixels(c);
            const double top = axis.Y(v[2]), bottom = axis.Y(v[0]);
            p.fillRect(QRectF(x0, top - 0.5, x1 - x0, bottom - top + 1), band);
        }
        line << QPointF(time.Middle(c), axis.Y(v[1]));
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(colour, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    // Segment by segment: one path through a trace whose every step crosses the panel (SU
    // changing sign) makes the rasterizer fill a polygon of a thousand crossings, 30 times
    // slower than the same strokes one by one.
    QVector<QLineF> segments;
    for (qsizetype k = 1; k < line.size(); ++k)
        segments.append(QLineF(line[k - 1], line[k]));
    p.drawLines(segments);
}

void DrawFrame(QPainter& p, const QRectF& rect) {
    p.setPen(QPen(kFrame, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(rect);
}

// A panel's name row: coloured words from the panel's left edge, above it.
void DrawNames(QPainter& p, const QRectF& panel, const QFont& font,
               const std::vector<std::pair<QString, QColor>>& words) {
    const QFontMetricsF metrics(font);
    double x = panel.left();
    p.setFont(font);
    for (const auto& [word, colour] : words) {
        p.setPen(colour);
        p.drawText(QPointF(x, panel.top() - metrics.descent() - 5), word);
        x += metrics.horizontalAdvance(word) + metrics.horizontalAdvance(QStringLiteral("   "));
    }
}

void DrawYTicks(QPainter& p, const TValueAxis& axis, const std::vector<TAxisTick>& ticks,
                const QFont& font) {
    const QFontMetricsF metrics(font);
    p.setFont(font);
    for (const TAxisTick& tick : ticks) {
        const double y = axis.Y(tick.Position);
        if (y < axis.Rect.top() - 0.5 || y > axis.Rect.bottom() + 0.5) continue;
        p.setPen(QPen(tick.Position == 0 ? kFrame : kGrid, 1));
        p.drawLine(QPointF(axis.Rect.left(), y), QPointF(axis.Rect.right(), y));
        p.setPen(kInk);
        const QString label = Q(tick.Label);
        p.drawText(QPointF(axis.Rect.left() - 8 - metrics.horizontalAdvance(label),
                           y + metrics.capHeight() / 2),
                   label);
    }
}

// A label right-aligned in the left margin, centred on y.
void DrawMarginLabel(QPainter& p, const QRectF& panel, double y, const QString& text,
                     const QFont& font) {
    const QFontMetricsF metrics(font);
    p.setFont(font);
    p.setPen(kInk);
    p.drawText(
        QPointF(panel.left() - 8 - metrics.horizontalAdvance(text), y + metrics.capHeight() / 2),
        text);
}

void DrawTimeGrid(QPainter& p, const TLayout& layout, const TTimeAxis& time,
                  const std::vector<TAxisTick>& ticks, const QFont& font) {
    const QFontMetricsF metrics(font);
    double lastRight = -1e9;
    p.setFont(font);
    for (const TAxisTick& tick : ticks) {
        const double x = std::round(time.X(tick.Position)) + 0.5;
        p.setPen(QPen(kGrid, 1));
        for (const QRectF* panel : {&layout.Hypnogram, &layout.Codes, &layout.MC})
            if (!panel->isEmpty())
                p.drawLine(QPointF(x, panel->top()), QPointF(x, panel->bottom()));
        p.setPen(QPen(kFrame, 1));
        p.drawLine(QPointF(x, layout.MC.bottom()), QPointF(x, layout.MC.bottom() + 6));
        const QString label = Q(tick.Label);
        const double width = metrics.horizontalAdvance(label);
        if (x - width / 2 < lastRight + 8) continue;  // every label readable, none overlapping
        p.setPen(kInk);
        p.drawText(QPointF(x - width / 2, layout.AxisLabels), label);
        lastRight = x + width / 2;
    }
}

constexpr TSleepStage kStageLevels[] = {TSleepStage::W, TSleepStage::REM, TSleepStage::N1,
                                        TSleepStage::N2, TSleepStage::N3};

int StageLevel(TSleepStage stage) {
    for (int k = 0; k < 5; ++k)
        if (kStageLevels[k] == stage) return k;
    return -1;  // unscored
}

void DrawHypnogram(QPainter& p, const TNightPictureData& data, const TTimeAxis& time,
                   const QRectF& panel, const QFont& font, const QFont& small) {
    const TValueAxis axis{panel.adjusted(0, 12, 0, -12), 0, 4};
    const auto y = [&](int level) { return axis.Y(4 - level); };
    for (int level = 0; level < 5; ++level) {
        p.setPen(QPen(kGrid, 1));
        p.drawLine(QPointF(panel.left(), y(level)), QPointF(panel.right(), y(level)));
        DrawMarginLabel(p, panel, y(level), QString::fromLatin1(StageName(kStageLevels[level])),
                        small);
    }
    // The step line: each column's stage, joined to the next column's when both have one; REM
    // as a thick red bar, as hypnograms are read.
    p.setClipRect(panel);
    const QPen line(kStage, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    const QPen rem(kREM, 7, Qt::SolidLine, Qt::FlatCap);
    // Runs of columns at one level, each drawn as one line.
    const size_t n = data.Columns.size();
    const auto level = [&](size_t c) {
        const std::optional<TSleepStage>& stage = data.Columns[c].Stage;
        return stage ? StageLevel(*stage) : -1;
    };
    const auto x = [&](size_t c) { return time.X(static_cast<double>(c) * data.Seconds / n); };
    int previous = -1;
    for (size_t c = 0; c < n;) {
        const int here = level(c);
        size_t end = c + 1;
        while (end < n && level(end) == here)
            ++end;
        if (here >= 0) {
            if (previous >= 0) {
                p.setPen(line);
                p.drawLine(QPointF(x(c), y(previous)), QPointF(x(c), y(here)));
            }
            p.setPen(here == 1 ? rem : line);
            p.drawLine(QPointF(x(c), y(here)), QPointF(x(end), y(here)));
        }
        previous = here;
        c = end;
    }
    p.setClipping(false);
    const QFontMetricsF metrics(small);
    const auto lights = [&](const std::optional<double>& at, const QString& text) {
        if (!at || *at < 0 || *at > static_cast<double>(data.Seconds)) return;
        const double x = time.X(*at);
        p.setPen(QPen(kInk, 1.5, Qt::DashLine));
        p.drawLine(QPointF(x, panel.top()), QPointF(x, panel.bottom()));
        p.setFont(small);
        p.drawText(QPointF(x + 4, panel.bottom() - metrics.descent() - 2), text);
    };
    lights(data.LightsOff, QStringLiteral("lights off"));
    lights(data.LightsOn, QStringLiteral("lights on"));
    DrawNames(p, panel, font,
              {{QStringLiteral("Hypnogram"), kStage}, {QStringLiteral("REM"), kREM}});
}

std::string UnitSquared(const TRunRecord& record) {
    const std::string unit = HeaderTextToUtf8(record.Input.PhysicalDimension);
    return unit.empty() ? std::string() : unit + "\u00b2";
}

void DrawCodes(QPainter& p, const TNightPictureData& data, const TRunRecord& record,
               const TTimeAxis& time, const QRectF& panel, const QFont& font, const QFont& small) {
    double low = data.CodeLow, high = data.CodeHigh;
    if (high - low < 500) {
        low -= 250;
        high += 250;
    }
    const double pad = (high - low) * 0.04;
    const TValueAxis axis{panel.adjusted(0, 8, 0, -8), low - pad, high + pad};
    ShadeArtifacts(p, data, time, panel);
    DrawYTicks(p, axis,
               SignedLogTicks(static_cast<int>(axis.Low), static_cast<int>(axis.High),
                              record.Results.PhysScale, static_cast<int>(axis.Rect.height() / 34)),
               small);
    p.setClipRect(panel);
    const auto trace = [&](size_t k, const QColor& colour, double width, int band) {
        DrawTrace(p, data, time, axis, colour, width, band, [k](const TPictureColumn& c) {
            return std::array<double, 3>{double(c.Low[k]), double(c.Median[k]), double(c.High[k])};
        });
    };
    trace(1, kSS, 1.5, 60);
    trace(0, kSU, 1.5, 45);
    trace(2, kSSP, 2.8, 0);
    trace(3, kSS0, 2.8, 0);
    p.setClipping(false);
    const std::string unit = UnitSquared(record);
    DrawNames(p, panel, font,
              {{QStringLiteral("SU"), kSU},
               {QStringLiteral("SS"), kSS},
               {QStringLiteral("SSP"), kSSP},
               {QStringLiteral("SS0"), kSS0},
               {Q((unit.empty() ? std::string() : unit + ", ") + "signed log scale"), kInk}});
}

void DrawMC(QPainter& p, const TNightPictureData& data, const TLayout& layout,
            const TTimeAxis& time, const QFont& font, const QFont& small) {
    const QRectF panel = layout.MC;
    const TValueAxis axis{layout.MCData(), 0, data.MCTop};
    ShadeArtifacts(p, data, time, panel);
    std::vector<TAxisTick> ticks;
    const double step = data.MCTop > 200 ? 100 : data.MCTop > 100 ? 50 : 25;
    for (double v = 0; v <= data.MCTop + 1e-9; v += step)
        ticks.push_back({v, TickNumber(v)});
    DrawYTicks(p, axis, ticks, small);
    p.setClipRect(axis.Rect);
    DrawTrace(p, data, time, axis, kMC, 3.2, 50, [](const TPictureColumn& c) {
        return std::array<double, 3>{c.MCLow, c.MCMean, c.MCHigh};
    });
    p.setClipping(false);
    p.fillRect(QRectF(panel.left(), panel.top(), panel.width(), axis.Rect.top() - panel.top() - 2),
               QColor(255, 255, 255, 210));
    p.setRenderHint(QPainter::Antialiasing, false);
    Marks(p, data, time, layout.EventStrip, kEvent, &TPictureColumn::EventSeconds);
    Marks(p, data, time, layout.JumpStrip, kJump, &TPictureColumn::JumpRunSeconds);
    p.setRenderHint(QPainter::Antialiasing, true);
    DrawMarginLabel(p, panel, layout.EventStrip.center().y(), QStringLiteral("events"), small);
    DrawMarginLabel(p, panel, layout.JumpStrip.center().y(), QStringLiteral("jumps"), small);
    DrawNames(p, panel, font,
              {{QStringLiteral("MC (%)"), kMC},
               {QStringLiteral("MC events"), kEvent},
               {QString::fromUtf8("MC-Jump runs (\u2265 50 %)"), kJump}});
}

void DrawHistogram(QPainter& p, const TNightPictureData& data, const TRunRecord& record,
                   const QRectF& box, const QFont& font, const QFont& small) {
    p.setFont(font);
    p.setPen(kInk);
    p.drawText(QPointF(box.left(), box.top() - QFontMetricsF(font).descent() - 5),
               QString::fromUtf8("SS \u2212 SU histogram"));
    DrawFrame(p, box);
    int64_t total = 0;
    for (const int32_t count : data.Histogram)
        total += count;
    if (total == 0) {
        p.setFont(small);
        p.drawText(box, Qt::AlignCenter, QStringLiteral("no second counted"));
        return;
    }
    // The bins between the 0.5th and 99.5th percentile of the counts, and piB.
    int first = -1, last = 0;
    int64_t seen = 0;
    for (int bin = 0; bin < static_cast<int>(data.Histogram.size()); ++bin) {
        seen += data.Histogram[static_cast<size_t>(bin)];
        if (first < 0 && seen > total * 0.005) first = bin;
        if (seen <= total * 0.995) last = bin;
    }
    const int piBBin = record.Results.PiBCode + pib::kBinOffset;
    first = std::min(first, piBBin);
    last = std::max({last, piBBin, first + 1});
    const int pad = std::max(20, (last - first) / 8);
    first = std::max(0, first - pad);
    last = std::min(static_cast<int>(data.Histogram.size()) - 1, last + pad);
    int32_t top = 1;
    for (int bin = first; bin <= last; ++bin)
        top = std::max(top, data.HistogramSum[static_cast<size_t>(bin)]);
    const QRectF area = box.adjusted(1, 8, -1, -1);
    const auto x = [&](double bin) {
        return area.left() + (bin - first) / (last - first) * area.width();
    };
    const auto y = [&](double count) { return area.bottom() - count / top * area.height(); };
    QPolygonF shape;
    shape << QPointF(x(first), area.bottom());
    for (int bin = first; bin <= last; ++bin)
        shape << QPointF(x(bin), y(data.HistogramSum[static_cast<size_t>(bin)]));
    shape << QPointF(x(last), area.bottom());
    QColor fill = kHistogram;
    fill.setAlpha(90);
    p.setPen(QPen(kHistogram, 1.5));
    p.setBrush(fill);
    p.drawPolygon(shape);
    p.setBrush(Qt::NoBrush);
    const double px = x(piBBin);
    p.setPen(QPen(kInk, 2.5, Qt::DashLine));
    p.drawLine(QPointF(px, box.top()), QPointF(px, box.bottom()));
    const QString label = Q("piB " + CFormat("%.3g", record.Results.PiB) +
                            (UnitSquared(record).empty() ? "" : " " + UnitSquared(record)));
    const QFontMetricsF metrics(small);
    const double lx = std::min(px + 6, box.right() - metrics.horizontalAdvance(label) - 4);
    p.fillRect(
        QRectF(lx - 2, box.top() + 4, metrics.horizontalAdvance(label) + 4, metrics.height()),
        QColor(255, 255, 255, 220));
    p.setFont(small);
    p.setPen(kInk);
    p.drawText(QPointF(lx, box.top() + 4 + metrics.ascent()), label);
    // Ticks in physical units of SS - SU.
    double lastRight = -1e9;
    for (const TAxisTick& tick : SignedLogTicks(first - pib::kBinOffset, last - pib::kBinOffset,
                                                record.Results.PhysScale, 5)) {
        const double tx = x(tick.Position + pib::kBinOffset);
        p.setPen(QPen(kFrame, 1));
        p.drawLine(QPointF(tx, box.bottom()), QPointF(tx, box.bottom() + 5));
        const QString text = Q(tick.Label);
        const double width = metrics.horizontalAdvance(text);
        if (tx - width / 2 < lastRight + 6) continue;
        p.setPen(kInk);
        p.drawText(QPointF(tx - width / 2, box.bottom() + 6 + metrics.ascent()), text);
        lastRight = tx + width / 2;
    }
}

void DrawLegend(QPainter& p, const QRectF& box, bool stages, const QFont& font) {
    struct TEntry {
        QString Text;
        QColor Colour;
        bool Shade;
    };
    std::vector<TEntry> entries = {
        {QStringLiteral("SU (range, median)"), kSU, false},
        {QStringLiteral("SS (range, median)"), kSS, false},
        {QStringLiteral("SSP"), kSSP, false},
        {QStringLiteral("SS0"), kSS0, false},
        {QStringLiteral("MC (range and mean)"), kMC, false},
        {QStringLiteral("MC events"), kEvent, true},
        {QStringLiteral("MC-Jump runs (\u2265 50 %)"), kJump, true},
        {QStringLiteral("HF artifact"), kHF, true},
        {QStringLiteral("LF artifact"), kLF, true},
        {QStringLiteral("missing signal"), kMissing, true},
    };
    if (stages) entries.push_back({QStringLiteral("REM"), kREM, false});
    const QFontMetricsF metrics(font);
    const double row = std::max(metrics.height() + 6, 22.0);
    p.setFont(font);
    double y = box.top();
    for (const TEntry& entry : entries) {
        const QRectF swatch(box.left(), y + row / 2 - 7, 30, 14);
        if (entry.Shade) {
            QColor solid = entry.Colour;
            solid.setAlpha(std::max(solid.alpha(), 150));
            p.fillRect(swatch, solid);
        } else {
            p.setPen(QPen(entry.Colour, 4, Qt::SolidLine, Qt::FlatCap));
            p.drawLine(QPointF(swatch.left(), swatch.center().y()),
                       QPointF(swatch.right(), swatch.center().y()));
        }
        p.setPen(kInk);
        p.drawText(QPointF(box.left() + 42, y + row / 2 + metrics.ascent() / 2 - 1), entry.Text);
        y += row;
    }
}

int PlotColumns(QSize size) {
    return static_cast<int>(TLayout(size, false).Codes.width());
}

std::string PictureFailure(const std::string& outFile, const std::string& reason) {
    return "Cannot write the picture \"" + outFile + "\": " + reason;
}

int Refused(const std::string& reason, int exitCode = kExitFailed) {
    std::fprintf(stderr, "vantrel4: %s\n", reason.c_str());
    return exitCode;
}

}  // namespace

QString ElidedTitle(const TPictureTitle& title, const QFont& font, int width) {
    const QFontMetrics metrics(font);
    const QString rest = QString::fromUtf8(TPictureTitle::kSeparator) + Q(title.Details);
    const int room = std::max(0, width - metrics.horizontalAdvance(rest));
    return metrics.elidedText(Q(title.Path), Qt::ElideMiddle, room) + rest;
}

QImage DrawNightPicture(const TNightPictureData& data, const TRunRecord& record, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const double scale = std::min(size.width() / 1600.0, size.height() / 1000.0);
    const auto pixels = [scale](int px) { return std::max(8, static_cast<int>(px * scale)); };
    const QFont titleFont = Font(pixels(18), true), panelFont = Font(pixels(16), true),
                tickFont = Font(pixels(13));
    const TLayout layout(size, data.HasStages);
    const TTimeAxis time{layout.Codes.left(), layout.Codes.width(),
                         std::max<int64_t>(data.Seconds, 1),
                         std::max<size_t>(data.Columns.size(), 1)};

    // The title: the details whole, the path shortened in the middle; a smaller font first
    // when the details alone would leave the path too little room.
    const TPictureTitle title = PictureTitle(record);
    QFont font = titleFont;
    const int width = static_cast<int>(layout.Title.width());
    while (font.pixelSize() > 10 &&
           QFontMetrics(font).horizontalAdvance(Q(title.Details)) > width * 3 / 4)
        font.setPixelSize(font.pixelSize() - 1);
    p.setFont(font);
    p.setPen(kInk);
    p.drawText(layout.Title, Qt::AlignLeft | Qt::AlignVCenter, ElidedTitle(title, font, width));

    const std::vector<TAxisTick> clock = ClockTicks(record.Input.RecordingStart, data.Seconds,
                                                    static_cast<int>(layout.Codes.width() / 40));
    DrawTimeGrid(p, layout, time, clock, tickFont);
    if (data.HasStages) {
        DrawHypnogram(p, data, time, layout.Hypnogram, panelFont, tickFont);
        DrawFrame(p, layout.Hypnogram);
    }
    DrawCodes(p, data, record, time, layout.Codes, panelFont, tickFont);
    DrawFrame(p, layout.Codes);
    DrawMC(p, data, layout, time, panelFont, tickFont);
    DrawFrame(p, layout.MC);
    DrawHistogram(p, data, record, layout.Histogram, panelFont, tickFont);
    DrawLegend(p, layout.Legend, data.HasStages, tickFont);
    return image;
}

void WriteNightPicture(const std::string& resultsFile, const TRunRecord& record,
                       const std::optional<TStagedNight>& stages, const std::string& outFile,
                       QSize size) {
    QImage image;
    try {
        TResultsReader reader(resultsFile);
        image = DrawNightPicture(ReadNightPictureData(reader, record, PlotColumns(size), stages),
                                 record, size);
    } catch (const std::exception& e) {
        throw EPictureError(PictureFailure(outFile, e.what()));
    }
    image.setText(QStringLiteral("Title"), Q(PictureTitle(record).Text()));
    image.setText(QStringLiteral("Software"), Q(record.ProgramName + " " + record.ProgramVersion));
    QSaveFile file(Q(outFile));
    if (!file.open(QIODevice::WriteOnly))
        throw EPictureError(PictureFailure(outFile, file.errorString().toStdString()));
    if (!image.save(&file, "PNG")) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("the PNG could not be encoded");
        file.cancelWriting();
        throw EPictureError(PictureFailure(outFile, reason.toStdString()));
    }
    if (!file.commit())
        throw EPictureError(PictureFailure(outFile, file.errorString().toStdString()));
}

void WriteRunPicture(const TRunRecord& record, const std::string& resultsFile,
                     const std::string& pictureFile, const std::optional<THypnogram>& hypnogram) {
    std::optional<TStagedNight> stages;
    try {
        if (hypnogram) stages = PictureStages(record, *hypnogram);
    } catch (const std::exception& e) {
        throw EPictureError(PictureFailure(pictureFile, e.what()));
    }
    WriteNightPicture(resultsFile, record, stages, pictureFile);
}

int PlotCommand(const std::vector<std::string>& args) {
    const char* const usage =
        "usage: vantrel4 --plot RESULTS [OUT.png] [/HYPNOGRAM:FILE] [/EPOCH=s]";
    std::vector<std::string> files;
    std::string hypnogram;
    double epoch = 30;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::optional<std::string> option = OptionForm(arg);
        if (!option) {
            if (IsIgnoredArgument(arg)) return Refused("unknown option " + arg + "; " + usage);
            files.push_back(arg);
        } else if (option->starts_with("/HYPNOGRAM:") || option->starts_with("/HYPNOGRAM=")) {
            hypnogram = arg.substr(arg.find_first_of(":=") + 1);
        } else if (option->starts_with("/EPOCH=")) {
            const std::string value = option->substr(7);
            if (!TryStrToFloatGuess(value, true, epoch) || !(epoch > 0) || !std::isfinite(epoch))
                return Refused("invalid epoch length " + value + "; " + usage);
        } else {
            return Refused("option " + arg + " is not one of --plot; " + usage);
        }
    }
    if (files.empty() || files.size() > 2) return Refused(usage);
    const std::string& results = files[0];
    const std::string out =
        files.size() == 2 ? files[1] : RunFiles(results, CurrentDirectory()).Picture;
    if (SameFile(out, results) || SameFile(out, RunRecordFileName(results)))
        return Refused("The picture \"" + out + "\" must not be the results file or its record");
    TRunRecord record;
    std::optional<TStagedNight> stages;
    try {
        record = ReadableResultsRecord(results);
        stages = PictureStages(record, hypnogram, epoch);
    } catch (const std::exception& e) {
        return Refused(e.what());
    }
    try {
        WriteNightPicture(results, record, stages, out);
    } catch (const std::exception& e) {
        return Refused(e.what(), kExitOutput);
    }
    return kExitOk;
}

}  // namespace vantrel
