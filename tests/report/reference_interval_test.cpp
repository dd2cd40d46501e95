#include "report/reference_interval.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "analysis/checked.h"
#include "analysis/store.h"

namespace kijunchi {
namespace {

// 100 values 1..100 (sorted), as both the sorted buffer and the untransformed values, with
// the given mean and standard deviation at full precision.
AnalysisStore storeWithMoments(double mean, double sd, Value lambda) {
    AnalysisStore store;
    for (int i = 1; i <= 100; ++i) {
        store.SortedValues[i] = i;
        store.DataValues[i] = store.AnalysisValues[i] = double(i);
        store.UntransformedValues.push_back(i);
    }
    store.DataCount = store.WorkCount = 100;
    store.MeanValue = mean;
    store.SDValue = sd;
    store.Lambda = store.LambdaShown = lambda;
    return store;
}

TEST(ReferenceInterval, MeanOneHundredSdTenGivesTheWorkedLimitsForUntransformedData) {
    // 100 ± 1.96·10; half-width c = 1.96·10·√(2.92/100) = 3.3492494681644724 (python).
    auto store = storeWithMoments(100, 10, Value(""));
    computeReferenceInterval(store);
    const double c = 3.3492494681644724;
    EXPECT_NEAR(store.ParamLower, 80.4, 1e-12);
    EXPECT_NEAR(store.ParamUpper, 119.6, 1e-12);
    EXPECT_NEAR(store.ParamLowerCILow, 80.4 - c, 1e-9);
    EXPECT_NEAR(store.ParamUpperCIHigh, 119.6 + c, 1e-9);
    // Percentiles of 1..100: r = 2.525 and 50.5.
    EXPECT_NEAR(store.Pct025, 2.525, 1e-12);
    EXPECT_NEAR(store.MedianValue, 50.5, 1e-12);
    // The empty λ becomes 1 and the measurement-scale values equal the analysed ones.
    EXPECT_EQ(store.Lambda.toNumber(), 1.0);
    EXPECT_NEAR(store.OrigUpperCIHigh, 119.6 + c, 1e-9);
}

TEST(ReferenceInterval, HalfPowerLimitsAreCarriedBackBySquaring) {
    // (0.5·v − 0.25 + 1)²: v = 20 gives 10.75² = 115.5625; 20 ∓ 3.92 give 8.79² = 77.2641
    // and 12.71² = 161.5441; the SD 2 gives 1.75² = 3.0625. c = 0.6698498936328945, so the
    // outer confidence limits are (0.5·(16.08 − c) + 0.75)² and (0.5·(23.92 + c) + 0.75)².
    auto store = storeWithMoments(20, 2, Value("0.5"));
    computeReferenceInterval(store);
    EXPECT_NEAR(store.OrigMean, 115.5625, 1e-9);
    EXPECT_NEAR(store.OrigLower, 77.2641, 1e-9);
    EXPECT_NEAR(store.OrigUpper, 161.5441, 1e-9);
    EXPECT_NEAR(store.OrigSD, 3.0625, 1e-9);
    EXPECT_NEAR(store.OrigLowerCILow, 71.48829415496685, 1e-9);
    EXPECT_NEAR(store.OrigUpperCIHigh, 170.1700668680741, 1e-9);
    EXPECT_NEAR(store.OrigPct975, 98.475, 1e-12);  // the percentiles stay in measurement units
}

TEST(ReferenceInterval, LogLimitsAreCarriedBackWithTheExponential) {
    // e^4.6 ≈ 99.4843156419; e^0.5, e^3.62, e^5.58.
    auto store = storeWithMoments(4.6, 0.5, Value("0"));
    computeReferenceInterval(store);
    EXPECT_NEAR(store.OrigMean, 99.48431564193457, 1e-9);
    EXPECT_NEAR(store.OrigSD, 1.6487212707001295, 1e-12);
    EXPECT_NEAR(store.OrigLower, 37.33756782205388, 1e-9);
    EXPECT_NEAR(store.OrigUpper, 265.0716057862295, 1e-9);
}

TEST(ReferenceInterval, AnUndefinedMeanOrSdOnTheMeasurementScaleIsLeftAtZero) {
    // λ = 3, mean 10, SD 1: the base of OrigSD is 3·1 − 9 + 1 = −5; every printed value is
    // defined: the lower limit 10 − 1.96 = 8.04 gives (24.12 − 8)^(1/3) = 16.12^(1/3).
    auto store = storeWithMoments(10, 1, Value("3"));
    ASSERT_NO_THROW(computeReferenceInterval(store));
    EXPECT_EQ(store.OrigSD, 0);
    EXPECT_NEAR(store.OrigMean, std::cbrt(22.0), 1e-12);
    EXPECT_NEAR(store.OrigLower, std::cbrt(16.12), 1e-12);
}

TEST(ReferenceInterval, ALimitOutsideTheRangeOfTheTransformationIsACalculationError) {
    // λ = −1: the base −v − 1 + 1 = −v is negative for every positive v, so a mean of 0.6
    // with SD 0.1 (limits 0.404 and 0.796) has no measured value behind any limit, although
    // the whole power −1 would invert the negative base without complaint.
    auto inverse = storeWithMoments(0.6, 0.1, Value("-1"));
    EXPECT_THROW(computeReferenceInterval(inverse), CalcError);
    // λ = 0.5, mean 0.6, SD 1: the lower limit −1.36 has the base −0.68 − 0.25 + 1 = 0.07,
    // but its lower confidence end −1.36 − c (c = 0.3349…) has −0.0975: once squared to
    // 0.0095 it would be printed.
    auto square = storeWithMoments(0.6, 1, Value("0.5"));
    EXPECT_THROW(computeReferenceInterval(square), CalcError);
    // λ = 1 is the identity: negative limits are limits like any other.
    auto identity = storeWithMoments(1, 1, Value("1"));
    ASSERT_NO_THROW(computeReferenceInterval(identity));
    EXPECT_NEAR(identity.OrigLower, -0.96, 1e-12);
}

TEST(InversePowerTransform, UndoesTheTransformationInsideItsRangeOnly) {
    // x = 4: λ = 0.5 gives (2 − 1)/0.5 + 0.5 = 2.5; λ = −1 gives (0.25 − 1)/−1 − 1 = −0.25;
    // λ = 2 gives 15/2 + 2 = 9.5.
    EXPECT_NEAR(inversePowerTransform(0.5, 2.5), 4, 1e-12);
    EXPECT_NEAR(inversePowerTransform(-1, -0.25), 4, 1e-12);
    EXPECT_NEAR(inversePowerTransform(2, 9.5), 4, 1e-12);
    // Beyond the range: y ≥ λ − 1/λ for λ < 0 (0 for λ = −1, 1.5 for λ = −0.5), y ≤ λ − 1/λ
    // for λ > 0 (−1.5 for λ = 0.5, 1.5 for λ = 2).
    for (const auto& [lambda, y] : {std::pair{-1.0, 0.5}, {0.5, -1.6}, {2.0, 1.0}, {-0.5, 2.0}})
        EXPECT_THROW(inversePowerTransform(lambda, y), CalcError) << lambda << " " << y;
}

}  // namespace
}  // namespace kijunchi
