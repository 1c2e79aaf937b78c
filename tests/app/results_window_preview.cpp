// Renders the results window off screen with the histogram of a made-up night and saves it as
// a picture: results_window_preview OUT.png [WIDTH HEIGHT]. The night is 8 hours of SS-SU codes
// drawn from a main mode, a shoulder of lighter sleep and a tail of artifacts; its sum and
// match curve are computed as piB detection computes them.
#include <QApplication>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

#include "app/FGraphicsResult.h"

namespace {

constexpr int kBins = 32001;
constexpr int kHalfWidth = 91;
constexpr int kMatchLength = 5999;

std::vector<int32_t> NightHistogram() {
    std::mt19937 random(20261208);
    std::normal_distribution<double> deep(4650, 230), light(5300, 300), artifact(7400, 900);
    std::uniform_real_distribution<double> pick(0, 1);
    std::vector<int32_t> histogram(kBins, 0);
    for (int second = 0; second < 8 * 3600; ++second) {
        const double p = pick(random);
        const double code = p < 0.72 ? deep(random) : p < 0.95 ? light(random) : artifact(random);
        const int bin = static_cast<int>(std::lround(code)) + vantrel::kHistogramOffset;
        if (bin >= 0 && bin < kBins) ++histogram[bin];
    }
    return histogram;
}

std::vector<int32_t> MovingSum(const std::vector<int32_t>& histogram) {
    std::vector<int32_t> sum(kBins, 0);
    for (int b = kHalfWidth; b <= kBins - 1 - kHalfWidth; ++b)
        for (int k = b - kHalfWidth; k <= b + kHalfWidth; ++k)
            sum[b] += histogram[k];
    return sum;
}

double MatchingFunction(long double x) {
    constexpr long double pi = std::numbers::pi_v<long double>;
    if (x > -2 * pi && x < -pi / 2) return -0.5894 * 2 / 3;
    if (x > -pi / 2 && x < pi / 2) return static_cast<double>(std::sin(2 * x) / (2 * x));
    return 0;
}

std::vector<double> MatchCurve(const std::vector<int32_t>& sum, int32_t& peak) {
    constexpr long double pi = std::numbers::pi_v<long double>;
    std::vector<double> f(kMatchLength, 0.0);
    for (int l = 1; l < kMatchLength - 1; ++l)
        f[l] = MatchingFunction(static_cast<long double>(l) / kMatchLength * 3 * pi - 2 * pi);
    peak = static_cast<int32_t>(std::max_element(f.begin(), f.end()) - f.begin());
    std::vector<double> curve(kBins, 0.0);
    for (int s = 0; s + kMatchLength <= kBins; ++s) {
        long double acc = 0;
        for (int m = 0; m < kMatchLength; ++m)
            acc += static_cast<long double>(sum[s + m]) * f[m];
        curve[peak + s] = static_cast<double>(acc);
    }
    return curve;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: results_window_preview OUT.png [WIDTH HEIGHT]\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const std::vector<int32_t> histogram = NightHistogram();
    const std::vector<int32_t> sum = MovingSum(histogram);
    vantrel::TPiBHistogramData data;
    const std::vector<double> correlation = MatchCurve(sum, data.MatchingPeak);
    const auto best = std::max_element(correlation.begin(), correlation.end() - 1);
    data.Histogram = &histogram;
    data.HistogramSum = &sum;
    data.Correlation = &correlation;
    data.HalfWidth = kHalfWidth;
    data.PiB = static_cast<int32_t>(best - correlation.begin()) - vantrel::kHistogramOffset;
    data.InputFileName = "/data/night01.edf";
    data.SignalLabel = "EEG Fpz-Cz";
    data.Params = {data.InputFileName, 0, "/data/night01_sw.edf", 1, 1.5, 1.8, 0.01666, 2};

    vantrel::TFormGraphResult form;
    if (argc == 4) form.resize(std::atoi(argv[2]), std::atoi(argv[3]));
    form.SetParameters(data.Params);
    form.SetTitle(vantrel::PiBTitleText(data.PiB));
    form.SetPlot(vantrel::BuildResultPlot(data));
    form.PrepareOffScreen();
    if (!form.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("piB = %d\n", data.PiB);
    return 0;
}
