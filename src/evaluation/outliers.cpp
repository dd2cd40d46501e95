#include "evaluation/outliers.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "analysis/checked.h"
#include "analysis/power_formula.h"
#include "analysis/statistics.h"

namespace kijunchi {

namespace {

// Positions 0..n-1 in ascending order of their values (equal values keep their order).
std::vector<int> ascendingPositions(std::span<const double> values) {
    std::vector<int> order(values.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return values[static_cast<std::size_t>(a)] < values[static_cast<std::size_t>(b)];
    });
    return order;
}

// Dixon–Reed on n values in ascending order, x(k) the k-th from 0.
template <typename At>
DixonReedCounts dixonReedCounts(std::size_t n, At x) {
    DixonReedCounts counts;
    if (n < 3) return counts;
    std::size_t low = 0, high = n - 1;
    for (bool flagged = true; flagged;) {
        flagged = false;
        if (high - low + 1 >= 3) {
            const double range = x(high) - x(low);
            if (range > 0 && x(low + 1) - x(low) >= range / 3) {
                ++low;
                flagged = true;
            }
        }
        if (high - low + 1 >= 3) {
            const double range = x(high) - x(low);
            if (range > 0 && x(high) - x(high - 1) >= range / 3) {
                --high;
                flagged = true;
            }
        }
    }
    counts.low = low;
    counts.high = n - 1 - high;
    return counts;
}

}  // namespace

std::string outlierRuleName(OutlierRule rule) {
    switch (rule) {
        case OutlierRule::Tukey:
            return "Tukey法";
        case OutlierRule::Horn:
            return "Horn法";
        case OutlierRule::DixonReedLow:
            return "Dixon-Reed法（下端）";
        case OutlierRule::DixonReedHigh:
            return "Dixon-Reed法（上端）";
    }
    return {};
}

std::optional<Fences> tukeyFences(std::span<const double> values) {
    std::vector<double> sorted(values.begin(), values.end());
    std::sort(sorted.begin(), sorted.end());
    return fencesOfSorted(sorted);
}

std::optional<Fences> fencesOfSorted(std::span<const double> sorted) {
    if (sorted.size() < 2) return std::nullopt;
    try {
        const double q1 = PercentileOfSorted(sorted, 25);
        const double q3 = PercentileOfSorted(sorted, 75);
        const double step = checked::mul(1.5, checked::sub(q3, q1));
        return Fences{checked::sub(q1, step), checked::add(q3, step)};
    } catch (const CalcError&) {
        return std::nullopt;
    }
}

std::vector<int> outsideFences(std::span<const double> values,
                               const std::optional<Fences>& fences) {
    std::vector<int> flagged;
    if (!fences) return flagged;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (values[i] < fences->low || values[i] > fences->high)
            flagged.push_back(static_cast<int>(i));
    return flagged;
}

std::vector<int> tukeyOutliers(std::span<const double> values) {
    return outsideFences(values, tukeyFences(values));
}

std::vector<int> hornOutliers(std::span<const double> values, double lambda) {
    std::vector<double> transformed;
    transformed.reserve(values.size());
    for (double x : values) {
        const auto y = x > 0 ? powerTransformed(lambda, x) : std::nullopt;
        if (!y) return {};
        transformed.push_back(*y);
    }
    return tukeyOutliers(transformed);
}

DixonReedFlags dixonReedOutliers(std::span<const double> values) {
    DixonReedFlags flags;
    if (values.size() < 3) return flags;
    const std::vector<int> order = ascendingPositions(values);
    const DixonReedCounts counts = dixonReedCounts(
        values.size(), [&](std::size_t k) { return values[static_cast<std::size_t>(order[k])]; });
    for (std::size_t k = 0; k < counts.low; ++k) flags.low.push_back(order[k]);
    for (std::size_t k = 0; k < counts.high; ++k) flags.high.push_back(order[order.size() - 1 - k]);
    return flags;
}

DixonReedCounts dixonReedOfSorted(std::span<const double> sorted) {
    return dixonReedCounts(sorted.size(), [&](std::size_t k) { return sorted[k]; });
}

}  // namespace kijunchi
