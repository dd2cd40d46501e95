#pragma once
// The 90% confidence interval of a nonparametric 2.5th or 97.5th percentile by order
// statistics.
#include <optional>

namespace kijunchi {

// Ranks (1-based, in ascending order) of the values that bound the 90% confidence interval
// of the 2.5th percentile: with B ~ Binomial(n, 0.025), low is the largest r with
// P(B < r) <= 0.05 and high the smallest s with P(B < s) >= 0.95. The 97.5th percentile's
// interval runs from rank n + 1 - high to n + 1 - low.
struct RankInterval {
    int low = 0;
    int high = 0;
};

// nullopt when no rank r >= 1 qualifies (n < 119): the interval is not available by ranks.
std::optional<RankInterval> lowerLimitRanks(int n);

}  // namespace kijunchi
