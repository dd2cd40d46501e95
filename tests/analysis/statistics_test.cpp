#include "analysis/statistics.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "analysis/store.h"

namespace kijunchi {
namespace {

// A store whose SortedValues(1..n) hold the given values and whose counts are n.
AnalysisStore storeWithSorted(std::initializer_list<double> values) {
    AnalysisStore store;
    int i = 0;
    for (double v : values) store.SortedValues[++i] = v;
    store.DataCount = store.WorkCount = i;
    return store;
}

struct Percentiles {
    double low, high, median;
    std::string lowText, highText, medianText;
};

Percentiles percentilesOf(AnalysisStore& store) {
    Percentiles p{};
    store.PercentileLevel = 2.5;
    ComputePercentile(store);
    p.low = store.PercentileValue;
    p.lowText = store.PercentileText;
    store.PercentileLevel = 97.5;
    ComputePercentile(store);
    p.high = store.PercentileValue;
    p.highText = store.PercentileText;
    store.PercentileLevel = 50;
    ComputePercentile(store);
    p.median = store.PercentileValue;
    p.medianText = store.PercentileText;
    return p;
}

TEST(SortValues, SortsSlotsOneToNAndLeavesSlotZeroAndTheRestAlone) {
    AnalysisStore store;
    store.DataCount = 6;
    store.WorkCount = 0;
    const double input[] = {3, -1, 2.5, 3, 0, -7};
    for (int i = 0; i < 6; ++i) store.SortedValues[i + 1] = input[i];
    store.SortedValues[0] = 99;
    store.SortedValues[7] = -42;

    SortValues(store);

    EXPECT_EQ(store.WorkCount, 6);
    const double sorted[] = {-7, -1, 0, 2.5, 3, 3};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(store.SortedValues[i + 1], sorted[i]) << "slot " << i + 1;
    EXPECT_EQ(store.SortedValues[0], 99);
    EXPECT_EQ(store.SortedValues[7], -42);
}

TEST(ComputePercentile, ExtrapolatesAlongTheOuterGapsForFourValues) {
    // r(2.5) = 5·2.5/100 = 0.125, k clamped to 1: 1 + (0.125 − 1)·1 = 0.125;
    // r(97.5) = 4.875, k = 4 clamped to 3: 3 + 1.875·1 = 4.875.
    auto store = storeWithSorted({1, 2, 3, 4});
    auto p = percentilesOf(store);
    EXPECT_DOUBLE_EQ(p.low, 0.125);
    EXPECT_EQ(p.lowText, "0.125");
    EXPECT_DOUBLE_EQ(p.high, 4.875);
    EXPECT_EQ(p.highText, "4.875");
    EXPECT_EQ(p.medianText, "2.5");
}

TEST(ComputePercentile, HitsTheExtremesExactlyForThirtyNineValues) {
    // x(i) = i², so that every gap differs: r(2.5) = 40·2.5/100 = 1 gives x(1);
    // r(97.5) = 39, k clamped to 38, fraction 1 gives x(39) = 1521.
    AnalysisStore store;
    for (int i = 1; i <= 39; ++i) store.SortedValues[i] = double(i) * i;
    store.DataCount = store.WorkCount = 39;
    auto p = percentilesOf(store);
    EXPECT_EQ(p.lowText, "1");
    EXPECT_EQ(p.highText, "1521");
    EXPECT_EQ(p.medianText, "400");  // r = 20: x(20)
}

TEST(ComputePercentile, InterpolatesInsideForOneHundredTwentyValues) {
    // x(i) = i²: r(2.5) = 121·2.5/100 = 3.025 gives 9 + 0.025·(16 − 9) = 9.175;
    // r(97.5) = 117.975 gives 13689 + 0.975·(13924 − 13689) = 13918.125;
    // r(50) = 60.5 gives 3600 + 0.5·121 = 3660.5. The texts carry 15 digits, so the
    // binary noise of 3.025 − 3 does not show.
    AnalysisStore store;
    for (int i = 1; i <= 120; ++i) store.SortedValues[i] = double(i) * i;
    store.DataCount = store.WorkCount = 120;
    auto p = percentilesOf(store);
    EXPECT_NEAR(p.low, 9.175, 1e-12);
    EXPECT_EQ(p.lowText, "9.175");
    EXPECT_NEAR(p.high, 13918.125, 1e-9);
    EXPECT_EQ(p.highText, "13918.125");
    EXPECT_EQ(p.medianText, "3660.5");
}

TEST(ComputePercentile, WorksOnUnsortedInputOnceSorted) {
    // 5, 1, 4, 2, 3 sorted is 1..5: median 3; r(2.5) = 0.15 gives 1 + (0.15 − 1)·1 = 0.15;
    // r(97.5) = 5.85, k clamped to 4: 4 + 1.85·1 = 5.85.
    AnalysisStore store;
    const double input[] = {5, 1, 4, 2, 3};
    for (int i = 0; i < 5; ++i) store.SortedValues[i + 1] = input[i];
    store.DataCount = 5;
    SortValues(store);
    auto p = percentilesOf(store);
    EXPECT_EQ(p.medianText, "3");
    EXPECT_EQ(p.lowText, "0.15");
    EXPECT_EQ(p.highText, "5.85");
}

TEST(RoundDecimal, HalvesGoUpAlsoForNegativeValues) {
    struct Case {
        double value, decimals, rounded;
    };
    const Case cases[] = {
        {1.25, 1, 1.3},     {-1.25, 1, -1.2},   {1234.5, 0, 1235}, {-2.5, 0, -2},
        {-2.6, 0, -3},      {2.5, 0, 3},  // an expected frequency of 2.5 shows as 3
        {3.49, 0, 3},                     // and one of 3.49 as 3
        {2.675, 2, 2.68},                 // 2.675 × 100 is exactly 267.5 in double
        {1.005, 2, 1},                    // 1.005 × 100 = 100.49999999999999 goes down
        {98765, -1, 98770}, {123.44, 1, 123.4}, {0, 4, 0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(RoundDecimal(c.value, c.decimals), c.rounded)
            << c.value << " at " << c.decimals << " decimals";
    }
}

}  // namespace
}  // namespace kijunchi
