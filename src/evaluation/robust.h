#pragma once
// The robust reference limits of Horn and Pesce: the biweight location and scale, started
// from the median and the median absolute deviation, and a percentile bootstrap of the limits.
#include <cstdint>
#include <optional>
#include <span>

namespace kijunchi {

// The robust method needs at least this many values.
inline constexpr int kRobustMinimumCount = 20;
inline constexpr int kBootstrapResamples = 1000;
inline constexpr std::uint64_t kBootstrapSeed = 20260211;

struct RobustLimits {
    double location = 0;       // biweight location T (tuning constant 3.7)
    double scale = 0;          // biweight scale s_bi (tuning constant 205.6, about the median)
    double locationError = 0;  // s_T, the standard error of T
    double t = 0;              // t(0.975, n - 1)
    double lower = 0;          // T - t·√(s_bi² + s_T²)
    double upper = 0;          // T + t·√(s_bi² + s_T²)
};

// The limits of sorted values; nullopt when they do not exist (fewer than 2 values, a median
// absolute deviation of 0, or a scale that cannot be formed).
std::optional<RobustLimits> robustLimits(std::span<const double> sorted);

struct BootstrapInterval {
    double lowerLow = 0, lowerHigh = 0;  // 90% interval of the lower limit
    double upperLow = 0, upperHigh = 0;  // 90% interval of the upper limit
    int resamples = 0;                   // resamples that gave limits
};

// The 5th and 95th percentiles of the limits over `resamples` resamples with replacement,
// drawn from `seed` by a generator of our own, so that the same values always give the same
// interval. nullopt when fewer than half of the resamples gave limits. The resamples are
// shared out among `threads` threads (0: as many as suit the data and the machine); the
// interval does not depend on how many.
std::optional<BootstrapInterval> bootstrapRobustLimits(std::span<const double> sorted,
                                                       int resamples = kBootstrapResamples,
                                                       std::uint64_t seed = kBootstrapSeed,
                                                       int threads = 0);

}  // namespace kijunchi
