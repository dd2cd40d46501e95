#include "evaluation/rank_interval.h"

#include "analysis/distributions.h"

namespace kijunchi {

std::optional<RankInterval> lowerLimitRanks(int n) {
    if (n < 1) return std::nullopt;
    constexpr double p = 0.025;
    // B ~ Bin(n, 0.025), the number of values below the true 2.5th percentile. Rank r may be
    // the interval's low end while P(B < r) <= 0.05; the high end is the first rank s with
    // P(B < s) >= 0.95.
    int low = 0;
    for (int k = 1; k <= n; ++k) {
        const double below = binomialLowerTail(k - 1, n, p);  // P(B < k)
        if (below <= 0.05) low = k;
        if (below >= 0.95) {
            if (low < 1) return std::nullopt;
            return RankInterval{low, k};
        }
    }
    return std::nullopt;
}

}  // namespace kijunchi
