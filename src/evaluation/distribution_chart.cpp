#include "evaluation/distribution_chart.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/distributions.h"
#include "analysis/power_formula.h"

namespace kijunchi {

namespace {

// 1, 2 or 5 times a power of ten, at least v.
double niceStep(double v) {
    const double decade = std::pow(10.0, std::floor(std::log10(v)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (m * decade >= v * (1 - 1e-9)) return m * decade;
    return 10 * decade;
}

// 1, 2 or 5 times a power of ten, nearest to v on a log scale.
double nearestNiceStep(double v) {
    const double decade = std::pow(10.0, std::floor(std::log10(v)));
    double best = decade;
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (std::fabs(std::log(m * decade / v)) < std::fabs(std::log(best / v))) best = m * decade;
    return best;
}

// The data's own step: the smallest gap between distinct values when every value is a whole
// multiple of it (within rounding), else 0.
double dataStep(std::span<const double> sorted) {
    double gap = 0;
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        const double d = sorted[i] - sorted[i - 1];
        if (d > 0 && (gap == 0 || d < gap)) gap = d;
    }
    if (gap == 0) return 0;
    const double scale = std::max(std::fabs(sorted.front()), std::fabs(sorted.back()));
    if (gap < scale * 1e-9) return 0;
    for (const double v : sorted) {
        const double k = (v - sorted.front()) / gap;
        if (std::fabs(k - std::round(k)) > 1e-6) return 0;
    }
    return gap;
}

double sampleMean(std::span<const double> v) {
    double sum = 0;
    for (const double x : v) sum += x;
    return sum / static_cast<double>(v.size());
}

double sampleSd(std::span<const double> v, double mean) {
    double ss = 0;
    for (const double x : v) ss += (x - mean) * (x - mean);
    return std::sqrt(ss / static_cast<double>(v.size() - 1));
}

// The values on the scale of the fitted normal, sorted; empty when one is undefined.
std::vector<double> fittedScale(const ChartInput& input) {
    std::vector<double> y;
    y.reserve(input.measured.size());
    for (const double x : input.measured) {
        if (input.lambda && !(x > 0)) return {};
        const auto v = input.lambda ? powerTransformed(*input.lambda, x) : x;
        if (!v || !std::isfinite(*v)) return {};
        y.push_back(*v);
    }
    std::sort(y.begin(), y.end());
    return y;
}

// (1 − p)·x(⌊h⌋) + p·x(⌊h⌋+1) with h = (n − 1)·q: the usual sample quantile.
double quartile(std::span<const double> sorted, double q) {
    const double h = (static_cast<double>(sorted.size()) - 1) * q;
    const auto lo = static_cast<std::size_t>(std::floor(h));
    const std::size_t hi = std::min(lo + 1, sorted.size() - 1);
    return sorted[lo] + (h - std::floor(h)) * (sorted[hi] - sorted[lo]);
}

}  // namespace

ChartAxis niceAxis(double low, double high, int wanted) {
    ChartAxis axis;
    if (!(high > low)) {
        const double pad = low == 0 ? 1 : std::fabs(low) * 0.1;
        low -= pad, high += pad;
    }
    axis.tickStep = niceStep((high - low) / std::max(wanted, 1));
    axis.min = std::floor(low / axis.tickStep + 1e-9) * axis.tickStep;
    axis.max = std::ceil(high / axis.tickStep - 1e-9) * axis.tickStep;
    const int count = static_cast<int>(std::lround((axis.max - axis.min) / axis.tickStep));
    for (int i = 0; i <= count; ++i) {
        double tick = axis.min + i * axis.tickStep;
        if (std::fabs(tick) < axis.tickStep * 1e-9) tick = 0;
        axis.ticks.push_back(tick);
    }
    return axis;
}

std::vector<HistogramBar> histogramBars(std::span<const double> sorted) {
    std::vector<HistogramBar> bars;
    if (sorted.empty()) return bars;
    const double low = sorted.front(), high = sorted.back();
    const double n = static_cast<double>(sorted.size());
    const double classes = std::ceil(std::log2(n)) + 1;  // Sturges
    const double step = dataStep(sorted);
    double width = high > low ? nearestNiceStep((high - low) / classes) : 1;
    double start;
    if (step > 0) {
        // A whole number of the data's steps, the first edge half a step below the smallest.
        width = std::max(step, std::round(width / step) * step);
        start = low - step / 2;
    } else {
        start = std::floor(low / width) * width;
    }
    const int count = std::max(1, static_cast<int>(std::floor((high - start) / width)) + 1);
    bars.resize(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        bars[i].from = start + i * width;
        bars[i].to = start + (i + 1) * width;
    }
    for (const double v : sorted) {
        const int i = std::clamp(static_cast<int>(std::floor((v - start) / width)), 0, count - 1);
        ++bars[static_cast<std::size_t>(i)].count;
    }
    return bars;
}

std::optional<HistogramChartModel> histogramChart(const ChartInput& input) {
    if (input.measured.size() < 3) return std::nullopt;
    std::vector<double> sorted = input.measured;
    std::sort(sorted.begin(), sorted.end());
    // Values whose range or spread leaves the doubles get no chart.
    if (!(sorted.back() > sorted.front()) || !std::isfinite(sorted.back() - sorted.front()))
        return std::nullopt;
    const std::vector<double> fitted = fittedScale(input);
    if (fitted.empty()) return std::nullopt;

    HistogramChartModel model;
    model.bars = histogramBars(sorted);
    model.transformed = input.lambda.has_value();
    model.mean = sampleMean(fitted);
    model.sd = sampleSd(fitted, model.mean);
    if (!(model.sd > 0) || !std::isfinite(model.sd)) return std::nullopt;

    double low = model.bars.front().from, high = model.bars.back().to;
    for (const LimitInput& limit : input.limits) {
        if (!std::isfinite(limit.value)) continue;
        model.limits.push_back(limit);
        low = std::min({low, limit.value, limit.ciLow.value_or(low)});
        high = std::max({high, limit.value, limit.ciHigh.value_or(high)});
    }
    model.valueAxis = niceAxis(low, high, 8);

    // The density at x: the normal's, or for transformed data the normal's on the transformed
    // scale times dy/dx = x^(λ−1).
    const double n = static_cast<double>(sorted.size());
    const double width = model.bars.front().to - model.bars.front().from;
    auto density = [&](double x) -> std::optional<double> {
        double y = x, slope = 1;
        if (input.lambda) {
            if (!(x > 0)) return std::nullopt;
            const auto t = powerTransformed(*input.lambda, x);
            if (!t) return std::nullopt;
            y = *t;
            slope = std::pow(x, *input.lambda - 1);
        }
        const double z = (y - model.mean) / model.sd;
        return std::exp(-0.5 * z * z) / (model.sd * std::sqrt(2 * std::numbers::pi)) * slope;
    };
    constexpr int kCurvePoints = 200;
    double top = 0;
    for (int i = 0; i <= kCurvePoints; ++i) {
        const double x =
            model.valueAxis.min + (model.valueAxis.max - model.valueAxis.min) * i / kCurvePoints;
        const auto d = density(x);
        if (!d || !std::isfinite(*d)) continue;
        model.density.push_back({x, *d * n * width});
        top = std::max(top, model.density.back().y);
    }
    for (const HistogramBar& bar : model.bars) top = std::max(top, static_cast<double>(bar.count));
    model.countAxis = niceAxis(0, top * 1.05, 6);
    return model;
}

std::optional<QqPlotModel> qqPlot(const ChartInput& input) {
    if (input.measured.size() < 3) return std::nullopt;
    const std::vector<double> y = fittedScale(input);
    if (y.empty() || !(y.back() > y.front()) || !std::isfinite(y.back() - y.front()))
        return std::nullopt;
    QqPlotModel model;
    model.transformed = input.lambda.has_value();
    const double n = static_cast<double>(y.size());
    model.points.reserve(y.size());
    for (std::size_t i = 0; i < y.size(); ++i) {
        // Blom's plotting positions (i − 3/8)/(n + 1/4), as for the Shapiro–Wilk scores.
        const double score = normalQuantile((static_cast<double>(i) + 1 - 0.375) / (n + 0.25));
        model.points.push_back({score, y[i]});
    }
    // The line through the quartiles of the values and of the normal.
    const double z1 = normalQuantile(0.25), z3 = normalQuantile(0.75);
    const double q1 = quartile(y, 0.25), q3 = quartile(y, 0.75);
    model.slope = q3 > q1 ? (q3 - q1) / (z3 - z1) : sampleSd(y, sampleMean(y));
    model.intercept = q3 > q1 ? q1 - model.slope * z1 : sampleMean(y);
    const double zEnd = std::max(-model.points.front().x, model.points.back().x);
    model.scoreAxis = niceAxis(-zEnd, zEnd, 6);
    model.valueAxis = niceAxis(y.front(), y.back(), 6);
    return model;
}

}  // namespace kijunchi
