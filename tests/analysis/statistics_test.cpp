#include "analysis/statistics.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "analysis/store.h"

namespace kijunchi {
namespace {

TEST(ComputePercentile, InterpolatesBetweenAndExtrapolatesBeyondTheOrderStatistics) {
    // Worked by hand, r = (n + 1)·p/100, k clamped to 1..n−1:
    // - 1, 2, 3, 4 (given unsorted): r = 0.125 gives 1 + (0.125 − 1)·1 = 0.125 (below the
    //   minimum); r = 4.875, k = 3, gives 3 + 1.875·1 = 4.875 (above the maximum); median 2.5.
    // - x(i) = i², n = 39: r = 1 gives x(1) = 1; r = 39, k = 38, fraction 1 gives x(39) = 1521.
    // - x(i) = i², n = 120: r = 3.025 gives 9 + 0.025·7 = 9.175; r = 117.975 gives
    //   13689 + 0.975·235 = 13918.125; r = 60.5 gives 3660.5. The 15-digit text hides the
    //   binary noise of 3.025 − 3.
    struct Case {
        std::vector<double> values;
        const char* low;
        const char* high;
        const char* median;
    };
    std::vector<double> squares39, squares120;
    for (int i = 1; i <= 120; ++i) (i <= 39 ? squares39 : squares120).push_back(double(i) * i);
    squares120.insert(squares120.begin(), squares39.begin(), squares39.end());
    const Case cases[] = {{{3, 1, 4, 2}, "0.125", "4.875", "2.5"},
                          {squares39, "1", "1521", "400"},
                          {squares120, "9.175", "13918.125", "3660.5"}};
    for (const auto& c : cases) {
        AnalysisStore store;
        const int n = int(c.values.size());
        for (int i = 0; i < n; ++i) store.SortedValues[i + 1] = c.values[i];
        store.DataCount = n;
        SortValues(store);
        EXPECT_EQ(store.WorkCount, n);
        const std::pair<double, const char*> levels[] = {
            {2.5, c.low}, {97.5, c.high}, {50, c.median}};
        for (auto [level, text] : levels) {
            store.PercentileLevel = level;
            ComputePercentile(store);
            EXPECT_EQ(store.PercentileText, text) << "n = " << n << ", p = " << level;
        }
    }
}

TEST(RoundDecimal, HalvesGoUpAlsoForNegativeValues) {
    // Expected frequencies of 2.5 and 3.49 both show as 3. 2.675 × 100 is exactly 267.5 in
    // double and goes up; 1.005 × 100 = 100.49999999999999 goes down.
    struct Case {
        double value, decimals, rounded;
    };
    const Case cases[] = {{1.25, 1, 1.3}, {-1.25, 1, -1.2}, {-2.6, 0, -3}, {2.5, 0, 3},
                          {3.49, 0, 3},   {2.675, 2, 2.68}, {1.005, 2, 1}, {98765, -1, 98770}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(RoundDecimal(c.value, c.decimals), c.rounded)
            << c.value << " at " << c.decimals << " decimals";
    }
}

}  // namespace
}  // namespace kijunchi
