#pragma once
// The indirect method: reference limits from routine results, a mixture of a non-pathological
// majority and pathological values, by the truncated power-normal fit whose truncation points
// are chosen by the Kolmogorov–Smirnov distance (Zierk J. et al., Sci Rep 2020;10:1704).
//
// For every pair of truncation points T1 < T2 on a grid of the results' quantiles, a power-
// normal distribution (the program's modified power transformation, then normal) is fitted by
// maximum likelihood to the results between T1 and T2 alone, its density divided by its mass
// between them. The results are binned by their distinct values (each value stands for the
// interval halfway to its neighbours, as rounding makes it), so the likelihood is a product of
// interval probabilities and its cost does not grow with the number of results. Each fit is
// judged by its Kolmogorov–Smirnov distance D to the results between its truncation points:
// of the windows whose statistic √n·D stays below 1 (a fit the data do not reject), the widest
// gives λ, μ and σ; where none passes, the one of least statistic does. (The paper minimises D
// itself; on its own that favours narrow windows, whose long extrapolation to the percentiles
// is what the benchmark found least accurate.) The limits are the 2.5th and 97.5th percentiles of
// that distribution, and the non- pathological fraction is the results between T1 and T2 over the
// total times the fitted mass between them. Results reported only as below or above a limit count
// in the total and in the quantiles but never lie between the truncation points.
#include <cstdint>
#include <optional>
#include <string>

#include "indirect/value_counts.h"

namespace kijunchi {

struct IndirectOptions {
    std::uint64_t seed = 20240;
    // Bootstrap resamples for the 90% intervals; 0: 200 up to 10⁵ results, 50 above; below 0:
    // none (the point estimates alone).
    int resamples = 0;
};

// The smallest partition the method estimates from.
inline constexpr std::int64_t kIndirectMinimum = 1000;

struct IndirectResult {
    std::int64_t total = 0;  // results in the partition, censored ones included
    std::int64_t censoredBelow = 0, censoredAbove = 0;
    std::int64_t used = 0;  // results between the truncation points
    // Empty when the limits were estimated; else why not, in Japanese ("推定できません: …").
    std::string refusal;
    // The fit (NaN where none was made).
    double lowerTruncation = 0, upperTruncation = 0;
    double fraction = 0;  // estimated non-pathological fraction of the total
    double lambda = 0, mu = 0, sigma = 0;
    double ksDistance = 0;
    double lower = 0, upper = 0;
    // 90% bootstrap intervals of the limits.
    double lowerCiLow = 0, lowerCiHigh = 0, upperCiLow = 0, upperCiHigh = 0;
    int resamples = 0;        // resamples asked for
    int resamplesFitted = 0;  // of which gave limits
    std::uint64_t seed = 0;
    bool estimated() const { return refusal.empty(); }
};

// Never throws: a calculation error becomes the partition's refusal.
IndirectResult estimateIndirect(const ValueCounts& counts, const IndirectOptions& options = {});

}  // namespace kijunchi
