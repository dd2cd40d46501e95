#include "indirect/indirect_chart.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/power_formula.h"

namespace kijunchi {

namespace {

// The value below which a share p of the measured results lie.
double quantileOf(const std::vector<std::pair<double, std::int64_t>>& sorted, std::int64_t n,
                  double p) {
    const double target = p * static_cast<double>(n);
    double cum = 0;
    for (const auto& [v, c] : sorted) {
        cum += static_cast<double>(c);
        if (cum >= target) return v;
    }
    return sorted.back().first;
}

// The results' own step (such as 0.1) when every distinct value is a whole multiple of the
// smallest gap, else 0.
double dataStep(const std::vector<std::pair<double, std::int64_t>>& sorted) {
    double gap = 0;
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        const double d = sorted[i].first - sorted[i - 1].first;
        if (d > 0 && (gap == 0 || d < gap)) gap = d;
    }
    const double scale = std::max(std::fabs(sorted.front().first), std::fabs(sorted.back().first));
    if (gap == 0 || gap < scale * 1e-9) return 0;
    for (const auto& [v, c] : sorted) {
        const double k = (v - sorted.front().first) / gap;
        if (std::fabs(k - std::round(k)) > 1e-6) return 0;
    }
    return gap;
}

// 1, 2 or 5 times a power of ten, nearest to v on a log scale.
double nearestNice(double v) {
    const double decade = std::pow(10.0, std::floor(std::log10(v)));
    double best = decade;
    for (const double k : {2.0, 5.0, 10.0})
        if (std::fabs(std::log(k * decade / v)) < std::fabs(std::log(best / v))) best = k * decade;
    return best;
}

}  // namespace

std::optional<IndirectChartModel> indirectChart(const ValueCounts& counts,
                                                const IndirectResult& r) {
    const auto sorted = counts.sorted();
    if (sorted.size() < 2) return std::nullopt;
    IndirectChartModel m;
    m.censored = counts.censoredBelow() + counts.censoredAbove();
    const std::int64_t n = counts.measured();
    // Without a fit: the middle 99% of the results, no further than four interquartile ranges
    // from the median.
    const double q25 = quantileOf(sorted, n, 0.25), q75 = quantileOf(sorted, n, 0.75);
    const double median = quantileOf(sorted, n, 0.5), iqr = q75 - q25;
    double lo = quantileOf(sorted, n, 0.005), hi = quantileOf(sorted, n, 0.995);
    if (iqr > 0) {
        lo = std::max(lo, median - 4 * iqr);
        hi = std::min(hi, median + 4 * iqr);
    }
    if (r.estimated()) {
        m.lowerTruncation = r.lowerTruncation;
        m.upperTruncation = r.upperTruncation;
        LimitInput lower{LimitKind::Parametric, r.lower, {}, {}}, upper = lower;
        upper.value = r.upper;
        if (std::isfinite(r.lowerCiLow) && std::isfinite(r.lowerCiHigh)) {
            lower.ciLow = r.lowerCiLow;
            lower.ciHigh = r.lowerCiHigh;
        }
        if (std::isfinite(r.upperCiLow) && std::isfinite(r.upperCiHigh)) {
            upper.ciLow = r.upperCiLow;
            upper.ciHigh = r.upperCiHigh;
        }
        m.limits = {lower, upper};
        // The fitted distribution's 0.05th and 99.95th percentiles (z = ∓3.29), within the
        // results' range; where one has no measured value, the limit stands for it.
        constexpr double kTail = 3.29;
        const auto tail = [&](double z, double fallback) {
            const auto x = backTransform(r.mu + z * r.sigma, r.lambda);
            return x && std::isfinite(*x) ? *x + r.shift : fallback;
        };
        lo = std::max(tail(-kTail, r.lower), sorted.front().first);
        hi = std::min(tail(kTail, r.upper), sorted.back().first);
        for (const double v :
             {r.lowerTruncation, r.upperTruncation, r.lower, r.upper, r.lowerCiLow, r.upperCiHigh})
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    }
    if (!(hi > lo)) {
        lo = sorted.front().first;
        hi = sorted.back().first;
    }

    // Classes of a round width, a whole multiple of the results' step, their edges half a step
    // off the values: some 24 between the limits (16 for fewer than 4000 results), or 40 across
    // the chart without them, and never more than 120 across it.
    const double step = dataStep(sorted);
    const double few = n < 4000 ? 2.0 / 3 : 1;
    double width = nearestNice(r.estimated() && r.upper > r.lower ? (r.upper - r.lower) / (24 * few)
                                                                  : (hi - lo) / (40 * few));
    if ((hi - lo) / width > 120) width = nearestNice((hi - lo) / 120);
    double first = std::floor(lo / width) * width;
    if (step > 0) {
        width = std::max(1.0, std::round(width / step)) * step;
        first = sorted.front().first +
                (std::floor((lo - sorted.front().first) / step + 1e-9) - 0.5) * step;
    }
    const auto classes = static_cast<std::size_t>(std::ceil((hi - first) / width + 1e-9));
    m.bars.resize(std::max<std::size_t>(classes, 1));
    for (std::size_t i = 0; i < m.bars.size(); ++i) {
        m.bars[i].from = first + static_cast<double>(i) * width;
        m.bars[i].to = first + static_cast<double>(i + 1) * width;
    }
    const double end = m.bars.back().to;
    for (const auto& [v, c] : sorted) {
        if (v < first || v >= end) {
            (v < first ? m.outsideBelow : m.outsideAbove) += c;
            m.outside += c;
            continue;
        }
        auto i = static_cast<std::size_t>((v - first) / width);
        i = std::min(i, m.bars.size() - 1);
        m.bars[i].count += static_cast<int>(c);
    }

    double top = 0;
    for (const auto& b : m.bars) top = std::max(top, static_cast<double>(b.count));
    if (r.estimated()) {
        const double scale = r.fraction * static_cast<double>(r.total) * width;
        constexpr int kPoints = 240;
        for (int i = 0; i <= kPoints; ++i) {
            const double x = first + (end - first) * i / kPoints;
            const double y = scale * indirectDensity(r, x);
            m.density.push_back({x, y});
            top = std::max(top, y);
        }
    }
    m.valueAxis = niceAxis(first, end, 10);
    m.countAxis = niceAxis(0, top > 0 ? top : 1, 6);
    return m;
}

}  // namespace kijunchi
