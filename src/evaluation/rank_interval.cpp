#include "evaluation/rank_interval.h"

#include <cmath>

namespace kijunchi {

std::optional<RankInterval> lowerLimitRanks(int n) {
    if (n < 1) return std::nullopt;
    constexpr double p = 0.025;
    // P(B = k) by the recurrence from P(B = 0) = (1 - p)^n, summed into P(B < k + 1). At
    // n = 5000, P(B = 0) is about 1E-55: far from the smallest double.
    double probability = std::pow(1 - p, n);
    double below = 0;  // P(B < k)
    int low = 0;
    for (int k = 0; k <= n; ++k) {
        // below = P(B < k); decide for rank k before adding P(B = k).
        if (k >= 1 && below <= 0.05) low = k;
        if (k >= 1 && below >= 0.95) {
            if (low < 1) return std::nullopt;
            return RankInterval{low, k};
        }
        below += probability;
        probability *= static_cast<double>(n - k) / (k + 1) * p / (1 - p);
    }
    return std::nullopt;
}

}  // namespace kijunchi
